#include "queued_transfer_driver.h"

#include <QMetaObject>
#include <QThread>

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
    if (QThread::currentThread() == m_context->thread()) {
        // On the user-interface thread no hop is needed. Made from inside a call
        // being carried out (a reply handled while the port was written out),
        // it waits for that call: the drain under way takes it next.
        flush();
        return;
    }
    // Dropped by Qt if the context is gone; flush() then does the work.
    QMetaObject::invokeMethod(m_context.get(), [this] { flush(); }, Qt::QueuedConnection);
}

void QueuedTransferDriver::flush()
{
    if (m_draining)
        return;  // the drain under way carries on to the end of the queue
    m_draining = true;
    struct EndOfDrain {
        bool &draining;
        ~EndOfDrain() { draining = false; }
    } endOfDrain{m_draining};
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(m_mutex);
            if (m_pending.empty())
                break;
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
