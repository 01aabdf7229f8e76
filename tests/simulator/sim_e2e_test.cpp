// The application's driver against the simulator, over all three links at
// once: each driver finds the device, asks for every register, ends up with a
// copy of every register equal to the device's, and sees its own write come
// back. Both sides implement the protocol separately, so each checks the other.
#include "sim_fixture.h"
#include "sim_host.h"

#include <qt_link.h>

#include <QCoreApplication>
#include <QTest>
#include <QUdpSocket>

using namespace varnel;
using namespace varnel::sim;
using namespace varnel::sim::test;

namespace {

struct DriverLink {
    const char *name;
    std::unique_ptr<TVRK_610_d> driver;
    int dumpsEnded = 0;
};

quint16 freeUdpPort()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0))
        return 0;
    return probe.localPort();
}

TEST(SimEndToEnd, DriversOverTcpUdpAndPtyMirrorEveryRegister)
{
    int argc = 1;
    char name[] = "sim_e2e_test";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    SimHost::Options options;
    options.tcp = options.udp = options.serial = true;
    options.tcpPort = 0;
    options.udpPort = 0;
    SimHost host(*findModel("VRK610"), options);
    QString error;
    ASSERT_TRUE(host.start(&error)) << error.toStdString();

    // a device whose channel and address copies differ from their start values
    SimSession panel(host.device(), [](std::string_view, bool) {});
    panel.receive("1PC20AL2PC30AL8PC0PE3PC4LA2na10nw6000np0na16nk3cn5HP");
    host.device().advance(2000);

    std::vector<DriverLink> links;
    links.push_back({"tcp", makeQtDriver()});
    links.push_back({"udp", makeQtDriver()});
    links.push_back({"serial", makeQtDriver()});
    for (DriverLink &l : links) {
        l.driver->SetRanges(&VarRanges, false);
        l.driver->setHandler(Reg::queryall, [&l](TVRK_610_d &d, int) {
            if (d.ReadVar(Reg::queryall) == 0)
                ++l.dumpsEnded;
        });
    }
    links[0].driver->setIpRemoteAddress("127.0.0.1");
    links[0].driver->setIpRemotePort(host.tcpPort());
    links[0].driver->setConType(tConnectionType::CON_TCP);
    const quint16 localUdp = freeUdpPort();
    ASSERT_NE(localUdp, 0);
    links[1].driver->setIpLocalPort(localUdp);
    links[1].driver->setIpRemoteAddress("127.0.0.1");
    links[1].driver->setIpRemotePort(host.udpPort());
    links[1].driver->setConType(tConnectionType::CON_UDP);
    links[2].driver->setPort(host.serialPath().toStdString());
    links[2].driver->setConType(tConnectionType::CON_RS232);

    const bool allDumped = QTest::qWaitFor(
        [&] {
            return std::all_of(links.begin(), links.end(), [](const DriverLink &l) { return l.dumpsEnded > 0; });
        },
        30000);
    for (DriverLink &l : links) {
        EXPECT_TRUE(l.driver->Connected()) << l.name;
        EXPECT_EQ(l.dumpsEnded, 1) << l.name;
    }
    ASSERT_TRUE(allDumped);

    for (DriverLink &l : links) {
        SCOPED_TRACE(l.name);
        TVRK_610_d &d = *l.driver;
        EXPECT_EQ(d.DEV(), 41u);
        EXPECT_EQ(d.ICHP(), 3u);
        expectMirrors(d, host.device(), [&](int ch) {
            d.setPCHAN(static_cast<std::uint32_t>(ch));
            EXPECT_TRUE(QTest::qWaitFor([&] { return d.ReadVar(Reg::PCHAN) == static_cast<std::uint32_t>(ch); }, 5000));
        });
        // PCHAN is the device's own: put it back for the next driver, whose copy says 3
        d.setPCHAN(3);
        EXPECT_TRUE(QTest::qWaitFor([&] { return host.device().value(Reg::PCHAN) == 3; }, 5000));
    }

    // a write goes to the device and comes back as the device's report
    std::uint32_t value = 77;
    for (DriverLink &l : links) {
        SCOPED_TRACE(l.name);
        TVRK_610_d &d = *l.driver;
        d.setVPOSM(value);
        EXPECT_TRUE(QTest::qWaitFor([&] { return d.VPOSM() == value; }, 5000));
        EXPECT_EQ(host.device().value(Reg::VPOSM), value);
        d.setVPOSM(300);  // out of range: the device keeps its value and says so
        QTest::qWait(300);
        EXPECT_EQ(d.VPOSM(), value);
        ++value;
    }
    for (DriverLink &l : links)
        EXPECT_TRUE(l.driver->Connected()) << l.name;
    links.clear();
}

}  // namespace
