#include "transfer_record.h"

#include <algorithm>

namespace varnel::logos {

namespace {

constexpr char kHexUpper[] = "0123456789ABCDEF";

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendByte(std::string &out, std::uint8_t b)
{
    out.push_back(kHexUpper[b >> 4]);
    out.push_back(kHexUpper[b & 0x0F]);
}

// Byte `i` of the digits after the colon, or -1 when missing or not hex.
int byteAt(std::string_view digits, std::size_t i)
{
    if (2 * i + 1 >= digits.size())
        return -1;
    const int hi = hexValue(digits[2 * i]);
    const int lo = hexValue(digits[2 * i + 1]);
    return (hi < 0 || lo < 0) ? -1 : (hi << 4) | lo;
}

}  // namespace

std::string BuildRecord(std::uint8_t type, std::uint16_t parameter, std::span<const std::uint8_t> data)
{
    const std::size_t n = std::min<std::size_t>(data.size(), 255);
    std::string out;
    out.reserve(11 + 2 * n);
    out.push_back(':');
    std::uint8_t sum = 0;
    auto put = [&](std::uint8_t b) {
        appendByte(out, b);
        sum = std::uint8_t(sum + b);
    };
    put(std::uint8_t(n));
    put(std::uint8_t(parameter >> 8));
    put(std::uint8_t(parameter & 0xFF));
    put(type);
    for (std::size_t i = 0; i < n; ++i)
        put(data[i]);
    appendByte(out, std::uint8_t(-sum));
    return out;
}

bool ParseRecord(std::string_view text, TransferMessage &out)
{
    if (text.size() < 11 || text.front() != ':')
        return false;
    const std::string_view digits = text.substr(1);
    const int length = byteAt(digits, 0);
    if (length < 0)
        return false;
    // length, parameter (2), type, data, then the checksum byte
    std::uint8_t sum = 0;
    std::array<int, 4 + 255> bytes{};
    for (int i = 0; i < length + 4; ++i) {
        const int b = byteAt(digits, std::size_t(i));
        if (b < 0)
            return false;
        bytes[std::size_t(i)] = b;
        sum = std::uint8_t(sum + b);
    }
    const int check = byteAt(digits, std::size_t(length + 4));
    if (check < 0 || std::uint8_t(sum + check) != 0)
        return false;
    out.kind = MessageKind::Record;
    out.length = std::uint8_t(length);
    out.parameter = std::uint16_t((bytes[1] << 8) | bytes[2]);
    out.type = std::uint8_t(bytes[3]);
    for (int i = 0; i < length; ++i)
        out.data[std::size_t(i)] = std::uint8_t(bytes[std::size_t(4 + i)]);
    return true;
}

MessageKind ScanMessage(std::string &received, TransferMessage &out)
{
    // A reply anywhere in the text comes first.
    for (std::size_t i = 0; i + 2 < received.size(); ++i) {
        if (received[i] == '.' && (received[i + 1] == '0' || received[i + 1] == '1') && received[i + 2] == '\r') {
            out.kind = received[i + 1] == '1' ? MessageKind::Ack : MessageKind::Nak;
            received.erase(i, 3);
            return out.kind;
        }
    }
    // Otherwise the first ":" followed by whole pairs of hex digits and a CR.
    for (std::size_t i = received.find(':'); i != std::string::npos; i = received.find(':', i + 1)) {
        std::size_t j = i + 1;
        while (j < received.size() && hexValue(received[j]) >= 0)
            ++j;
        const std::size_t digits = j - i - 1;
        if (digits >= 2 && digits % 2 == 0 && j < received.size() && received[j] == '\r') {
            const bool ok = ParseRecord(std::string_view(received).substr(i, j - i), out);
            received.clear();
            return ok ? MessageKind::Record : MessageKind::None;
        }
    }
    return MessageKind::None;
}

std::vector<std::uint8_t> CodeComponent(std::span<const std::uint8_t> plain, bool &coded)
{
    std::vector<std::uint8_t> runs;
    runs.reserve(plain.size());
    std::size_t i = 0;
    while (i < plain.size()) {
        std::size_t j = i + 1;
        while (j < plain.size() && plain[j] == plain[i] && j - i < 255)
            ++j;
        if (runs.size() + 2 >= plain.size()) {  // coding would not be shorter
            coded = false;
            return {plain.begin(), plain.end()};
        }
        runs.push_back(std::uint8_t(j - i));
        runs.push_back(plain[i]);
        i = j;
    }
    coded = true;
    return runs;
}

std::vector<std::uint8_t> DecodeRunLength(std::span<const std::uint8_t> coded, std::size_t limit)
{
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < coded.size() && out.size() < limit; i += 2)
        out.insert(out.end(), std::min<std::size_t>(coded[i], limit - out.size()), coded[i + 1]);
    return out;
}

int FrameHeightOf(int height, int frameCount)
{
    if (frameCount < 1)
        frameCount = 1;
    int q = height / frameCount;
    const int r2 = 2 * (height % frameCount);
    if (r2 > frameCount || (r2 == frameCount && (q % 2) == 1))
        ++q;
    return std::max(q, 1);
}

PixelGroup ReadGroup(const PixelView &view, int frameHeight, PixelCursor &cursor)
{
    PixelGroup group;
    if (!view.bits || view.width <= 0 || view.height <= 0 || frameHeight <= 0)
        return group;
    while (group.size < kMaxGroup && cursor.row < view.height) {
        if (cursor.col < 0 || cursor.col >= view.width || cursor.row < 0)
            break;  // a cursor outside the picture reads nothing
        const std::uint8_t *p = view.pixel(cursor.col, cursor.row);
        group.colours[std::size_t(group.size++)] = (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[1]) << 8) | p[0];
        if (++cursor.col >= view.width) {
            cursor.col = 0;
            ++cursor.row;
            if (cursor.row % frameHeight == 0)
                break;  // a group never spans two frames
        }
    }
    return group;
}

std::vector<std::uint8_t> ComponentBytes(const PixelGroup &group, int component)
{
    const int shift = component == kRed ? 16 : component == kGreen ? 8 : 0;
    std::vector<std::uint8_t> out(std::size_t(group.size));
    for (int i = 0; i < group.size; ++i)
        out[std::size_t(i)] = std::uint8_t(group.colours[std::size_t(i)] >> shift);
    return out;
}

int PlaceGroup(const PixelView &view, PixelCursor &cursor, std::span<const std::uint8_t> red,
               std::span<const std::uint8_t> green, std::span<const std::uint8_t> blue, int count)
{
    if (!view.bits || view.width <= 0)
        return 0;
    int written = 0;
    for (int i = 0; i < count; ++i) {
        if (cursor.col >= view.width) {
            cursor.col = 0;
            ++cursor.row;
        }
        if (cursor.row >= view.height || cursor.row < 0 || cursor.col < 0)
            break;
        std::uint8_t *p = view.pixel(cursor.col, cursor.row);
        const auto at = [i](std::span<const std::uint8_t> s) { return std::size_t(i) < s.size() ? s[std::size_t(i)] : std::uint8_t(0); };
        p[0] = at(blue);
        p[1] = at(green);
        p[2] = at(red);
        ++cursor.col;
        ++written;
    }
    return written;
}

}  // namespace varnel::logos
