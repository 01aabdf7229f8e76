// How property writes become commands, and when they are not sent.
#include "driver_fixture.h"

using namespace varnel;
using namespace varnel::test;

TEST_F(DriverTest, WritesSendValueAndCommandCodeAndLeaveTheCopyAlone)
{
    log.attach(driver);
    driver.setICHNM(3);
    driver.setPENA(1);
    driver.setADDRDBG(7);
    driver.setSTBDBG(5);
    driver.setXCR(2);
    driver.WriteVar(Reg::TBARPO, 4294967295u);
    EXPECT_EQ(sent(), (std::vector<std::string>{"3CN", "1PE", "7@", "5+", "2X\r", "4294967295TP"}));
    EXPECT_EQ(driver.sentString(), "4294967295TP");
    EXPECT_EQ(driver.ICHNM(), 0u);
    EXPECT_EQ(std::count(log.entries.begin(), log.entries.end(), "OnSentString"), 6);
}

TEST_F(DriverTest, ReadOnlyRegistersAreNotWrittenByWriteVar)
{
    driver.WriteVar(Reg::ICHM, 3);
    driver.WriteVar(Reg::DEV, 41);
    EXPECT_TRUE(sent().empty());
}

TEST_F(DriverTest, SendVarNeedsConnectedAndVarModeSendCodeOnlyVarMode)
{
    driver.setConType(tConnectionType::CON_NONE);
    driver.setConType(tConnectionType::CON_TCP);  // clears Connected
    ASSERT_FALSE(driver.Connected());
    driver.setICHNM(3);
    EXPECT_TRUE(sent().empty());
    EXPECT_EQ(driver.sentString(), "");
    driver.SendCode(idx(Reg::DEV));
    EXPECT_EQ(sent(), std::vector<std::string>{"?"});
    EXPECT_EQ(driver.sentString(), "?");

    tcp->clear();
    driver.setConMode(tConnectionMode::MODE_RAW);
    driver.setICHNM(3);
    driver.SendCode(idx(Reg::DEV));
    EXPECT_TRUE(sent().empty());
    driver.SendRaw(":00000001FF\r");
    driver.SendString("direct");
    EXPECT_EQ(sent(), (std::vector<std::string>{":00000001FF\r", "direct"}));
    driver.setConMode(tConnectionMode::MODE_VAR);
    driver.SendRaw("not in var mode");
    EXPECT_EQ(sent().size(), 2u);
}

TEST_F(DriverTest, NothingIsWrittenWithoutALinkType)
{
    auto amx = std::make_unique<RecordingTransport>();
    auto *amxRaw = amx.get();
    driver.setTransport(tConnectionType::CON_AMX, std::move(amx));
    for (auto type : {tConnectionType::CON_NONE, tConnectionType::CON_AMX}) {
        driver.setConType(type);
        driver.setForceConn(true);
        driver.setICHNM(2);
        driver.SendString("x");
        driver.setForceConn(false);
    }
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(amxRaw->writes().empty());
}

TEST_F(DriverTest, AddressPortAndMaskWrites)
{
    struct Case {
        std::function<void(TVRK_610_d &)> write;
        std::vector<std::string> commands;
    };
    const Case cases[] = {
        {[](TVRK_610_d &d) { d.setLOCAL_IP("192.168.0.10"); }, {"1na", "192nw", "168nx", "0ny", "10nz"}},
        {[](TVRK_610_d &d) { d.setREMOTE_IP("10.1.2.3"); }, {"2na", "10nw", "1nx", "2ny", "3nz"}},
        {[](TVRK_610_d &d) { d.setGATEWAY_IP(" 10.$10.0x1.+3"); }, {"3na", "10nw", "16nx", "1ny", "3nz"}},
        {[](TVRK_610_d &d) { d.setLOCAL_IP("1.2.3"); }, {}},
        {[](TVRK_610_d &d) { d.setLOCAL_IP("1.2.3.4.5"); }, {}},
        {[](TVRK_610_d &d) { d.setLOCAL_IP("1.2.3.256"); }, {}},
        {[](TVRK_610_d &d) { d.setLOCAL_IP("1.2.-3.4"); }, {}},
        {[](TVRK_610_d &d) { d.setLOCAL_IP("a.b.c.d"); }, {}},
        {[](TVRK_610_d &d) { d.setLOCAL_PORT(10500); }, {"1na", "10500np"}},
        {[](TVRK_610_d &d) { d.setREMOTE_PORT(10000); }, {"2na", "10000np"}},
        {[](TVRK_610_d &d) { d.setNETMASK("255.255.0.0"); }, {"16nk"}},
        {[](TVRK_610_d &d) { d.setNETMASK("255.255.255.0"); }, {"8nk"}},
        {[](TVRK_610_d &d) { d.setNETMASK("255.255.255.255"); }, {"0nk"}},
        {[](TVRK_610_d &d) { d.setNETMASK("0.0.0.0"); }, {"32nk"}},
        {[](TVRK_610_d &d) { d.setNETMASK("255.255.0"); }, {}},
        {[](TVRK_610_d &d) { d.setIP3(7); }, {"7nx"}},
    };
    for (const Case &c : cases) {
        tcp->clear();
        c.write(driver);
        EXPECT_EQ(sent(), c.commands) << (c.commands.empty() ? "" : c.commands.front());
    }
}
