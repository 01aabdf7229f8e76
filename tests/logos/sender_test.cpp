// The sending worker driven step by step with a scripted driver and a hand
// clock: the documented record sequences, NAK handling, the time-outs and their
// result texts, the refusal limit, aborts, and that every ending restores the
// driver (handler, 9600 baud, MODE_VAR).
#include "script_driver.h"

#include <gtest/gtest.h>

using namespace varnel;
using namespace varnel::logos;
using namespace varnel::logos::test;

namespace {

struct SenderTest : ::testing::Test {
    ScriptDriver driver;
    WorkPicture picture;
    TThreadFrameRaw worker;
    std::int64_t now = 1000;

    void fill(int w, int h, QRgb colour)
    {
        picture.image = QImage(w, h, kWorkFormat);
        picture.image.fill(QColor(colour));
    }
    void start(std::uint8_t kind = kKindStillLogo, std::uint8_t slot = 1, std::uint8_t frames = 1)
    {
        worker.setDriver(&driver);
        worker.setWorkPicture(&picture);
        worker.setKindCode(kind);
        worker.setSlotIndex(slot);
        worker.setFrameCount(frames);
        worker.PrepareTransfer();
        worker.StartTransfer();
        settle(worker, now);
    }
    void answer(const std::string &text)
    {
        ASSERT_TRUE(driver.receiver) << "no receive handler installed";
        driver.receiver(text);
        settle(worker, now);
    }
    void ack() { answer(".1\r"); }
    void nak() { answer(".0\r"); }
    /// 6LM acknowledged, the pause passed: the header is out.
    void enterRaw()
    {
        ack();
        now += 100;
        settle(worker, now);
    }
    void expectRestored()
    {
        ASSERT_GE(driver.log.size(), 3u);
        const std::vector<std::string> tail(driver.log.end() - 3, driver.log.end());
        EXPECT_EQ(tail, (std::vector<std::string>{"restore", "baud 9600", "mode VAR"}));
        EXPECT_TRUE(worker.IsDone());
        EXPECT_FALSE(worker.IsBusy());
        EXPECT_FALSE(driver.receiver);
    }
};

}  // namespace

TEST_F(SenderTest, UniformStillLogoSendsOneGroupThenARepeatThenTheEnd)
{
    fill(64, 2, qRgb(0x80, 0x80, 0x80));
    start(kKindStillLogo, 1);
    EXPECT_EQ(driver.log, (std::vector<std::string>{"hook", "mode RAW", "send 6LM"}));
    ack();
    EXPECT_EQ(driver.log.back(), "baud 115200");
    EXPECT_EQ(driver.sent().size(), 1u) << "the header waits for the pause";
    now += 100;
    settle(worker, now);
    for (int i = 0; i < 8; ++i)
        ack();
    EXPECT_EQ(driver.sent(), (std::vector<std::string>{
                                 "6LM", ":020001020201F8", BuildRecord(2, 2, std::vector<std::uint8_t>{0, 64, 0, 2}),
                                 ":03000502010000F5", ":00000302FB", ":0200110020804D", ":0200120020804C",
                                 ":0200330020802B", ":00000303FA", ":00000001FF"}));
    expectRestored();
    EXPECT_EQ(worker.ResultText(), "");
    EXPECT_DOUBLE_EQ(worker.ProgressPercent(), 100.0);
}

TEST_F(SenderTest, AnimationGroupsStopAtFrameBoundaries)
{
    picture.image = QImage(10, 6, kWorkFormat);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 10; ++x)
            picture.image.setPixel(x, y, qRgb(y * 10 + x, 0, 0));
    start(kKindAnimatedLogo | kKindKeyed, 9, 2);
    enterRaw();
    for (int i = 0; i < 4; ++i)  // header, size, frames, begin: the first red goes out
        ack();
    const auto sent = driver.sent();
    ASSERT_GE(sent.size(), 6u);
    EXPECT_EQ(sent[1], ":020001021309DF");
    EXPECT_EQ(sent[2], BuildRecord(2, 2, std::vector<std::uint8_t>{0, 10, 0, 3}));
    TransferMessage red;
    ASSERT_TRUE(ParseRecord(sent.back(), red));
    EXPECT_EQ(red.parameter, kRed);
    EXPECT_EQ(red.length, 30) << "a group ends with its frame";
    EXPECT_EQ(red.data[29], 29);
    ack();  // green
    ack();  // blue
    ack();  // second group's red
    TransferMessage next;
    ASSERT_TRUE(ParseRecord(driver.lastSent(), next));
    EXPECT_EQ(next.length, 30);
    EXPECT_EQ(next.data[0], 30);
}

TEST_F(SenderTest, NakAfterHeaderResendsAtOnceNakAfterGreenWaitsForAck)
{
    QImage img(4, 1, kWorkFormat);
    for (int x = 0; x < 4; ++x)
        img.setPixel(x, 0, qRgb(x, 10 + x, 20 + x));
    picture.image = img;
    start();
    enterRaw();
    const std::string header = driver.lastSent();
    nak();
    EXPECT_EQ(driver.sent().size(), 3u);
    EXPECT_EQ(driver.lastSent(), header);
    for (int i = 0; i < 5; ++i)  // header, size, frames, begin, red
        ack();
    const std::string green = driver.lastSent();
    ASSERT_EQ(green.substr(0, 7), ":040002");
    const auto count = driver.sent().size();
    nak();
    EXPECT_EQ(driver.sent().size(), count) << "a NAKed green waits for a further ACK";
    ack();
    EXPECT_EQ(driver.lastSent(), green);
    ack();
    EXPECT_EQ(driver.lastSent().substr(0, 7), ":040023");
}

TEST_F(SenderTest, NoAnswerToRawModeTimesOutWithItsOwnResult)
{
    fill(2, 2, qRgb(1, 2, 3));
    start();
    now += 2999;
    settle(worker, now);
    EXPECT_EQ(driver.sent(), std::vector<std::string>{"6LM"});
    now += 1;
    settle(worker, now);
    EXPECT_EQ(driver.sent().size(), 1u) << "the abort record follows a pause";
    now += 100;
    settle(worker, now);
    EXPECT_EQ(driver.sent(), (std::vector<std::string>{"6LM", ":00000004FC"}));
    EXPECT_EQ(std::count(driver.log.begin(), driver.log.end(), "baud 115200"), 0) << "rate never switched";
    expectRestored();
    EXPECT_EQ(worker.ResultText(), kTextTimedOut);
}

TEST_F(SenderTest, BeginRecordGetsItsAllowanceThenTheUsualTimeout)
{
    fill(2, 2, qRgb(1, 2, 3));
    start();
    enterRaw();
    ack();
    ack();
    ack();  // begin is out
    ASSERT_EQ(driver.lastSent(), ":00000302FB");
    now += kBeginAllowanceMs + kAnswerTimeoutMs - 1;
    settle(worker, now);
    EXPECT_FALSE(worker.IsDone());
    now += 1;
    settle(worker, now);
    now += 100;
    settle(worker, now);
    EXPECT_EQ(driver.lastSent(), ":00000004FC");
    EXPECT_EQ(worker.ResultText(), kTextTimedOut);
    expectRestored();
}

TEST_F(SenderTest, RepeatedRefusalsOfOneRecordAbort)
{
    fill(2, 2, qRgb(1, 2, 3));
    start();
    enterRaw();
    ack();
    ack();
    ack();
    ack();  // red is out
    for (int i = 0; i < kMaxRefusals - 1; ++i) {
        nak();  // red is re-sent at once
        EXPECT_FALSE(worker.IsDone());
    }
    nak();
    now += 100;
    settle(worker, now);
    EXPECT_EQ(driver.lastSent(), ":00000004FC");
    EXPECT_EQ(worker.ResultText(), kTextRefused);
    expectRestored();

    // the green step's refusals count too, although an ACK comes between them
    driver.log.clear();
    start();
    enterRaw();
    for (int i = 0; i < 5; ++i)
        ack();  // green is out
    for (int i = 0; i < kMaxRefusals; ++i) {
        nak();
        ack();
    }
    now += 100;
    settle(worker, now);
    EXPECT_EQ(driver.lastSent(), ":00000004FC");
    EXPECT_EQ(worker.ResultText(), kTextRefused);
}

TEST_F(SenderTest, UserAbortAndTerminationRestoreTheDriver)
{
    fill(40, 40, qRgb(9, 8, 7));
    start();
    enterRaw();
    ack();
    worker.StartTransfer();  // ignored while busy
    EXPECT_EQ(std::count(driver.log.begin(), driver.log.end(), "hook"), 1);
    worker.AbortTransfer();
    EXPECT_EQ(worker.ResultText(), kTextAborted);
    settle(worker, now);
    now += 100;
    settle(worker, now);
    EXPECT_EQ(driver.lastSent(), ":00000004FC");
    expectRestored();

    // stopped mid-transfer without an abort request
    driver.log.clear();
    start();
    enterRaw();
    worker.Terminate();
    EXPECT_EQ(driver.lastSent(), ":00000004FC");
    expectRestored();

    // stopped before the start was even taken
    driver.log.clear();
    worker.setDriver(&driver);
    worker.PrepareTransfer();
    worker.StartTransfer();
    worker.Terminate();
    EXPECT_EQ(driver.log, (std::vector<std::string>{"hook", "restore"}));
}

TEST_F(SenderTest, PictureChangedUnderTheTransferAbortsWithThePosition)
{
    fill(40, 40, qRgb(9, 8, 7));
    start();
    enterRaw();
    for (int i = 0; i < 6; ++i)  // header .. begin, then the first group's red, green, blue
        ack();
    {
        std::lock_guard lock(picture.mutex);
        picture.image = QImage(2, 1, kWorkFormat);
    }
    ack();
    now += 100;
    settle(worker, now);
    EXPECT_EQ(driver.lastSent(), ":00000004FC");
    EXPECT_EQ(worker.ResultText(), "32 0");
    expectRestored();
}

TEST_F(SenderTest, RefusedJobsSendNothing)
{
    worker.StartTransfer();  // no driver
    EXPECT_TRUE(worker.IsDone());
    EXPECT_EQ(worker.ResultText(), kTextFailure);

    fill(65536, 1, qRgb(1, 1, 1));
    start();
    EXPECT_TRUE(worker.IsDone());
    EXPECT_EQ(worker.ResultText(), kTextTooLarge);
    EXPECT_TRUE(driver.log.empty());
}
