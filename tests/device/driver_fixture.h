#pragma once
// Test doubles for the driver core.
// RecordingTransport: install with driver.setTransport(type, ...); every write is
// kept in order (thread-safe, so a worker thread may write too).
// EventLog: attach(driver) installs a handler on every event; `entries` lists
// what fired, with the receivedString at the time for OnRecString.

#include "vrk_610_d.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

namespace varnel::test {

class RecordingTransport : public LinkTransport {
public:
    void write(std::string_view text) override
    {
        std::lock_guard lock(m_mutex);
        m_writes.emplace_back(text);
    }
    void open() override { ++opens; }
    void close() override { ++closes; }
    std::vector<std::string> writes() const
    {
        std::lock_guard lock(m_mutex);
        return m_writes;
    }
    void clear()
    {
        std::lock_guard lock(m_mutex);
        m_writes.clear();
    }
    int opens = 0;
    int closes = 0;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_writes;
};

struct EventLog {
    std::vector<std::string> entries;

    void attach(TVRK_610_d &driver)
    {
        for (int e = 0; e < kEventCount; ++e) {
            const auto name = eventName(EventId(e));
            if (name.empty())
                continue;
            driver.setHandler(EventId(e), [this, name, e](TVRK_610_d &d, int) {
                if (EventId(e) == eventOf(Event::OnRecString))
                    entries.push_back(std::string(name) + ":" + d.receivedString());
                else
                    entries.emplace_back(name);
            });
        }
    }
    void clear() { entries.clear(); }
};

/// A driver with a recording TCP transport, connected (as after the device was found).
class DriverTest : public ::testing::Test {
protected:
    DriverTest()
    {
        auto t = std::make_unique<RecordingTransport>();
        tcp = t.get();
        driver.setTransport(tConnectionType::CON_TCP, std::move(t));
        driver.setConType(tConnectionType::CON_TCP);
        driver.setConMode(tConnectionMode::MODE_VAR);  // marks the link connected
        tcp->clear();
    }
    ManualTimer &timer() { return static_cast<ManualTimer &>(driver.timer()); }
    void receive(std::string_view text) { driver.ReceiveText(text); }
    std::vector<std::string> sent() const { return tcp->writes(); }

    TVRK_610_d driver;
    RecordingTransport *tcp = nullptr;
    EventLog log;
};

}  // namespace varnel::test
