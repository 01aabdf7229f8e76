#pragma once
// The two services the driver needs from its surroundings: a transport to write to
// and a supervision timer. The Qt layer provides real ones; tests use fakes.

#include <string_view>

namespace varnel {

/// One way of reaching the device (serial port, UDP socket, TCP socket).
class LinkTransport {
public:
    virtual ~LinkTransport() = default;
    /// Sends the text unchanged; dropped when the transport is closed.
    virtual void write(std::string_view text) = 0;
    virtual void open() {}
    virtual void close() {}
};

/// The driver's periodic supervision timer. `restart(ms)` stops it, sets the
/// interval and starts it, so the next tick comes `ms` milliseconds later.
class SupervisionTimer {
public:
    virtual ~SupervisionTimer() = default;
    virtual void restart(int ms) = 0;
    virtual void setEnabled(bool enabled) = 0;
    virtual bool isEnabled() const = 0;
    virtual int interval() const = 0;
};

/// A timer that only records what the driver asked of it. Tests (and anything
/// without an event loop) call the driver's TimerTick themselves.
class ManualTimer final : public SupervisionTimer {
public:
    void restart(int ms) override
    {
        m_interval = ms;
        m_enabled = true;
        ++m_restarts;
    }
    void setEnabled(bool enabled) override { m_enabled = enabled; }
    bool isEnabled() const override { return m_enabled; }
    int interval() const override { return m_interval; }
    int restarts() const { return m_restarts; }

private:
    int m_interval = 3000;
    bool m_enabled = false;
    int m_restarts = 0;
};

}  // namespace varnel
