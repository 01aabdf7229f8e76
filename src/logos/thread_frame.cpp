#include "thread_frame.h"

#include <chrono>
#include <cstdio>

namespace varnel::logos {

std::int64_t MonotonicMilliseconds()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// ---------------------------------------------------------------------------
// TThreadFrame

TThreadFrame::TThreadFrame(Clock clock) : m_clock(std::move(clock)) {}

TThreadFrame::~TThreadFrame()
{
    // Derived destructors terminate first (their steps are gone by now); this
    // only joins a thread that was never told to stop.
    if (m_thread.joinable()) {
        {
            std::lock_guard lock(m_wakeMutex);
            m_terminate = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
}

void TThreadFrame::PrepareTransfer()
{
    m_resetRequest = true;
    SetResult({});
    m_handled = 0;
    Wake();
}

void TThreadFrame::StartTransfer()
{
    if (m_busy || m_startRequest)
        return;  // one transfer at a time
    if (!m_driver || !m_picture) {
        SetResult(kTextFailure);
        m_done = true;
        return;
    }
    if (const char *refusal = CheckJob()) {
        SetResult(refusal);
        m_done = true;
        return;
    }
    m_done = false;
    m_hooked = true;
    m_driver->hookReceive([this](std::string text) { Receive(std::move(text)); });
    m_startRequest = true;
    Wake();
}

void TThreadFrame::AbortTransfer()
{
    if (!m_busy)
        return;
    SetResult(kTextAborted);
    m_abortRequest = true;
    Wake();
}

std::string TThreadFrame::ResultText() const
{
    std::lock_guard lock(m_textMutex);
    return m_resultText;
}

void TThreadFrame::SetResult(const std::string &text)
{
    std::lock_guard lock(m_textMutex);
    m_resultText = text;
}

void TThreadFrame::SetResultIfEmpty(const std::string &text)
{
    std::lock_guard lock(m_textMutex);
    if (m_resultText.empty())
        m_resultText = text;
}

double TThreadFrame::ProgressPercent() const
{
    const std::int64_t total = m_totalPixels.load();
    if (total <= 0)
        return 0.0;
    return double(m_handled.load()) * 100.0 / double(total);
}

void TThreadFrame::Receive(std::string text)
{
    // Replies and records both end with a carriage return: text without one
    // cannot complete a message, so the worker sleeps on.
    const bool mayComplete = text.find('\r') != std::string::npos;
    {
        std::lock_guard lock(m_textMutex);
        m_receiveText.append(text);
    }
    if (mayComplete && !(m_stepOnArrival && StepNow()))
        Wake();
}

bool TThreadFrame::StepNow()
{
    std::unique_lock cycle(m_cycleMutex, std::try_to_lock);
    if (!cycle.owns_lock())
        return false;  // the worker is in a cycle and looks at the text next
    std::int64_t now = m_clock();
    std::int64_t due = CycleLocked(now);
    while (due <= now) {
        now = m_clock();
        due = CycleLocked(now);
    }
    // The worker sleeps until its own deadline; an earlier one (a pause, the
    // start of a time-out) needs it awake.
    std::lock_guard lock(m_wakeMutex);
    if (due < m_sleepUntil) {
        m_sleepUntil = due;
        ++m_generation;
        m_wake.notify_all();
    }
    return true;
}

std::string TThreadFrame::ReceiveText() const
{
    std::lock_guard lock(m_textMutex);
    return m_receiveText;
}

MessageKind TThreadFrame::Scan()
{
    std::lock_guard lock(m_textMutex);
    return ScanMessage(m_receiveText, m_message);
}

bool TThreadFrame::ReceiveContains(std::string_view text)
{
    std::lock_guard lock(m_textMutex);
    return m_receiveText.find(text) != std::string::npos;
}

void TThreadFrame::SendText(const std::string &text)
{
    {
        std::lock_guard lock(m_textMutex);
        m_receiveText.clear();
    }
    m_driver->sendRaw(text);
}

void TThreadFrame::SendRecord(std::uint8_t type, std::uint16_t parameter, std::span<const std::uint8_t> data)
{
    SendText(BuildRecord(type, parameter, data) + std::string(kLineEnd));
}

void TThreadFrame::SendReply(bool ack)
{
    SendText(std::string(ack ? kAck : kNak) + std::string(kLineEnd));
}

void TThreadFrame::CleanUp()
{
    m_hooked = false;
    m_driver->restoreReceive();
    m_driver->setBaudRate(kRegisterBaud);
    m_driver->setConMode(tConnectionMode::MODE_VAR);
    // Busy and done change once the driver is really back, so a window that sees
    // "done" may start the next transfer at once.
    m_driver->then([this] {
        m_busy = false;
        m_done = true;
    });
}

std::int64_t TThreadFrame::Cycle(std::int64_t now)
{
    std::lock_guard cycle(m_cycleMutex);
    return CycleLocked(now);
}

std::int64_t TThreadFrame::CycleLocked(std::int64_t now)
{
    if (m_resetRequest.exchange(false)) {
        m_pauseUntil = 0;
        OnReset();
    } else if (m_startRequest.exchange(false)) {
        m_busy = true;
        m_done = false;
        m_pauseUntil = 0;
        OnStart();
    } else if (m_abortRequest.exchange(false)) {
        if (InTransfer()) {
            m_pauseUntil = 0;
            OnAbort();
        }
    }
    const std::int64_t due = now < m_pauseUntil ? m_pauseUntil : DoStep(now);
    if (m_resetRequest || m_startRequest || m_abortRequest)
        return now;  // another request waits for the next cycle
    return due;
}

void TThreadFrame::Wake()
{
    {
        std::lock_guard lock(m_wakeMutex);
        ++m_generation;
    }
    m_wake.notify_all();
}

void TThreadFrame::Run()
{
    if (m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_wakeMutex);
        m_terminate = false;
    }
    m_thread = std::thread([this] { ThreadLoop(); });
}

void TThreadFrame::ThreadLoop()
{
    for (;;) {
        std::uint64_t seen = 0;
        {
            std::lock_guard lock(m_wakeMutex);
            if (m_terminate)
                break;
            seen = m_generation;
        }
        {
            std::lock_guard cycle(m_cycleMutex);
            const std::int64_t due = CycleLocked(m_clock());
            std::lock_guard lock(m_wakeMutex);
            m_sleepUntil = due;  // set under the cycle lock: the latest cycle's word holds
        }
        std::unique_lock lock(m_wakeMutex);
        const auto woken = [&] { return m_terminate || m_generation != seen; };
        if (woken())
            continue;
        if (m_sleepUntil == kNever) {
            m_wake.wait(lock, woken);
        } else {
            const std::int64_t now = m_clock();
            if (m_sleepUntil > now)
                m_wake.wait_for(lock, std::chrono::milliseconds(m_sleepUntil - now), woken);
        }
    }
    std::lock_guard cycle(m_cycleMutex);
    if (InTransfer())
        StopMidTransfer();
}

void TThreadFrame::Terminate()
{
    {
        std::lock_guard lock(m_wakeMutex);
        m_terminate = true;
        ++m_generation;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    } else {
        std::lock_guard cycle(m_cycleMutex);
        if (InTransfer())
            StopMidTransfer();  // driven by hand: end it here
    }
    if (m_driver) {
        if (m_hooked.exchange(false)) {  // started but never taken up
            m_driver->restoreReceive();
            m_done = true;
        }
        m_driver->flush();
    }
}

// ---------------------------------------------------------------------------
// TThreadFrameRaw

TThreadFrameRaw::~TThreadFrameRaw()
{
    Terminate();
}

const char *TThreadFrameRaw::CheckJob()
{
    std::lock_guard lock(m_picture->mutex);
    const QImage &img = m_picture->image;
    // Sizes travel as 16-bit numbers: a larger side would arrive wrapped.
    if (img.width() > 65535 || FrameHeightOf(img.height(), m_frameCount) > 65535)
        return kTextTooLarge;
    if (!img.isNull() && img.format() != kWorkFormat)
        return kTextFailure;
    m_totalPixels = std::int64_t(img.width()) * img.height();
    return nullptr;
}

void TThreadFrameRaw::OnStart()
{
    m_step = Step::EnterRaw;
    m_resume = Step::Idle;
    m_refused = Step::Idle;
    m_refusals = 0;
    m_cursor = {};
    m_group.size = 0;
    m_previous.size = 0;
    m_readFailed = false;
    std::lock_guard lock(m_picture->mutex);
    m_frameHeight = FrameHeightOf(m_picture->image.height(), m_frameCount);
}

void TThreadFrameRaw::StopMidTransfer()
{
    if (m_step != Step::CleanUp && m_step != Step::EnterRaw)
        SendRecord(kTypeAbort, 0);
    SetResultIfEmpty(kTextAborted);
    CleanUp();
    m_step = Step::Idle;
}

std::int64_t TThreadFrameRaw::TimeoutCheck(std::int64_t now)
{
    if (now - m_lastSend >= kAnswerTimeoutMs) {
        SetResultIfEmpty(kTextTimedOut);
        m_step = Step::Abort;
        return now;
    }
    return m_lastSend + kAnswerTimeoutMs;
}

bool TThreadFrameRaw::Refused(Step refused)
{
    if (refused != m_refused) {
        m_refused = refused;
        m_refusals = 0;
    }
    if (++m_refusals >= kMaxRefusals) {
        SetResultIfEmpty(kTextRefused);
        m_step = Step::Abort;
        return true;
    }
    return false;
}

std::int64_t TThreadFrameRaw::AwaitAck(std::int64_t now, const std::function<void()> &onAck)
{
    const MessageKind k = Scan();
    if (k == MessageKind::None)
        return TimeoutCheck(now);
    if (k == MessageKind::Ack) {
        if (m_step != m_refused) {  // this ACK is not the one that follows a refusal
            m_refused = Step::Idle;
            m_refusals = 0;
        }
        onAck();
        return now;
    }
    if (!Refused(m_resume))
        m_step = m_resume;  // back to the step that sent the refused record
    return now;
}

PixelGroup TThreadFrameRaw::ReadNextGroup()
{
    std::lock_guard lock(m_picture->mutex);
    const PixelView view = m_picture->readView();
    PixelGroup g = ReadGroup(view, m_frameHeight, m_cursor);
    m_handled += std::uint32_t(g.size);
    // Nothing read before the end of a picture that had pixels: it was changed
    // under the transfer.
    if (g.size == 0 && m_totalPixels > 0 && !(view.bits && m_cursor.row >= view.height))
        m_readFailed = true;
    return g;
}

void TThreadFrameRaw::SendComponent(int component)
{
    const auto plain = ComponentBytes(m_group, component);
    bool coded = false;
    const auto data = CodeComponent(plain, coded);
    std::uint16_t code = std::uint16_t(component);
    if (coded)
        code |= kRunLengthCoded;
    if (component == kBlue)
        code |= kGroupClose;
    SendRecord(kTypeData, code, data);
}

void TThreadFrameRaw::NextGroupOnAck()
{
    m_group = ReadNextGroup();
    std::uint16_t repeat = 0;
    while (!m_readFailed && m_group.size > 0 && m_group == m_previous && repeat < kMaxRepeat) {
        ++repeat;
        m_group = ReadNextGroup();
    }
    if (m_readFailed) {
        char where[32];
        std::snprintf(where, sizeof where, "%d %d", m_cursor.col, m_cursor.row);
        SetResultIfEmpty(where);
        m_step = Step::Abort;
        return;
    }
    if (m_group.size == 0 && repeat == 0) {
        m_step = Step::Finish;
        return;
    }
    m_previous = m_group;
    if (repeat > 0) {
        SendRecord(kTypeRepeat, repeat);
        m_step = Step::AfterRepeat;
    } else {
        m_step = Step::SendRed;
    }
}

std::int64_t TThreadFrameRaw::DoStep(std::int64_t now)
{
    switch (m_step) {
    case Step::Idle:
        return kNever;
    case Step::EnterRaw:
        m_driver->setConMode(tConnectionMode::MODE_RAW);
        SendText("6LM");
        m_lastSend = now;
        m_step = Step::AwaitRawAck;
        return now;
    case Step::AwaitRawAck:
        if (ReceiveContains(kAck)) {
            m_driver->setBaudRate(kTransferBaud);
            Pause(now + 100);
            m_step = Step::SendHeader;
            return now + 100;
        }
        return TimeoutCheck(now);
    case Step::SendHeader: {
        const std::uint8_t data[] = {m_kindCode, m_slotIndex};
        SendRecord(kTypeControl, kCtlHeader, data);
        m_lastSend = now;
        m_resume = Step::SendHeader;
        m_step = Step::SendSize;
        return now;
    }
    case Step::SendSize:
        return AwaitAck(now, [&] {
            int w = 0, h = 0;
            {
                std::lock_guard lock(m_picture->mutex);
                w = m_picture->image.width();
                h = m_picture->image.height();
            }
            const int fh = h > 0 ? FrameHeightOf(h, m_frameCount) : 0;
            const std::uint8_t data[] = {std::uint8_t(w >> 8), std::uint8_t(w), std::uint8_t(fh >> 8), std::uint8_t(fh)};
            SendRecord(kTypeControl, kCtlSize, data);
            m_lastSend = now;
            m_resume = Step::SendSize;
            m_step = Step::SendFrames;
        });
    case Step::SendFrames:
        return AwaitAck(now, [&] {
            const std::uint16_t delay = m_frameDelay;
            const std::uint8_t data[] = {m_frameCount, std::uint8_t(delay >> 8), std::uint8_t(delay)};
            SendRecord(kTypeControl, kCtlFrames, data);
            m_lastSend = now;
            m_resume = Step::SendFrames;
            m_step = Step::SendBegin;
        });
    case Step::SendBegin:
        return AwaitAck(now, [&] {
            SendRecord(kTypeControl, kCtlBegin);
            m_previous.size = 0;
            m_lastSend = now + kBeginAllowanceMs;  // the device may take minutes to answer
            m_resume = Step::SendBegin;
            m_step = Step::NextGroup;
        });
    case Step::NextGroup:
        return AwaitAck(now, [&] {
            m_lastSend = now;
            m_resume = Step::NextGroup;
            NextGroupOnAck();
        });
    case Step::AfterRepeat: {
        const MessageKind k = Scan();
        if (k == MessageKind::None)
            return TimeoutCheck(now);
        if (k == MessageKind::Ack) {
            m_refusals = 0;
            m_refused = Step::Idle;
            m_resume = Step::AfterRepeat;
            m_step = m_group.size > 0 ? Step::SendRed : Step::Finish;
        } else {
            Refused(Step::AfterRepeat);  // ignored, but not for ever
        }
        return now;
    }
    case Step::SendRed:
        SendComponent(kRed);
        m_lastSend = now;
        m_resume = Step::SendRed;
        m_step = Step::SendGreen;
        return now;
    case Step::SendGreen:
        return AwaitAck(now, [&] {
            SendComponent(kGreen);
            m_lastSend = now;
            m_resume = Step::SendGreen;
            m_step = Step::SendBlue;
        });
    case Step::SendBlue:
        return AwaitAck(now, [&] {
            SendComponent(kBlue);
            m_lastSend = now;
            m_resume = Step::SendBlue;
            m_step = Step::NextGroup;
        });
    case Step::Abort:
        Pause(now + 100);
        m_step = Step::AbortSend;
        return now + 100;
    case Step::AbortSend:
        SendRecord(kTypeAbort, 0);
        m_step = Step::CleanUp;
        return now;
    case Step::Finish:
        SendRecord(kTypeEnd, 0);
        m_step = Step::CleanUp;
        return now;
    case Step::CleanUp:
        CleanUp();
        m_step = Step::Idle;
        return kNever;
    }
    return kNever;
}

// ---------------------------------------------------------------------------
// TThreadFrameReceive

TThreadFrameReceive::~TThreadFrameReceive()
{
    Terminate();
}

void TThreadFrameReceive::OnStart()
{
    m_step = Step::EnterRaw;
    m_cursor = {};
    m_width = 0;
    m_frameHeight = 0;
    for (auto &b : m_buffers)
        b.clear();
}

void TThreadFrameReceive::StopMidTransfer()
{
    if (m_step != Step::CleanUp && m_step != Step::EnterRaw)
        SendReply(false);
    SetResultIfEmpty(kTextAborted);
    CleanUp();
    m_step = Step::Idle;
}

void TThreadFrameReceive::Refuse(const char *result)
{
    if (result)
        SetResult(result);
    SendReply(false);
    m_step = Step::CleanUp;
}

void TThreadFrameReceive::TakeData()
{
    const int component = m_message.parameter & kComponentMask;
    if (component >= kRed && component <= kBlue) {
        auto &buffer = m_buffers[std::size_t(component - 1)];
        const auto bytes = m_message.bytes();
        if (m_message.parameter & kRunLengthCoded)
            buffer = DecodeRunLength(bytes, kMaxGroup);
        else
            buffer.assign(bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), kMaxGroup));
        if (m_message.parameter & kGroupClose)
            PlaceLastGroup(int(buffer.size()));
    }
}

void TThreadFrameReceive::PlaceLastGroup(int count)
{
    std::lock_guard lock(m_picture->mutex);
    const int n = PlaceGroup(m_picture->view(), m_cursor, m_buffers[0], m_buffers[1], m_buffers[2], count);
    m_handled += std::uint32_t(n);
}

std::int64_t TThreadFrameReceive::DoStep(std::int64_t now)
{
    switch (m_step) {
    case Step::Idle:
        return kNever;
    case Step::EnterRaw:
        m_driver->setConMode(tConnectionMode::MODE_RAW);
        SendText("6LM");
        m_step = Step::AwaitRawAck;
        return now;
    case Step::AwaitRawAck:
        if (!ReceiveContains(kAck))
            return kNever;
        m_driver->setBaudRate(kTransferBaud);
        Pause(now + 100);
        m_step = Step::SendHeader;
        return now + 100;
    case Step::SendHeader: {
        const std::uint8_t data[] = {m_kindCode, m_slotIndex};
        SendRecord(kTypeControl, kCtlHeader, data);
        m_step = Step::AwaitHeaderAck;
        return now;
    }
    case Step::AwaitHeaderAck: {
        const MessageKind k = Scan();
        if (k == MessageKind::None)
            return kNever;
        if (k == MessageKind::Ack) {
            SendRecord(kTypeControl, kCtlRequest);
            m_step = Step::AwaitSize;
        }
        return now;
    }
    case Step::AwaitSize: {
        const MessageKind k = Scan();
        if (k == MessageKind::None)
            return kNever;
        if (!m_message.isRecord(kTypeControl, kCtlSize) || m_message.length < 4)
            return now;  // anything else is ignored
        const int w = (m_message.data[0] << 8) | m_message.data[1];
        const int fh = (m_message.data[2] << 8) | m_message.data[3];
        if (w == 0 && fh == 0) {
            Refuse(kTextEmptyMemory);
        } else if (w == 0 || fh == 0 || std::int64_t(w) * fh * 3 > kLargestMemoryBytes) {
            Refuse(kTextBadSize);
        } else {
            m_width = w;
            m_frameHeight = fh;
            m_totalPixels = std::int64_t(w) * fh;
            SendReply(true);
            m_step = Step::AwaitFrames;
        }
        return now;
    }
    case Step::AwaitFrames: {
        const MessageKind k = Scan();
        if (k == MessageKind::None)
            return kNever;
        if (!m_message.isRecord(kTypeControl, kCtlFrames) || m_message.length < 3) {
            Refuse(kTextUnexpected);
            return now;
        }
        const int count = m_message.data[0];
        const std::int64_t height = std::int64_t(m_frameHeight) * count;
        if (count == 0 || std::int64_t(m_width) * height * 3 > kLargestMemoryBytes) {
            Refuse(kTextBadSize);
            return now;
        }
        bool allocated = false;
        {
            std::lock_guard lock(m_picture->mutex);
            m_picture->image = QImage(m_width, int(height), kWorkFormat);
            allocated = !m_picture->image.isNull();
            if (allocated)
                m_picture->image.fill(Qt::black);
        }
        if (!allocated) {
            Refuse(kTextFailure);
            return now;
        }
        m_frameCount = std::uint8_t(count);
        m_frameDelay = std::uint16_t((m_message.data[1] << 8) | m_message.data[2]);
        m_totalPixels = std::int64_t(m_width) * height;
        SendReply(true);
        m_step = Step::AwaitData;
        return now;
    }
    case Step::AwaitData: {
        const MessageKind k = Scan();
        if (k == MessageKind::None)
            return kNever;
        if (k != MessageKind::Record)
            return now;
        if (m_message.type == kTypeData) {
            TakeData();
            SendReply(true);
        } else if (m_message.type == kTypeRepeat) {
            // The previous group again, `parameter` more times.
            for (int i = 0; i < m_message.parameter; ++i)
                PlaceLastGroup(int(m_buffers[2].size()));
            SendReply(true);
        } else if (m_message.type == kTypeEnd) {
            m_step = Step::CleanUp;
        }
        return now;
    }
    case Step::Abort:
        SendReply(false);
        Pause(now + 100);
        m_step = Step::AbortEnd;
        return now + 100;
    case Step::AbortEnd:
        SetResult(kTextAborted);
        m_step = Step::CleanUp;
        return now;
    case Step::CleanUp:
        CleanUp();
        m_step = Step::Idle;
        return kNever;
    }
    return kNever;
}

}  // namespace varnel::logos
