// The register protocol as the device speaks it: commands without separators,
// reports with CR LF, refusals that report the kept value, the channel and
// address selections, and the query-all dump, read back by the real driver.
#include "sim_fixture.h"

#include <response_matcher.h>

#include <set>

using namespace varnel;
using namespace varnel::sim;
using namespace varnel::sim::test;

namespace {

struct Case {
    const char *model;
    const char *sent;
    const char *answer;
};

// What the device answers at once (later reports, like STORE, are not part of it).
const Case kCases[] = {
    {"VRK610", "?", "DEV41\r\n"},
    {"TBE310", "?", "DEV89\r\n"},
    {"1234", "?", "DEV1234\r\n"},
    {"VRK610", "3cn", "cn3\r\n"},
    {"VRK610", "3CN", "CN3\r\n"},
    {"VRK610", "12CN", "CN12\r\n"},
    {"VRK610", "CN", "CN1\r\n"},               // a code alone reports
    {"VRK610", "0CN", "CN1\r\n"},              // below the range: refused, current value
    {"VRK610", "13CN", "CN1\r\n"},             // above the range
    {"VRK610", "99999999999CN", "CN1\r\n"},    // does not fit 32 bits
    {"TBE310", "6CN", "CN1\r\n"},              // a four-input model has no input 6
    {"TBE310", "10CN", "CN10\r\n"},            // but frame 2 is a source
    {"TRA310", "9CN", "CN1\r\n"},              // no frames on this model
    {"VKA602", "3cn", "cn2\r\n"},              // no preview output
    {"VRK610", "5CC", "CC1\r\n"},              // read-only: refused
    {"VRK610", "5?", "DEV41\r\n"},
    {"VRK610", "7@", "ADBG7\r\n"},             // command and response codes differ
    {"VRK610", "200HP", "HP200\r\n"},
    {"VRK610", "256HP", "HP128\r\n"},
    {"VRK610", "9ZW", "ZW100\r\n"},            // below a minimum other than 0
    {"VRK610", "1AM", ""},                     // markers get no answer
    {"VRK610", "1X\r", ""},
    {"VRK610", "0#", "#0\r\n"},
    {"VRK610", "#", "#0\r\n"},
    {"VRK610", "2PC", "PC2\r\n"},
    {"VRK610", "9PC", "PC0\r\n"},
    {"VRK610", "3na", "na3\r\n"},
    {"VRK610", "4na", "na0\r\n"},
    {"VRK610", "16nk", "nk16\r\n"},
    {"VRK610", "25nk", "nk8\r\n"},
    {"VRK610", "3cn5HP", "cn3\r\nHP5\r\n"},  // commands follow each other without separator
    {"VRK610", " 3cn\r\n", "cn3\r\n"},
    {"VRK610", "3\r\ncn", "cn2\r\n"},          // a value cut off from its code is not applied
    {"VRK610", "~%=\r\n", ""},                 // text that is not a command is ignored
    {"VRK610", "zz?", "DEV41\r\n"},
    {"VRK610", "xV", "xV13\r\n"},
    {"TBA301", "1TK", "TK0\r\n"},             // no effects on this model: TAKE refused
};

TEST(SimProtocol, CommandsAndAnswers)
{
    for (const Case &c : kCases) {
        SimPeer peer(c.model);
        EXPECT_EQ(peer.send(c.sent), c.answer) << c.model << " \"" << c.sent << "\"";
    }
}

TEST(SimProtocol, CommandSplitOverArrivalsIsAnsweredOnceComplete)
{
    SimPeer peer;
    EXPECT_EQ(peer.send("1"), "");
    EXPECT_EQ(peer.send("2"), "");
    EXPECT_EQ(peer.send("h"), "");
    EXPECT_EQ(peer.send("p"), "hp12\r\n");
    EXPECT_EQ(peer.send("X"), "");
    EXPECT_EQ(peer.send("\r?"), "DEV41\r\n");
    EXPECT_EQ(peer.device.value(Reg::HPOSP), 12u);
    EXPECT_EQ(peer.device.value(Reg::XCR), 0u);
}

TEST(SimProtocol, ChannelRegistersFollowPchan)
{
    SimPeer peer;
    peer.send("3PC");
    EXPECT_EQ(peer.send("7LA"), "LA7\r\n");
    EXPECT_EQ(peer.device.channelValue(idx(Reg::LPLOGO1), 3), 7u);
    EXPECT_EQ(peer.device.channelValue(idx(Reg::LPLOGO1), 2), 0u);
    peer.send("0PC");
    EXPECT_EQ(peer.send("5LB"), "LB5\r\n");
    for (int ch = 1; ch <= 8; ++ch)
        EXPECT_EQ(peer.device.channelValue(idx(Reg::LPLOGO2), ch), 5u) << ch;
    peer.send("3PC");
    EXPECT_EQ(peer.send("LA"), "LA7\r\n");
    peer.send("2PC");
    EXPECT_EQ(peer.send("LA"), "LA0\r\n");
}

TEST(SimProtocol, AddressRegistersFollowPadip)
{
    SimPeer peer;
    peer.send("2na");
    EXPECT_EQ(peer.send("10nw"), "nw10\r\n");
    EXPECT_EQ(peer.send("4000np"), "np4000\r\n");
    EXPECT_EQ(dotted(peer.device, 2), "10.168.0.100");
    EXPECT_EQ(dotted(peer.device, 1), "192.168.0.10");
    EXPECT_EQ(peer.device.port(2), 4000u);
    EXPECT_EQ(peer.device.port(1), 10500u);
    peer.send("0na");
    peer.send("7nz");
    for (int a = 1; a <= 3; ++a)
        EXPECT_EQ(peer.device.octet(a, 3), 7u) << a;
    peer.send("3na");
    EXPECT_EQ(peer.send("nw"), "nw192\r\n");
}

TEST(SimProtocol, StartValuesLieInTheRangesOfEveryModel)
{
    for (const ModelProfile &m : modelCatalogue()) {
        DeviceModel device(m);
        for (int i = 0; i < kRegisterCount; ++i) {
            const auto index = static_cast<std::uint16_t>(i);
            const RegisterInfo &info = registerInfo(index);
            const auto lo = static_cast<std::uint32_t>(std::max(info.minimum, 0));
            const auto hi = static_cast<std::uint32_t>(info.maximum);
            for (int ch = 1; ch <= (info.storage == Storage::PerChannel ? 8 : 1); ++ch) {
                const std::uint32_t v = info.storage == Storage::PerChannel ? device.channelValue(index, ch)
                                                                           : device.value(index);
                EXPECT_TRUE(v >= lo && v <= hi) << m.code << " " << info.name << " = " << v;
            }
        }
        EXPECT_EQ(device.value(Reg::VERV), 13u) << m.code;
        EXPECT_EQ(device.value(Reg::DEV), m.dev);
    }
}

TEST(SimProtocol, ModelsByCodeOrDevValue)
{
    EXPECT_EQ(modelCatalogue().size(), 13u);
    std::set<std::uint16_t> devs;
    for (const ModelProfile &m : modelCatalogue())
        devs.insert(m.dev);
    EXPECT_EQ(devs, (std::set<std::uint16_t>{41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 70, 88, 89}));
    EXPECT_EQ(findModel("tbe310")->dev, 89);
    EXPECT_EQ(findModel("70")->code, "TRK310");
    EXPECT_EQ(findModel("7")->dev, 7);
    EXPECT_FALSE(findModel("VRK611"));
    EXPECT_FALSE(findModel("70000"));
    EXPECT_EQ(findModel("TBA301")->inputs, 4);
    EXPECT_EQ(DeviceModel(*findModel("TBA301")).value(Reg::EFFENABLE), 0u);
    EXPECT_EQ(DeviceModel(*findModel("VRK610")).value(Reg::EFFENABLE), 15u);
}

// --- the query-all dump ------------------------------------------------------------

TEST(SimDump, BracketsChannelBlocksAndCoversEveryRegister)
{
    SimPeer peer;
    peer.send("5PC");  // the device's own selections must survive the dump
    peer.send("2na");
    const std::vector<std::string> lines = linesOf(peer.send("1#\r\n"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.front(), "#1");
    EXPECT_EQ(lines.back(), "#0");
    EXPECT_EQ(lines[lines.size() - 2], "PC5");

    std::vector<std::string> channelCodes;
    for (int i = 0; i < kRegisterCount; ++i)
        if (registerInfo(static_cast<std::uint16_t>(i)).storage == Storage::PerChannel)
            channelCodes.emplace_back(registerInfo(static_cast<std::uint16_t>(i)).record.RespCode);
    ASSERT_EQ(channelCodes.size(), 19u);
    int blocks = 0;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (lines[k] != "PC" + std::to_string(blocks + 1))
            continue;
        ++blocks;
        ASSERT_LT(k + channelCodes.size(), lines.size());
        for (std::size_t j = 0; j < channelCodes.size(); ++j)
            EXPECT_EQ(lines[k + 1 + j].rfind(channelCodes[j], 0), 0u) << "block " << blocks << ": " << lines[k + 1 + j];
    }
    EXPECT_EQ(blocks, 8);

    // every register but the two markers is reported, each line matches a register
    std::set<std::uint16_t> seen;
    for (const std::string &line : lines) {
        const auto match = matchLine(line);
        ASSERT_TRUE(match) << line;
        seen.insert(match->index);
    }
    for (int i = 0; i < kRegisterCount; ++i)
        if (i != idx(Reg::AMX) && i != idx(Reg::XCR)) {
            EXPECT_TRUE(seen.count(static_cast<std::uint16_t>(i))) << registerInfo(static_cast<std::uint16_t>(i)).name;
        }
    // the address block ends with the selection the device keeps
    EXPECT_EQ(peer.device.value(Reg::PADIP), 2u);
    EXPECT_EQ(peer.device.value(Reg::PCHAN), 5u);
}

TEST(SimDump, ADriverFedTheDumpMirrorsEveryRegister)
{
    SimPeer peer("TBE310");
    // make the channel and address copies differ from each other
    peer.send("1PC20AL2PC30AL8PC1PE3PC4LA");
    peer.send("1na10nw2na20nw3na30nw1na5000np2na6000np0na");
    peer.send("16nk3HP");
    TVRK_610_d driver;
    driver.SetRanges(&VarRanges, false);
    driver.ReceiveText(peer.send("1#\r\n"));
    EXPECT_EQ(driver.ReadVar(Reg::queryall), 0u);
    expectMirrors(driver, peer.device, [&](int ch) {
        driver.ReceiveText(peer.send(std::to_string(ch) + "PC"));
    });
}

}  // namespace
