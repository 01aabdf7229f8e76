// How received text becomes register values and notifications.
#include "driver_fixture.h"

using namespace varnel;
using namespace varnel::test;

TEST_F(DriverTest, TwoLinesInOneArrivalAreStoredInOrderWithTheirEvents)
{
    log.attach(driver);
    receive("CN3\r\ncn5\r\n");
    EXPECT_EQ(driver.ICHNM(), 3u);
    EXPECT_EQ(driver.ICHNP(), 5u);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"OnRecString:CN3", "OnICHNMchange", "OnRecString:cn5",
                                                     "OnICHNPchange"}));
}

TEST_F(DriverTest, LineSplitOverArrivalsIsStoredOnceWhenItEnds)
{
    log.attach(driver);
    receive("CN");
    receive("3");
    EXPECT_TRUE(log.entries.empty());
    receive("\r\n");
    EXPECT_EQ(driver.ICHNM(), 3u);
    EXPECT_EQ(log.entries.size(), 2u);
}

TEST_F(DriverTest, RecBufferCutRule)
{
    struct Case {
        std::vector<std::string> arrivals;
        std::string buffer;
        std::uint32_t ichnm;
    };
    const Case cases[] = {
        {{"ABCDEFGHIJK"}, "BCDEFGHIJK", 0},
        {{"ABCDEFGHIJ"}, "ABCDEFGHIJ", 0},
        {{"CN4\r\ncn"}, "cn", 4},
        {{"CN4\r\nABCDEFGHIJKLMN"}, "EFGHIJKLMN", 4},
        {{"CN7\r\r\n"}, "", 0},  // "CN7\r" is not a valid value
        // a 13-character line whose first 12 characters arrive alone loses 2 of them
        {{"CN0000000000", "5\r\n"}, "", 0},
        {{"CN000000000", "5\r\n"}, "", 0},
        {{"CN00000005", "\r\n"}, "", 5},
    };
    for (const Case &c : cases) {
        TVRK_610_d d;
        for (const auto &a : c.arrivals)
            d.ReceiveText(a);
        EXPECT_EQ(d.RecBuffer(), c.buffer) << c.arrivals.front();
        EXPECT_EQ(d.ICHNM(), c.ichnm) << c.arrivals.front();
    }
}

TEST_F(DriverTest, OutOfRangeValueFiresOnRecStringButNoRegisterEvent)
{
    driver.SetRanges(&VarRanges, false);
    log.attach(driver);
    receive("CN0\r\n");
    EXPECT_EQ(driver.ICHNM(), 0u);
    EXPECT_EQ(driver.receivedString(), "CN0");
    EXPECT_EQ(log.entries, std::vector<std::string>{"OnRecString:CN0"});
    EXPECT_EQ(driver.LastVarIndex(), idx(Reg::ICHNM));

    driver.SetRanges(nullptr, true);  // the initial ranges accept it
    receive("CN0\r\n");
    EXPECT_EQ(log.entries.back(), "OnICHNMchange");
}

TEST_F(DriverTest, UnmatchedLinesAreDroppedSilently)
{
    log.attach(driver);
    receive("CN3x\r\nQQ\r\n\r\nCN-1\r\nCN99999999999999999999999\r\n");
    EXPECT_TRUE(log.entries.empty());
    EXPECT_EQ(driver.receivedString(), "");
}

TEST_F(DriverTest, BooleanKeepsItsLowByte)
{
    receive("PE257\r\n");  // PCHAN 0: all channels
    for (int c = 1; c <= 8; ++c)
        EXPECT_EQ(driver.ReadChannelVar(Reg::PENA, c), 1u);
    receive("OB513\r\n");
    EXPECT_EQ(driver.OBLACKM(), 1u);
}

TEST_F(DriverTest, ChannelIndexedRegistersFollowPCHAN)
{
    log.attach(driver);
    receive("PE1\r\n");  // PCHAN 0: all eight
    for (int c = 1; c <= 8; ++c)
        EXPECT_EQ(driver.ReadChannelVar(Reg::PENA, c), 1u);
    receive("PC3\r\nPE0\r\n");
    EXPECT_EQ(driver.ReadChannelVar(Reg::PENA, 3), 0u);
    EXPECT_EQ(driver.ReadChannelVar(Reg::PENA, 2), 1u);
    EXPECT_EQ(driver.PENA(), 0u);  // reads the element of PCHAN
    receive("PC9\r\n");
    log.clear();
    receive("PE0\r\n");
    EXPECT_EQ(log.entries.back(), "OnPENAchange");  // fires although nothing is stored
    for (int c : {1, 2, 4, 5, 6, 7, 8})
        EXPECT_EQ(driver.ReadChannelVar(Reg::PENA, c), 1u);
    EXPECT_EQ(driver.PENA(), 1u);  // PCHAN outside 1..8 reads element 1
    EXPECT_EQ(driver.ReadChannelVar(Reg::LHPOS1M, 0), driver.ReadChannelVar(Reg::LHPOS1M, 1));
}

TEST_F(DriverTest, AddressOctetsFollowPADIPAndRaiseAllThreeEvents)
{
    log.attach(driver);
    receive("na1\r\nnw10\r\n");
    EXPECT_EQ(driver.LOCAL_IP(), "10.0.0.0");
    EXPECT_EQ(driver.REMOTE_IP(), "0.0.0.0");
    EXPECT_EQ(driver.GATEWAY_IP(), "0.0.0.0");
    EXPECT_EQ(log.entries, (std::vector<std::string>{"OnRecString:na1", "OnPADIPchange", "OnRecString:nw10",
                                                     "OnLOCAL_IPchange", "OnREMOTE_IPchange", "OnGATEWAY_IPchange"}));
    receive("na0\r\nnz9\r\nna2\r\nnx168\r\n");
    EXPECT_EQ(driver.LOCAL_IP(), "10.0.0.9");
    EXPECT_EQ(driver.REMOTE_IP(), "0.168.0.9");
    EXPECT_EQ(driver.GATEWAY_IP(), "0.0.0.9");
}

TEST_F(DriverTest, PortRegisterFollowsPADIP)
{
    log.attach(driver);
    receive("na3\r\n");
    log.clear();
    receive("np5000\r\n");
    EXPECT_EQ(driver.LOCAL_PORT(), 0);
    EXPECT_EQ(driver.REMOTE_PORT(), 0);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"OnRecString:np5000", "OnLOCAL_PORTchange", "OnREMOTE_PORTchange"}));
    receive("na0\r\nnp10500\r\nna1\r\nnp10000\r\n");
    EXPECT_EQ(driver.LOCAL_PORT(), 10000);
    EXPECT_EQ(driver.REMOTE_PORT(), 10500);
}

TEST_F(DriverTest, NetmaskIsReceivedAsHostBits)
{
    struct Case {
        const char *line;
        const char *mask;
    };
    for (const Case &c : {Case{"nk16\r\n", "255.255.0.0"}, Case{"nk8\r\n", "255.255.255.0"}, Case{"nk0\r\n", "255.255.255.255"},
                          Case{"nk24\r\n", "255.0.0.0"}, Case{"nk31\r\n", "128.0.0.0"}, Case{"nk32\r\n", "0.0.0.0"},
                          Case{"nk4000000000\r\n", "0.0.0.0"}}) {
        receive(c.line);
        EXPECT_EQ(driver.NETMASK(), c.mask) << c.line;
    }
}

TEST_F(DriverTest, DevStoreRaisesRS232busyAfterAnotherDev)
{
    log.attach(driver);
    receive("CN3\r\nDEV41\r\n");
    EXPECT_EQ(log.entries.back(), "OnDEVchange");
    receive("DEV41\r\n");
    EXPECT_EQ(log.entries.back(), "ONRS232busy");
    receive("CN3\r\nDEV\r\n");
    EXPECT_EQ(driver.DEV(), 0u);
    EXPECT_EQ(log.entries.back(), "OnDEVchange");
    driver.setRS232busy(true);
    receive("DEV5\r\n");
    EXPECT_EQ(log.entries.back(), "ONRS232busy");
}

TEST_F(DriverTest, RawModeHandsTextOverUnparsed)
{
    int rawEvents = 0;
    std::string taken;
    driver.setHandler(Event::OnRecString, [&](TVRK_610_d &d, int) {
        ++rawEvents;
        taken += d.TakeRawString();
    });
    driver.setConMode(tConnectionMode::MODE_RAW);
    receive("CN3\r\n.1\r");
    EXPECT_EQ(rawEvents, 1);
    EXPECT_EQ(taken, "CN3\r\n.1\r");
    EXPECT_EQ(driver.ICHNM(), 0u);
    driver.setConMode(tConnectionMode::MODE_VAR);
    EXPECT_EQ(driver.TakeRawString(), "");  // only in raw mode
    receive("CN3\r\n");
    EXPECT_EQ(driver.ICHNM(), 3u);
}

TEST_F(DriverTest, HandlersCanBeReassignedFromInsideAHandler)
{
    int first = 0, second = 0;
    driver.setHandler(Reg::ICHNM, [&](TVRK_610_d &d, int) {
        ++first;
        d.setHandler(Reg::ICHNM, [&](TVRK_610_d &, int) { ++second; });
    });
    receive("CN1\r\nCN2\r\n");
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    driver.setHandler(Reg::ICHNM, {});
    receive("CN4\r\n");  // a missing handler is skipped
    EXPECT_EQ(driver.ICHNM(), 4u);
}

TEST_F(DriverTest, HandlersReceiveTheTag)
{
    int seen = -1;
    driver.setTag(7);
    driver.setHandler(Reg::ICHM, [&](TVRK_610_d &, int tag) { seen = tag; });
    receive("CC2\r\n");
    EXPECT_EQ(seen, 7);
}
