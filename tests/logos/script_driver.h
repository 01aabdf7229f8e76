#pragma once
// ScriptDriver: a TransferDriver test double that records every driver call as
// a line ("mode RAW", "baud 115200", "send :00000001FF\r\n", "hook", "restore")
// and runs `then` callbacks at once. Pair it with Cycle()/Receive() to drive a
// worker step by step without threads: `log` shows what reached the driver.

#include "thread_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace varnel::logos::test {

class ScriptDriver : public TransferDriver {
public:
    void hookReceive(std::function<void(std::string)> onText) override
    {
        receiver = std::move(onText);
        log.push_back("hook");
    }
    void restoreReceive() override
    {
        receiver = nullptr;
        log.push_back("restore");
    }
    void setConMode(tConnectionMode mode) override
    {
        raw = mode == tConnectionMode::MODE_RAW;
        log.push_back(raw ? "mode RAW" : "mode VAR");
    }
    void setBaudRate(std::uint32_t b) override
    {
        baud = b;
        log.push_back("baud " + std::to_string(b));
    }
    void sendRaw(std::string text) override { log.push_back("send " + text); }
    void then(std::function<void()> f) override { f(); }

    /// The records and replies sent, without the "send " prefix and line end.
    std::vector<std::string> sent() const
    {
        std::vector<std::string> out;
        for (const auto &l : log)
            if (l.rfind("send ", 0) == 0) {
                std::string t = l.substr(5);
                if (t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\n") == 0)
                    t.resize(t.size() - 2);
                out.push_back(t);
            }
        return out;
    }
    std::string lastSent() const
    {
        const auto s = sent();
        return s.empty() ? std::string() : s.back();
    }

    std::vector<std::string> log;
    std::function<void(std::string)> receiver;
    bool raw = false;
    std::uint32_t baud = 9600;
};

/// Runs cycles at `now` until the worker has nothing more to do at that time.
inline void settle(TThreadFrame &w, std::int64_t now)
{
    for (int i = 0; i < 10000; ++i)
        if (w.Cycle(now) > now)
            return;
    ADD_FAILURE() << "worker keeps cycling";
}

}  // namespace varnel::logos::test
