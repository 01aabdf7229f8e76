// One check in real time: a minimal device on 127.0.0.1 that answers "?" with
// "DEV41" and the query-all request with a short dump. The wired driver must
// find it, ask for all registers, then poll. Takes about ten seconds.
#include "qt_link.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace varnel;

class LinkEndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void findsTheDeviceQueriesAllThenPolls()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
        QStringList heard;  // what the device received, with the time since the link was chosen
        QList<qint64> when;
        QElapsedTimer clock;
        std::unique_ptr<QTcpSocket> peer;
        QByteArray pending;
        QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
            peer.reset(server.nextPendingConnection());
            QObject::connect(peer.get(), &QTcpSocket::readyRead, peer.get(), [&] {
                pending += peer->readAll();
                // Commands: "?" alone, or "1#" CR LF.
                while (!pending.isEmpty()) {
                    if (pending.startsWith("1#\r\n")) {
                        pending.remove(0, 4);
                        heard << "1#";
                        when << clock.elapsed();
                        peer->write("#1\r\nDEV41\r\ncn3\r\n#0\r\n");
                    } else if (pending.startsWith('?')) {
                        pending.remove(0, 1);
                        heard << "?";
                        when << clock.elapsed();
                        peer->write("DEV41\r\n");
                    } else if (pending.size() >= 4 || !QByteArray("1#\r\n").startsWith(pending)) {
                        heard << QString::fromLatin1(pending);
                        pending.clear();
                    } else {
                        break;  // the rest of "1#" CR LF is on its way
                    }
                }
            });
        });

        auto driver = makeQtDriver();
        int connectedEvents = 0;
        driver->setHandler(Event::OnConnected, [&](TVRK_610_d &, int) { ++connectedEvents; });
        driver->setIpRemoteAddress("127.0.0.1");
        driver->setIpRemotePort(server.serverPort());
        clock.start();
        driver->setConType(tConnectionType::CON_TCP);

        QTRY_VERIFY_WITH_TIMEOUT(heard.size() >= 4, 20000);
        QCOMPARE(heard.mid(0, 4), (QStringList{"?", "1#", "?", "?"}));
        QVERIFY(driver->Connected());
        QCOMPARE(connectedEvents, 1);
        QCOMPARE(driver->DEV(), 41u);
        QCOMPARE(driver->ICHNP(), 3u);  // the dump was parsed
        // 3000 ms to the first tick, 2000 more to the first probe; the query 2000 ms
        // after the answer; polls 2000 ms after the last text. Lower bounds only:
        // a loaded machine may be late, never early.
        QVERIFY2(when[0] >= 4900, qPrintable(QString::number(when[0])));
        QVERIFY2(when[1] - when[0] >= 1950, qPrintable(QString::number(when[1] - when[0])));
        QVERIFY2(when[2] - when[1] >= 1950, qPrintable(QString::number(when[2] - when[1])));
        QVERIFY2(when[3] - when[2] >= 1950, qPrintable(QString::number(when[3] - when[2])));
    }
};

QTEST_GUILESS_MAIN(LinkEndToEndTest)
#include "link_end_to_end_test.moc"
