#pragma once
// Carries a worker's driver calls out on the user-interface thread, in the order
// they were made, without ever blocking that thread: each call is queued and a
// drain is posted to a context object living on the user-interface thread. A
// call made on the user-interface thread itself is carried out at once, after
// the calls queued before it.

#include "transfer_driver.h"

#include <QObject>
#include <QPointer>

#include <deque>
#include <memory>
#include <mutex>

namespace varnel::logos {

class QueuedTransferDriver final : public TransferDriver {
public:
    /// Create on the user-interface thread; `inner` does the real calls there.
    explicit QueuedTransferDriver(TransferDriver &inner);
    ~QueuedTransferDriver() override;

    void hookReceive(std::function<void(std::string)> onText) override;
    void restoreReceive() override;
    void setConMode(tConnectionMode mode) override;
    void setBaudRate(std::uint32_t baud) override;
    void sendRaw(std::string text) override;
    void then(std::function<void()> f) override;
    void flush() override;

private:
    void enqueue(std::function<void()> call);

    TransferDriver &m_inner;
    std::unique_ptr<QObject> m_context;  // lives on the user-interface thread
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_pending;
    bool m_draining = false;  // user-interface thread only
};

}  // namespace varnel::logos
