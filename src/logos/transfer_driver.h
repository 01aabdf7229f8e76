#pragma once
// What a picture transfer needs from the driver, as one small interface, so the
// transfer workers can run against the real driver (DirectTransferDriver), the
// real driver reached through the user-interface thread (QueuedTransferDriver),
// or a test double.

#include "vrk_610_d.h"

#include <cstdint>
#include <functional>
#include <string>

namespace varnel::logos {

/// The driver operations of a transfer. The worker calls them in order; an
/// implementation carries them out in that order.
class TransferDriver {
public:
    virtual ~TransferDriver() = default;
    /// User-interface thread: keeps the driver's current OnRecString handler and
    /// installs one that hands every arrival (taken with TakeRawString) to `onText`.
    virtual void hookReceive(std::function<void(std::string)> onText) = 0;
    /// Gives the driver back the handler kept by hookReceive (once).
    virtual void restoreReceive() = 0;
    virtual void setConMode(tConnectionMode mode) = 0;
    virtual void setBaudRate(std::uint32_t baud) = 0;
    virtual void sendRaw(std::string text) = 0;
    /// Runs `f` once every call made before it has been carried out.
    virtual void then(std::function<void()> f) = 0;
    /// User-interface thread: carries out whatever is still pending, now.
    virtual void flush() {}
};

/// Calls the driver at once, on the calling thread (the user-interface thread,
/// or wrapped in a QueuedTransferDriver).
class DirectTransferDriver final : public TransferDriver {
public:
    explicit DirectTransferDriver(TVRK_610_d &driver) : m_driver(driver) {}
    void hookReceive(std::function<void(std::string)> onText) override;
    void restoreReceive() override;
    void setConMode(tConnectionMode mode) override { m_driver.setConMode(mode); }
    void setBaudRate(std::uint32_t baud) override { m_driver.setBaudRate(baud); }
    void sendRaw(std::string text) override { m_driver.SendRaw(text); }
    void then(std::function<void()> f) override { f(); }
    TVRK_610_d &driver() { return m_driver; }

private:
    TVRK_610_d &m_driver;
    TVRK610NotifyEvent m_saved;
    bool m_hooked = false;
};

}  // namespace varnel::logos
