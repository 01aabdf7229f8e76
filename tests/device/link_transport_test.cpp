// The Qt transports on real loopback sockets and a real pseudo-terminal pair:
// what reaches the device, what reaches the driver, and how failures close and
// reopen the link. The driver runs in raw mode, so every arrival is collected as
// it came; supervision ticks are called by hand.
#include "qt_link.h"
#include "serial_ports.h"
#include "serial_transport.h"
#include "tcp_transport.h"
#include "udp_transport.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QUdpSocket>

#include <atomic>
#include <mutex>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace varnel;

namespace {

/// The driver with the Qt link, in raw mode, collecting every arrival.
struct RawDriver {
    std::unique_ptr<TVRK_610_d> driver = makeQtDriver();
    QByteArray collected;
    std::vector<qsizetype> pieces;
    std::vector<std::string> failures;

    RawDriver()
    {
        driver->setHandler(Event::OnRecString, [this](TVRK_610_d &d, int) {
            const std::string text = d.TakeRawString();
            collected.append(text.data(), qsizetype(text.size()));
            pieces.push_back(qsizetype(text.size()));
        });
        driver->setLinkErrorHandler([this](TVRK_610_d &, const std::string &m) { failures.push_back(m); });
    }
    /// Chooses the link, enters raw mode (which leaves the supervision in state 5)
    /// and stops the real timer: the test ticks by hand.
    void choose(tConnectionType type)
    {
        driver->setConType(type);
        driver->setConMode(tConnectionMode::MODE_RAW);
        driver->timer().setEnabled(false);
    }
    LinkTransport &link(tConnectionType type) { return *driver->transport(type); }
};

/// Waits for `n` bytes on a socket.
QByteArray readExactly(QAbstractSocket &s, qsizetype n)
{
    QByteArray got;
    QDeadlineTimer deadline(5000);
    while (got.size() < n && !deadline.hasExpired()) {
        if (s.bytesAvailable() == 0)
            QTest::qWait(5);
        got += s.readAll();
    }
    return got;
}

QNetworkDatagram nextDatagram(QUdpSocket &s)
{
    QDeadlineTimer deadline(5000);
    while (!s.hasPendingDatagrams() && !deadline.hasExpired())
        QTest::qWait(5);
    return s.receiveDatagram();
}

/// A pseudo-terminal pair: the driver opens the slave by its path, the test
/// plays the device on the master, read by a thread so writes never block.
class Pty {
public:
    Pty()
    {
        char name[128] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
            return;
        path = name;
        m_reader = std::thread([this] { readLoop(); });
    }
    ~Pty()
    {
        hangUp();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    /// The device side goes away (as an unplugged adapter).
    void hangUp()
    {
        m_stop = true;
        if (m_reader.joinable())
            m_reader.join();
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    bool ok() const { return !path.isEmpty(); }
    void send(const QByteArray &bytes) const { QCOMPARE_EQ(::write(m_master, bytes.constData(), size_t(bytes.size())), bytes.size()); }
    QByteArray received() const
    {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    /// The slave's settings, as the driver left them.
    termios settings() const
    {
        termios t{};
        ::tcgetattr(m_master, &t);  // on the master, this reads the slave's side
        return t;
    }

    QString path;

private:
    void readLoop()
    {
        char buffer[4096];
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
                const ssize_t n = ::read(m_master, buffer, sizeof buffer);
                if (n > 0) {
                    std::lock_guard lock(m_mutex);
                    m_received.append(buffer, n);
                }
            } else if (p.revents & (POLLHUP | POLLERR)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        }
    }

    int m_master = -1;
    int m_slave = -1;
    std::thread m_reader;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    QByteArray m_received;
};

}  // namespace

class LinkTransportTest : public QObject {
    Q_OBJECT

private slots:
    // --- TCP -------------------------------------------------------------------
    void tcpCarriesBothWaysAndEndsTextAtZero()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        RawDriver d;
        d.driver->setIpRemoteAddress("127.0.0.1");
        d.driver->setIpRemotePort(server.serverPort());
        d.choose(tConnectionType::CON_TCP);
        QVERIFY(d.driver->TcpOpening());
        QTRY_VERIFY(server.hasPendingConnections());
        std::unique_ptr<QTcpSocket> device(server.nextPendingConnection());
        QTRY_VERIFY(!d.driver->TcpOpening());
        QVERIFY(d.link(tConnectionType::CON_TCP).isOpen());

        d.driver->SendRaw("6LM");
        QCOMPARE(readExactly(*device, 3), QByteArray("6LM"));

        device->write(QByteArray("CN3\0cn5\r\n", 9));
        QTRY_COMPARE(d.collected, QByteArray("CN3"));

        // Big arrivals come in pieces of at most 8192 bytes, none lost.
        d.collected.clear();
        d.pieces.clear();
        device->write(QByteArray(9000, 'a'));
        QTRY_COMPARE(d.collected.size(), 9000);
        QVERIFY(*std::max_element(d.pieces.begin(), d.pieces.end()) <= 8192);
    }

    void tcpClosedByTheDeviceReconnectsAtTheNextTick()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        RawDriver d;
        d.driver->setIpRemoteAddress("127.0.0.1");
        d.driver->setIpRemotePort(server.serverPort());
        d.choose(tConnectionType::CON_TCP);
        QTRY_VERIFY(server.hasPendingConnections());
        std::unique_ptr<QTcpSocket> device(server.nextPendingConnection());
        QTRY_VERIFY(d.link(tConnectionType::CON_TCP).isOpen());
        QCOMPARE(d.driver->LinkState(), LS_POLL);

        device->write("last words\r\n");
        device->disconnectFromHost();  // the device reboots
        QTRY_VERIFY(!d.link(tConnectionType::CON_TCP).isOpen());
        QCOMPARE(d.collected, QByteArray("last words\r\n"));
        QCOMPARE(d.driver->LinkState(), LS_IDLE);
        QTest::qWait(300);
        QVERIFY(!server.hasPendingConnections());  // no reconnect before the tick
        QVERIFY(!d.driver->TcpOpening());

        d.driver->TimerTick();
        QTRY_VERIFY(server.hasPendingConnections());
        std::unique_ptr<QTcpSocket> again(server.nextPendingConnection());
        again->write("DEV41\r\n");
        QTRY_COMPARE(d.collected, QByteArray("last words\r\nDEV41\r\n"));
    }

    void tcpRefusedConnectionWaitsForTheTick()
    {
        quint16 deadPort = 0;
        {
            QTcpServer probe;  // a port nobody listens on any more
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            deadPort = probe.serverPort();
        }
        RawDriver d;
        d.driver->setIpRemoteAddress("127.0.0.1");
        d.driver->setIpRemotePort(deadPort);
        d.choose(tConnectionType::CON_TCP);
        QTRY_VERIFY(!d.driver->TcpOpening());
        QTest::qWait(300);
        QVERIFY(!d.driver->TcpOpening());  // no reconnect storm
        QVERIFY(d.failures.empty());      // refusals are not shown

        d.driver->TimerTick();
        QVERIFY(d.driver->TcpOpening());
        QTRY_VERIFY(!d.driver->TcpOpening());
    }

    void tcpConnectThatHangsIsGivenUpAndRetriedAtTheTick()
    {
        // A listener whose queue is full drops further connects unanswered, as an
        // absent host would.
        const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        QVERIFY(::bind(listener, reinterpret_cast<sockaddr *>(&address), length) == 0);
        QVERIFY(::listen(listener, 0) == 0);
        QVERIFY(::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) == 0);
        QTcpSocket filler;  // never accepted: the queue is full
        filler.connectToHost(QHostAddress::LocalHost, ntohs(address.sin_port));
        QVERIFY(filler.waitForConnected(2000));

        RawDriver d;
        static_cast<TcpTransport &>(d.link(tConnectionType::CON_TCP)).setConnectTimeout(300);
        d.driver->setIpRemoteAddress("127.0.0.1");
        d.driver->setIpRemotePort(ntohs(address.sin_port));
        d.choose(tConnectionType::CON_TCP);
        QVERIFY(d.driver->TcpOpening());
        QTest::qWait(150);
        QVERIFY(d.driver->TcpOpening());  // still waiting for an answer
        QTRY_VERIFY(!d.driver->TcpOpening());
        QVERIFY(!d.link(tConnectionType::CON_TCP).isOpen());
        d.driver->TimerTick();
        QVERIFY(d.driver->TcpOpening());
        ::close(listener);
    }

    void tcpWritesOutQueuedBytesBeforeClosingAndRefusesOversizedWrites()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        RawDriver d;
        d.driver->setIpRemoteAddress("127.0.0.1");
        d.driver->setIpRemotePort(server.serverPort());
        d.choose(tConnectionType::CON_TCP);
        QTRY_VERIFY(server.hasPendingConnections());
        std::unique_ptr<QTcpSocket> device(server.nextPendingConnection());
        QTRY_VERIFY(d.link(tConnectionType::CON_TCP).isOpen());

        d.driver->SendRaw(std::string(8193, 'y'));  // longer than one write may be
        const std::string record(8192, 'x');
        d.driver->SendRaw(record);
        d.driver->setConType(tConnectionType::CON_NONE);  // before the event loop ran
        QCOMPARE(readExactly(*device, 8192), QByteArray::fromStdString(record));
        QTRY_COMPARE(device->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(device->readAll(), QByteArray());
    }

    // --- UDP -------------------------------------------------------------------
    void udpAcceptsOnlyTheDevicesAddressAndPort()
    {
        QUdpSocket device, stranger;
        QVERIFY(device.bind(QHostAddress::LocalHost, 0));
        QVERIFY(stranger.bind(QHostAddress::LocalHost, 0));
        RawDriver d;
        d.driver->setIpLocalPort(0);
        d.driver->setIpRemoteAddress("127.0.0.1");
        d.driver->setIpRemotePort(device.localPort());
        d.choose(tConnectionType::CON_UDP);
        QVERIFY(d.link(tConnectionType::CON_UDP).isOpen());

        d.driver->SendRaw("?");
        const QNetworkDatagram probe = nextDatagram(device);
        QCOMPARE(probe.data(), QByteArray("?"));
        const quint16 driverPort = quint16(probe.senderPort());

        // The driver's socket is dual-stack: it sees the device as ::ffff:127.0.0.1.
        stranger.writeDatagram("XX\r\n", QHostAddress::LocalHost, driverPort);
        QTest::qWait(50);
        device.writeDatagram("CN3\r\n", QHostAddress::LocalHost, driverPort);
        QTRY_COMPARE(d.collected, QByteArray("CN3\r\n"));

        device.writeDatagram(QByteArray(9000, 'b'), QHostAddress::LocalHost, driverPort);
        QTRY_COMPARE(d.collected.size(), 5 + 8192);
        device.writeDatagram(QByteArray("CN3\0cn5\r\n", 9), QHostAddress::LocalHost, driverPort);
        QTRY_VERIFY(d.collected.endsWith(QByteArray(8192, 'b') + "CN3"));
    }

    void udpRemotePortWrittenTwiceKeepsTheSocket()
    {
        QUdpSocket device, other;
        QVERIFY(device.bind(QHostAddress::LocalHost, 0));
        QVERIFY(other.bind(QHostAddress::LocalHost, 0));
        RawDriver d;
        d.driver->setIpLocalPort(0);  // a new bind would get a new port
        d.driver->setIpRemoteAddress("127.0.0.1");
        d.driver->setIpRemotePort(device.localPort());
        d.choose(tConnectionType::CON_UDP);
        d.driver->SendRaw("1");
        const quint16 first = quint16(nextDatagram(device).senderPort());

        d.driver->setIpRemotePort(device.localPort());
        QCOMPARE(d.driver->LinkState(), LS_POLL);
        d.driver->SendRaw("2");
        QCOMPARE(nextDatagram(device).senderPort(), first);

        d.driver->setIpRemotePort(other.localPort());  // rebinds and restarts supervision
        QCOMPARE(d.driver->LinkState(), LS_IDLE);
        d.driver->SendRaw("3");
        const QNetworkDatagram moved = nextDatagram(other);
        QCOMPARE(moved.data(), QByteArray("3"));
        QVERIFY(moved.senderPort() != first);
    }

    void udpSendErrorIsReportedFromTheEventLoopAndTheSocketReopened()
    {
        QUdpSocket device;
        QVERIFY(device.bind(QHostAddress::LocalHost, 0));
        RawDriver d;
        d.driver->setIpLocalPort(0);
        d.driver->setIpRemoteAddress("127.0.0.1");
        d.driver->setIpRemotePort(device.localPort());
        d.choose(tConnectionType::CON_UDP);

        d.driver->SendRaw(std::string(70000, 'z'));  // more than a datagram can hold
        QVERIFY(!d.link(tConnectionType::CON_UDP).isOpen());
        QVERIFY(d.failures.empty());  // not from inside the send
        QTRY_COMPARE(d.failures.size(), std::size_t(1));
        QVERIFY(!d.failures.front().empty());
        QCOMPARE(d.driver->LinkError(), d.failures.front());

        d.driver->TimerTick();
        QVERIFY(d.link(tConnectionType::CON_UDP).isOpen());
        d.driver->SendRaw(std::string(70000, 'z'));  // the same failure again: shown once
        d.driver->TimerTick();
        d.driver->SendRaw("ok");
        QCOMPARE(nextDatagram(device).data(), QByteArray("ok"));
        QTest::qWait(50);
        QCOMPARE(d.failures.size(), std::size_t(1));

        d.driver->SendRaw(std::string(70000, 'z'));  // after a success it is news again
        QTRY_COMPARE(d.failures.size(), std::size_t(2));
    }

    // --- serial ----------------------------------------------------------------
    void serialOpensAPseudoTerminalAndCarriesBothWays()
    {
        Pty pty;
        QVERIFY(pty.ok());
        RawDriver d;
        d.choose(tConnectionType::CON_RS232);
        QVERIFY(!d.link(tConnectionType::CON_RS232).isOpen());  // no Port yet
        d.driver->setPort(pty.path.toStdString());
        QVERIFY(d.link(tConnectionType::CON_RS232).isOpen());

        const termios t = pty.settings();
        QCOMPARE(cfgetospeed(&t), speed_t(B9600));
        QCOMPARE(t.c_cflag & CSIZE, tcflag_t(CS8));
        QCOMPARE(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), tcflag_t(0));
        QCOMPARE(t.c_iflag & (IXON | IXOFF), tcflag_t(0));

        d.driver->SendRaw("?");
        QTRY_COMPARE(pty.received(), QByteArray("?"));
        pty.send(QByteArray("DEV41\r\nA\0B", 10));  // serial text is passed whole
        QTRY_COMPARE(d.collected, QByteArray("DEV41\r\nA\0B", 10));
    }

    void serialRateChangesOnTheOpenPortAndQueuedBytesLeaveBeforeClosing()
    {
        Pty pty;
        QVERIFY(pty.ok());
        RawDriver d;
        d.driver->setPort(pty.path.toStdString());
        d.choose(tConnectionType::CON_RS232);
        QVERIFY(d.link(tConnectionType::CON_RS232).isOpen());

        const QByteArray before(3000, 'r');
        d.driver->SendRaw(before.toStdString());
        d.driver->setBaudRate(115200);
        QVERIFY(d.link(tConnectionType::CON_RS232).isOpen());
        QCOMPARE(d.driver->LinkState(), LS_IDLE);
        QCOMPARE(cfgetospeed(&static_cast<const termios &>(pty.settings())), speed_t(B115200));
        pty.send("after\r\n");
        QTRY_COMPARE(d.collected, QByteArray("after\r\n"));

        const QByteArray last(5000, 's');  // the last record of a transfer, say
        d.driver->SendRaw(last.toStdString());
        d.driver->setConType(tConnectionType::CON_NONE);
        QVERIFY(!d.link(tConnectionType::CON_RS232).isOpen());
        QTRY_COMPARE(pty.received().size(), before.size() + last.size());
        QCOMPARE(pty.received(), before + last);
    }

    void serialPortThatGoesAwayIsClosed()
    {
        Pty pty;
        QVERIFY(pty.ok());
        RawDriver d;
        d.driver->setPort(pty.path.toStdString());
        d.choose(tConnectionType::CON_RS232);
        QVERIFY(d.link(tConnectionType::CON_RS232).isOpen());
        pty.hangUp();
        QTRY_VERIFY(!d.link(tConnectionType::CON_RS232).isOpen());
        QCOMPARE(d.driver->LinkState(), LS_IDLE);
        d.driver->TimerTick();  // tried again; a hung-up terminal stays closed
        QVERIFY(!d.link(tConnectionType::CON_RS232).isOpen());
    }

    void serialRateChangeByAnotherThreadKeepsTheOrderOfWrites()
    {
        Pty pty;
        QVERIFY(pty.ok());
        RawDriver d;
        d.driver->setPort(pty.path.toStdString());
        d.choose(tConnectionType::CON_RS232);
        std::thread worker([&] {  // as the picture transfer does
            d.driver->SendRaw("slow");
            d.driver->setBaudRate(115200);
            d.driver->SendRaw("fast");
        });
        worker.join();
        QTRY_COMPARE(pty.received(), QByteArray("slowfast"));
        QCOMPARE(cfgetospeed(&static_cast<const termios &>(pty.settings())), speed_t(B115200));
    }

    void portNamesSortInNaturalOrder_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QStringList>("sorted");
        QTest::newRow("numbers") << QStringList{"ttyS10", "ttyS2", "ttyS1"} << QStringList{"ttyS1", "ttyS2", "ttyS10"};
        QTest::newRow("kinds") << QStringList{"ttyUSB1", "ttyS3", "ttyACM0", "ttyUSB0"}
                               << QStringList{"ttyACM0", "ttyS3", "ttyUSB0", "ttyUSB1"};
        QTest::newRow("leading zero") << QStringList{"ttyS01", "ttyS1", "ttyS0"} << QStringList{"ttyS0", "ttyS01", "ttyS1"};
        QTest::newRow("prefix") << QStringList{"ttyUSB", "tty", "ttyUSB0"} << QStringList{"tty", "ttyUSB", "ttyUSB0"};
    }
    void portNamesSortInNaturalOrder()
    {
        QFETCH(QStringList, names);
        QFETCH(QStringList, sorted);
        sortPortNames(names);
        QCOMPARE(names, sorted);
    }

    void portListIsStableAndUsesPlatformNames()
    {
        const QStringList first = availableSerialPorts();
        QStringList copy = first;
        sortPortNames(copy);
        QCOMPARE(first, copy);
        QCOMPARE(availableSerialPorts(), first);
        for (const QString &name : first)
            QVERIFY2(!name.startsWith('/'), qPrintable(name));  // platform names, not paths
    }
};

QTEST_GUILESS_MAIN(LinkTransportTest)
#include "link_transport_test.moc"
