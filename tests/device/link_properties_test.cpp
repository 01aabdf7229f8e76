// The link property writes (Port, BaudRate, IpLocalPort, IpRemotePort,
// IpRemoteAddress), what the transports report to the driver, and the reopening
// of a failed link at the next supervision tick. Transports are fakes that log
// every call; time is the ManualTimer's.
#include "vrk_610_d.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace varnel;

namespace {

using Log = std::vector<std::string>;

/// Logs "<name>.<call>" into a log shared by all fakes, so the order across
/// transports and events shows.
class FakeLink : public LinkTransport {
public:
    FakeLink(std::string name, Log &log) : m_name(std::move(name)), m_log(log) {}
    void write(std::string_view text) override { m_log.push_back(m_name + ".write " + std::string(text)); }
    void open() override
    {
        m_log.push_back(m_name + ".open");
        open_ = true;
    }
    void close() override
    {
        m_log.push_back(m_name + ".close");
        open_ = false;
        if (host())
            host()->linkRestarted(*this);
    }
    bool isOpen() const override { return open_; }
    bool setPortName(std::string_view name) override
    {
        m_log.push_back(m_name + ".port " + std::string(name));
        return acceptNames;
    }
    void setBaudRate(std::uint32_t rate) override { m_log.push_back(m_name + ".baud " + std::to_string(rate)); }
    void setLocalPort(int port) override { m_log.push_back(m_name + ".local " + std::to_string(port)); }
    void setRemote(std::string_view address, int port) override
    {
        m_log.push_back(m_name + ".remote " + std::string(address) + ":" + std::to_string(port));
    }
    // What a real transport does from its event handlers.
    void arrive(std::string_view text) { host()->linkReceived(*this, text); }
    void fail() { host()->linkReopenLater(*this); }

    bool open_ = false;
    bool acceptNames = true;

private:
    std::string m_name;
    Log &m_log;
};

class LinkPropertiesTest : public ::testing::Test {
protected:
    LinkPropertiesTest()
    {
        serial = install(tConnectionType::CON_RS232, "serial");
        udp = install(tConnectionType::CON_UDP, "udp");
        tcp = install(tConnectionType::CON_TCP, "tcp");
        for (Event e : {Event::OnIpLocalPortchange, Event::OnIpRemotePortchange, Event::OnIpRemoteAddresschange})
            driver.setHandler(e, [this, e](TVRK_610_d &, int) { log.push_back(std::string(eventName(eventOf(e)))); });
    }
    FakeLink *install(tConnectionType type, const char *name)
    {
        auto t = std::make_unique<FakeLink>(name, log);
        FakeLink *raw = t.get();
        driver.setTransport(type, std::move(t));
        return raw;
    }
    /// Selects a link type and forgets what that logged; the supervision left in `state`.
    void select(tConnectionType type, std::uint8_t state = LS_POLL)
    {
        driver.setConType(type);
        driver.setLinkState(state);
        log.clear();
    }

    Log log;
    TVRK_610_d driver;
    FakeLink *serial = nullptr;
    FakeLink *udp = nullptr;
    FakeLink *tcp = nullptr;
};

}  // namespace

TEST_F(LinkPropertiesTest, StartValuesReachEveryTransportWhenInstalled)
{
    EXPECT_EQ(driver.Port(), "");
    EXPECT_EQ(driver.IpLocalPort(), 10000);
    EXPECT_EQ(driver.IpRemotePort(), 10500);
    EXPECT_EQ(driver.IpRemoteAddress(), "192.168.0.10");
    EXPECT_FALSE(driver.TcpOpening());
    // The constructor's log: each transport got the driver's endpoint.
    Log expected;
    for (const char *name : {"serial", "udp", "tcp"})
        expected.insert(expected.end(), {std::string(name) + ".port ", std::string(name) + ".local 10000",
                                         std::string(name) + ".remote 192.168.0.10:10500"});
    // (the handlers were installed after the transports, so nothing else is logged)
    EXPECT_EQ(log, expected);
}

TEST_F(LinkPropertiesTest, PortClosesAnOpenPortAndOpensTheNewOneOnlyWhileSerialIsChosen)
{
    select(tConnectionType::CON_RS232);
    serial->open_ = true;
    driver.setPort("ttyUSB1");
    EXPECT_EQ(log, (Log{"serial.close", "serial.port ttyUSB1", "serial.open"}));
    EXPECT_EQ(driver.LinkState(), LS_IDLE);
    EXPECT_EQ(driver.Port(), "ttyUSB1");

    select(tConnectionType::CON_TCP);
    driver.setPort("/dev/pts/3");  // recorded for later, nothing opened
    EXPECT_EQ(log, (Log{"serial.port /dev/pts/3"}));
    EXPECT_EQ(driver.LinkState(), LS_POLL);
    EXPECT_EQ(driver.Port(), "/dev/pts/3");
}

TEST_F(LinkPropertiesTest, APortNameTheTransportRefusesClearsBothNames)
{
    select(tConnectionType::CON_TCP);
    serial->acceptNames = false;
    driver.setPort("bad");
    EXPECT_EQ(driver.Port(), "");
    EXPECT_EQ(log, (Log{"serial.port bad", "serial.port "}));
}

TEST_F(LinkPropertiesTest, BaudRateOnAnOpenPortChangesItInPlaceAndRestartsSupervision)
{
    select(tConnectionType::CON_RS232);
    serial->open_ = true;
    driver.setBaudRate(115200);
    EXPECT_EQ(log, (Log{"serial.baud 115200"}));  // no close: nothing queued or arriving is lost
    EXPECT_EQ(driver.LinkState(), LS_IDLE);

    // A closed port on the serial link is opened at the new rate.
    serial->open_ = false;
    select(tConnectionType::CON_RS232);
    driver.setBaudRate(9600);
    EXPECT_EQ(log, (Log{"serial.baud 9600", "serial.open"}));
}

TEST_F(LinkPropertiesTest, BaudRateWhileUdpIsChosenOnlyRecordsTheRate)
{
    select(tConnectionType::CON_UDP);
    driver.setBaudRate(115200);
    EXPECT_EQ(log, (Log{"serial.baud 115200"}));
    EXPECT_EQ(driver.LinkState(), LS_POLL);
}

struct EndpointCase {
    const char *name;
    tConnectionType type;
    bool udpOpen;
    void (*write)(TVRK_610_d &);
    Log expected;
    std::uint8_t linkState;
};

class EndpointWrites : public LinkPropertiesTest, public ::testing::WithParamInterface<EndpointCase> {};

TEST_P(EndpointWrites, CloseReconfigureReopenOnlyWhatTheWriteConcerns)
{
    const EndpointCase &c = GetParam();
    select(c.type);
    udp->open_ = c.udpOpen;
    tcp->open_ = c.type == tConnectionType::CON_TCP;
    c.write(driver);
    EXPECT_EQ(log, c.expected);
    EXPECT_EQ(driver.LinkState(), c.linkState);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EndpointWrites,
    ::testing::Values(
        EndpointCase{"sameRemotePortTcp", tConnectionType::CON_TCP, false,
                     [](TVRK_610_d &d) { d.setIpRemotePort(10500); }, {"OnIpRemotePortchange"}, LS_POLL},
        EndpointCase{"newRemotePortTcp", tConnectionType::CON_TCP, false,
                     [](TVRK_610_d &d) { d.setIpRemotePort(10600); },
                     {"tcp.close", "udp.remote 192.168.0.10:10600", "tcp.remote 192.168.0.10:10600", "tcp.open",
                      "OnIpRemotePortchange"},
                     LS_IDLE},
        EndpointCase{"newRemotePortUdp", tConnectionType::CON_UDP, true,
                     [](TVRK_610_d &d) { d.setIpRemotePort(10501); },
                     {"udp.close", "udp.remote 192.168.0.10:10501", "tcp.remote 192.168.0.10:10501", "udp.open",
                      "OnIpRemotePortchange"},
                     LS_IDLE},
        EndpointCase{"newRemotePortSerial", tConnectionType::CON_RS232, false,
                     [](TVRK_610_d &d) { d.setIpRemotePort(7000); },
                     {"udp.remote 192.168.0.10:7000", "tcp.remote 192.168.0.10:7000", "OnIpRemotePortchange"},
                     LS_POLL},
        EndpointCase{"sameAddressUdp", tConnectionType::CON_UDP, true,
                     [](TVRK_610_d &d) { d.setIpRemoteAddress("192.168.0.10"); }, {"OnIpRemoteAddresschange"},
                     LS_POLL},
        EndpointCase{"newAddressTcp", tConnectionType::CON_TCP, false,
                     [](TVRK_610_d &d) { d.setIpRemoteAddress("127.0.0.1"); },
                     {"tcp.close", "udp.remote 127.0.0.1:10500", "tcp.remote 127.0.0.1:10500", "tcp.open",
                      "OnIpRemoteAddresschange"},
                     LS_IDLE},
        EndpointCase{"sameLocalPortBoundUdp", tConnectionType::CON_UDP, true,
                     [](TVRK_610_d &d) { d.setIpLocalPort(10000); }, {"OnIpLocalPortchange"}, LS_POLL},
        EndpointCase{"sameLocalPortUnboundUdp", tConnectionType::CON_UDP, false,
                     [](TVRK_610_d &d) { d.setIpLocalPort(10000); },
                     {"udp.close", "udp.local 10000", "udp.open", "OnIpLocalPortchange"}, LS_IDLE},
        EndpointCase{"newLocalPortUdp", tConnectionType::CON_UDP, true,
                     [](TVRK_610_d &d) { d.setIpLocalPort(10001); },
                     {"udp.close", "udp.local 10001", "udp.open", "OnIpLocalPortchange"}, LS_IDLE},
        EndpointCase{"newLocalPortTcp", tConnectionType::CON_TCP, false,
                     [](TVRK_610_d &d) { d.setIpLocalPort(10001); }, {"udp.local 10001", "OnIpLocalPortchange"},
                     LS_POLL}),
    [](const ::testing::TestParamInfo<EndpointCase> &info) { return std::string(info.param.name); });

TEST_F(LinkPropertiesTest, EndpointWritesAreKept)
{
    driver.setIpLocalPort(0);
    driver.setIpRemotePort(10501);
    driver.setIpRemoteAddress("127.0.0.1");
    EXPECT_EQ(driver.IpLocalPort(), 0);
    EXPECT_EQ(driver.IpRemotePort(), 10501);
    EXPECT_EQ(driver.IpRemoteAddress(), "127.0.0.1");
}

TEST_F(LinkPropertiesTest, ArrivalsCountOnlyFromTheChosenTransport)
{
    select(tConnectionType::CON_TCP);
    udp->arrive("DEV41\r\n");  // late datagram of a link no longer chosen
    serial->arrive("DEV42\r\n");
    EXPECT_EQ(driver.DEV(), 0u);
    tcp->arrive("DEV43\r\n");
    EXPECT_EQ(driver.DEV(), 43u);
}

TEST_F(LinkPropertiesTest, AFailedLinkReopensAtTheNextTickNotBefore)
{
    select(tConnectionType::CON_TCP, LS_PROBE);
    tcp->close();  // what a refused connection does ...
    tcp->fail();   // ... and asks to be reopened
    EXPECT_EQ(log, (Log{"tcp.close"}));
    EXPECT_EQ(driver.LinkState(), LS_IDLE);

    log.clear();
    driver.TimerTick();
    EXPECT_EQ(log, (Log{"tcp.open"}));
    EXPECT_EQ(driver.LinkState(), LS_PROBE);  // the tick went on as usual

    log.clear();
    driver.TimerTick();  // one failure, one reopen
    EXPECT_EQ(log, (Log{"tcp.write ?"}));
}

TEST_F(LinkPropertiesTest, AFailedLinkThatIsNoLongerChosenStaysClosed)
{
    select(tConnectionType::CON_TCP);
    tcp->fail();
    select(tConnectionType::CON_UDP);
    driver.TimerTick();
    EXPECT_EQ(std::count(log.begin(), log.end(), "tcp.open"), 0);

    // Nor does an old request reopen it once it is chosen again and closed by hand.
    select(tConnectionType::CON_TCP);
    tcp->open_ = false;
    driver.TimerTick();
    EXPECT_EQ(std::count(log.begin(), log.end(), "tcp.open"), 0);
}

TEST_F(LinkPropertiesTest, FailuresReachTheLinkErrorHandler)
{
    std::vector<std::string> shown;
    driver.setLinkErrorHandler([&](TVRK_610_d &, const std::string &text) { shown.push_back(text); });
    udp->host()->linkFailed(*udp, "Network unreachable");
    EXPECT_EQ(shown, (std::vector<std::string>{"Network unreachable"}));
    EXPECT_EQ(driver.LinkError(), "Network unreachable");
}
