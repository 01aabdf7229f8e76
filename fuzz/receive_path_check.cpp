#include "receive_path_check.h"

#include "register_table.h"
#include "response_matcher.h"
#include "vrk_610_d.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace varnel::fuzz {

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "receive path differs from the reference: %s\n", what);
    std::abort();
}

/// The receive path as a literal loop: delete one character at a time, take one
/// line at a time, walk all response codes.
struct ReferenceReceiver {
    std::string buffer;
    std::vector<std::string> notifications;
    std::vector<std::uint32_t> plain = std::vector<std::uint32_t>(kRegisterCount, 0);
    int lastIndex = -1;

    void receive(const std::string &piece)
    {
        buffer += piece;
        while (buffer.find("\r\n") != std::string::npos || buffer.size() > 10) {
            const std::size_t end = buffer.find("\r\n");
            if (end == std::string::npos) {
                buffer.erase(0, 1);
                continue;
            }
            const std::string line = buffer.substr(0, end);
            buffer.erase(0, end + 2);
            if (const auto m = matchLineByWalk(line)) {
                notifications.push_back("OnRecString:" + line);
                store(m->index, m->value);
            }
        }
    }

    void store(std::uint16_t index, std::uint32_t value)
    {
        // every value is in range: the driver keeps its initial ranges here
        const RegisterInfo &info = registerInfo(index);
        if (info.storage == Storage::Plain)
            plain[index] = info.type == VarType::Boolean ? (value & 0xFF) : value;
        if (info.storage == Storage::Octet) {
            notifications.insert(notifications.end(), {"OnLOCAL_IPchange", "OnREMOTE_IPchange", "OnGATEWAY_IPchange"});
        } else if (info.storage == Storage::Port) {
            notifications.insert(notifications.end(), {"OnLOCAL_PORTchange", "OnREMOTE_PORTchange"});
        } else {
            notifications.emplace_back(info.eventName);
            if (index == idx(Reg::DEV) && lastIndex == idx(Reg::DEV))
                notifications.emplace_back("ONRS232busy");
        }
        lastIndex = index;
    }
};

}  // namespace

void checkReceivePath(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return;
    // The first two bytes seed the cut points; the rest is the received text.
    unsigned cutSeed = data[0] | (unsigned(data[1]) << 8);
    const std::string text(reinterpret_cast<const char *>(data + 2), size - 2);

    TVRK_610_d driver;
    std::vector<std::string> seen;
    for (int e = 0; e < kEventCount; ++e) {
        const auto name = eventName(EventId(e));
        if (name.empty())
            continue;
        driver.setHandler(EventId(e), [&seen, name, e](TVRK_610_d &d, int) {
            if (EventId(e) == eventOf(Event::OnRecString))
                seen.push_back("OnRecString:" + d.receivedString());
            else
                seen.emplace_back(name);
        });
    }
    ReferenceReceiver reference;

    std::size_t at = 0;
    while (at < text.size()) {
        cutSeed = cutSeed * 1103515245u + 12345u;
        const std::size_t length = 1 + (cutSeed >> 16) % 24;
        const std::string piece = text.substr(at, length);
        at += piece.size();
        driver.ReceiveText(piece);
        reference.receive(piece);
        if (driver.RecBuffer().size() > std::size_t(TVRK_610_d::kRecBufferKeep))
            fail("RecBuffer grew beyond its bound");
        if (driver.RecBuffer() != reference.buffer)
            fail("RecBuffer");
    }
    if (seen != reference.notifications)
        fail("notifications");
    for (int i = 0; i < kRegisterCount; ++i)
        if (registerInfo(std::uint16_t(i)).storage == Storage::Plain && driver.ReadVar(std::uint16_t(i)) != reference.plain[i])
            fail("stored value");
}

}  // namespace varnel::fuzz
