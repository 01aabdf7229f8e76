#include "hex_record.h"

namespace varnel::sim {

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void appendByte(std::string &out, std::uint8_t b)
{
    static const char digits[] = "0123456789ABCDEF";
    out += digits[b >> 4];
    out += digits[b & 0x0F];
}

}  // namespace

std::string buildRecord(std::uint8_t type, std::uint16_t param, const std::vector<std::uint8_t> &data)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(data.size() + 5);
    bytes.push_back(static_cast<std::uint8_t>(data.size()));
    bytes.push_back(static_cast<std::uint8_t>(param >> 8));
    bytes.push_back(static_cast<std::uint8_t>(param & 0xFF));
    bytes.push_back(type);
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    std::string out = ":";
    for (std::uint8_t b : bytes) {
        sum += b;
        appendByte(out, b);
    }
    appendByte(out, static_cast<std::uint8_t>((0x100 - (sum & 0xFF)) & 0xFF));
    return out;
}

std::optional<HexRecord> parseRecord(std::string_view text)
{
    if (text.size() < 11 || text[0] != ':' || (text.size() - 1) % 2 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 1; i + 1 < text.size(); i += 2) {
        const int hi = hexDigit(text[i]);
        const int lo = hexDigit(text[i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    const std::size_t length = bytes[0];
    if (bytes.size() != length + 5)
        return std::nullopt;
    unsigned sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    if ((sum & 0xFF) != 0)
        return std::nullopt;
    HexRecord record;
    record.param = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
    record.type = bytes[3];
    record.data.assign(bytes.begin() + 4, bytes.begin() + 4 + static_cast<std::ptrdiff_t>(length));
    return record;
}

}  // namespace varnel::sim
