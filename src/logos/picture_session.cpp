#include "picture_session.h"

#include "queued_transfer_driver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <memory>

namespace varnel::logos {

namespace {

// Turns the event loop until `done`, sleeping until the next event; a 20 ms
// ticker bounds the wait so the condition is looked at regularly.
bool spin(const std::function<bool()> &done, int timeoutMs)
{
    QTimer ticker;
    ticker.start(20);
    QElapsedTimer t;
    t.start();
    while (!done() && (timeoutMs < 0 || t.elapsed() < timeoutMs))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);  // blocks: no polling
    return done();
}

// Counts the bytes a transfer exchanges and times the answers, passing every
// call on. Used inside the queued driver: everything runs on one thread.
class CountingTransferDriver final : public TransferDriver {
public:
    CountingTransferDriver(TransferDriver &inner, TransferStats *stats) : m_inner(inner), m_stats(stats) {}
    void hookReceive(std::function<void(std::string)> onText) override
    {
        m_inner.hookReceive([this, onText = std::move(onText)](std::string text) {
            m_received += text.size();
            m_lastArrival.start();
            onText(std::move(text));
        });
    }
    void restoreReceive() override { m_inner.restoreReceive(); }
    void setConMode(tConnectionMode mode) override { m_inner.setConMode(mode); }
    void setBaudRate(std::uint32_t baud) override { m_inner.setBaudRate(baud); }
    void sendRaw(std::string text) override
    {
        m_sent += text.size();
        ++m_sends;
        if (m_lastArrival.isValid()) {
            m_answerNs += std::uint64_t(m_lastArrival.nsecsElapsed());
            ++m_answers;
            m_lastArrival.invalidate();
        }
        m_inner.sendRaw(std::move(text));
    }
    void then(std::function<void()> f) override { m_inner.then(std::move(f)); }
    void flush() override { m_inner.flush(); }
    void publish()
    {
        if (m_stats)
            *m_stats = {m_sent, m_received, m_sends, m_answerNs, m_answers};
    }

private:
    TransferDriver &m_inner;
    TransferStats *m_stats;
    std::uint64_t m_sent = 0, m_received = 0, m_sends = 0, m_answerNs = 0, m_answers = 0;
    QElapsedTimer m_lastArrival;
};

}  // namespace

bool WaitForDevice(TVRK_610_d &driver, int timeoutMs, const std::function<bool()> &stop)
{
    driver.RestartTimer(1);  // probe at once rather than after the first period
    bool stopped = false;
    const bool found = spin(
        [&] {
            if (stop && stop()) {
                stopped = true;
                return true;
            }
            const auto state = driver.LinkState();
            return driver.Connected() && (state == LS_POLL || state == LS_WAIT);
        },
        timeoutMs);
    return found && !stopped;
}

std::string RunTransfer(TVRK_610_d &driver, WorkPicture &picture, TransferJob &job, const TransferWatch &watch)
{
    DirectTransferDriver direct(driver);
    CountingTransferDriver counting(direct, watch.stats);
    QueuedTransferDriver queued(counting);
    std::unique_ptr<TThreadFrame> worker;
    if (job.sending)
        worker = std::make_unique<TThreadFrameRaw>();
    else
        worker = std::make_unique<TThreadFrameReceive>();
    worker->setDriver(&queued);
    worker->SetStepOnArrival(true);  // the next record leaves from the reply's handler
    worker->setWorkPicture(&picture);
    worker->setKindCode(job.kindCode);
    worker->setSlotIndex(job.slotIndex);
    worker->setFrameCount(job.frameCount);
    worker->setFrameDelay(job.frameDelay);
    worker->Run();
    worker->PrepareTransfer();
    worker->StartTransfer();

    QElapsedTimer sinceProgress;
    sinceProgress.start();
    double last = -1.0;
    bool aborted = false;
    spin(
        [&] {
            if (worker->IsDone())
                return true;
            const double percent = worker->ProgressPercent();
            if (percent != last) {
                last = percent;
                sinceProgress.restart();
                if (watch.progress)
                    watch.progress(percent);
            }
            const bool stalled = !job.sending && sinceProgress.elapsed() > watch.stallMs;  // no time-out of its own
            if (!aborted && worker->IsBusy() && (stalled || (watch.stop && watch.stop()))) {
                aborted = true;
                worker->AbortTransfer();
            }
            return false;
        },
        -1);
    if (watch.progress)
        watch.progress(worker->ProgressPercent());
    const std::string result = worker->ResultText();
    job.frameCount = worker->FrameCount();
    job.frameDelay = worker->FrameDelay();
    worker->Terminate();  // joins, and carries out any driver call still pending
    counting.publish();
    return result;
}

}  // namespace varnel::logos
