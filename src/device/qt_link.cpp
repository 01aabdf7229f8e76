#include "qt_link.h"

#include "serial_transport.h"
#include "tcp_transport.h"
#include "udp_transport.h"

#include <QMetaObject>
#include <QThread>

namespace varnel {

QtSupervisionTimer::QtSupervisionTimer()
{
    m_timer.setInterval(3000);
    // Never early: the device is given its full 2000 ms to answer a poll.
    m_timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
        if (m_tick)
            m_tick();
    });
}

void QtSupervisionTimer::restart(int ms)
{
    if (QThread::currentThread() != m_timer.thread()) {
        QMetaObject::invokeMethod(&m_timer, [this, ms] { restart(ms); }, Qt::QueuedConnection);
        return;
    }
    m_timer.start(ms);
}

void QtSupervisionTimer::setEnabled(bool enabled)
{
    if (QThread::currentThread() != m_timer.thread()) {
        QMetaObject::invokeMethod(&m_timer, [this, enabled] { setEnabled(enabled); }, Qt::QueuedConnection);
        return;
    }
    if (!enabled)
        m_timer.stop();
    else if (!m_timer.isActive())
        m_timer.start();  // keeps its interval
}

void installQtLink(TVRK_610_d &driver)
{
    if (auto *timer = dynamic_cast<QtSupervisionTimer *>(&driver.timer()))
        timer->setTick([&driver] { driver.TimerTick(); });
    driver.setTransport(tConnectionType::CON_RS232, std::make_unique<SerialTransport>());
    driver.setTransport(tConnectionType::CON_UDP, std::make_unique<UdpTransport>());
    driver.setTransport(tConnectionType::CON_TCP, std::make_unique<TcpTransport>());
}

std::unique_ptr<TVRK_610_d> makeQtDriver()
{
    auto driver = std::make_unique<TVRK_610_d>(std::make_unique<QtSupervisionTimer>());
    installQtLink(*driver);
    return driver;
}

}  // namespace varnel
