// The link supervision: probing, finding a device, the query-all request, polls,
// losing the device. Time is the ManualTimer's: each test calls TimerTick itself.
#include "driver_fixture.h"

using namespace varnel;
using namespace varnel::test;

namespace {

class SupervisionTest : public ::testing::Test {
protected:
    SupervisionTest()
    {
        auto t = std::make_unique<RecordingTransport>();
        tcp = t.get();
        driver.setTransport(tConnectionType::CON_TCP, std::move(t));
        log.attach(driver);
    }
    ManualTimer &timer() { return static_cast<ManualTimer &>(driver.timer()); }
    /// Ticks once and returns what was written during the tick.
    std::vector<std::string> tick()
    {
        tcp->clear();
        driver.TimerTick();
        return tcp->writes();
    }
    int count(const std::string &event) const { return int(std::count(log.entries.begin(), log.entries.end(), event)); }

    TVRK_610_d driver;
    RecordingTransport *tcp = nullptr;
    EventLog log;
};

using Writes = std::vector<std::string>;

}  // namespace

TEST_F(SupervisionTest, FindsAKnownDeviceQueriesAllThenPolls)
{
    EXPECT_FALSE(timer().isEnabled());
    EXPECT_EQ(timer().interval(), 3000);
    driver.setConType(tConnectionType::CON_TCP);
    EXPECT_TRUE(timer().isEnabled());
    EXPECT_EQ(timer().interval(), 3000);  // first tick after 3000 ms
    EXPECT_EQ(tcp->opens, 1);

    EXPECT_EQ(tick(), Writes{});  // state 0: clear, start probing
    EXPECT_EQ(timer().interval(), 2000);
    EXPECT_EQ(driver.LinkState(), LS_PROBE);
    EXPECT_EQ(tick(), Writes{"?"});  // 5000 ms after the link was chosen
    driver.ReceiveText("DEV41\r\n");
    EXPECT_EQ(driver.LinkState(), LS_FOUND);
    EXPECT_EQ(timer().interval(), 1);
    EXPECT_FALSE(driver.Connected());

    log.clear();
    EXPECT_EQ(tick(), Writes{});
    EXPECT_TRUE(driver.Connected());
    EXPECT_EQ(log.entries, Writes{"OnConnected"});
    EXPECT_EQ(timer().interval(), 2000);
    EXPECT_EQ(tick(), Writes{"1#\r\n"});
    EXPECT_EQ(driver.LinkState(), LS_SETTLE);

    const int restarts = timer().restarts();
    driver.ReceiveText("#1\r\nCN3\r\n");  // the dump postpones the next tick
    EXPECT_EQ(timer().restarts(), restarts + 1);
    EXPECT_EQ(timer().interval(), 2000);

    EXPECT_EQ(tick(), Writes{});
    EXPECT_EQ(timer().interval(), 1);
    EXPECT_EQ(tick(), Writes{"?"});
    EXPECT_EQ(driver.LinkState(), LS_WAIT);
    driver.ReceiveText("DEV41\r\n");
    EXPECT_EQ(driver.LinkState(), LS_POLL);
    EXPECT_EQ(timer().interval(), 2000);  // next poll 2000 ms after the answer
    EXPECT_EQ(tick(), Writes{"?"});
}

TEST_F(SupervisionTest, UnansweredPollLosesTheDeviceAndProbingResumes)
{
    driver.setConType(tConnectionType::CON_TCP);
    tick();
    tick();
    driver.ReceiveText("DEV42\r\n");
    tick();
    tick();
    tick();
    EXPECT_EQ(tick(), Writes{"?"});
    log.clear();
    EXPECT_EQ(tick(), Writes{});  // no answer within 2000 ms
    EXPECT_EQ(driver.LinkState(), LS_IDLE);
    EXPECT_EQ(timer().interval(), 1);
    EXPECT_TRUE(driver.Connected());
    EXPECT_EQ(tick(), Writes{});
    EXPECT_EQ(driver.DEV(), 0u);
    EXPECT_FALSE(driver.Connected());
    EXPECT_EQ(log.entries, (Writes{"OnDEVchange", "OnConnected"}));
    EXPECT_EQ(tick(), Writes{"?"});
    EXPECT_EQ(tick(), Writes{"?"});
}

TEST_F(SupervisionTest, UnknownDeviceIsAnnouncedButNeverConnected)
{
    driver.setConType(tConnectionType::CON_TCP);
    tick();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tick(), Writes{"?"});
        driver.ReceiveText("DEV7\r\n");
        EXPECT_EQ(driver.DEV(), 7u);
        EXPECT_EQ(driver.LinkState(), LS_PROBE);
    }
    EXPECT_EQ(count("OnDEVchange"), 3);
    EXPECT_FALSE(driver.Connected());
}

TEST_F(SupervisionTest, KnownDeviceCodes)
{
    for (std::uint32_t code = 0; code < 200; ++code) {
        const bool known = (code >= 41 && code <= 50) || code == 66 || code == 70 || code == 88 || code == 89;
        EXPECT_EQ(isKnownDeviceCode(code), known) << code;
    }
}

TEST_F(SupervisionTest, ForcedConnectionQueriesAndNeverDrops)
{
    driver.setForceConn(true);  // even with CON_NONE
    EXPECT_EQ(driver.LinkState(), LS_FOUND);
    EXPECT_EQ(timer().interval(), 1);
    EXPECT_TRUE(timer().isEnabled());
    tick();
    EXPECT_TRUE(driver.Connected());
    driver.setConType(tConnectionType::CON_TCP);
    EXPECT_TRUE(driver.Connected());  // forced: ConType leaves the state alone
    EXPECT_EQ(tick(), Writes{"1#\r\n"});
    tick();
    EXPECT_EQ(tick(), Writes{"?"});
    EXPECT_EQ(tick(), Writes{});  // unanswered: back to polling, not lost
    EXPECT_EQ(driver.LinkState(), LS_POLL);
    EXPECT_TRUE(driver.Connected());
    EXPECT_EQ(tick(), Writes{"?"});
    driver.ReceiveText("DEV3\r\n");  // any DEV answer counts while forced
    EXPECT_EQ(driver.LinkState(), LS_POLL);

    driver.setForceConn(false);
    EXPECT_EQ(driver.LinkState(), LS_IDLE);
    tick();
    EXPECT_FALSE(driver.Connected());
    EXPECT_EQ(driver.DEV(), 0u);
}

TEST_F(SupervisionTest, SameConTypeOnlyNotifies)
{
    driver.setConType(tConnectionType::CON_TCP);
    driver.setLinkState(LS_POLL);
    log.clear();
    driver.setConType(tConnectionType::CON_TCP);
    EXPECT_EQ(log.entries, Writes{"OnConTypechange"});
    EXPECT_EQ(tcp->opens, 1);
    EXPECT_EQ(tcp->closes, 0);
    EXPECT_EQ(driver.LinkState(), LS_POLL);
}

TEST_F(SupervisionTest, ConTypeChangeClosesOldOpensNewAndClearsTheDevice)
{
    auto udp = std::make_unique<RecordingTransport>();
    auto *udpRaw = udp.get();
    driver.setTransport(tConnectionType::CON_UDP, std::move(udp));
    driver.setConType(tConnectionType::CON_TCP);
    driver.setConMode(tConnectionMode::MODE_VAR);
    driver.ReceiveText("DEV41\r\n");
    log.clear();
    driver.setConType(tConnectionType::CON_UDP);
    EXPECT_EQ(tcp->closes, 1);
    EXPECT_EQ(udpRaw->opens, 1);
    EXPECT_EQ(driver.DEV(), 0u);
    EXPECT_FALSE(driver.Connected());
    EXPECT_EQ(log.entries, (Writes{"OnDEVchange", "OnConnected", "OnConTypechange"}));
    driver.setConType(tConnectionType::CON_NONE);
    EXPECT_FALSE(timer().isEnabled());
    EXPECT_EQ(udpRaw->closes, 2);  // the old type, then all three
}

TEST_F(SupervisionTest, RawModeStayDropsConnectedAndVarModeRestoresItSilently)
{
    driver.setConType(tConnectionType::CON_TCP);
    tick();
    tick();
    driver.ReceiveText("DEV41\r\n");
    tick();
    tick();
    tick();
    log.clear();
    driver.setConMode(tConnectionMode::MODE_RAW);
    EXPECT_EQ(driver.LinkState(), LS_POLL);
    EXPECT_EQ(tick(), Writes{});  // the poll sends nothing in raw mode
    driver.ReceiveText(".1\r");    // raw text does not restart the timer
    EXPECT_EQ(timer().interval(), 2000);
    tick();                        // unanswered
    tick();                        // state 0: DEV kept in raw mode
    EXPECT_FALSE(driver.Connected());
    EXPECT_EQ(driver.DEV(), 41u);
    // raw text raises OnRecString (receivedString still holds the last matched line)
    EXPECT_EQ(log.entries, (Writes{"OnRecString:DEV41", "OnConnected"}));
    log.clear();
    driver.setConMode(tConnectionMode::MODE_VAR);
    EXPECT_TRUE(driver.Connected());
    EXPECT_TRUE(log.entries.empty());
    EXPECT_EQ(tick(), Writes{"?"});
}

TEST_F(SupervisionTest, PlugAndPlayRestartsProbing)
{
    driver.setConType(tConnectionType::CON_TCP);
    driver.setLinkState(LS_POLL);
    const int restarts = timer().restarts();
    driver.setQuenor_s_plug_and_play(false);
    EXPECT_EQ(driver.LinkState(), LS_POLL);
    driver.setQuenor_s_plug_and_play(true);
    EXPECT_EQ(driver.LinkState(), LS_IDLE);
    EXPECT_EQ(timer().restarts(), restarts);
}

TEST_F(SupervisionTest, ReceivedTextRestartsTheTimerOnlyInWatchedStates)
{
    for (std::uint8_t state = 0; state <= 6; ++state) {
        driver.setLinkState(state);
        const int before = timer().restarts();
        driver.ReceiveText("x");
        const bool restarted = timer().restarts() == before + 1;
        EXPECT_EQ(restarted, state != LS_IDLE && state != LS_FOUND) << int(state);
    }
}
