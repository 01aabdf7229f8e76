#pragma once
// The two services the driver needs from its surroundings: a transport to write to
// and a supervision timer. The Qt layer provides real ones; tests use fakes.

#include <cstdint>
#include <string_view>

namespace varnel {

class LinkTransport;

/// What a transport reports to the driver that owns it. All calls come on the
/// thread that owns the transport (the user-interface thread).
class LinkHost {
public:
    virtual ~LinkHost() = default;
    /// True while `transport` is the one of the current connection type.
    virtual bool linkSelected(const LinkTransport &transport) const = 0;
    /// Text that arrived; ignored unless `from` is the selected transport.
    virtual void linkReceived(const LinkTransport &from, std::string_view text) = 0;
    /// The transport was closed or started opening: the supervision starts over.
    virtual void linkRestarted(const LinkTransport &from) = 0;
    /// The link failed (socket error, connection closed by the device, port gone):
    /// it is reopened at the next supervision tick if still selected.
    virtual void linkReopenLater(const LinkTransport &from) = 0;
    /// A failure the operator should see, with the platform's error text. Never
    /// called from inside a socket callback, so the handler may show a message.
    virtual void linkFailed(const LinkTransport &from, std::string_view message) = 0;
};

/// One way of reaching the device (serial port, UDP socket, TCP socket).
/// The settings calls are ignored by the transports that do not use them.
class LinkTransport {
public:
    virtual ~LinkTransport() = default;
    /// Sends the text unchanged; dropped when the transport is closed.
    virtual void write(std::string_view text) = 0;
    virtual void open() {}
    /// Writes out what is still queued, then closes.
    virtual void close() {}
    /// Serial port open, UDP socket bound, TCP socket connected.
    virtual bool isOpen() const { return false; }
    /// A TCP connect is under way.
    virtual bool isOpening() const { return false; }
    /// Serial port name ("ttyUSB0" or a device path); false if it cannot be stored.
    virtual bool setPortName(std::string_view /*name*/) { return true; }
    /// Serial rate; on an open port queued bytes are written out first, then the
    /// rate changes at once without closing the port.
    virtual void setBaudRate(std::uint32_t /*rate*/) {}
    /// UDP: the local port to bind to.
    virtual void setLocalPort(int /*port*/) {}
    /// UDP and TCP: the device's address and port.
    virtual void setRemote(std::string_view /*address*/, int /*port*/) {}

    /// The driver installs itself here when it is given the transport.
    void attach(LinkHost *host) { m_host = host; }
    LinkHost *host() const { return m_host; }

private:
    LinkHost *m_host = nullptr;
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
