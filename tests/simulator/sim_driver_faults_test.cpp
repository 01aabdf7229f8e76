// The application's driver core against the simulated device on one virtual
// clock, with the transport faults switched on: answers late, in pieces and
// between garbage lines still lead to "connected" and a full mirror; dropped
// answers make the driver lose the device and find it again. No real time
// passes: a minute of link supervision runs in well under a second.
#include "faults.h"
#include "sim_fixture.h"

using namespace varnel;
using namespace varnel::sim;
using namespace varnel::sim::test;

namespace {

/// The driver's transport: hands every write to the device's session.
class SessionTransport final : public LinkTransport {
public:
    explicit SessionTransport(SimSession *&session) : m_session(session) {}
    void write(std::string_view text) override
    {
        if (m_session)
            m_session->receive(text);
    }

private:
    SimSession *&m_session;
};

/// A driver and a device joined through a fault shaper, on one clock.
struct FaultyLink {
    explicit FaultyLink(const FaultConfig &config)
        : shaper(config, 0),
          session(device, [this](std::string_view t, bool reg) { shaper.submit(t, reg, device.now()); })
    {
        sessionPtr = &session;
        shaper.reset(0);
        driver.SetRanges(&VarRanges, false);
        driver.setHandler(Reg::queryall, [this](TVRK_610_d &d, int) {
            if (d.ReadVar(Reg::queryall) == 0)
                ++dumpsEnded;
        });
        driver.setHandler(Event::OnConnected, [this](TVRK_610_d &d, int) {
            (d.Connected() ? connects : losses) += 1;
        });
        driver.setTransport(tConnectionType::CON_TCP, std::make_unique<SessionTransport>(sessionPtr));
        driver.setConType(tConnectionType::CON_TCP);
    }

    /// Moves the clock on 1 ms at a time, delivering answers and timer ticks.
    void run(std::int64_t ms, const std::function<bool()> &until = {})
    {
        auto &timer = static_cast<ManualTimer &>(driver.timer());
        for (std::int64_t i = 0; i < ms; ++i) {
            if (timer.restarts() != seenRestarts) {
                seenRestarts = timer.restarts();
                nextTick = device.now() + timer.interval();
            }
            device.advance(1);
            for (const std::string &piece : shaper.takeDue(device.now()))
                driver.ReceiveText(piece);
            if (timer.restarts() != seenRestarts) {
                seenRestarts = timer.restarts();
                nextTick = device.now() + timer.interval();
            }
            if (timer.isEnabled() && device.now() >= nextTick) {
                nextTick = device.now() + timer.interval();
                driver.TimerTick();
            }
            if (until && until())
                return;
        }
    }

    DeviceModel device{*findModel("VRK610")};
    FaultShaper shaper;
    SimSession session;
    SimSession *sessionPtr = nullptr;
    TVRK_610_d driver;
    int seenRestarts = -1;
    std::int64_t nextTick = 0;
    int dumpsEnded = 0;
    int connects = 0;
    int losses = 0;
};

TEST(SimDriverFaults, LateSplitAnswersAmongGarbageStillGiveAFullMirror)
{
    FaultConfig config;
    config.latencyMs = 150;
    config.split = true;
    config.garbageShare = 0.3;
    config.seed = 11;
    FaultyLink link(config);
    link.session.receive("3PC9AL2na10nw0na");  // the device's own state differs from the start values
    link.run(30000, [&] { return link.dumpsEnded > 0; });
    ASSERT_EQ(link.dumpsEnded, 1);
    EXPECT_TRUE(link.driver.Connected());
    expectMirrors(link.driver, link.device, [&](int ch) {
        link.driver.setPCHAN(static_cast<std::uint32_t>(ch));
        link.run(2000, [&] { return link.driver.ReadVar(Reg::PCHAN) == static_cast<std::uint32_t>(ch); });
    });
    // and it stays connected through a minute of polls
    link.run(60000);
    EXPECT_TRUE(link.driver.Connected());
    EXPECT_EQ(link.losses, 0);
}

TEST(SimDriverFaults, DroppedAnswersLoseTheDeviceUntilItAnswersAgain)
{
    FaultConfig config;
    config.dropShare = 0.5;
    config.seed = 3;
    FaultyLink link(config);
    link.run(120000);
    EXPECT_GE(link.connects, 2);
    EXPECT_GE(link.losses, 1);

    FaultConfig none;
    FaultyLink clean(none);
    clean.run(120000);
    EXPECT_EQ(clean.connects, 1);
    EXPECT_EQ(clean.losses, 0);
}

TEST(SimDriverFaults, SilentDeviceIsDeclaredLost)
{
    FaultConfig config;
    config.silentAfterS = 20;
    FaultyLink link(config);
    link.run(20000);
    ASSERT_TRUE(link.driver.Connected());
    link.run(6000);
    EXPECT_FALSE(link.driver.Connected());
    EXPECT_EQ(link.driver.DEV(), 0u);
    EXPECT_EQ(link.losses, 1);
}

}  // namespace
