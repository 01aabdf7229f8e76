#include "queued_transfer_driver.h"

#include <QMetaObject>

namespace varnel::logos {

QueuedTransferDriver::QueuedTransferDriver(TransferDriver &inner)
    : m_inner(inner), m_context(std::make_unique<QObject>())
{
}

QueuedTransferDriver::~QueuedTransferDriver()
{
    flush();
}

void QueuedTransferDriver::enqueue(std::function<void()> call)
{
    {
        std::lock_guard lock(m_mutex);
        m_pending.push_back(std::move(call));
    }
    // Dropped by Qt if the context is gone; flush() then does the work.
    QMetaObject::invokeMethod(m_context.get(), [this] { flush(); }, Qt::QueuedConnection);
}

void QueuedTransferDriver::flush()
{
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(m_mutex);
            if (m_pending.empty())
                return;
            call = std::move(m_pending.front());
            m_pending.pop_front();
        }
        call();
    }
}

void QueuedTransferDriver::hookReceive(std::function<void(std::string)> onText)
{
    flush();  // an earlier transfer's restore first
    m_inner.hookReceive(std::move(onText));
}

void QueuedTransferDriver::restoreReceive()
{
    enqueue([this] { m_inner.restoreReceive(); });
}

void QueuedTransferDriver::setConMode(tConnectionMode mode)
{
    enqueue([this, mode] { m_inner.setConMode(mode); });
}

void QueuedTransferDriver::setBaudRate(std::uint32_t baud)
{
    enqueue([this, baud] { m_inner.setBaudRate(baud); });
}

void QueuedTransferDriver::sendRaw(std::string text)
{
    enqueue([this, text = std::move(text)] { m_inner.sendRaw(text); });
}

void QueuedTransferDriver::then(std::function<void()> f)
{
    enqueue(std::move(f));
}

}  // namespace varnel::logos
