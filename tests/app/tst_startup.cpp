// Program start and stop: the 21 windows in their order with their captions, the
// splash steps, the serial port list reaching the connection dialog, a settings
// file asking for a serial link that is not there, and the shutdown (settings
// written, link closed, an unwritable file reported without blocking the close).
#include "app_fixture.h"
#include "con_type_cfg_form.h"
#include "signal_close.h"
#include "startup.h"

#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace varnel;
using namespace varnel::app;

namespace {

struct Started {
    QStringList told;
    QStringList asked;
    bool answer = true;
    std::unique_ptr<AppStart> start;

    Started(const QStringList &ports, const QString &settingsPath)
    {
        StartupOptions o;
        o.makeDriver = [] { return DriverBundle{std::make_unique<TVRK_610_d>(), nullptr}; };
        o.discoverSerialPorts = [ports] { return ports; };
        o.settingsPath = settingsPath;
        o.tell = [this](const QString &t) { told << t; };
        o.ask = [this](const QString &q) {
            asked << q;
            return answer;
        };
        start = std::make_unique<AppStart>(std::move(o));
        start->run();
    }
    TForm_Main_VarnelOrla &main() { return *start->mainWindow(); }
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

}  // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void windowsCreatedOnceInOrder();
    void everyControlOfEveryWindowIsNamed();
    void serialPortsReachTheDialog_data();
    void serialPortsReachTheDialog();
    void settingsAskingForAMissingSerialPort();
    void shutdownWritesSettingsAndClosesTheLink();
    void unwritableSettingsFileIsReportedAndCloseSucceeds();
    void terminationSignalClosesLikeExit();
    void invalidFileIsWrittenOnlyWhenConfirmed_data();
    void invalidFileIsWrittenOnlyWhenConfirmed();
};

void TestStartup::windowsCreatedOnceInOrder()
{
    QTemporaryDir dir;
    Started s({}, dir.filePath(QStringLiteral("VarnelSerie.ini")));
    QCOMPARE(s.start->splashSteps(), TForm_PageAccueil::kSteps);
    QStringList expected;
    for (const auto &w : kStartupWindows)
        expected << QString::fromLatin1(w.className);
    QCOMPARE(s.start->creationOrder(), expected);
    QCOMPARE(expected.size(), 21);
    QCOMPARE(QCoreApplication::applicationName(), QStringLiteral("VarnelSerie"));
    for (const auto &w : kStartupWindows) {
        QWidget *window = s.start->window(QString::fromLatin1(w.className));
        QVERIFY2(window, w.className);
        QVERIFY(window->isWindow());
        QCOMPARE(window->objectName(), QString::fromLatin1(w.className));
        if (window == s.start->mainWindow())
            continue;
        QCOMPARE(window->windowTitle(), QString::fromUtf8(w.caption));
        // Lives as long as the main window.
        QCOMPARE(window->parentWidget(), s.start->mainWindow());
        QVERIFY(window->isHidden());
    }
    QCOMPARE(s.main().windowTitle(), QStringLiteral("Rezize Vurad"));
    QCOMPARE(s.main().findChild<QLabel *>(QStringLiteral("panelConnection"))->text(),
             QStringLiteral("Device not connected"));
    QVERIFY(s.start->window(QStringLiteral("TConTypeCfgForm"))->findChild<QRadioButton *>(QStringLiteral("radioAmx"))->isHidden());
    QVERIFY(s.told.isEmpty());  // no settings file yet: nothing to warn about
}

void TestStartup::everyControlOfEveryWindowIsNamed()
{
    QTemporaryDir dir;
    Started s({QStringLiteral("ttyS0")}, dir.filePath(QStringLiteral("VarnelSerie.ini")));
    TForm_PageAccueil splash;
    QList<QWidget *> windows{&splash};
    for (const auto &w : kStartupWindows)
        windows << s.start->window(QString::fromLatin1(w.className));
    int checked = 0;
    for (QWidget *window : windows) {
        for (QWidget *c : window->findChildren<QWidget *>()) {
            // Qt's own helpers (menu internals, combo popups) are not ours to name.
            if (c->objectName().startsWith(QLatin1String("qt_")) || c->inherits("QMenu") ||
                c->parentWidget()->inherits("QComboBox"))
                continue;
            ++checked;
            QVERIFY2(!c->objectName().isEmpty(),
                     qPrintable(window->objectName() + QStringLiteral(": ") + QLatin1String(c->metaObject()->className())));
        }
    }
    QVERIFY(checked > 100);
}

void TestStartup::serialPortsReachTheDialog_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::newRow("none") << QStringList{};
    QTest::newRow("two") << QStringList{QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")};
}

void TestStartup::serialPortsReachTheDialog()
{
    QFETCH(QStringList, ports);
    QTemporaryDir dir;
    Started s(ports, dir.filePath(QStringLiteral("VarnelSerie.ini")));
    auto *dlg = qobject_cast<TConTypeCfgForm *>(s.start->window(QStringLiteral("TConTypeCfgForm")));
    QCOMPARE(dlg->ports(), ports);
    QCOMPARE(s.main().serialPorts(), ports);
    QCOMPARE(dlg->findChild<QRadioButton *>(QStringLiteral("radioRs232"))->isEnabled(), !ports.isEmpty());
}

void TestStartup::settingsAskingForAMissingSerialPort()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VarnelSerie.ini"));
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("VERSION_INI_FILE=V0004\r\nConType=CON_RS232\r\nPort=ttyUSB0\r\n");
    }
    Started s({}, path);
    QCOMPARE(s.main().VRK_610_d1().ConType(), tConnectionType::CON_NONE);
    QCOMPARE(s.main().findChild<QLabel *>(QStringLiteral("panelLink"))->text(), QStringLiteral("Communication : NONE"));
}

void TestStartup::shutdownWritesSettingsAndClosesTheLink()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VarnelSerie.ini"));
    Started s({}, path);
    s.main().VRK_610_d1().setIpRemoteAddress("127.0.0.1");
    s.main().VRK_610_d1().setConType(tConnectionType::CON_TCP);
    QSignalSpy closed(&s.main(), &TForm_Main_VarnelOrla::closed);
    s.main().show();
    QVERIFY(s.main().close());
    QCOMPARE(closed.size(), 1);
    QCOMPARE(s.main().VRK_610_d1().ConType(), tConnectionType::CON_NONE);
    const QByteArray text = readAll(path);
    // The link in force when the window closed, sealed by its checksum.
    QVERIFY(text.contains("ConType=CON_TCP"));
    QVERIFY(text.contains("IpRemoteAddress=127.0.0.1"));
    QVERIFY(text.contains("CheckSum="));
    QVERIFY(s.told.isEmpty());
    QVERIFY(s.asked.isEmpty());
}

void TestStartup::unwritableSettingsFileIsReportedAndCloseSucceeds()
{
    QTemporaryDir dir;
    // A plain file where the folder should be: no file can be written below it.
    const QString notAFolder = dir.filePath(QStringLiteral("not-a-folder"));
    {
        QFile f(notAFolder);
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    Started s({}, notAFolder + QStringLiteral("/VarnelSerie.ini"));
    QSignalSpy closed(&s.main(), &TForm_Main_VarnelOrla::closed);
    s.main().show();
    QVERIFY(s.main().close());
    QCOMPARE(closed.size(), 1);
    QCOMPARE(s.told.size(), 1);
}

void TestStartup::terminationSignalClosesLikeExit()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VarnelSerie.ini"));
    Started s({}, path);
    closeOnTerminationSignals(&s.main());
    QSignalSpy closed(&s.main(), &TForm_Main_VarnelOrla::closed);
    s.main().show();
    std::raise(SIGTERM);
    QTRY_COMPARE(closed.size(), 1);
    QVERIFY(s.main().isHidden());
    QVERIFY(readAll(path).contains("CheckSum="));
}

void TestStartup::invalidFileIsWrittenOnlyWhenConfirmed_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("yes") << true;
    QTest::newRow("no") << false;
}

void TestStartup::invalidFileIsWrittenOnlyWhenConfirmed()
{
    QFETCH(bool, answer);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VarnelSerie.ini"));
    const QByteArray tampered = "VERSION_INI_FILE=V0004\r\nIpRemotePort=10600\r\nCheckSum=12\r\n";
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(tampered);
    }
    Started s({}, path);
    s.answer = answer;
    QCOMPARE(s.told, QStringList{QStringLiteral("Invalid ini file")});
    s.main().show();
    QVERIFY(s.main().close());
    QCOMPARE(s.asked, QStringList{QStringLiteral("ini File is not valide, do you want to save it?")});
    QCOMPARE(readAll(path) == tampered, !answer);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
