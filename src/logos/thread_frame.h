#pragma once
// The picture transfer workers. TThreadFrame holds what both directions share:
// the five signals, the receive text, the message scan, progress and the worker
// thread; TThreadFrameRaw sends a picture to the device, TThreadFrameReceive
// retrieves one.
//
// The step logic runs in Cycle(now): one cycle acts on the first pending signal
// and performs the current step once, then says when the next cycle is due. The
// worker thread calls it in a loop and sleeps on a condition variable until that
// time or until text arrives or a signal is set; tests call it directly with
// their own clock and feed text through Receive().
//
// With SetStepOnArrival, a reply is acted on at once by the thread that delivers
// it (the user-interface thread, whose driver calls are carried out directly):
// the next record leaves without waking the worker, which then only keeps the
// time-outs and the window's signals. Cycles never overlap: a reply that comes
// while the worker is in a cycle is left to the worker.

#include "transfer_driver.h"
#include "transfer_record.h"
#include "work_picture.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <thread>

namespace varnel::logos {

/// Milliseconds of a monotonic clock, signed 64-bit.
std::int64_t MonotonicMilliseconds();

inline constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
inline constexpr std::int64_t kAnswerTimeoutMs = 3000;
inline constexpr std::int64_t kBeginAllowanceMs = 240000;
inline constexpr int kMaxRefusals = 5;
inline constexpr std::uint32_t kTransferBaud = 115200;
inline constexpr std::uint32_t kRegisterBaud = 9600;
/// The largest picture memory (a frame of 95 blocks of 65536 bytes).
inline constexpr std::int64_t kLargestMemoryBytes = 95LL * 65536;

// Result texts.
inline constexpr const char *kTextFailure = "Failure.";
inline constexpr const char *kTextAborted = "Transfer aborted by user.";
inline constexpr const char *kTextTimedOut = "Transfer timed out.";
inline constexpr const char *kTextRefused = "Transfer refused by the device.";
inline constexpr const char *kTextEmptyMemory = "No Logo or Frame Stored";
inline constexpr const char *kTextTooLarge = "Picture too large for the device.";
inline constexpr const char *kTextBadSize = "The device reported an invalid picture size.";
inline constexpr const char *kTextUnexpected = "Unexpected answer from the device.";

class TThreadFrame {
public:
    using Clock = std::function<std::int64_t()>;

    explicit TThreadFrame(Clock clock = MonotonicMilliseconds);
    virtual ~TThreadFrame();
    TThreadFrame(const TThreadFrame &) = delete;
    TThreadFrame &operator=(const TThreadFrame &) = delete;

    void setDriver(TransferDriver *driver) { m_driver = driver; }
    /// Act on complete replies inside Receive(). Only for a driver that carries
    /// out calls made on the receiving thread at once and in order.
    void SetStepOnArrival(bool on) { m_stepOnArrival = on; }
    void setWorkPicture(WorkPicture *picture) { m_picture = picture; }

    // Job parameters.
    std::uint8_t KindCode() const { return m_kindCode; }
    void setKindCode(std::uint8_t v) { m_kindCode = v; }
    std::uint8_t SlotIndex() const { return m_slotIndex; }
    void setSlotIndex(std::uint8_t v) { m_slotIndex = v; }
    std::uint8_t FrameCount() const { return m_frameCount; }
    void setFrameCount(std::uint8_t v) { m_frameCount = v; }
    std::uint16_t FrameDelay() const { return m_frameDelay; }
    void setFrameDelay(std::uint16_t v) { m_frameDelay = v; }

    // Window operations (user-interface thread).
    void PrepareTransfer();
    void StartTransfer();
    void AbortTransfer();
    bool IsBusy() const { return m_busy.load(); }
    bool IsDone() const { return m_done.load(); }
    std::string ResultText() const;
    double ProgressPercent() const;

    /// Starts the worker thread (once).
    void Run();
    /// Tells the worker to stop and waits for it. A transfer under way is ended
    /// the way an abort ends it, and the driver's pending calls are carried out,
    /// so the link is left in MODE_VAR at 9600 baud with its previous handler.
    /// Call on the user-interface thread.
    void Terminate();

    /// One cycle at time `now`; returns when the next cycle is due (kNever: only
    /// when woken by arriving text or a signal).
    std::int64_t Cycle(std::int64_t now);
    /// The receive handler: appends arrived text and wakes the worker.
    void Receive(std::string text);
    /// The receive text not yet consumed (tests).
    std::string ReceiveText() const;

protected:
    virtual std::int64_t DoStep(std::int64_t now) = 0;
    virtual void OnStart() = 0;   ///< start request taken: first step
    virtual void OnReset() = 0;   ///< reset request taken: Idle
    virtual void OnAbort() = 0;   ///< abort request taken
    virtual bool InTransfer() const = 0;  ///< between Enter raw and Clean up
    /// User-interface thread, before a start: a result text that refuses the
    /// job, or null. Sets the pixel total used by the progress.
    virtual const char *CheckJob() = 0;

    // Shared pieces of the steps.
    MessageKind Scan();
    bool ReceiveContains(std::string_view text);
    void SendText(const std::string &text);  ///< clears the receive text, then sends
    void SendRecord(std::uint8_t type, std::uint16_t parameter, std::span<const std::uint8_t> data = {});
    void SendReply(bool ack);
    void CleanUp();
    void SetResultIfEmpty(const std::string &text);
    void SetResult(const std::string &text);
    void Pause(std::int64_t until) { m_pauseUntil = until; }
    /// Ends a transfer that was stopped mid-way (Terminate).
    virtual void StopMidTransfer() = 0;

    TransferDriver *m_driver = nullptr;
    WorkPicture *m_picture = nullptr;
    TransferMessage m_message;
    PixelCursor m_cursor;
    std::atomic<std::uint32_t> m_handled{0};
    std::atomic<std::int64_t> m_totalPixels{0};
    std::atomic<std::uint8_t> m_kindCode{0}, m_slotIndex{0}, m_frameCount{1};
    std::atomic<std::uint16_t> m_frameDelay{0};

private:
    std::int64_t CycleLocked(std::int64_t now);
    /// Runs the cycles that are due now, on the calling thread, unless the worker
    /// is in one; true when it did.
    bool StepNow();
    void Wake();
    void ThreadLoop();

    Clock m_clock;
    std::int64_t m_pauseUntil = 0;

    std::atomic<bool> m_resetRequest{true};
    std::atomic<bool> m_startRequest{false};
    std::atomic<bool> m_abortRequest{false};
    std::atomic<bool> m_busy{false};
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_hooked{false};  // our receive handler is installed

    mutable std::mutex m_textMutex;
    std::string m_receiveText;
    std::string m_resultText;

    std::atomic<bool> m_stepOnArrival{false};
    std::mutex m_cycleMutex;  // one cycle at a time, whichever thread runs it

    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    std::uint64_t m_generation = 0;
    std::int64_t m_sleepUntil = kNever;  // the worker's next cycle unless woken
    bool m_terminate = false;
    std::thread m_thread;
};

/// Sends the work picture to a picture memory.
class TThreadFrameRaw final : public TThreadFrame {
public:
    enum class Step {
        Idle, EnterRaw, AwaitRawAck, SendHeader, SendSize, SendFrames, SendBegin, NextGroup, AfterRepeat,
        SendRed, SendGreen, SendBlue, Abort, AbortSend, Finish, CleanUp
    };
    using TThreadFrame::TThreadFrame;
    ~TThreadFrameRaw() override;
    Step CurrentStep() const { return m_step; }

protected:
    std::int64_t DoStep(std::int64_t now) override;
    void OnStart() override;
    void OnReset() override { m_step = Step::Idle; }
    void OnAbort() override { m_step = Step::Abort; }
    bool InTransfer() const override { return m_step != Step::Idle; }
    void StopMidTransfer() override;

private:
    std::int64_t TimeoutCheck(std::int64_t now);
    /// A waiting step: on ACK calls `onAck`; on a refusal or an unexpected record
    /// goes back to the resume step (or aborts after repeated refusals); on
    /// nothing checks the time-out. Returns when the next cycle is due.
    std::int64_t AwaitAck(std::int64_t now, const std::function<void()> &onAck);
    /// Counts a refusal of the record sent by `refused`; true when it was one too many.
    bool Refused(Step refused);
    const char *CheckJob() override;
    PixelGroup ReadNextGroup();
    void SendComponent(int component);
    void NextGroupOnAck();

    Step m_step = Step::Idle;
    Step m_resume = Step::Idle;
    Step m_refused = Step::Idle;
    std::int64_t m_lastSend = 0;
    int m_refusals = 0;
    int m_frameHeight = 1;
    PixelGroup m_group;
    PixelGroup m_previous;
    bool m_readFailed = false;  ///< the picture changed under the transfer
};

/// Retrieves a picture memory into the work picture.
class TThreadFrameReceive final : public TThreadFrame {
public:
    enum class Step { Idle, EnterRaw, AwaitRawAck, SendHeader, AwaitHeaderAck, AwaitSize, AwaitFrames, AwaitData, Abort, AbortEnd, CleanUp };
    using TThreadFrame::TThreadFrame;
    ~TThreadFrameReceive() override;
    Step CurrentStep() const { return m_step; }

protected:
    std::int64_t DoStep(std::int64_t now) override;
    void OnStart() override;
    void OnReset() override { m_step = Step::Idle; }
    void OnAbort() override { m_step = Step::Abort; }
    bool InTransfer() const override { return m_step != Step::Idle; }
    void StopMidTransfer() override;

private:
    void TakeData();
    void PlaceLastGroup(int count);
    void Refuse(const char *result);
    const char *CheckJob() override
    {
        m_totalPixels = 0;
        return nullptr;
    }

    Step m_step = Step::Idle;
    int m_width = 0;
    int m_frameHeight = 0;
    std::array<std::vector<std::uint8_t>, 3> m_buffers;  // red, green, blue
};

}  // namespace varnel::logos
