// The retrieving worker driven step by step: a whole retrieval placed pixel for
// pixel, the empty memory, sizes that would allocate without bound, an
// unexpected answer, and an abort while stalled.
#include "script_driver.h"

#include <gtest/gtest.h>

using namespace varnel;
using namespace varnel::logos;
using namespace varnel::logos::test;

namespace {

struct ReceiverTest : ::testing::Test {
    ScriptDriver driver;
    WorkPicture picture;
    TThreadFrameReceive worker;
    std::int64_t now = 5000;

    void start(std::uint8_t kind = kKindStillLogo, std::uint8_t slot = 2)
    {
        worker.setDriver(&driver);
        worker.setWorkPicture(&picture);
        worker.setKindCode(kind);
        worker.setSlotIndex(slot);
        worker.PrepareTransfer();
        worker.StartTransfer();
        settle(worker, now);
        answer(".1\r");
        now += 100;
        settle(worker, now);
        answer(".1\r");  // header acknowledged: the request goes out
    }
    void answer(const std::string &text)
    {
        ASSERT_TRUE(driver.receiver);
        driver.receiver(text);
        settle(worker, now);
    }
    void record(std::uint8_t type, std::uint16_t p, std::vector<std::uint8_t> d = {})
    {
        answer(BuildRecord(type, p, d) + "\r");
    }
};

}  // namespace

TEST_F(ReceiverTest, RetrievesAndPlacesGroupsIncludingCodedAndRepeated)
{
    start();
    EXPECT_EQ(driver.sent(), (std::vector<std::string>{"6LM", ":020001020202F7", ":00000402FA"}));
    record(2, kCtlSize, {0, 5, 0, 4});
    EXPECT_EQ(driver.lastSent(), ".1\r");
    record(2, kCtlFrames, {2, 0x01, 0x2C});
    EXPECT_EQ(worker.FrameCount(), 2);
    EXPECT_EQ(worker.FrameDelay(), 300);
    ASSERT_EQ(picture.image.size(), QSize(5, 8));
    // group 1: 20 pixels (frame 1), red coded as 20 x 0x11
    std::vector<std::uint8_t> green(20), blue(20);
    for (int i = 0; i < 20; ++i) {
        green[std::size_t(i)] = std::uint8_t(i);
        blue[std::size_t(i)] = std::uint8_t(100 + i);
    }
    record(0, kRed | kRunLengthCoded, {20, 0x11});
    record(0, kGreen, green);
    record(0, kBlue | kGroupClose, blue);
    EXPECT_NEAR(worker.ProgressPercent(), 50.0, 1e-9);
    record(3, 1);  // the same group again for frame 2
    record(1, 0);
    EXPECT_TRUE(worker.IsDone());
    EXPECT_EQ(worker.ResultText(), "");
    EXPECT_EQ(driver.sent().back(), ".1\r") << "no reply to the end record";
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 5; ++x) {
            const int i = (y % 4) * 5 + x;
            ASSERT_EQ(picture.image.pixel(x, y), qRgb(0x11, i, 100 + i)) << x << "," << y;
        }
    EXPECT_EQ(driver.log.back(), "mode VAR");
}

TEST_F(ReceiverTest, EmptyMemoryAndBadSizesAreRefused)
{
    struct Case {
        std::vector<std::uint8_t> size;
        const char *result;
    } cases[] = {
        {{0, 0, 0, 0}, kTextEmptyMemory},
        {{0xFF, 0xFF, 0xFF, 0xFF}, kTextBadSize},
        {{0, 10, 0, 0}, kTextBadSize},
    };
    for (const auto &c : cases) {
        driver.log.clear();
        picture.image = QImage();
        start();
        record(2, kCtlSize, c.size);
        EXPECT_EQ(driver.lastSent(), ".0\r");
        EXPECT_EQ(worker.ResultText(), c.result);
        EXPECT_TRUE(worker.IsDone());
        EXPECT_TRUE(picture.image.isNull()) << "nothing allocated";
        EXPECT_EQ(driver.log.back(), "mode VAR");
    }
    // a frame count that makes the whole picture too large
    driver.log.clear();
    start();
    record(2, kCtlSize, {0x07, 0x80, 0x04, 0x38});  // 1920 x 1080 fits once
    record(2, kCtlFrames, {2, 0, 0});
    EXPECT_EQ(driver.lastSent(), ".0\r");
    EXPECT_EQ(worker.ResultText(), kTextBadSize);
    EXPECT_TRUE(picture.image.isNull());
}

TEST_F(ReceiverTest, UnexpectedAnswerEndsWithAResultText)
{
    start();
    record(2, kCtlSize, {0, 2, 0, 2});
    answer(".1\r");
    EXPECT_EQ(driver.lastSent(), ".0\r");
    EXPECT_EQ(worker.ResultText(), kTextUnexpected);
    EXPECT_TRUE(worker.IsDone());
}

TEST_F(ReceiverTest, StalledRetrievalEndsOnlyByAbort)
{
    start();
    now += 3600 * 1000;
    settle(worker, now);
    EXPECT_FALSE(worker.IsDone());
    worker.AbortTransfer();
    settle(worker, now);
    EXPECT_EQ(driver.lastSent(), ".0\r");
    now += 100;
    settle(worker, now);
    EXPECT_TRUE(worker.IsDone());
    EXPECT_EQ(worker.ResultText(), kTextAborted);
    EXPECT_EQ(driver.log.back(), "mode VAR");
}
