// The simulator's timed serial line: bytes come off it one byte time apart,
// never early, in bursts of at most 16; what follows a run waits for the line;
// the time the last taken byte was through lets an answer start right then,
// however late the taker looked.
#include "uart_line.h"

#include <gtest/gtest.h>

using namespace varnel::sim;

namespace {

constexpr int kFast = 115200;
// 10 bits at 115200 baud: 86805.55... ns, so the byte ends are 86806, 173612, ...
std::int64_t end(int bytes) { return lineTimeNs(bytes, kFast); }

}  // namespace

TEST(UartLineTest, BytesComeOffOneByteTimeApartAndNeverEarly)
{
    UartLine line;
    line.push("ABCDEFGHIJ", 1000, kFast);
    EXPECT_EQ(line.take(1000), "");
    EXPECT_EQ(line.take(1000 + end(1) - 1), "");
    EXPECT_EQ(line.take(1000 + end(1)), "A");
    EXPECT_EQ(line.take(1000 + end(4)), "BCD");
    EXPECT_EQ(line.take(1000 + end(10) - 1), "EFGHI");
    EXPECT_EQ(line.queued(), 1u);
    EXPECT_EQ(line.take(1000 + end(10)), "J");
    EXPECT_FALSE(line.nextDue());

    // 9600 baud: one byte is 1.0417 ms
    line.push("xy", 10'000'000, 9600);
    EXPECT_EQ(line.take(10'000'000 + 1'041'666), "");
    EXPECT_EQ(line.take(10'000'000 + 1'041'667), "x");
}

TEST(UartLineTest, RunsQueueBehindEachOtherAndBurstsAreAtMostSixteen)
{
    UartLine line;
    const std::string forty(40, 'r');
    line.push(forty, 0, kFast);
    line.push("ok", 0, kFast);  // written at once, but the line is busy
    EXPECT_EQ(line.nextDue(), end(16));
    EXPECT_EQ(line.take(end(16)).size(), 16u);
    EXPECT_EQ(line.nextDue(), end(32));
    EXPECT_EQ(line.take(end(32)).size(), 16u);
    EXPECT_EQ(line.nextDue(), end(40)) << "a burst ends with its run";
    EXPECT_EQ(line.take(end(40)), std::string(8, 'r'));
    EXPECT_EQ(line.nextDue(), end(40) + end(2));
    EXPECT_EQ(line.take(end(40) + end(2)), "ok");

    // cleared bytes are gone, but the line stays busy until they would have been sent
    line.push("abc", end(100), kFast);
    line.clear();
    EXPECT_EQ(line.queued(), 0u);
    line.push("z", end(100), kFast);
    const std::int64_t free = end(100) + end(3);
    EXPECT_EQ(line.take(free + end(1) - 1), "");
    EXPECT_EQ(line.take(free + end(1)), "z");
}

TEST(UartLineTest, AnAnswerStartsWhenTheRequestWasThroughNotWhenItWasTaken)
{
    UartLine in, out;
    in.push(":0200000301ABCD\r\n", 0, kFast);
    const std::int64_t lateLook = end(17) + 45'000;  // the taker woke 45 us late
    std::int64_t through = -1;
    EXPECT_EQ(in.take(lateLook, &through), ":0200000301ABCD\r\n");
    EXPECT_EQ(through, end(17));
    out.push(".1\r", through, kFast);
    EXPECT_EQ(out.nextDue(), end(17) + end(3));
    EXPECT_EQ(out.take(lateLook), "") << "the first byte is not through yet";

    // Taken in two looks: the time is the last byte's.
    UartLine split;
    split.push("abcdef", 0, kFast);
    std::int64_t t = -1;
    EXPECT_EQ(split.take(end(2), &t), "ab");
    EXPECT_EQ(t, end(2));
    EXPECT_EQ(split.take(end(6) + 1, &t), "cdef");
    EXPECT_EQ(t, end(6));
}
