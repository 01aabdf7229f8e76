// What an operator sees the device do on its own, run on the device's clock:
// switching delays, the TAKE effect, the T-bar, self-resetting commands, the
// STORE flag and the logo/frame store cycle.
#include "sim_fixture.h"

using namespace varnel;
using namespace varnel::sim;
using namespace varnel::sim::test;

namespace {

bool has(const std::string &out, const std::string &line) { return out.find(line + "\r\n") != std::string::npos; }

/// Steps the clock 100 ms at a time until `line` is reported; the time it took.
std::int64_t msUntil(SimPeer &peer, const std::string &line, std::int64_t limitMs = 600000)
{
    for (std::int64_t t = 100; t <= limitMs; t += 100)
        if (has(peer.after(100), line))
            return t;
    return -1;
}

TEST(SimBehaviour, NewSourceBecomesCurrentAfterTheSwitchingDelay)
{
    SimPeer peer;
    EXPECT_EQ(peer.send("3cn"), "cn3\r\n");
    EXPECT_FALSE(has(peer.after(DeviceModel::kSwitchDelayMs - 1), "cc3"));
    EXPECT_EQ(peer.device.value(Reg::ICHP), 2u);
    const std::string out = peer.after(1);
    EXPECT_EQ(out.rfind("cc3\r\n", 0), 0u) << out;
    EXPECT_TRUE(has(out, "ip1"));
    EXPECT_TRUE(has(out, "if12"));  // input 3 carries a computer signal
    EXPECT_EQ(peer.device.value(Reg::ICHP), 3u);

    // a quicker second choice wins; the first never shows on main
    peer.send("7CN");
    peer.send("5CN");
    const std::string main = peer.after(DeviceModel::kSwitchDelayMs);
    EXPECT_FALSE(has(main, "CC7")) << main;
    EXPECT_TRUE(has(main, "CC5")) << main;
    EXPECT_TRUE(has(main, "IF2")) << main;
}

TEST(SimBehaviour, TakeRunsTheEffectThenSwapsMainAndPreview)
{
    SimPeer peer;
    peer.send("20ED");  // 2 s
    EXPECT_EQ(peer.send("1TK"), "TK1\r\nTO1\r\nTB0\r\n");
    EXPECT_EQ(peer.send("1TK"), "TK1\r\n");  // a running effect is not restarted
    EXPECT_EQ(peer.send("0TK"), "TK1\r\n");  // nor taken back

    const std::vector<std::string> first = linesOf(peer.after(1000));
    std::vector<std::string> tbar;
    for (const std::string &l : first)
        if (l.rfind("TB", 0) == 0)
            tbar.push_back(l);
    EXPECT_EQ(tbar, (std::vector<std::string>{"TB5", "TB10", "TB15", "TB20", "TB25", "TB30", "TB35", "TB40", "TB45",
                                              "TB50"}));
    EXPECT_EQ(peer.device.value(Reg::ICHM), 1u);
    EXPECT_EQ(peer.device.value(Reg::EFFON), 1u);

    const std::vector<std::string> rest = linesOf(peer.after(1000));
    ASSERT_GE(rest.size(), 7u);
    const std::vector<std::string> tail(rest.end() - 7, rest.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"TB100", "CC2", "cc1", "CN2", "cn1", "TO0", "TK0"}));
    EXPECT_EQ(peer.device.value(Reg::ICHM), 2u);
    EXPECT_EQ(peer.device.value(Reg::ICHP), 1u);
    EXPECT_EQ(peer.device.value(Reg::TAKE), 0u);
    // the next TAKE runs again
    EXPECT_EQ(peer.send("1TK"), "TK1\r\nTO1\r\nTB0\r\n");
    peer.after(2000);
    EXPECT_EQ(peer.device.value(Reg::ICHM), 1u);
}

TEST(SimBehaviour, TbarPositionMovesTheTransitionByHand)
{
    SimPeer peer;
    EXPECT_EQ(peer.send("40TP"), "TP40\r\nTO1\r\nTB40\r\n");
    EXPECT_EQ(peer.device.value(Reg::ICHM), 1u);
    EXPECT_EQ(peer.send("255TP"), "TP100\r\nTB100\r\nCC2\r\ncc1\r\nCN2\r\ncn1\r\nTO0\r\n");
    // from the far end the bar runs the next transition backwards
    EXPECT_EQ(peer.send("70TP"), "TP70\r\nTO1\r\nTB30\r\n");
    EXPECT_EQ(peer.send("100TP"), "TP100\r\nTB0\r\nTO0\r\n");
    EXPECT_EQ(peer.device.value(Reg::ICHM), 2u);  // moved back: nothing happened
    peer.send("0TP");
    EXPECT_EQ(peer.device.value(Reg::ICHM), 1u);
}

TEST(SimBehaviour, CommandsResetThemselves)
{
    struct Reset {
        const char *command;
        const char *code;
        int delayMs;
    };
    const Reset resets[] = {{"1az", "az", 1500}, {"1ES", "ES", 1000}, {"1yP", "yP", 300}, {"1yp", "yp", 300},
                            {"1yC", "yC", 800},  {"1YR", "YR", 2000}, {"1ns", "ns", 800}};
    for (const Reset &r : resets) {
        SimPeer peer;
        EXPECT_EQ(peer.send(r.command), std::string(r.code) + "1\r\n");
        EXPECT_FALSE(has(peer.after(r.delayMs - 1), std::string(r.code) + "0")) << r.code;
        EXPECT_TRUE(has(peer.after(1), std::string(r.code) + "0")) << r.code;
    }
}

TEST(SimBehaviour, PresetRestoresThePictureSettingsOfItsOutput)
{
    SimPeer peer;
    peer.send("5HP200BR7hp");
    peer.send("1yP");
    const std::string out = peer.after(300);
    EXPECT_TRUE(has(out, "HP128"));
    EXPECT_TRUE(has(out, "BR128"));
    EXPECT_EQ(peer.device.value(Reg::HPOSP), 7u);  // the preview keeps its own
}

TEST(SimBehaviour, StoreFlagFollowsSettingChanges)
{
    SimPeer peer;
    peer.send("HP");  // reading changes nothing
    EXPECT_FALSE(has(peer.after(5000), "YS1"));
    peer.send("5HP");
    EXPECT_TRUE(has(peer.after(DeviceModel::kStoreFlagDelayMs), "YS1"));
    peer.after(500);
    peer.send("6HP");  // another change keeps the flag up
    EXPECT_FALSE(has(peer.after(DeviceModel::kStoreFlagMs), "YS0"));
    EXPECT_TRUE(has(peer.after(DeviceModel::kStoreFlagDelayMs), "YS0"));
    peer.send("6HP");  // the same value again is no change
    EXPECT_FALSE(has(peer.after(5000), "YS1"));
}

TEST(SimBehaviour, StoreCycleFillsAndEmptiesMemories)
{
    SimPeer peer;
    EXPECT_EQ(peer.send("1LR"), "LR0\r\n");  // use mode: nothing to store
    peer.send("1LM64LK64Lk3LC");
    const std::uint32_t w = peer.device.value(Reg::LPIXELSIZCAP);
    const std::uint32_t h = peer.device.value(Reg::LLINESIZCAP);
    EXPECT_EQ(w, 257u);  // 64/255 of 1024 x 768
    EXPECT_EQ(h, 193u);
    EXPECT_EQ(peer.send("1LR"), "LR1\r\n");
    const std::int64_t small = msUntil(peer, "LR0");
    EXPECT_EQ(peer.device.value(Reg::LEMPTYL), 511u & ~4u);
    ASSERT_TRUE(peer.device.memory({false, 3}));
    EXPECT_EQ(peer.device.memory({false, 3})->width, 257);

    std::string info = peer.send("3LI");
    EXPECT_EQ(info.rfind("LI3\r\n", 0), 0u);
    EXPECT_TRUE(has(info, "Ly257"));
    EXPECT_TRUE(has(info, "Lz193"));

    // a capture twice as large takes longer
    peer.send("128LK128Lk5LC");
    peer.send("1LR");
    const std::int64_t large = msUntil(peer, "LR0");
    EXPECT_GT(small, 1000);
    EXPECT_GT(large, 3 * small);

    // a frame captures the whole output
    peer.send("3LM2LC1LR");
    EXPECT_GT(msUntil(peer, "LR0"), large);
    EXPECT_EQ(peer.device.value(Reg::LEMPTYF), 15u & ~2u);
    EXPECT_EQ(peer.device.memory({true, 2})->width, 1024);

    // erasing logo 3 only
    peer.send("4LM3LC");
    EXPECT_EQ(peer.send("1LR"), "LR1\r\n");
    const std::string erased = peer.after(1000);
    EXPECT_TRUE(has(erased, "lE" + std::to_string(511u & ~16u)));
    EXPECT_EQ(erased.substr(erased.size() - 5), "LR0\r\n");
    // erasing all frames
    peer.send("5LM0LC1LR");
    peer.after(1000);
    EXPECT_EQ(peer.device.value(Reg::LEMPTYF), 15u);
}

TEST(SimBehaviour, AbortStopsAStoreWithoutChangingTheMemory)
{
    SimPeer peer;
    peer.send("1LM2LC1LR");
    peer.after(500);
    const std::string out = peer.send("1Lr");
    EXPECT_EQ(out, "Lr1\r\nLR0\r\n");
    EXPECT_TRUE(has(peer.after(100), "Lr0"));
    EXPECT_FALSE(has(peer.after(600000), "lE509"));
    EXPECT_EQ(peer.device.value(Reg::LEMPTYL), 511u);
}

TEST(SimBehaviour, FactoryResetReportsEverySettingItRestores)
{
    SimPeer peer;
    TVRK_610_d driver;
    driver.SetRanges(&VarRanges, false);
    driver.ReceiveText(peer.send("1#\r\n"));
    // settings away from the factory values, a framing, a network address
    driver.ReceiveText(peer.send("1PC20AL3PC1PP4PC3BR6OF7HP1na10nw"));
    driver.ReceiveText(peer.after(5000));
    driver.ReceiveText(peer.send("1YR"));
    const std::string reports = peer.after(2000);
    driver.ReceiveText(reports);
    EXPECT_EQ(reports.substr(reports.size() - 5), "YR0\r\n");
    EXPECT_EQ(peer.device.value(Reg::BRGTM), 128u);
    EXPECT_EQ(peer.device.value(Reg::OFMTM), 2u);
    EXPECT_EQ(peer.device.value(Reg::OHSIZM), 1024u);
    EXPECT_EQ(peer.device.channelValue(idx(Reg::ALEV), 1), 48u);
    EXPECT_EQ(peer.device.channelValue(idx(Reg::PPROC), 3), 0u);
    EXPECT_EQ(peer.device.value(Reg::HPOSM), 7u);  // framings are kept
    EXPECT_EQ(dotted(peer.device, 1), "10.168.0.10");
    EXPECT_EQ(peer.device.value(Reg::PCHAN), 4u);
    // a client that saw only the reports agrees with the device
    expectMirrors(driver, peer.device, [&](int ch) { driver.ReceiveText(peer.send(std::to_string(ch) + "PC")); });
}

TEST(SimBehaviour, ProjectorMessagesAreWrittenAndReadBackByteByByte)
{
    SimPeer peer;
    EXPECT_EQ(peer.send("65wo"), "wo65\r\nwi1\r\n");
    peer.send("13wo66wo");
    EXPECT_EQ(peer.send("0wo"), "wo0\r\nwi0\r\n");  // the end: next message starts afresh
    EXPECT_EQ(peer.send("3wt"), "wt3\r\nwi0\r\nwo65\r\nwi1\r\nwo13\r\nwi2\r\nwo66\r\nwi3\r\nwo0\r\nwi0\r\n");
    EXPECT_EQ(peer.send("4wt"), "wt4\r\nwI0\r\nwf0\r\nwI0\r\n");  // the OFF message is empty
    EXPECT_EQ(peer.send("5wt"), "wt5\r\nwi0\r\nwt0\r\n");  // clear the ON message
    EXPECT_EQ(peer.send("3wt"), "wt3\r\nwi0\r\nwo0\r\nwi0\r\n");
    EXPECT_EQ(peer.send("7wt"), "wt3\r\n");  // refused: the control is kept
}

TEST(SimBehaviour, OutputFormatSetsTheOutputSizes)
{
    SimPeer peer;
    EXPECT_EQ(peer.device.value(Reg::OHSIZM), 1024u);
    const std::string out = peer.send("6OF");
    EXPECT_EQ(out.rfind("OF6\r\n", 0), 0u);
    EXPECT_TRUE(has(out, "OH1920"));
    EXPECT_TRUE(has(out, "OW1080"));
    EXPECT_TRUE(has(out, "of6"));
}

}  // namespace
