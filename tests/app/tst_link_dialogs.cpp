// The connection dialog and the device network dialog: the checks of "OK", the
// port list rules, "AMX", the panels, and the order of the device writes.
#include "app_fixture.h"
#include "con_type_cfg_form.h"
#include "lan_dlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QtTest>

using namespace varnel;
using namespace varnel::app;
using namespace varnel::app::test;

Q_DECLARE_METATYPE(varnel::tConnectionType)

namespace {

struct ConnectionDialog {
    TConTypeCfgForm form;
    QStringList errors;
    ConnectionDialog()
    {
        form.setErrorReporter([this](QWidget *, const QString &text) { errors << text; });
    }
    template <class T> T *get(const char *name) { return form.findChild<T *>(QString::fromLatin1(name)); }
    void type(const char *edit, const QString &text)
    {
        auto *e = get<QLineEdit>(edit);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
    }
};

}  // namespace

class TestLinkDialogs : public QObject {
    Q_OBJECT
private slots:
    void okChecks_data();
    void okChecks();
    void setPortLooksTheNameUp_data();
    void setPortLooksTheNameUp();
    void amxChangesNothing();
    void tcpAddressIsCopiedToUdp();
    void rs232DisabledWithoutPorts();
    void lanModes_data();
    void lanModes();
    void lanApplyWrites_data();
    void lanApplyWrites();
    void lanApplyRejectsBadPort();
    void lanDialogFollowsTheDevice();
};

void TestLinkDialogs::okChecks_data()
{
    QTest::addColumn<tConnectionType>("type");
    QTest::addColumn<QString>("remotePort");
    QTest::addColumn<QString>("localPort");
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QString>("port");
    const QString remote = QStringLiteral("Remote Port must be an integer between 0 and 65535.");
    const QString local = QStringLiteral("Local Port must be an integer between 0 and 65535.");
    const QString p = QStringLiteral("10500");
    QTest::newRow("UDP remote 70000") << tConnectionType::CON_UDP << QStringLiteral("70000") << p << QStringList{}
                                      << QStringList{remote} << QString();
    QTest::newRow("UDP both wrong") << tConnectionType::CON_UDP << QStringLiteral("x") << QStringLiteral("-1")
                                    << QStringList{} << QStringList{remote, local} << QString();
    QTest::newRow("UDP local empty") << tConnectionType::CON_UDP << p << QString() << QStringList{}
                                     << QStringList{local} << QString();
    QTest::newRow("UDP bounds") << tConnectionType::CON_UDP << QStringLiteral("0") << QStringLiteral("65535")
                                << QStringList{} << QStringList{} << QString();
    QTest::newRow("TCP 65536") << tConnectionType::CON_TCP << QStringLiteral("65536") << p << QStringList{}
                               << QStringList{remote} << QString();
    QTest::newRow("TCP ignores the UDP local port") << tConnectionType::CON_TCP << p << QStringLiteral("bad")
                                                    << QStringList{} << QStringList{} << QString();
    QTest::newRow("RS232 without ports") << tConnectionType::CON_RS232 << p << p << QStringList{}
                                         << QStringList{QStringLiteral("Serial Port not valid")} << QString();
    QTest::newRow("RS232 port") << tConnectionType::CON_RS232 << p << p
                                << QStringList{QStringLiteral("ttyS0"), QStringLiteral("ttyUSB12")} << QStringList{}
                                << QStringLiteral("ttyS0");
    QTest::newRow("NONE checks nothing") << tConnectionType::CON_NONE << QStringLiteral("x") << QStringLiteral("y")
                                         << QStringList{} << QStringList{} << QString();
}

void TestLinkDialogs::okChecks()
{
    QFETCH(tConnectionType, type);
    QFETCH(QString, remotePort);
    QFETCH(QString, localPort);
    QFETCH(QStringList, ports);
    QFETCH(QStringList, errors);
    ConnectionDialog d;
    for (const QString &port : ports)
        d.form.addPort(port);
    d.form.setConType(type);
    d.form.show();
    d.type("editUdpRemotePort", remotePort);
    d.type("editTcpRemotePort", remotePort);
    d.type("editUdpLocalPort", localPort);
    QSignalSpy ok(&d.form, &TConTypeCfgForm::okNotified);
    QTest::mouseClick(d.get<QPushButton>("buttonOk"), Qt::LeftButton);
    QCOMPARE(d.errors, errors);
    QCOMPARE(d.form.isAccepted(), errors.isEmpty());
    QCOMPARE(d.form.isVisible(), !errors.isEmpty());  // stays open after an error
    QCOMPARE(ok.size(), errors.isEmpty() ? 1 : 0);
    if (errors.isEmpty() && type == tConnectionType::CON_RS232)
        QTEST(d.form.Port(), "port");
    if (errors.isEmpty() && type == tConnectionType::CON_UDP)
        QCOMPARE(d.form.IpLocalPort(), localPort.toInt());
}

void TestLinkDialogs::setPortLooksTheNameUp_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("selected");
    const QStringList two{QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")};
    QTest::newRow("found") << two << QStringLiteral("ttyUSB0") << QStringLiteral("ttyUSB0") << 1;
    QTest::newRow("found as device path") << two << QStringLiteral("/dev/ttyUSB0") << QStringLiteral("/dev/ttyUSB0")
                                          << 1;
    QTest::newRow("missing takes the first") << two << QStringLiteral("ttyACM3") << QStringLiteral("ttyS0") << 0;
    QTest::newRow("no ports") << QStringList{} << QStringLiteral("ttyS0") << QString() << -1;
}

void TestLinkDialogs::setPortLooksTheNameUp()
{
    QFETCH(QStringList, ports);
    QFETCH(QString, given);
    ConnectionDialog d;
    for (const QString &port : ports)
        d.form.addPort(port);
    d.form.setPort(given);
    QTEST(d.form.Port(), "port");
    QTEST(d.get<QComboBox>("comboPort")->currentIndex(), "selected");
    QVERIFY(!d.get<QComboBox>("comboPort")->isEditable());
}

void TestLinkDialogs::amxChangesNothing()
{
    ConnectionDialog d;
    d.form.setConType(tConnectionType::CON_UDP);
    d.form.show();
    auto *panels = d.get<QStackedWidget>("panels");
    QWidget *before = panels->currentWidget();
    QTest::mouseClick(d.get<QRadioButton>("radioAmx"), Qt::LeftButton);
    QCOMPARE(d.form.ConType(), tConnectionType::CON_UDP);
    QCOMPARE(panels->currentWidget(), before);
    QVERIFY(d.get<QRadioButton>("radioUdp")->isChecked());
    QTest::mouseClick(d.get<QRadioButton>("radioTcp"), Qt::LeftButton);
    QCOMPARE(d.form.ConType(), tConnectionType::CON_TCP);
    QCOMPARE(panels->currentWidget()->objectName(), QStringLiteral("panelTcp"));
}

void TestLinkDialogs::tcpAddressIsCopiedToUdp()
{
    ConnectionDialog d;
    d.form.setConType(tConnectionType::CON_TCP);
    d.form.show();
    d.type("editTcpRemoteAddress", QStringLiteral("127.0.0.1"));
    QCOMPARE(d.form.IpRemoteAddress(), QStringLiteral("127.0.0.1"));
    QCOMPARE(d.get<QLineEdit>("editUdpRemoteAddress")->text(), QStringLiteral("127.0.0.1"));
}

void TestLinkDialogs::rs232DisabledWithoutPorts()
{
    auto w = makeWindow();
    TConTypeCfgForm form(w.window.get());
    Companions c;
    c.connectionDialog = &form;
    w.window->setCompanions(c);
    w.window->setSerialPorts({});
    QVERIFY(!form.findChild<QRadioButton *>(QStringLiteral("radioRs232"))->isEnabled());
    w.window->setSerialPorts({QStringLiteral("ttyS0")});
    QVERIFY(form.findChild<QRadioButton *>(QStringLiteral("radioRs232"))->isEnabled());
    QCOMPARE(form.ports(), QStringList{QStringLiteral("ttyS0")});
}

void TestLinkDialogs::lanModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("remoteShown");
    QTest::newRow("serial") << int(TLanDlg::ModeSerial) << false;
    QTest::newRow("UDP") << int(TLanDlg::ModeUdp) << true;
    QTest::newRow("TCP") << int(TLanDlg::ModeTcp) << false;
}

void TestLinkDialogs::lanModes()
{
    QFETCH(int, mode);
    TLanDlg dlg;
    dlg.setMode(mode);
    dlg.show();
    for (const char *name : {"editRemoteAddress", "editRemotePort"})
        QTEST(!dlg.findChild<QLineEdit *>(QString::fromLatin1(name))->isHidden(), "remoteShown");
    for (const char *name : {"editDeviceAddress", "editGateway", "editDevicePort", "editNetMask"})
        QVERIFY(!dlg.findChild<QLineEdit *>(QString::fromLatin1(name))->isHidden());
    if (mode == TLanDlg::ModeTcp) {
        // One column: every shown field at the same x.
        const int x = dlg.findChild<QLineEdit *>(QStringLiteral("editDeviceAddress"))->x();
        for (const char *name : {"editGateway", "editDevicePort", "editNetMask"})
            QCOMPARE(dlg.findChild<QLineEdit *>(QString::fromLatin1(name))->x(), x);
    }
}

void TestLinkDialogs::lanApplyWrites_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("sent");
    QTest::newRow("Rs232 only disables LAN control") << int(TLanDlg::ModeSerial) << QStringList{QStringLiteral("0ne")};
    // The protocol first; the addresses, ports and mask; then store and enable.
    QTest::newRow("UDP") << int(TLanDlg::ModeUdp)
                         << QStringList{QStringLiteral("0nt"), QStringLiteral("1ns"), QStringLiteral("1ne")};
    QTest::newRow("TCP") << int(TLanDlg::ModeTcp)
                         << QStringList{QStringLiteral("1nt"), QStringLiteral("1ns"), QStringLiteral("1ne")};
}

void TestLinkDialogs::lanApplyWrites()
{
    QFETCH(int, mode);
    QFETCH(QStringList, sent);
    auto w = makeWindow();
    w.receive("DEV41\r\n");
    w.driver().setConMode(tConnectionMode::MODE_VAR);  // connected
    w.tcp->writes.clear();
    TLanDlg dlg;
    dlg.setMode(mode);
    dlg.setDeviceAddress(QStringLiteral("192.168.0.20"));
    dlg.setRemoteAddress(QStringLiteral("192.168.0.1"));
    dlg.setGateway(QStringLiteral("192.168.0.254"));
    dlg.setDevicePort(10500);
    dlg.setRemotePort(10000);
    dlg.setNetMask(QStringLiteral("255.255.255.0"));
    QCOMPARE(dlg.pressApply(), QString());
    QVERIFY(dlg.isAccepted());
    dlg.writeTo(w.driver());
    QStringList actual;
    for (const auto &s : w.tcp->writes)
        actual << QString::fromStdString(s);
    if (mode == TLanDlg::ModeSerial) {
        QCOMPARE(actual, sent);
        return;
    }
    QVERIFY(actual.size() > 3);
    QCOMPARE(actual.first(), sent.first());
    QCOMPARE(actual.mid(actual.size() - 2), sent.mid(sent.size() - 2));
    // In between, the gateway's last octet and the device port.
    const QStringList middle = actual.mid(1, actual.size() - 3);
    QVERIFY(middle.contains(QStringLiteral("254nz")));
    QVERIFY(middle.contains(QStringLiteral("10500np")));
}

void TestLinkDialogs::lanApplyRejectsBadPort()
{
    TLanDlg dlg;
    QStringList errors;
    dlg.setErrorReporter([&](QWidget *, const QString &text) { errors << text; });
    dlg.show();
    auto *port = dlg.findChild<QLineEdit *>(QStringLiteral("editDevicePort"));
    port->setText(QStringLiteral("10x"));
    QTest::mouseClick(dlg.findChild<QPushButton *>(QStringLiteral("buttonApply")), Qt::LeftButton);
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors.first().contains(QStringLiteral("10x")));
    QVERIFY(!dlg.isAccepted());
    QVERIFY(dlg.isVisible());
}

void TestLinkDialogs::lanDialogFollowsTheDevice()
{
    auto w = makeWindow();
    TLanDlg dlg;
    Companions c;
    c.lanDialog = &dlg;
    w.window->setCompanions(c);
    w.receive(report(Reg::TCPIP, 1) + report(Reg::PADIP, 1) + report(Reg::IP4, 10) + report(Reg::IP3, 1) +
              report(Reg::IP2, 2) + report(Reg::IP1, 3) + report(Reg::IPPORT, 4001));
    QCOMPARE(dlg.mode(), int(TLanDlg::ModeTcp));
    QCOMPARE(dlg.deviceAddress(), QStringLiteral("10.1.2.3"));
    QCOMPARE(dlg.devicePort(), quint16(4001));
    QVERIFY(w.tcp->writes.empty());
}

QTEST_MAIN(TestLinkDialogs)
#include "tst_link_dialogs.moc"
