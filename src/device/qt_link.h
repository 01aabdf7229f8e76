#pragma once
// The driver wired to Qt: the supervision timer on a QTimer and the serial, UDP
// and TCP transports. Create the driver on the user-interface thread; every
// timer tick and every arrival reaches it there.
//
//   auto driver = varnel::makeQtDriver();
//   driver->setLinkErrorHandler([window](TVRK_610_d &, const std::string &text) {
//       // non-modal, so the event loop keeps running
//       auto *box = new QMessageBox(QMessageBox::Critical, title, QString::fromStdString(text), QMessageBox::Ok, window);
//       box->setAttribute(Qt::WA_DeleteOnClose);
//       box->open();
//   });
//   driver->setIpRemoteAddress("192.168.0.10");
//   driver->setConType(varnel::tConnectionType::CON_TCP);

#include "link_interfaces.h"
#include "vrk_610_d.h"

#include <QTimer>

#include <functional>
#include <memory>

namespace varnel {

/// The supervision timer on a QTimer of the user-interface thread.
class QtSupervisionTimer final : public SupervisionTimer {
public:
    QtSupervisionTimer();
    /// What each tick calls (the driver's TimerTick).
    void setTick(std::function<void()> tick) { m_tick = std::move(tick); }
    void restart(int ms) override;
    void setEnabled(bool enabled) override;
    bool isEnabled() const override { return m_timer.isActive(); }
    int interval() const override { return m_timer.interval(); }

private:
    QTimer m_timer;
    std::function<void()> m_tick;
};

/// A driver with the Qt timer and the three Qt transports installed, in its
/// start state (no link chosen, timer stopped).
std::unique_ptr<TVRK_610_d> makeQtDriver();

/// Installs the three Qt transports in a driver built with a QtSupervisionTimer
/// (`TVRK_610_d(std::make_unique<QtSupervisionTimer>())`) and connects its ticks.
void installQtLink(TVRK_610_d &driver);

}  // namespace varnel
