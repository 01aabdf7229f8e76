// SimSession: how the device reads one link. Register mode takes commands of the
// form [decimal value] code, with no separator between commands; raw mode
// (entered by "6LM") takes Intel HEX records of a picture transfer.
#include "device_model.h"
#include "hex_record.h"

#include <value_syntax.h>

#include <algorithm>
#include <cctype>

namespace varnel::sim {

namespace {

constexpr std::size_t kMaxDigits = 40;      ///< a longer run of digits is noise
constexpr std::size_t kMaxRecordText = 600;  ///< a record holds at most 255 bytes
constexpr int kMaxSide = 4096;               ///< largest picture side a memory takes

bool startsTwoCharCode(char c)
{
    static const std::array<bool, 256> table = [] {
        std::array<bool, 256> t{};
        for (const tVarRecord &r : VarTable)
            if (r.CmdCode.size() == 2)
                t[static_cast<unsigned char>(r.CmdCode[0])] = true;
        return t;
    }();
    return table[static_cast<unsigned char>(c)];
}

}  // namespace

SimSession::SimSession(DeviceModel &device, Sink sink, double nakShare, std::uint32_t seed)
    : m_device(device), m_sink(std::move(sink)), m_nakShare(nakShare), m_rngState(seed ? seed : 1)
{
    m_device.attach(this);
}

SimSession::~SimSession() { m_device.detach(this); }

void SimSession::reset()
{
    m_buffer.clear();
    if (m_raw)
        leaveRaw();
    m_hasPeer = false;
}

void SimSession::receive(std::string_view text)
{
    m_hasPeer = true;
    m_buffer.append(text);
    if (m_raw)
        m_lastRawInput = m_device.now();
    // Either parser stops when the mode changes, so the rest goes to the other.
    bool wasRaw;
    do {
        wasRaw = m_raw;
        if (m_raw)
            parseRaw();
        else
            parseCommands();
    } while (wasRaw != m_raw && !m_buffer.empty());
}

void SimSession::tick(std::int64_t nowMs)
{
    if (m_raw && nowMs - m_lastRawInput >= DeviceModel::kRawIdleMs)
        leaveRaw();  // the peer went away in the middle of a transfer
}

// --- register mode -----------------------------------------------------------------

void SimSession::parseCommands()
{
    std::size_t p = 0;
    const std::size_t n = m_buffer.size();
    while (p < n && !m_raw) {
        const std::size_t start = p;
        while (p < n && std::isdigit(static_cast<unsigned char>(m_buffer[p])))
            ++p;
        if (p == n) {  // a value waiting for its code
            m_buffer.erase(0, n - start > kMaxDigits ? n - kMaxDigits : start);
            return;
        }
        const std::string_view digits(m_buffer.data() + start, p - start);
        std::optional<std::uint16_t> index = registerByCommand(std::string_view(m_buffer.data() + p, 1));
        std::size_t codeLength = 1;
        if (!index && startsTwoCharCode(m_buffer[p])) {
            if (p + 1 == n) {  // wait for the second character
                m_buffer.erase(0, start);
                return;
            }
            index = registerByCommand(std::string_view(m_buffer.data() + p, 2));
            codeLength = 2;
        }
        if (!index) {  // not a command: skip one character
            p += 1;
            continue;
        }
        p += codeLength;
        if (digits.empty()) {
            m_device.command(*this, std::nullopt, *index);
            continue;
        }
        const std::optional<std::uint32_t> value = parseRegisterValue(digits);
        if (!value) {  // does not fit a register: refused like any value out of range
            if (*index != idx(Reg::AMX) && *index != idx(Reg::XCR))
                emit(m_device.report(*index));
            continue;
        }
        if (*index == idx(Reg::LMODE) && *value == 6) {
            m_buffer.erase(0, p);
            enterRaw();
            return;
        }
        m_device.command(*this, value, *index);
    }
    m_buffer.erase(0, p);
}

// --- raw mode: picture transfer ---------------------------------------------------------

void SimSession::enterRaw()
{
    m_raw = true;
    m_lastRawInput = m_device.now();
    m_step = Step::Header;
    ack();
}

void SimSession::leaveRaw()
{
    m_raw = false;
    m_step = Step::Header;
    m_haveComponent = {};
    m_previousGroup.clear();
    m_picture = StoredPicture{};
}

bool SimSession::nakByFault()
{
    if (m_nakShare <= 0)
        return false;
    // xorshift32: small, seeded, repeatable
    m_rngState ^= m_rngState << 13;
    m_rngState ^= m_rngState >> 17;
    m_rngState ^= m_rngState << 5;
    return (m_rngState % 1000000u) < static_cast<std::uint32_t>(m_nakShare * 1000000.0);
}

void SimSession::parseRaw()
{
    while (!m_buffer.empty() && m_raw) {
        const char c = m_buffer[0];
        if (c == ':') {
            const std::size_t cr = m_buffer.find('\r');
            if (cr == std::string::npos) {
                if (m_buffer.size() > kMaxRecordText) {
                    m_buffer.clear();
                    nak();
                }
                return;
            }
            const std::string record = m_buffer.substr(0, cr);
            m_buffer.erase(0, cr + 1);
            handleRecord(record);
        } else if (c == '.') {
            if (m_buffer.size() < 3)
                return;
            if ((m_buffer[1] == '0' || m_buffer[1] == '1') && m_buffer[2] == '\r') {
                const bool positive = m_buffer[1] == '1';
                m_buffer.erase(0, 3);
                handleReply(positive);
            } else {
                m_buffer.erase(0, 1);
            }
        } else {
            m_buffer.erase(0, 1);  // line ends and noise between records
        }
    }
}

void SimSession::handleRecord(std::string_view text)
{
    const std::optional<HexRecord> rec = parseRecord(text);
    if (!rec) {
        nak();
        return;
    }
    const auto &d = rec->data;
    if (rec->type == 0x04) {  // abort: no answer, nothing kept
        leaveRaw();
        return;
    }
    if (rec->type == 0x01) {  // end: no answer; a complete picture goes to its memory
        if (m_step == Step::Data && m_cursor * 3 == m_picture.rgb.size() && !m_picture.rgb.empty()) {
            m_picture.keyed = m_keyed;
            const MemoryRef target = m_target;
            StoredPicture picture = std::move(m_picture);
            leaveRaw();
            if (m_device.onPictureReceived)
                m_device.onPictureReceived(target, picture);
            m_device.storePicture(target, std::move(picture));
        } else {
            leaveRaw();
        }
        return;
    }
    if (m_step == Step::RetrSize || m_step == Step::RetrFrames || m_step == Step::RetrData) {
        nak();  // the device is sending; the peer only replies
        return;
    }
    if (nakByFault()) {
        nak();
        return;
    }
    auto word = [&](std::size_t i) { return static_cast<int>(d[i] << 8 | d[i + 1]); };
    if (rec->type == 0x02) {
        switch (rec->param) {
        case 0x0001: {  // header: kind and slot
            if (d.size() != 2) {
                nak();
                return;
            }
            const int kind = d[0] & 0x0F;
            const bool keyed = d[0] & 0x10;
            const int slot = d[1];
            MemoryRef target;
            if (kind == 1 && !keyed)
                target = {true, slot};
            else if (kind == 2 && slot <= 8)
                target = {false, slot};
            else if (kind == 3 && (slot == 9 || slot == 10))
                target = {false, 9};
            else {
                nak();
                return;
            }
            if (!m_device.memoryExists(target) || (d[0] & ~0x1F) != 0) {
                nak();
                return;
            }
            m_target = target;
            m_keyed = keyed;
            m_picture = StoredPicture{};
            m_step = Step::Size;
            ack();
            return;
        }
        case 0x0002: {  // size: width, frame height
            if (m_step == Step::Header || d.size() != 4 || word(0) < 1 || word(2) < 1 || word(0) > kMaxSide ||
                word(2) > kMaxSide) {
                nak();
                return;
            }
            m_picture.width = word(0);
            m_picture.frameHeight = word(2);
            m_picture.frames = 1;
            m_step = Step::Frames;
            ack();
            return;
        }
        case 0x0005: {  // frames: count, delay
            const bool animated = !m_target.frame && m_target.slot == 9;
            if ((m_step != Step::Frames && m_step != Step::Begin) || d.size() != 3 || d[0] < 1 ||
                (!animated && d[0] != 1) || m_picture.frameHeight * d[0] > kMaxSide) {
                nak();
                return;
            }
            m_picture.frames = d[0];
            m_picture.delayMs = word(1);
            m_step = Step::Begin;
            ack();
            return;
        }
        case 0x0003:  // begin of pixel data
            if ((m_step != Step::Frames && m_step != Step::Begin && m_step != Step::Data) || !d.empty()) {
                nak();
                return;
            }
            m_picture.rgb.assign(std::size_t(m_picture.width) * m_picture.height() * 3, 0);
            m_cursor = 0;
            m_haveComponent = {};
            m_previousGroup.clear();
            m_step = Step::Data;
            ack();
            return;
        case 0x0004: {  // the peer asks for the stored picture
            if (m_step == Step::Header) {
                nak();
                return;
            }
            const auto &pic = m_device.memory(m_target);
            const int w = pic ? pic->width : 0;
            const int h = pic ? pic->frameHeight : 0;
            m_picture = pic ? *pic : StoredPicture{};
            m_step = Step::RetrSize;
            emit(buildRecord(0x02, 0x0002,
                             {static_cast<std::uint8_t>(w >> 8), static_cast<std::uint8_t>(w),
                              static_cast<std::uint8_t>(h >> 8), static_cast<std::uint8_t>(h)}) +
                     "\r",
                 false);
            return;
        }
        default:
            nak();
            return;
        }
    }
    if (rec->type == 0x00 && m_step == Step::Data) {  // one component of a pixel group
        const int component = (rec->param & 0x0F) - 1;
        if (component < 0 || component > 2 || d.empty()) {
            nak();
            return;
        }
        std::vector<std::uint8_t> bytes;
        if (rec->param & 0x10) {  // (run length, value) pairs
            if (d.size() % 2 != 0) {
                nak();
                return;
            }
            for (std::size_t i = 0; i < d.size(); i += 2) {
                if (d[i] == 0 || bytes.size() + d[i] > 32) {
                    nak();
                    return;
                }
                bytes.insert(bytes.end(), d[i], d[i + 1]);
            }
        } else {
            bytes = d;
        }
        if (bytes.size() > 32) {
            nak();
            return;
        }
        if (rec->param & 0x20) {  // closes the group: place it
            auto group = m_component;
            group[component] = bytes;
            std::array<bool, 3> have = m_haveComponent;
            have[component] = true;
            const std::size_t size = group[0].size();
            if (!have[0] || !have[1] || !have[2] || group[1].size() != size || group[2].size() != size ||
                (m_cursor + size) * 3 > m_picture.rgb.size()) {
                nak();
                return;
            }
            m_previousGroup.resize(size * 3);
            for (std::size_t i = 0; i < size; ++i)
                for (int k = 0; k < 3; ++k) {
                    m_previousGroup[i * 3 + k] = group[k][i];
                    m_picture.rgb[(m_cursor + i) * 3 + k] = group[k][i];
                }
            m_cursor += size;
            m_haveComponent = {};
        } else {
            m_component[component] = std::move(bytes);
            m_haveComponent[component] = true;
        }
        ack();
        return;
    }
    if (rec->type == 0x03 && m_step == Step::Data && !m_previousGroup.empty() && d.empty()) {
        const std::size_t total = m_previousGroup.size() * rec->param;
        if (m_cursor * 3 + total > m_picture.rgb.size()) {
            nak();
            return;
        }
        for (unsigned r = 0; r < rec->param; ++r) {
            std::copy(m_previousGroup.begin(), m_previousGroup.end(), m_picture.rgb.begin() + m_cursor * 3);
            m_cursor += m_previousGroup.size() / 3;
        }
        ack();
        return;
    }
    nak();
}

void SimSession::handleReply(bool positive)
{
    switch (m_step) {
    case Step::RetrSize:
        if (!positive || m_picture.rgb.empty()) {
            leaveRaw();
            return;
        }
        m_step = Step::RetrFrames;
        emit(buildRecord(0x02, 0x0005,
                         {static_cast<std::uint8_t>(m_picture.frames), static_cast<std::uint8_t>(m_picture.delayMs >> 8),
                          static_cast<std::uint8_t>(m_picture.delayMs)}) +
                 "\r",
             false);
        return;
    case Step::RetrFrames:
        if (!positive) {
            leaveRaw();
            return;
        }
        m_step = Step::RetrData;
        m_cursor = 0;
        m_retrComponent = 0;
        sendRetrievalGroup();
        return;
    case Step::RetrData:
        if (!positive) {
            leaveRaw();
            return;
        }
        sendRetrievalGroup();
        return;
    default:
        return;  // replies only matter while the device sends
    }
}

void SimSession::sendRetrievalGroup()
{
    const std::size_t total = m_picture.rgb.size() / 3;
    if (m_cursor >= total) {
        emit(buildRecord(0x01, 0x0000) + "\r", false);
        leaveRaw();
        return;
    }
    const std::size_t n = std::min<std::size_t>(32, total - m_cursor);
    std::vector<std::uint8_t> data(n);
    for (std::size_t i = 0; i < n; ++i)
        data[i] = m_picture.rgb[(m_cursor + i) * 3 + static_cast<std::size_t>(m_retrComponent)];
    const auto param = static_cast<std::uint16_t>((m_retrComponent + 1) | (m_retrComponent == 2 ? 0x20 : 0));
    emit(buildRecord(0x00, param, data) + "\r", false);
    if (++m_retrComponent == 3) {
        m_retrComponent = 0;
        m_cursor += n;
    }
}

}  // namespace varnel::sim
