// The simulator's Qt links over real loopback sockets and a pseudo-terminal:
// TCP with one client at a time, UDP answering each sender, the serial line
// timed like a UART at its baud rate in both directions, pictures written to
// the picture folder, the hang-up and silence faults on a live link, and the
// varnel-sim program itself.
#include "hex_record.h"
#include "sim_host.h"

#include <QElapsedTimer>
#include <QImage>
#include <QNetworkDatagram>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

using namespace varnel;
using namespace varnel::sim;

namespace {

SimHost::Options loopback(bool tcp, bool udp, bool serial)
{
    SimHost::Options o;
    o.tcp = tcp;
    o.udp = udp;
    o.serial = serial;
    o.tcpPort = 0;  // any free port: tests never depend on 10500 being free
    o.udpPort = 0;
    return o;
}

QByteArray rec(std::uint8_t type, std::uint16_t param, const std::vector<std::uint8_t> &data = {})
{
    return QByteArray::fromStdString(buildRecord(type, param, data)) + "\r\n";
}

}  // namespace

class SimLinksTest : public QObject {
    Q_OBJECT

private slots:
    void tcpAnswersAndANewClientReplacesTheOld()
    {
        SimHost host(*findModel("VRK610"), loopback(true, false, false));
        QString error;
        QVERIFY2(host.start(&error), qPrintable(error));
        QTcpSocket first;
        first.connectToHost(QHostAddress::LocalHost, host.tcpPort());
        QVERIFY(first.waitForConnected(3000));
        first.write("?3cn");
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += first.readAll()).contains("cn3\r\n"), 3000);
        QCOMPARE(got, QByteArray("DEV41\r\ncn3\r\n"));
        // the device's own reports reach the client too
        QTRY_VERIFY_WITH_TIMEOUT((got += first.readAll()).contains("cc3\r\n"), 3000);

        QTcpSocket second;
        QSignalSpy gone(&first, &QTcpSocket::disconnected);
        second.connectToHost(QHostAddress::LocalHost, host.tcpPort());
        QVERIFY(second.waitForConnected(3000));
        QTRY_COMPARE_WITH_TIMEOUT(gone.count(), 1, 3000);
        second.write("?");
        QByteArray answer;
        QTRY_COMPARE_WITH_TIMEOUT(answer += second.readAll(), QByteArray("DEV41\r\n"), 3000);
    }

    void udpAnswersEachDatagramsSender()
    {
        SimHost host(*findModel("TBE310"), loopback(false, true, false));
        QString error;
        QVERIFY2(host.start(&error), qPrintable(error));
        QUdpSocket a, b;
        QVERIFY(a.bind(QHostAddress::LocalHost, 0));
        QVERIFY(b.bind(QHostAddress::LocalHost, 0));
        a.writeDatagram("?", QHostAddress::LocalHost, host.udpPort());
        QTRY_VERIFY_WITH_TIMEOUT(a.hasPendingDatagrams(), 3000);
        const QNetworkDatagram fromDevice = a.receiveDatagram();
        QCOMPARE(fromDevice.data(), QByteArray("DEV89\r\n"));
        QCOMPARE(fromDevice.senderPort(), int(host.udpPort()));
        b.writeDatagram("7CN", QHostAddress::LocalHost, host.udpPort());
        QTRY_VERIFY_WITH_TIMEOUT(b.hasPendingDatagrams(), 3000);
        QCOMPARE(b.receiveDatagram().data(), QByteArray("CN1\r\n"));  // four inputs: 7 refused
        QVERIFY(!a.hasPendingDatagrams());
    }

    void udpLateAnswersStillGoToTheirSender()
    {
        SimHost::Options o = loopback(false, true, false);
        o.faults.latencyMs = 200;
        SimHost host(*findModel("VRK610"), o);
        QString error;
        QVERIFY2(host.start(&error), qPrintable(error));
        QUdpSocket a, b;
        QVERIFY(a.bind(QHostAddress::LocalHost, 0));
        QVERIFY(b.bind(QHostAddress::LocalHost, 0));
        QElapsedTimer clock;
        clock.start();
        a.writeDatagram("?", QHostAddress::LocalHost, host.udpPort());
        QTest::qWait(20);
        b.writeDatagram("3CN", QHostAddress::LocalHost, host.udpPort());
        QTRY_VERIFY_WITH_TIMEOUT(a.hasPendingDatagrams(), 3000);
        QVERIFY2(clock.elapsed() >= 190, qPrintable(QString::number(clock.elapsed())));  // held back
        QTRY_VERIFY_WITH_TIMEOUT(b.hasPendingDatagrams(), 3000);
        QCOMPARE(a.receiveDatagram().data(), QByteArray("DEV41\r\n"));
        QCOMPARE(b.receiveDatagram().data(), QByteArray("CN3\r\n"));
    }

    void serialLineOnAPseudoTerminalIsPacedToItsRate()
    {
        QTemporaryDir dir;
        SimHost::Options o = loopback(false, false, true);
        o.linkPath = dir.filePath(QStringLiteral("varnel-tty"));
        SimHost host(*findModel("VRK610"), o);
        QString error;
        QVERIFY2(host.start(&error), qPrintable(error));
        QVERIFY(host.serialPath().startsWith(QStringLiteral("/dev/")));
        QCOMPARE(QFileInfo(o.linkPath).symLinkTarget(), host.serialPath());

        QSerialPort port;
        port.setPortName(o.linkPath);
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        port.setBaudRate(9600);
        port.write("?");
        QByteArray got;
        QTRY_COMPARE_WITH_TIMEOUT(got += port.readAll(), QByteArray("DEV41\r\n"), 3000);

        // the register dump at 9600 baud: about 960 characters a second
        got.clear();
        QElapsedTimer clock;
        clock.start();
        port.write("1#\r\n");
        QTRY_VERIFY_WITH_TIMEOUT((got += port.readAll()).endsWith("#0\r\n"), 10000);
        const double seconds = clock.elapsed() / 1000.0;
        const double rate = got.size() / seconds;
        qInfo("dump of %lld characters over the serial line in %.2f s: %.0f characters/s", qlonglong(got.size()),
              seconds, rate);
        // never faster than the line; slower only when the machine is busy
        QVERIFY2(rate < 1100 && rate > 400, qPrintable(QString::number(rate)));
        // the link is removed with the simulator
    }

    void serialInputArrivesAtTheLineRate()
    {
        SimHost host(*findModel("VRK610"), loopback(false, false, true));
        QString error;
        QVERIFY2(host.start(&error), qPrintable(error));
        QSerialPort port;
        port.setPortName(host.serialPath());
        QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
        port.setBaudRate(9600);

        // 960 bytes written at once take a second on the wire at 9600 baud: the
        // first command is answered as soon as it is through, the last one only
        // when the whole block is.
        const QByteArray block = "?" + QByteArray(958, ' ') + "?";
        QCOMPARE(block.size(), 960);
        QElapsedTimer clock;
        clock.start();
        port.write(block);
        QByteArray got;
        QTRY_VERIFY_WITH_TIMEOUT((got += port.readAll()).count("DEV41\r\n") >= 1, 3000);
        const qint64 first = clock.elapsed();
        QTRY_VERIFY_WITH_TIMEOUT((got += port.readAll()).count("DEV41\r\n") == 2, 5000);
        const qint64 last = clock.elapsed();
        qInfo("960 bytes at 9600 baud: first answer after %lld ms, last after %lld ms", first, last);
        QVERIFY2(first < 400, qPrintable(QString::number(first)));
        QVERIFY2(last >= 990 && last < 2500, qPrintable(QString::number(last)));
        QCOMPARE(got, QByteArray("DEV41\r\nDEV41\r\n"));

        // a picture transfer runs the line at 115200 baud: a record behind 1150
        // bytes of line ends is through after about 0.1 s, not the 1.2 s it
        // would take at 9600
        port.write("6LM");
        got.clear();
        QTRY_COMPARE_WITH_TIMEOUT(got += port.readAll(), QByteArray(".1\r"), 3000);
        port.setBaudRate(115200);
        const QByteArray record = rec(2, 1, {1, 2});
        const QByteArray fast = QByteArray(1150, '\n') + record;
        got.clear();
        clock.restart();
        port.write(fast);
        QTRY_COMPARE_WITH_TIMEOUT(got += port.readAll(), QByteArray(".1\r"), 3000);
        const qint64 transfer = clock.elapsed();
        const qint64 wireMs = fast.size() * 10 * 1000 / 115200;
        qInfo("%lld bytes at 115200 baud answered after %lld ms (wire %lld ms)", qlonglong(fast.size()), transfer,
              wireMs);
        QVERIFY2(transfer >= wireMs - 5 && transfer < 600, qPrintable(QString::number(transfer)));
    }

    void receivedPictureIsWrittenToThePictureFolder()
    {
        QTemporaryDir dir;
        SimHost::Options o = loopback(true, false, false);
        o.pictureDir = dir.filePath(QStringLiteral("pictures"));
        SimHost host(*findModel("VRK610"), o);
        QString error;
        QVERIFY2(host.start(&error), qPrintable(error));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, host.tcpPort());
        QVERIFY(client.waitForConnected(3000));
        // a 3 x 2 frame: red, green, blue / white, black, grey
        const std::vector<std::uint8_t> r{255, 0, 0, 255, 0, 128}, g{0, 255, 0, 255, 0, 128}, b{0, 0, 255, 255, 0, 128};
        const QByteArray records[] = {"6LM",
                                      rec(2, 1, {1, 2}),
                                      rec(2, 2, {0, 3, 0, 2}),
                                      rec(2, 5, {1, 0, 0}),
                                      rec(2, 3),
                                      rec(0, 1, r),
                                      rec(0, 2, g),
                                      rec(0, 0x23, b)};
        for (const QByteArray &record : records) {
            client.write(record);
            QByteArray answer;
            QTRY_COMPARE_WITH_TIMEOUT(answer += client.readAll(), QByteArray(".1\r"), 3000);
        }
        client.write(rec(1, 0));
        QTRY_COMPARE_WITH_TIMEOUT(host.writtenPictures().size(), 1, 3000);
        QVERIFY(host.writtenPictures().front().endsWith(QStringLiteral("frame2-001.png")));
        const QImage image(host.writtenPictures().front());
        QCOMPARE(image.size(), QSize(3, 2));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(image.pixel(i % 3, i / 3), qRgb(r[i], g[i], b[i]));
        QByteArray bits;
        QTRY_VERIFY_WITH_TIMEOUT((bits += client.readAll()).contains("lF13\r\n"), 3000);
    }

    void faultsOnALiveLink()
    {
        SimHost::Options o = loopback(true, true, false);
        o.faults.closeAfterS = 1;
        o.faults.silentAfterS = 0;  // UDP: silent from the first datagram (TCP hangs up first anyway)
        SimHost host(*findModel("VRK610"), o);
        QString error;
        QVERIFY2(host.start(&error), qPrintable(error));
        QTcpSocket client;
        QSignalSpy gone(&client, &QTcpSocket::disconnected);
        client.connectToHost(QHostAddress::LocalHost, host.tcpPort());
        QVERIFY(client.waitForConnected(3000));
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(gone.count(), 1, 4000);
        QVERIFY2(clock.elapsed() >= 900, qPrintable(QString::number(clock.elapsed())));

        QUdpSocket udp;
        QVERIFY(udp.bind(QHostAddress::LocalHost, 0));
        udp.writeDatagram("?", QHostAddress::LocalHost, host.udpPort());
        QTest::qWait(300);
        QVERIFY(!udp.hasPendingDatagrams());
    }

    void programPrintsItsLinksAndAnswers()
    {
        QProcess help;
        help.start(QStringLiteral(VARNEL_SIM_PATH), {QStringLiteral("--help")});
        QVERIFY(help.waitForFinished(10000));
        QCOMPARE(help.exitCode(), 0);
        const QByteArray usage = help.readAllStandardOutput();
        for (const char *flag : {"--tcp", "--udp", "--serial", "--link", "--model", "--picture-dir", "--latency",
                                 "--split", "--drop", "--garbage", "--nak", "--silent-after", "--close-after", "--seed",
                                 "--verbose"})
            QVERIFY2(usage.contains(flag), flag);

        QProcess bad;
        bad.start(QStringLiteral(VARNEL_SIM_PATH), {QStringLiteral("--model"), QStringLiteral("XYZ")});
        QVERIFY(bad.waitForFinished(10000));
        QVERIFY(bad.exitCode() != 0);

        QProcess sim;
        sim.start(QStringLiteral(VARNEL_SIM_PATH), {QStringLiteral("--model"), QStringLiteral("TBE310"),
                                                     QStringLiteral("--tcp"), QStringLiteral("--tcp-port"),
                                                     QStringLiteral("0"), QStringLiteral("--udp"),
                                                     QStringLiteral("--udp-port"), QStringLiteral("0"),
                                                     QStringLiteral("--serial"), QStringLiteral("--verbose")});
        QVERIFY(sim.waitForStarted(10000));
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += sim.readAllStandardOutput()).contains("serial /dev/"), 10000);
        const QRegularExpression tcpLine(QStringLiteral("tcp 127\\.0\\.0\\.1:(\\d+)"));
        const auto m = tcpLine.match(QString::fromUtf8(out));
        QVERIFY2(m.hasMatch(), out.constData());
        QVERIFY(out.contains("udp 127.0.0.1:"));
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, quint16(m.captured(1).toUInt()));
        QVERIFY(client.waitForConnected(3000));
        client.write("?");
        QByteArray answer;
        QTRY_COMPARE_WITH_TIMEOUT(answer += client.readAll(), QByteArray("DEV89\r\n"), 5000);
        // the traffic log shows both directions with a timestamp, line ends escaped
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += sim.readAllStandardError()).contains("tcp -> DEV89\\r\\n"), 5000);
        QVERIFY2(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d:\\d\\d\\.\\d{3} tcp <- \\?\n"))
                     .match(QString::fromUtf8(log))
                     .hasMatch(),
                 log.constData());
        sim.terminate();
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    }
};

QTEST_GUILESS_MAIN(SimLinksTest)
#include "sim_links_test.moc"
