// The main window: notification binding, connection display, end of the full
// query, the one-second phase (blinking, update notice, alert panel), the model
// reshaping, the console key and the "RS232/LAN Setup" command.
#include "app_fixture.h"
#include "con_type_cfg_form.h"
#include "lan_dlg.h"
#include "model_catalogue.h"
#include "out_of_range.h"

#include <QAccessible>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <set>

using namespace varnel;
using namespace varnel::app;
using namespace varnel::app::test;

namespace {

QString panel(TForm_Main_VarnelOrla &w, const char *name)
{
    return w.findChild<QLabel *>(QString::fromLatin1(name))->text();
}

QWidget *child(TForm_Main_VarnelOrla &w, const QString &name)
{
    auto *c = w.findChild<QWidget *>(name);
    if (!c)
        qFatal("no child %s", qPrintable(name));
    return c;
}

void oneSecond(TForm_Main_VarnelOrla &w)
{
    w.mainTimerTick();
    w.mainTimerTick();
}

/// Records the link property writes in order.
class RecordingLink : public LinkAccess {
public:
    LinkParameters current;
    QStringList writes;
    LinkParameters read() const override { return current; }
    void setConType(tConnectionType t) override
    {
        writes << QStringLiteral("ConType=%1").arg(int(t));
        current.type = t;
    }
    void setPort(const QString &p) override
    {
        writes << QStringLiteral("Port=") + p;
        current.port = p;
    }
    void setIpLocalPort(int p) override
    {
        writes << QStringLiteral("IpLocalPort=%1").arg(p);
        current.localPort = p;
    }
    void setIpRemotePort(int p) override
    {
        writes << QStringLiteral("IpRemotePort=%1").arg(p);
        current.remotePort = p;
    }
    void setIpRemoteAddress(const QString &a) override
    {
        writes << QStringLiteral("IpRemoteAddress=") + a;
        current.remoteAddress = a;
    }
};

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void everyHandlerBoundOnceAndNamedAfterItsEvent();
    void fullDumpThroughTheWindowSendsNothing();
    void connectionDisplay_data();
    void connectionDisplay();
    void repeatedDevDoesNothing();
    void endOfFullQuery_data();
    void endOfFullQuery();
    void notConnectedBlinkAndAboutPictureCycle();
    void updateNoticeCountdown();
    void outOfRangeRule_data();
    void outOfRangeRule();
    void alertPanel();
    void takeBlinksWhileEffectRuns();
    void applyModel_data();
    void applyModel();
    void fourInputModelThenEightInputModel();
    void consoleKeyNeedsPointerOverStatusBar();
    void rs232LanSetup_data();
    void rs232LanSetup();
    void controlsHaveNamesAndKeepTheirCaptionsForScreenReaders();
    void valueScalingsAreConfiguredAtCreation();
};

void TestMainWindow::everyHandlerBoundOnceAndNamedAfterItsEvent()
{
    auto w = makeWindow();
    std::set<EventId> seen;
    std::set<std::string> names;
    for (const auto &b : TForm_Main_VarnelOrla::notificationBindings()) {
        QVERIFY2(seen.insert(b.event).second, b.handlerName);
        QVERIFY2(names.insert(b.handlerName).second, b.handlerName);
        const std::string event(eventName(b.event));
        QVERIFY(event.starts_with("On"));
        QCOMPARE(std::string(b.handlerName), "VRK_610_d1" + event.substr(2));
        QVERIFY2(bool(w.driver().handler(b.event)), b.handlerName);
    }
    // The binding drives the display: the DEV handler is the one installed.
    w.receive("DEV41\r\n");
    QCOMPARE(w.window->modelIndex(), 1);
}

void TestMainWindow::fullDumpThroughTheWindowSendsNothing()
{
    auto w = makeWindow();
    TConTypeCfgForm connection(w.window.get());
    TLanDlg lan(w.window.get());
    w.window->setCompanions({&connection, &lan, nullptr, nullptr, nullptr, nullptr, nullptr});
    const std::string dump = fullDump(41);
    // Arrives in uneven pieces, as from a socket.
    for (std::size_t pos = 0, n = 1; pos < dump.size(); pos += n, n = n % 97 + 13)
        w.receive(dump.substr(pos, n));
    for (int i = 0; i < 8; ++i)
        w.window->mainTimerTick();
    QVERIFY2(w.tcp->writes.empty(), w.tcp->writes.empty() ? "" : w.tcp->writes.front().c_str());
    QCOMPARE(w.window->windowTitle(), QStringLiteral("Varnel Orla Kiro (VRK610)"));
    QVERIFY(child(*w.window, QStringLiteral("panelPleaseWait"))->isHidden());
    // The LAN handlers refreshed the dialog from the reported registers.
    QCOMPARE(lan.mode(), int(TLanDlg::ModeTcp));
    QCOMPARE(lan.netMask(), QStringLiteral("255.0.0.0"));
}

void TestMainWindow::connectionDisplay_data()
{
    QTest::addColumn<QList<int>>("devs");
    QTest::addColumn<QString>("connection");
    QTest::addColumn<QString>("pleaseWait");
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("notConnected");
    const QString nc = QStringLiteral("Device not connected");
    QTest::newRow("start") << QList<int>{} << nc << nc << 0 << true;
    QTest::newRow("VRK610") << QList<int>{41} << QStringLiteral("Device connected")
                            << QStringLiteral("Connecting to Varnel Orla Kiro (VRK610)") << 1 << false;
    QTest::newRow("TBE310") << QList<int>{89} << QStringLiteral("Device connected")
                            << QStringLiteral("Connecting to Brevo (TBE310)") << 13 << false;
    QTest::newRow("lost keeps the model") << QList<int>{41, 0} << nc << nc << 1 << true;
    QTest::newRow("66 is no catalogue model") << QList<int>{66} << nc << nc << 0 << true;
    QTest::newRow("66 after a model changes nothing")
        << QList<int>{48, 66} << QStringLiteral("Device connected") << QStringLiteral("Connecting to Tavrin Kiro (TKA302)")
        << 8 << false;
    QTest::newRow("found again") << QList<int>{41, 0, 70} << QStringLiteral("Device connected")
                                 << QStringLiteral("Connecting to Tavrin Orla Kiro (TRK310)") << 11 << false;
}

void TestMainWindow::connectionDisplay()
{
    QFETCH(QList<int>, devs);
    auto w = makeWindow();
    for (int dev : devs)
        w.receive("DEV" + std::to_string(dev) + "\r\n");
    QTEST(panel(*w.window, "panelConnection"), "connection");
    QTEST(panel(*w.window, "labelPleaseWait"), "pleaseWait");
    QTEST(w.window->modelIndex(), "model");
    QTEST(w.window->notConnected(), "notConnected");
    // The panel stays up until the full query is answered.
    QVERIFY(!child(*w.window, QStringLiteral("panelPleaseWait"))->isHidden());
}

void TestMainWindow::repeatedDevDoesNothing()
{
    auto w = makeWindow();
    QSignalSpy told(w.window.get(), &TForm_Main_VarnelOrla::deviceCodeChanged);
    w.receive("DEV41\r\nDEV41\r\nDEV41\r\n");
    QCOMPARE(told.size(), 1);
    w.window->setWindowTitle(QStringLiteral("changed"));
    w.receive("DEV41\r\n");
    QCOMPARE(w.window->windowTitle(), QStringLiteral("changed"));
}

void TestMainWindow::endOfFullQuery_data()
{
    QTest::addColumn<int>("dev");
    QTest::addColumn<bool>("hiddenAfter");
    QTest::newRow("catalogue model") << 41 << true;
    QTest::newRow("66 accepted by the link only") << 66 << false;
    QTest::newRow("no device") << 0 << false;
}

void TestMainWindow::endOfFullQuery()
{
    QFETCH(int, dev);
    auto w = makeWindow();
    QWidget *pleaseWait = child(*w.window, QStringLiteral("panelPleaseWait"));
    w.receive("DEV" + std::to_string(dev) + "\r\n#1\r\n");
    QVERIFY(!pleaseWait->isHidden());
    QVERIFY(!w.window->queryDone());
    w.receive("#0\r\n");
    QTEST(pleaseWait->isHidden(), "hiddenAfter");
    QVERIFY(w.window->queryDone());
    oneSecond(*w.window);
    QVERIFY(!w.window->queryDone());
    // A new dump shows the panel again.
    w.receive("#1\r\n");
    QVERIFY(!pleaseWait->isHidden());
}

void TestMainWindow::notConnectedBlinkAndAboutPictureCycle()
{
    auto w = makeWindow();
    QSignalSpy pictures(w.window.get(), &TForm_Main_VarnelOrla::aboutPictureChanged);
    QStringList texts;
    for (int i = 0; i < 12; ++i) {
        w.window->mainTimerTick();  // half a second: nothing blinks
        const QString half = panel(*w.window, "panelConnection");
        w.window->mainTimerTick();
        if (i == 0)
            QCOMPARE(half, QStringLiteral("Device not connected"));
        texts << panel(*w.window, "panelConnection");
    }
    QCOMPARE(texts.mid(0, 4), (QStringList{QStringLiteral("DEVICE NOT CONNECTED"), QStringLiteral("Device not connected"),
                                           QStringLiteral("DEVICE NOT CONNECTED"), QStringLiteral("Device not connected")}));
    QList<int> seq;
    for (const auto &args : pictures)
        seq << args.at(0).toInt();
    QCOMPARE(seq, (QList<int>{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 1, 2}));

    w.receive("DEV45\r\n");
    QCOMPARE(w.window->aboutPicture(), 5);
    for (int i = 0; i < 3; ++i)
        oneSecond(*w.window);
    QCOMPARE(panel(*w.window, "panelConnection"), QStringLiteral("Device connected"));
    QCOMPARE(w.window->aboutPicture(), 5);
}

void TestMainWindow::updateNoticeCountdown()
{
    auto w = makeWindow();
    QWidget *notice = child(*w.window, QStringLiteral("panelUpdateNotice"));
    auto phasesUntilHidden = [&] {
        w.window->showUpdateNotice(QStringLiteral("A newer version is available."));
        int phases = 0;
        while (!notice->isHidden() && phases < 100) {
            oneSecond(*w.window);
            ++phases;
        }
        return phases;
    };
    QCOMPARE(phasesUntilHidden(), 40);
    QCOMPARE(phasesUntilHidden(), 30);
    w.window->showUpdateNotice(QStringLiteral("again"));
    oneSecond(*w.window);
    QTest::mouseClick(static_cast<QPushButton *>(child(*w.window, QStringLiteral("buttonUpdateNoticeOk"))),
                      Qt::LeftButton);
    QVERIFY(!notice->isHidden());
    oneSecond(*w.window);
    QVERIFY(notice->isHidden());
    QCOMPARE(w.window->updateNoticeCountdown(), 30);
}

void TestMainWindow::outOfRangeRule_data()
{
    QTest::addColumn<uint>("signalType");
    QTest::addColumn<uint>("format");
    QTest::addColumn<uint>("line");
    QTest::addColumn<uint>("unit");
    QTest::addColumn<uint>("divider");
    QTest::addColumn<bool>("out");
    // 100 x 16300 / 1630 = 1000 pixels per line.
    QTest::newRow("divider above the line") << 8u << 2u << 100u << 1630u << 1001u << true;
    QTest::newRow("divider equal") << 8u << 2u << 100u << 1630u << 1000u << false;
    QTest::newRow("not DVI") << 7u << 2u << 100u << 1630u << 5000u << false;
    QTest::newRow("format 1") << 8u << 1u << 100u << 1630u << 5000u << false;
    QTest::newRow("no measuring frequency") << 8u << 2u << 100u << 0u << 5000u << false;
    QTest::newRow("rounded up to the divider") << 8u << 2u << 1u << 16301u << 1u << false;
    QTest::newRow("rounded down below") << 8u << 2u << 1u << 32700u << 1u << true;
    QTest::newRow("longest line") << 8u << 2u << 65535u << 1u << 4294967295u << true;
}

void TestMainWindow::outOfRangeRule()
{
    QFETCH(uint, signalType);
    QFETCH(uint, format);
    QFETCH(uint, line);
    QFETCH(uint, unit);
    QFETCH(uint, divider);
    QTEST(sourceOutOfRange({signalType, format, line, unit, divider}), "out");
}

void TestMainWindow::alertPanel()
{
    auto w = makeWindow();
    auto *alert = w.window->findChild<QLabel *>(QStringLiteral("panelAlert"));
    // Preview source 3 is a DVI computer input with too short a line.
    w.receive(report(Reg::PCHAN, 3) + report(Reg::PRGBI, 8) + report(Reg::ICHP, 3) + report(Reg::IFAMP, 4) +
              report(Reg::ILDP, 100) + report(Reg::UNITy, 1630) + report(Reg::DIVP, 1344));
    QStringList seen;
    for (int i = 0; i < 3; ++i) {
        oneSecond(*w.window);
        seen << alert->text();
    }
    QCOMPARE(seen, (QStringList{QStringLiteral("Out of range : Use reduced blankings"),
                                QStringLiteral("Out of range : USE REDUCED BLANKINGS"),
                                QStringLiteral("Out of range : Use reduced blankings")}));
    // Lost measuring frequency: nothing is out of range any more.
    w.receive(report(Reg::UNITy, 0));
    oneSecond(*w.window);
    QCOMPARE(alert->text(), QStringLiteral("..."));
    // Another duty's text is left alone.
    alert->setText(QStringLiteral("WAIT STORING SETTINGS"));
    oneSecond(*w.window);
    QCOMPARE(alert->text(), QStringLiteral("WAIT STORING SETTINGS"));
    // A frame memory on preview has no signal type.
    w.receive(report(Reg::UNITy, 1630) + report(Reg::ICHP, 9));
    oneSecond(*w.window);
    QCOMPARE(alert->text(), QStringLiteral("WAIT STORING SETTINGS"));
}

void TestMainWindow::takeBlinksWhileEffectRuns()
{
    auto w = makeWindow();
    auto *take = static_cast<QPushButton *>(child(*w.window, QStringLiteral("buttonTake")));
    w.receive(report(Reg::EFFON, 1));
    QList<bool> bold;
    for (int i = 0; i < 4; ++i) {
        oneSecond(*w.window);
        bold << take->font().bold();
    }
    QCOMPARE(bold, (QList<bool>{true, false, true, false}));
    w.receive(report(Reg::EFFON, 0));
    oneSecond(*w.window);
    oneSecond(*w.window);
    QVERIFY(!take->font().bold());
    QVERIFY(!take->font().italic());
}

void TestMainWindow::applyModel_data()
{
    QTest::addColumn<int>("dev");
    QTest::addColumn<int>("inputs");
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("preview");
    QTest::addColumn<bool>("tbar");
    QTest::addColumn<bool>("edid");
    QTest::addColumn<QString>("about");
    QTest::addColumn<QList<int>>("shownKeys");
    const QList<int> all{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    QTest::newRow("VRK610") << 41 << 8 << 4 << true << true << true << QStringLiteral("About VRK610...") << all;
    QTest::newRow("VBE610") << 88 << 8 << 4 << true << true << true << QStringLiteral("About VBE610...") << all;
    QTest::newRow("TBE310") << 89 << 4 << 4 << true << true << true << QStringLiteral("About TBE310...")
                            << QList<int>{1, 2, 3, 4, 7, 8, 9, 10, 11, 12};
    QTest::newRow("TBA301") << 50 << 4 << 0 << false << false << false << QStringLiteral("About TBA301...")
                            << QList<int>{};
    QTest::newRow("VKA602 single output") << 44 << 8 << 4 << false << true << true << QStringLiteral("About VKA602...")
                                          << QList<int>{1, 2, 3};
}

void TestMainWindow::applyModel()
{
    QFETCH(int, dev);
    QFETCH(int, inputs);
    QFETCH(int, frames);
    QFETCH(bool, preview);
    QFETCH(QList<int>, shownKeys);
    auto w = makeWindow();
    w.receive("DEV" + std::to_string(dev) + "\r\n");
    const int model = w.window->modelIndex();
    QCOMPARE(w.window->windowTitle(), QString::fromUtf8(modelEntry(model).fullName));
    QTEST(w.window->findChild<QAction *>(QStringLiteral("actionAbout"))->text(), "about");
    for (int s = 1; s <= 8; ++s)
        QCOMPARE(!child(*w.window, QStringLiteral("buttonInput%1").arg(s))->isHidden(), s <= inputs);
    for (int f = 1; f <= 4; ++f)
        QCOMPARE(!child(*w.window, QStringLiteral("buttonFrame%1").arg(f))->isHidden(), f <= frames);
    for (int k = 1; k <= 12; ++k) {
        QCOMPARE(!child(*w.window, QStringLiteral("buttonEffectKey%1").arg(k))->isHidden(), shownKeys.contains(k));
        QCOMPARE(!child(*w.window, QStringLiteral("buttonEffectEdit%1").arg(k))->isHidden(), effectEditShown(model, k));
    }
    for (const char *name : {"buttonTake", "buttonTransition", "buttonFreezePreview", "buttonSwitchPreview"})
        QCOMPARE(!child(*w.window, QString::fromLatin1(name))->isHidden(), preview);
    QCOMPARE(static_cast<QPushButton *>(child(*w.window, QStringLiteral("buttonFreezeMain")))->text(),
             preview ? QStringLiteral("FREEZE\nMain") : QStringLiteral("FREEZE"));
    QCOMPARE(static_cast<QPushButton *>(child(*w.window, QStringLiteral("buttonSwitchMain")))->text(),
             preview ? QStringLiteral("Switch\nMain") : QStringLiteral("Switch\nbackground"));
    QTEST(child(*w.window, QStringLiteral("sliderTBar"))->isEnabled(), "tbar");
    QTEST(w.window->findChild<QAction *>(QStringLiteral("actionEdidDvi"))->isVisible(), "edid");
    QCOMPARE(w.window->findChild<QAction *>(QStringLiteral("actionAutotake"))->isVisible(), preview);
}

void TestMainWindow::fourInputModelThenEightInputModel()
{
    auto w = makeWindow();
    w.receive("DEV50\r\n");
    QVERIFY(child(*w.window, QStringLiteral("buttonInput5"))->isHidden());
    QVERIFY(child(*w.window, QStringLiteral("buttonTake"))->isHidden());
    w.receive("DEV0\r\nDEV41\r\n");
    for (int s = 1; s <= 8; ++s)
        QVERIFY(!child(*w.window, QStringLiteral("buttonInput%1").arg(s))->isHidden());
    for (int f = 1; f <= 4; ++f)
        QVERIFY(!child(*w.window, QStringLiteral("buttonFrame%1").arg(f))->isHidden());
    QVERIFY(!child(*w.window, QStringLiteral("buttonTake"))->isHidden());
    QVERIFY(child(*w.window, QStringLiteral("sliderTBar"))->isEnabled());
    // The frame keeps its size whatever the model.
    QCOMPARE(w.window->size(), QSize(TForm_Main_VarnelOrla::kWidth, TForm_Main_VarnelOrla::kHeight));
}

void TestMainWindow::consoleKeyNeedsPointerOverStatusBar()
{
    auto w = makeWindow();
    QWidget console(nullptr, Qt::Window);
    Companions c;
    c.console = &console;
    w.window->setCompanions(c);
    auto *key = w.window->findChild<QShortcut *>(QStringLiteral("shortcutConsole"));
    QVERIFY(key);
    QCOMPARE(key->key(), QKeySequence(Qt::CTRL | Qt::Key_Insert));
    QCOMPARE(key->context(), Qt::ApplicationShortcut);

    emit key->activated();
    QVERIFY(console.isHidden());
    QTest::mouseMove(w.window->statusBar());
    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(w.window->statusBar(), &enter);
    QVERIFY(w.window->consoleKeyArmed());
    // The real key, anywhere in the application.
    w.window->show();
    QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
    QTest::keyClick(w.window.get(), Qt::Key_Insert, Qt::ControlModifier);
    QVERIFY(!console.isHidden());
}

void TestMainWindow::rs232LanSetup_data()
{
    QTest::addColumn<QString>("driverPort");
    QTest::addColumn<QString>("address");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QStringList>("writes");
    QTest::newRow("unchanged") << QStringLiteral("ttyS0") << QStringLiteral("192.168.0.10") << false << QStringList{};
    QTest::newRow("unchanged, port not in the list")
        << QStringLiteral("ttyACM9") << QStringLiteral("192.168.0.10") << false << QStringList{};
    QTest::newRow("unchanged, no port") << QString() << QStringLiteral("192.168.0.10") << false << QStringList{};
    QTest::newRow("cancelled") << QStringLiteral("ttyS0") << QStringLiteral("127.0.0.1") << true << QStringList{};
    QTest::newRow("new address reconnects")
        << QStringLiteral("ttyS0") << QStringLiteral("127.0.0.1") << false
        << QStringList{QStringLiteral("ConType=0"), QStringLiteral("Port=ttyS0"), QStringLiteral("IpLocalPort=10000"),
                       QStringLiteral("IpRemotePort=10500"), QStringLiteral("IpRemoteAddress=127.0.0.1"),
                       QStringLiteral("ConType=3")};
}

void TestMainWindow::rs232LanSetup()
{
    QFETCH(QString, driverPort);
    QFETCH(QString, address);
    QFETCH(bool, cancel);
    auto driver = std::make_unique<TVRK_610_d>();
    auto link = std::make_unique<RecordingLink>();
    RecordingLink *rec = link.get();
    rec->current = {tConnectionType::CON_TCP, driverPort, 10000, 10500, QStringLiteral("192.168.0.10")};
    TForm_Main_VarnelOrla window(std::move(driver), std::move(link));
    window.initialise();
    TConTypeCfgForm dialog(&window);
    Companions c;
    c.connectionDialog = &dialog;
    window.setCompanions(c);
    window.setSerialPorts({QStringLiteral("ttyS0")});
    QTimer::singleShot(0, &dialog, [&] {
        auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("editTcpRemoteAddress"));
        edit->selectAll();
        QTest::keyClicks(edit, address);
        if (cancel)
            dialog.pressCancel();
        else
            dialog.pressOk();
    });
    window.rs232LanSetup();
    QTEST(rec->writes, "writes");
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("panelLink"))->text(), QStringLiteral("Communication : TCP-IP"));
}

void TestMainWindow::controlsHaveNamesAndKeepTheirCaptionsForScreenReaders()
{
    auto w = makeWindow();
    w.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.window.get()));
    const auto widgets = w.window->findChildren<QWidget *>();
    QVERIFY(widgets.size() > 50);
    for (QWidget *c : widgets) {
        if (c->objectName().startsWith(QLatin1String("qt_")) || c->inherits("QMenu") ||
            c->parentWidget()->inherits("QComboBox") || c->inherits("QRubberBand"))
            continue;
        QVERIFY2(!c->objectName().isEmpty(), c->metaObject()->className());
        QString text;
        if (auto *b = qobject_cast<QAbstractButton *>(c))
            text = b->text();
        else if (auto *l = qobject_cast<QLabel *>(c))
            text = l->text();
        if (!text.isEmpty())
            QVERIFY2(c->accessibleName().isEmpty(), qPrintable(c->objectName()));
    }
    // Controls without a caption of their own carry one for screen readers.
    for (const char *name : {"sliderTBar", "imageLinkState"})
        QVERIFY(!child(*w.window, QString::fromLatin1(name))->accessibleName().isEmpty());
    QAccessibleInterface *take = QAccessible::queryAccessibleInterface(child(*w.window, QStringLiteral("buttonTake")));
    QCOMPARE(take->text(QAccessible::Name), QStringLiteral("TAKE"));
}

// The picture pages read their scaling from the window: a wrongly set range
// would shift every displayed brightness or zoom value.
void TestMainWindow::valueScalingsAreConfiguredAtCreation()
{
    auto w = makeWindow();
    const auto &c1 = w.window->Conversion1();
    QCOMPARE(QString::fromStdString(c1.PositionDriver(0)), QStringLiteral("-128"));
    QCOMPARE(QString::fromStdString(c1.PositionDriver(255)), QStringLiteral("127"));
    QCOMPARE(c1.PositionAffichage(0), 128);
    const auto &zoom = w.window->Conversion_Zoom();
    QCOMPARE(QString::fromStdString(zoom.PositionDriver(0)), QStringLiteral("100"));
    QCOMPARE(QString::fromStdString(zoom.PositionDriver(200)), QStringLiteral("200"));
    QCOMPARE(zoom.PositionAffichage(150), 100);
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
