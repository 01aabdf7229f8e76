// The write pacing buffer: the take arithmetic (fractions, halves to even, the
// clamp to the last recorded slot, wrap-around of both positions), its events,
// and the release of a buffer whose answer never came.
#include "driver_fixture.h"
#include "tampon_var.h"

#include <chrono>

using namespace varnel;
using namespace varnel::test;
using namespace std::chrono_literals;

namespace {

// A clock the test moves by hand.
struct FakeClock {
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    TTamponVar::Clock fn()
    {
        return [this] { return now; };
    }
};

struct EventCounts {
    int vider = 0, write = 0, read = 0, maxWrite = 0, maxRead = 0;
    void attach(TTamponVar &b)
    {
        b.ONTableauViderchange = [this](TTamponVar &) { ++vider; };
        b.ONPointeur_Writechange = [this](TTamponVar &) { ++write; };
        b.ONPointeur_Readchange = [this](TTamponVar &) { ++read; };
        b.ONMAX_Pointeur_Writechange = [this](TTamponVar &) { ++maxWrite; };
        b.ONMAX_Pointeur_Readchange = [this](TTamponVar &) { ++maxRead; };
    }
};

}  // namespace

TEST(TTamponVarFraction, RoundsHalvesToEven)
{
    struct Row {
        TPointerInBuff speed;
        std::uint32_t n, expected;
    };
    const Row rows[] = {
        {TPointerInBuff::_1DemiDuBuffer, 1, 0},   // 0.5 -> 0
        {TPointerInBuff::_1DemiDuBuffer, 3, 2},   // 1.5 -> 2
        {TPointerInBuff::_1DemiDuBuffer, 5, 2},   // 2.5 -> 2
        {TPointerInBuff::_1DemiDuBuffer, 7, 4},   // 3.5 -> 4
        {TPointerInBuff::_1DemiDuBuffer, 65535, 32768},
        {TPointerInBuff::_1TiersDuBuffer, 1, 0},  // 0.33
        {TPointerInBuff::_1TiersDuBuffer, 2, 1},  // 0.67
        {TPointerInBuff::_1TiersDuBuffer, 4, 1},  // 1.33
        {TPointerInBuff::_1TiersDuBuffer, 5, 2},  // 1.67
        {TPointerInBuff::_2TiersDuBuffer, 1, 1},  // 0.67
        {TPointerInBuff::_2TiersDuBuffer, 2, 1},  // 1.33
        {TPointerInBuff::_2TiersDuBuffer, 4, 3},  // 2.67
        {TPointerInBuff::_2TiersDuBuffer, 65535, 43690},
    };
    for (const Row &r : rows)
        EXPECT_EQ(TTamponVar::fractionOf(r.speed, r.n), r.expected) << "speed " << int(r.speed) << " n " << r.n;
}

TEST(TTamponVar, StartsEmptyWithDefaultSpeed)
{
    TTamponVar b;
    EXPECT_TRUE(b.Vide());
    EXPECT_EQ(b.Pointeur_Write(), 0u);
    EXPECT_EQ(b.Pointeur_Read(), 0u);
    EXPECT_EQ(b.Speed(), TPointerInBuff::_2TiersDuBuffer);
}

TEST(TTamponVar, OneMoveIsTakenOnceMoreThenTheBufferIsEmpty)
{
    FakeClock clock;
    TTamponVar b(clock.fn());
    EventCounts ev;
    ev.attach(b);
    b.Ajout(42);
    EXPECT_FALSE(b.Vide());
    EXPECT_EQ(b.Ajout(), 42);
    EXPECT_EQ(b.ExtraitReadOnly(), 42);
    EXPECT_TRUE(b.Vide());
    EXPECT_EQ(b.Pointeur_Read(), 0u);
    EXPECT_EQ(ev.write, 1);
    EXPECT_EQ(ev.read, 1);
    EXPECT_EQ(ev.vider, 2);  // set false by Ajout, true by the take
}

TEST(TTamponVar, BacklogTakesAreTable)
{
    // Each row: speed, the values recorded, then the values the successive takes
    // return, and whether the buffer is empty after each take.
    struct Row {
        const char *name;
        TPointerInBuff speed;
        std::vector<int> recorded;
        std::vector<int> takes;
        std::vector<bool> emptyAfter;
    };
    const Row rows[] = {
        {"a b c at two thirds: c, then c again", TPointerInBuff::_2TiersDuBuffer, {1, 2, 3}, {3, 3}, {false, true}},
        {"four values at two thirds jump to the newest", TPointerInBuff::_2TiersDuBuffer, {0, 1, 2, 3}, {3, 3}, {false, true}},
        {"two values at one half", TPointerInBuff::_1DemiDuBuffer, {10, 20}, {20, 20}, {false, true}},
        {"six values at one half", TPointerInBuff::_1DemiDuBuffer, {0, 1, 2, 3, 4, 5}, {3, 5, 5}, {false, false, true}},
        {"five values at one half: 2.5 rounds to 2", TPointerInBuff::_1DemiDuBuffer, {0, 1, 2, 3, 4}, {2, 4, 4},
         {false, false, true}},
        {"seven values at one third", TPointerInBuff::_1TiersDuBuffer, {0, 1, 2, 3, 4, 5, 6}, {2, 4, 5, 6, 6},
         {false, false, false, false, true}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        TTamponVar b;
        b.setSpeed(r.speed);
        for (int v : r.recorded)
            b.Ajout(v);
        for (std::size_t i = 0; i < r.takes.size(); ++i) {
            EXPECT_EQ(b.ExtraitReadOnly(), r.takes[i]) << "take " << i;
            EXPECT_EQ(b.VideFlag(), r.emptyAfter[i]) << "take " << i;
        }
    }
}

TEST(TTamponVar, HalfOfABacklogOfOneReturnsTheSlotAlreadyTaken)
{
    TTamponVar b;
    b.setSpeed(TPointerInBuff::_1DemiDuBuffer);
    b.Ajout(5);
    b.Ajout(6);
    EXPECT_EQ(b.ExtraitReadOnly(), 6);
    EXPECT_EQ(b.Pointeur_Read(), 1u);
    b.Ajout(7);  // backlog of one: Pointeur_Write - Pointeur_Read = 1
    EXPECT_EQ(b.Pointeur_Write() - b.Pointeur_Read(), 2u);
    EXPECT_EQ(b.ExtraitReadOnly(), 7);  // round(0.5 * 2) = 1
    EXPECT_EQ(b.Pointeur_Write() - b.Pointeur_Read(), 1u);
    EXPECT_FALSE(b.VideFlag());
    EXPECT_EQ(b.ExtraitReadOnly(), 7);  // round(0.5) = 0: the same slot again
    EXPECT_EQ(b.Pointeur_Read(), 2u);
    EXPECT_TRUE(b.VideFlag());
}

TEST(TTamponVar, WriteWrapsAtTheEndOfTheSlotsAndTheNextTakeReturnsSlotZero)
{
    TTamponVar b;
    EventCounts ev;
    ev.attach(b);
    for (std::uint32_t i = 0; i < 65535; ++i) {
        b.Ajout(std::int32_t(i));
        if (i % 3 == 0)
            b.ExtraitReadOnly();  // keep reading along, as the answers would
    }
    EXPECT_EQ(b.Pointeur_Write(), 65535u);
    EXPECT_EQ(ev.maxWrite, 0);
    b.Ajout(-7);  // the 65536th record
    EXPECT_EQ(ev.maxWrite, 1);
    EXPECT_EQ(b.MAX_pointeur_Write(), 65535u);
    EXPECT_EQ(b.Pointeur_Write(), 1u);
    EXPECT_EQ(b.slot(0), -7);
    EXPECT_GT(b.Pointeur_Read(), b.Pointeur_Write());
    EXPECT_EQ(b.ExtraitReadOnly(), -7);
    EXPECT_EQ(b.Pointeur_Read(), 0u);
    EXPECT_FALSE(b.VideFlag());
    EXPECT_EQ(b.ExtraitReadOnly(), -7);
    EXPECT_TRUE(b.VideFlag());
    EXPECT_EQ(ev.maxRead, 0);
}

TEST(TTamponVar, AfterTheWrapATakeSkipsFromSlotZero)
{
    TTamponVar b;
    for (std::uint32_t i = 0; i < 65535; ++i)
        b.Ajout(std::int32_t(i));
    while (!b.VideFlag())
        b.ExtraitReadOnly();
    EXPECT_EQ(b.Pointeur_Read(), 65534u);
    b.Ajout(1000);  // wraps: slot 0
    b.Ajout(1001);  // slot 1
    EXPECT_EQ(b.ExtraitReadOnly(), 1001);  // round(2/3 * 2) = 1
    EXPECT_EQ(b.ExtraitReadOnly(), 1001);
    EXPECT_TRUE(b.VideFlag());
}

TEST(TTamponVarRelease, SilenceOfOneSecondEmptiesTheBufferAndDropsTheBacklog)
{
    FakeClock clock;
    TTamponVar b(clock.fn());
    b.Ajout(1);  // sent at once; its answer is lost
    b.Ajout(2);
    b.Ajout(3);
    clock.now += 999ms;
    EXPECT_FALSE(b.Vide());
    clock.now += 1ms;
    EXPECT_TRUE(b.Vide());
    EXPECT_EQ(b.Pointeur_Read(), b.Pointeur_Write() - 1);
    // The next move goes out at once and its answer takes that move, not the old backlog.
    b.Ajout(9);
    EXPECT_EQ(b.ExtraitReadOnly(), 9);
    EXPECT_EQ(b.ExtraitReadOnly(), 9);
    EXPECT_TRUE(b.Vide());
}

TEST(TTamponVarRelease, EachTakeRestartsTheSilence)
{
    FakeClock clock;
    TTamponVar b(clock.fn());
    for (int v : {1, 2, 3, 4, 5, 6, 7})
        b.Ajout(v);
    clock.now += 900ms;
    b.ExtraitReadOnly();
    clock.now += 900ms;
    EXPECT_FALSE(b.Vide());
    // Moves recorded while a write is out do not count as an exchange.
    b.Ajout(8);
    clock.now += 100ms;
    EXPECT_TRUE(b.Vide());
}

TEST(TTamponVarRelease, ReleaseOfAnEmptyBufferChangesNothing)
{
    TTamponVar b;
    EventCounts ev;
    ev.attach(b);
    b.Release();
    EXPECT_EQ(ev.vider, 0);
    b.Ajout(4);
    b.ExtraitReadOnly();
    const auto before = ev.vider;
    b.Release();
    EXPECT_EQ(ev.vider, before);
}

// The calling pattern against a real driver: moves, answers, lost answers and a
// change of the link state.
class PacedDriverTest : public DriverTest {
protected:
    PacedDriverTest()
        : buffer(clock.fn())
    {
        driver.SetRanges(&VarRanges, false);
        driver.setHandler(Reg::BRGTM, [this](TVRK_610_d &d, int) {
            if (!buffer.Vide())
                d.setBRGTM(std::uint32_t(buffer.ExtraitReadOnly()));
        });
        driver.setHandler(Event::OnConnected, [this](TVRK_610_d &, int) { buffer.Release(); });
    }
    void move(int v)
    {
        if (buffer.Vide())
            driver.setBRGTM(std::uint32_t(v));
        buffer.Ajout(v);
    }
    void answerWith(const std::string &sentCommand)
    {
        // The device echoes the value it was given.
        receive("BR" + sentCommand.substr(0, sentCommand.size() - 2) + "\r\n");
    }

    FakeClock clock;
    TTamponVar buffer;
};

TEST_F(PacedDriverTest, ThreeMovesBeforeTheFirstAnswerSendACThenCOnceMore)
{
    move(10);
    move(20);
    move(30);
    EXPECT_EQ(sent(), (std::vector<std::string>{"10BR"}));
    answerWith(sent().back());
    EXPECT_EQ(sent(), (std::vector<std::string>{"10BR", "30BR"}));
    answerWith(sent().back());
    answerWith(sent().back());
    EXPECT_EQ(sent(), (std::vector<std::string>{"10BR", "30BR", "30BR"}));
    EXPECT_EQ(driver.BRGTM(), 30u);
}

TEST_F(PacedDriverTest, OneMoveAfterAFinishedExchangeIsSentThreeTimes)
{
    // The first exchange of a new buffer ends after two writes; later ones start
    // from the slot taken last and take the new value once before emptying.
    move(5);
    answerWith(sent().back());
    answerWith(sent().back());
    EXPECT_EQ(sent().size(), 2u);
    tcp->clear();
    move(6);
    for (int i = 0; i < 4; ++i)
        answerWith("6BR");
    EXPECT_EQ(sent(), (std::vector<std::string>{"6BR", "6BR", "6BR"}));
}

TEST_F(PacedDriverTest, LostAnswerNoLongerBlocksTheSliderAfterOneSecond)
{
    move(10);
    receive("BR999\r\n");  // out of range: no notification, the answer is lost
    move(20);
    EXPECT_EQ(sent(), (std::vector<std::string>{"10BR"}));
    clock.now += 1s;
    move(40);
    EXPECT_EQ(sent(), (std::vector<std::string>{"10BR", "40BR"}));
    answerWith("40BR");
    EXPECT_EQ(sent().back(), "40BR");
    EXPECT_EQ(sent().size(), 3u);
}

TEST_F(PacedDriverTest, ConnectionChangeReleasesTheBuffer)
{
    move(10);
    move(11);
    timer().restart(2000);
    driver.setLinkState(LS_WAIT);
    driver.TimerTick();  // the poll went unanswered
    driver.TimerTick();  // the device is declared lost
    EXPECT_FALSE(driver.Connected());
    EXPECT_TRUE(buffer.Vide());
}
