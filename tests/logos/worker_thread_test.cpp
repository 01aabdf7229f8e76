// The workers on their own threads against the real driver and an in-process
// device: the driver is only ever touched on the user-interface thread (the
// test's main thread), a picture goes out and comes back unchanged, refused
// records are sent again, endless refusals and silence end the transfer with
// their own result texts, and however a transfer ends (finish, abort, the
// worker destroyed mid-way) the driver is left in MODE_VAR at 9600 baud with
// its previous receive handler. All of it holds whether replies are acted on by
// the worker or by the receive handler itself (SetStepOnArrival).
#include "fake_picture_device.h"
#include "script_driver.h"
#include "queued_transfer_driver.h"
#include "test_app.h"
#include "thread_frame.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace varnel;
using namespace varnel::logos;
using namespace varnel::logos::test;

namespace {

QImage testPicture(int w, int h)
{
    QImage img(w, h, kWorkFormat);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, y < h / 2 ? qRgb(200, 30, 40) : qRgb(x * 5 % 256, y * 11 % 256, (x + y) % 256));
    return img;
}

struct WorkerThreadTest : ::testing::TestWithParam<bool> {  // replies acted on by the handler?
    TVRK_610_d driver;
    FakePictureDevice *device = nullptr;
    DirectTransferDriver direct{driver};
    std::unique_ptr<QueuedTransferDriver> queued;
    WorkPicture picture;
    int previousHandlerCalls = 0;

    void SetUp() override
    {
        app();
        auto d = std::make_unique<FakePictureDevice>();
        device = d.get();
        driver.setTransport(tConnectionType::CON_RS232, std::move(d));
        driver.setConType(tConnectionType::CON_RS232);
        driver.setHandler(Event::OnRecString, [this](TVRK_610_d &, int) { ++previousHandlerCalls; });
        queued = std::make_unique<QueuedTransferDriver>(direct);
    }
    void TearDown() override
    {
        QCoreApplication::processEvents();
        queued.reset();
    }
    void begin(TThreadFrame &w, std::uint8_t kind, std::uint8_t slot, WorkPicture &pic)
    {
        w.setDriver(queued.get());
        w.SetStepOnArrival(GetParam());
        w.setWorkPicture(&pic);
        w.setKindCode(kind);
        w.setSlotIndex(slot);
        w.Run();
        w.PrepareTransfer();
        w.StartTransfer();
    }
    bool runUntil(const std::function<bool()> &finished, int ms = 20000)
    {
        QElapsedTimer t;
        t.start();
        while (!finished() && t.elapsed() < ms) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        QCoreApplication::processEvents();
        return finished();
    }
    void expectDriverRestored()
    {
        EXPECT_EQ(driver.ConMode(), tConnectionMode::MODE_VAR);
        ASSERT_FALSE(device->bauds.empty());
        EXPECT_EQ(device->bauds.back(), 9600u);
        const auto h = driver.handler(Event::OnRecString);
        ASSERT_TRUE(h);
        const int before = previousHandlerCalls;
        h(driver, 0);
        EXPECT_EQ(previousHandlerCalls, before + 1) << "the previous handler is back";
        EXPECT_FALSE(device->wrongThread) << "the driver was reached from a worker thread";
    }
    QImage storedImage() const
    {
        QImage img(device->width, device->frameHeight * std::max(device->frames, 1), kWorkFormat);
        if (device->rgb.size() != std::size_t(img.width()) * img.height() * 3)
            return {};
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const auto *p = &device->rgb[(std::size_t(y) * img.width() + x) * 3];
                img.setPixel(x, y, qRgb(p[0], p[1], p[2]));
            }
        return img;
    }
};

}  // namespace

TEST_P(WorkerThreadTest, PictureGoesOutAndComesBackThroughTheDriver)
{
    picture.image = testPicture(45, 20);
    TThreadFrameRaw sender;
    begin(sender, kKindStillLogo, 3, picture);
    ASSERT_TRUE(runUntil([&] { return sender.IsDone(); }));
    EXPECT_EQ(sender.ResultText(), "");
    EXPECT_TRUE(device->complete);
    EXPECT_EQ(storedImage(), picture.image);
    EXPECT_EQ(device->bauds, (std::vector<std::uint32_t>{115200, 9600}));
    EXPECT_DOUBLE_EQ(sender.ProgressPercent(), 100.0);
    expectDriverRestored();

    WorkPicture back;
    TThreadFrameReceive receiver;
    begin(receiver, kKindStillLogo, 3, back);
    ASSERT_TRUE(runUntil([&] { return receiver.IsDone(); }));
    EXPECT_EQ(receiver.ResultText(), "");
    EXPECT_EQ(back.image, picture.image);
    expectDriverRestored();
}

TEST_P(WorkerThreadTest, RepliesAreAnsweredFromTheHandlerOnlyWhenAsked)
{
    // Acting on arrival, every line but the first record after the 100 ms pause
    // leaves from inside the delivery of the device's answer; otherwise none does
    // (the worker's calls reach the driver through the event loop).
    picture.image = testPicture(40, 10);
    TThreadFrameRaw sender;
    begin(sender, kKindStillLogo, 4, picture);
    ASSERT_TRUE(runUntil([&] { return sender.IsDone(); }));
    EXPECT_EQ(sender.ResultText(), "");
    EXPECT_EQ(storedImage(), picture.image);
    EXPECT_EQ(device->linesInDelivery, GetParam() ? device->records - 1 : 0);
    expectDriverRestored();

    const int linesBefore = device->linesInDelivery;
    WorkPicture back;
    TThreadFrameReceive receiver;
    begin(receiver, kKindStillLogo, 4, back);
    ASSERT_TRUE(runUntil([&] { return receiver.IsDone(); }));
    EXPECT_EQ(receiver.ResultText(), "");
    EXPECT_EQ(back.image, picture.image);
    const int repliesInDelivery = device->linesInDelivery - linesBefore;
    if (GetParam())
        EXPECT_GT(repliesInDelivery, 3 * 40 * 10 / 32) << "every data record's reply";
    else
        EXPECT_EQ(repliesInDelivery, 0);
    expectDriverRestored();
}

TEST_P(WorkerThreadTest, AnswersArrivingACharacterAtATime)
{
    picture.image = testPicture(20, 9);
    device->splitAnswers = true;
    TThreadFrameRaw sender;
    begin(sender, kKindStillLogo, 2, picture);
    ASSERT_TRUE(runUntil([&] { return sender.IsDone(); }));
    EXPECT_EQ(sender.ResultText(), "");
    EXPECT_EQ(storedImage(), picture.image);

    WorkPicture back;
    TThreadFrameReceive receiver;
    begin(receiver, kKindStillLogo, 2, back);
    ASSERT_TRUE(runUntil([&] { return receiver.IsDone(); }));
    EXPECT_EQ(receiver.ResultText(), "");
    EXPECT_EQ(back.image, picture.image);
    expectDriverRestored();
}

TEST_P(WorkerThreadTest, RefusedHeaderAndRedRecordsAreSentAgain)
{
    // The header and the red component are the records sent again at once after a
    // refusal; refuse each of them the first time it comes.
    picture.image = testPicture(30, 12);
    std::vector<std::string> seen;
    device->refuse = [&](int, const TransferMessage &m) {
        const bool resendable = m.isRecord(kTypeControl, kCtlHeader) || (m.type == kTypeData && (m.parameter & kComponentMask) == kRed);
        if (!resendable)
            return false;
        const std::string key = BuildRecord(m.type, m.parameter, m.bytes());
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            return false;
        seen.push_back(key);
        return true;
    };
    TThreadFrameRaw sender;
    begin(sender, kKindFrame, 1, picture);
    ASSERT_TRUE(runUntil([&] { return sender.IsDone(); }));
    EXPECT_EQ(sender.ResultText(), "");
    EXPECT_EQ(storedImage(), picture.image);
    EXPECT_GT(seen.size(), 2u);
    expectDriverRestored();
}

TEST_P(WorkerThreadTest, EndlessRefusalsAbortWithTheirOwnResult)
{
    picture.image = testPicture(30, 12);
    device->refuse = [](int, const TransferMessage &m) { return m.isRecord(kTypeControl, kCtlHeader); };
    TThreadFrameRaw sender;
    begin(sender, kKindStillLogo, 1, picture);
    ASSERT_TRUE(runUntil([&] { return sender.IsDone(); }));
    EXPECT_EQ(sender.ResultText(), kTextRefused);
    EXPECT_TRUE(device->aborted);
    expectDriverRestored();
}

TEST_P(WorkerThreadTest, SilentDeviceTimesOutInRealTime)
{
    picture.image = testPicture(30, 12);
    device->silentFrom = 3;
    std::string last;
    device->onRecord = [&](int, const std::string &line) { last = line; };
    TThreadFrameRaw sender;
    QElapsedTimer t;
    t.start();
    begin(sender, kKindStillLogo, 1, picture);
    ASSERT_TRUE(runUntil([&] { return sender.IsDone(); }));
    EXPECT_GE(t.elapsed(), kAnswerTimeoutMs);
    EXPECT_EQ(sender.ResultText(), kTextTimedOut);
    EXPECT_EQ(last, ":00000004FC");
    expectDriverRestored();
}

TEST_P(WorkerThreadTest, AbortMidTransferRestoresTheDriver)
{
    picture.image = testPicture(64, 40);
    TThreadFrameRaw sender;
    device->onRecord = [&](int n, const std::string &) {
        if (n == 30)
            sender.AbortTransfer();
    };
    begin(sender, kKindStillLogo, 1, picture);
    ASSERT_TRUE(runUntil([&] { return sender.IsDone(); }));
    EXPECT_EQ(sender.ResultText(), kTextAborted);
    EXPECT_TRUE(device->aborted);
    EXPECT_FALSE(device->complete);
    expectDriverRestored();
}

TEST_P(WorkerThreadTest, WorkerDestroyedMidTransferLeavesTheDriverRestored)
{
    picture.image = testPicture(64, 40);
    auto sender = std::make_unique<TThreadFrameRaw>();
    bool midway = false;
    device->onRecord = [&](int n, const std::string &) { midway = midway || n >= 20; };
    begin(*sender, kKindStillLogo, 1, picture);
    ASSERT_TRUE(runUntil([&] { return midway; }));
    ASSERT_TRUE(sender->IsBusy());
    sender.reset();  // no event processing between this and the checks
    expectDriverRestored();
    EXPECT_TRUE(device->aborted);
}

INSTANTIATE_TEST_SUITE_P(BothWays, WorkerThreadTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool> &info) { return info.param ? "OnArrival" : "ByWorker"; });

TEST(QueuedTransferDriverTest, CallsFromAnotherThreadRunInOrderOnTheOwnerThread)
{
    app();
    struct Recorder : test::ScriptDriver {
        std::vector<std::thread::id> threads;
        void sendRaw(std::string text) override
        {
            threads.push_back(std::this_thread::get_id());
            ScriptDriver::sendRaw(std::move(text));
        }
    } inner;
    auto queued = std::make_unique<QueuedTransferDriver>(inner);
    bool finished = false;
    std::thread worker([&] {
        queued->setConMode(tConnectionMode::MODE_RAW);
        for (int i = 0; i < 100; ++i)
            queued->sendRaw(std::to_string(i));
        queued->setBaudRate(9600);
        queued->then([&] { finished = true; });
    });
    worker.join();
    EXPECT_TRUE(inner.log.empty()) << "nothing runs on the calling thread";
    QCoreApplication::processEvents();
    ASSERT_TRUE(finished);
    ASSERT_EQ(inner.log.size(), 102u);
    EXPECT_EQ(inner.log.front(), "mode RAW");
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(inner.log[std::size_t(i + 1)], "send " + std::to_string(i));
    EXPECT_EQ(inner.log.back(), "baud 9600");
    for (const auto &id : inner.threads)
        EXPECT_EQ(id, std::this_thread::get_id());

    // pending calls are carried out by flush (and by destruction), never lost
    queued->sendRaw("late");
    queued->flush();
    EXPECT_EQ(inner.log.back(), "send late");
    queued->sendRaw("last");
    queued.reset();  // its posted drain is dropped with it
    EXPECT_EQ(inner.log.back(), "send last");
    QCoreApplication::processEvents();
    EXPECT_EQ(std::count(inner.log.begin(), inner.log.end(), "send last"), 1);
}

TEST(QueuedTransferDriverTest, CallsOnTheOwnerThreadRunAtOnceAfterTheQueuedOnes)
{
    app();
    struct Nesting : test::ScriptDriver {
        std::function<void(const std::string &)> inside;
        void sendRaw(std::string text) override
        {
            ScriptDriver::sendRaw(text);
            if (inside)
                inside(text);
            log.push_back("end " + text);
        }
    } inner;
    QueuedTransferDriver queued(inner);
    std::thread worker([&] { queued.sendRaw("a"); });
    worker.join();
    EXPECT_TRUE(inner.log.empty());
    queued.sendRaw("b");  // owner thread: "a" first, then "b", both now
    EXPECT_EQ(inner.log, (std::vector<std::string>{"send a", "end a", "send b", "end b"}));

    // A call made from inside a call (a reply handled while the port was being
    // written out) waits for that call to end.
    inner.log.clear();
    inner.inside = [&](const std::string &text) {
        if (text == "c")
            queued.sendRaw("d");
    };
    queued.sendRaw("c");
    queued.sendRaw("e");
    EXPECT_EQ(inner.log, (std::vector<std::string>{"send c", "end c", "send d", "end d", "send e", "end e"}));
    QCoreApplication::processEvents();  // the drains posted on the way find nothing left
    EXPECT_EQ(inner.log.size(), 6u);
}
