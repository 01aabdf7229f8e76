// The main window over the real Qt link against a device on 127.0.0.1: it sees
// "Device connected", shows the please-wait panel while the register dump runs and
// hides it after "#0", takes the model's name as caption, and follows the link
// when the device goes silent and comes back. Runs in real time (about 25 s).
#include "app_fixture.h"
#include "qt_link.h"

#include <QLabel>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

using namespace varnel;
using namespace varnel::app;

namespace {

/// A device on a loopback TCP port: answers "?" with its DEV report and "1#" with
/// a register dump sent in two parts 800 ms apart; `silent` stops all answers.
class LoopbackDevice : public QObject {
public:
    bool silent = false;
    bool dumpHalfSent = false;
    bool pleaseWaitSeenDuringDump = false;
    std::function<bool()> pleaseWaitShown;

    bool listen() { return m_server.listen(QHostAddress::LocalHost, 0); }
    quint16 port() const { return m_server.serverPort(); }

    LoopbackDevice()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, this, [this, s] { serve(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }

private:
    void serve(QTcpSocket *s)
    {
        m_pending += s->readAll();
        if (silent) {
            m_pending.clear();
            return;
        }
        while (!m_pending.isEmpty()) {
            if (m_pending.startsWith("1#\r\n")) {
                m_pending.remove(0, 4);
                const std::string dump = test::fullDump(41);
                const std::size_t half = dump.find("\r\n", dump.size() / 2) + 2;
                s->write(dump.substr(0, half).c_str());
                QPointer<QTcpSocket> guard(s);
                QTimer::singleShot(800, this, [this, guard, rest = dump.substr(half)] {
                    pleaseWaitSeenDuringDump = pleaseWaitShown && pleaseWaitShown();
                    dumpHalfSent = true;
                    if (guard)
                        guard->write(rest.c_str());
                });
            } else if (m_pending.startsWith("?")) {
                m_pending.remove(0, 1);
                s->write("DEV41\r\n");
            } else {
                m_pending.remove(0, 1);  // a write the device takes silently
            }
        }
    }

    QTcpServer m_server;
    QByteArray m_pending;
};

}  // namespace

class TestAppEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void connectsDumpsLosesAndFindsAgain();
};

void TestAppEndToEnd::connectsDumpsLosesAndFindsAgain()
{
    LoopbackDevice device;
    if (!device.listen())
        QSKIP("cannot listen on 127.0.0.1");
    TForm_Main_VarnelOrla window(makeQtDriver());
    window.initialise();
    auto *connection = window.findChild<QLabel *>(QStringLiteral("panelConnection"));
    QWidget *pleaseWait = window.findChild<QWidget *>(QStringLiteral("panelPleaseWait"));
    device.pleaseWaitShown = [pleaseWait] { return !pleaseWait->isHidden(); };

    TVRK_610_d &d = window.VRK_610_d1();
    d.setIpRemoteAddress("127.0.0.1");
    d.setIpRemotePort(device.port());
    d.setConType(tConnectionType::CON_TCP);
    window.refreshLinkPanel();
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("panelLink"))->text(), QStringLiteral("Communication : TCP-IP"));

    // First tick after 3 s, first probe 2 s later.
    QTRY_COMPARE_WITH_TIMEOUT(connection->text(), QStringLiteral("Device connected"), 10000);
    QCOMPARE(window.windowTitle(), QStringLiteral("Varnel Orla Kiro (VRK610)"));
    QVERIFY(!pleaseWait->isHidden());
    // The dump follows 2 s after the device was found.
    QTRY_VERIFY_WITH_TIMEOUT(device.dumpHalfSent, 6000);
    QVERIFY(device.pleaseWaitSeenDuringDump);
    QTRY_VERIFY_WITH_TIMEOUT(pleaseWait->isHidden(), 3000);

    // The device stops answering: lost after the next unanswered poll.
    device.silent = true;
    QTRY_VERIFY_WITH_TIMEOUT(window.notConnected(), 9000);
    QVERIFY(!pleaseWait->isHidden());
    QCOMPARE(window.windowTitle(), QStringLiteral("Varnel Orla Kiro (VRK610)"));  // keeps its shape

    // It answers again: found again by the probes.
    device.silent = false;
    QTRY_VERIFY_WITH_TIMEOUT(!window.notConnected(), 9000);
    QCOMPARE(connection->text(), QStringLiteral("Device connected"));
    QTRY_VERIFY_WITH_TIMEOUT(pleaseWait->isHidden(), 9000);
}

QTEST_MAIN(TestAppEndToEnd)
#include "tst_app_end_to_end.moc"
