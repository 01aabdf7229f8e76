// Input selection and switching in the main window, driven offscreen with the
// driver fed the device's reports: what each source, freeze, black, switch and
// logo action sends (PCHAN first for per-input controls); the red/green/blue
// highlight over main-timer ticks; the enabling of the source panel (unused
// inputs, effects running); the switch-release timer; the "Inputs Settings"
// controls, which write and are refreshed from reports without echo; the input
// format window, the reference display, the not-available panels and the menus.
#include "app_fixture.h"
#include "gestion_slide.h"
#include "input_selection.h"
#include "inputs_settings_page.h"
#include "settings_pages.h"
#include "user_famx_form.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace varnel;
using namespace varnel::app;
using namespace varnel::app::test;

namespace {

using Writes = std::vector<std::string>;

/// A main window with the input format window and a Settings window as its
/// companions, the given model reported, and the recorded writes cleared.
struct Fixture {
    WindowUnderTest w;
    TForm_UserFamx *famx = nullptr;
    QWidget *settings = nullptr;

    explicit Fixture(std::uint32_t dev = 41)
    {
        auto driver = std::make_unique<TVRK_610_d>();
        auto transport = std::make_unique<RecordingTransport>();
        w.tcp = transport.get();
        driver->setTransport(tConnectionType::CON_TCP, std::move(transport));
        driver->setConType(tConnectionType::CON_TCP);
        w.window = std::make_unique<TForm_Main_VarnelOrla>(std::move(driver));
        famx = new TForm_UserFamx(w.window.get());
        settings = new QWidget(w.window.get(), Qt::Window);
        Companions c;
        c.userFamx = famx;
        c.settings = settings;
        w.window->setCompanions(c);
        w.window->initialise();
        w.window->show();
        // The link is up: writes go out.
        w.driver().setForceConn(true);
        w.driver().TimerTick();
        if (dev)
            w.receive("DEV" + std::to_string(dev) + "\r\n");
        w.tcp->writes.clear();
    }
    TForm_Main_VarnelOrla &window() { return *w.window; }
    TInputSelection &inputs() { return w.window->inputSelection(); }
    TInputsSettingsPage &page() { return *w.window->settingsPages().inputs; }
    void receive(const std::string &text) { w.receive(text); }
    Writes takeWrites() { return std::exchange(w.tcp->writes, {}); }
    template <typename T = QWidget>
    T *child(const QString &name)
    {
        auto *c = w.window->findChild<T *>(name);
        if (!c)
            qFatal("no child %s", qPrintable(name));
        return c;
    }
    QPushButton *source(int k)
    {
        return child<QPushButton>(k == 0   ? QStringLiteral("buttonBlack")
                                  : k <= 8 ? QStringLiteral("buttonInput%1").arg(k)
                                           : QStringLiteral("buttonFrame%1").arg(k - 8));
    }
    void click(QAbstractButton *b) { QTest::mouseClick(b, Qt::LeftButton); }
};

QString joined(const Writes &writes)
{
    QStringList l;
    for (const auto &s : writes)
        l << QString::fromStdString(s);
    return l.join(QLatin1Char(' '));
}

/// The colour and weight a source button really shows.
SourceLook::Colour shownColour(QPushButton *b)
{
    const QColor c = b->palette().color(QPalette::ButtonText);
    const QColor text = b->palette().color(QPalette::WindowText);
    for (auto k : {SourceLook::Red, SourceLook::Green, SourceLook::Blue})
        if (c == TInputSelection::colour(k, text))
            return k;
    return SourceLook::WindowText;
}

}  // namespace

Q_DECLARE_METATYPE(SourceLook::Colour)

class TestInputSelection : public QObject {
    Q_OBJECT
private slots:
    void sourceButtonSends_data();
    void sourceButtonSends();
    void highlightFollowsReportsAndTicks_data();
    void highlightFollowsReportsAndTicks();
    void buttonsShowTheirLook();
    void sourceEnabling_data();
    void sourceEnabling();
    void switchReleaseTimer();
    void freezeBlackAndLogoSend_data();
    void freezeBlackAndLogoSend();
    void inputsSettingsWriteChannelFirstAndRefreshWithoutEcho_data();
    void inputsSettingsWriteChannelFirstAndRefreshWithoutEcho();
    void channelCacheAndAllInputs();
    void computerDviOnlyOnInputOne();
    void inputFormatWindow();
    void referenceAndNotAvailablePanels();
    void syncLossAndAutolockMenus();
    void capabilityTable_data();
    void capabilityTable();
    void settingsWindowPresentsInputsPage();
    void modelShapesTheInputControls_data();
    void modelShapesTheInputControls();
};

// --- source buttons --------------------------------------------------------------------

void TestInputSelection::sourceButtonSends_data()
{
    QTest::addColumn<quint32>("dev");
    QTest::addColumn<QString>("state");     // reports before the press
    QTest::addColumn<QString>("switches");  // "M", "P", "MP" or ""
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("expected");

    QTest::newRow("Input 3, no effect") << 41u << "" << "" << 3 << "3cn";
    QTest::newRow("Frame 2") << 41u << "" << "" << 10 << "10cn";
    QTest::newRow("cut on air is no window effect") << 41u << "EF0\r\nTK1\r\n" << "" << 3 << "3cn";
    QTest::newRow("PiP on air, main switch down") << 41u << "EF3\r\nTK1\r\n" << "M" << 3 << "3CN";
    QTest::newRow("PiP on air, preview switch down") << 41u << "EF3\r\nTK1\r\n" << "P" << 3 << "3cn";
    QTest::newRow("title on air, both switches down") << 41u << "EF2\r\nTK1\r\n" << "MP" << 5 << "5CN 5cn";
    QTest::newRow("PiP on air, no switch") << 41u << "EF3\r\nTK1\r\n" << "" << 3 << "";
    QTest::newRow("PiP on air, autotake, no switch") << 41u << "EF3\r\nTK1\r\nTA1\r\n" << "" << 4 << "4cn";
    QTest::newRow("PiP on air, autotake, main switch") << 41u << "EF3\r\nTK1\r\nTA1\r\n" << "M" << 4 << "4CN";
    QTest::newRow("single output, title on air") << 44u << "EF2\r\nTK1\r\n" << "" << 2 << "2cn";
}

void TestInputSelection::sourceButtonSends()
{
    QFETCH(quint32, dev);
    QFETCH(QString, state);
    QFETCH(QString, switches);
    QFETCH(int, source);
    QFETCH(QString, expected);
    Fixture f(dev);
    f.receive(state.toStdString());
    if (switches.contains(QLatin1Char('M')))
        f.click(f.child<QPushButton>(QStringLiteral("buttonSwitchMain")));
    if (switches.contains(QLatin1Char('P')))
        f.click(f.child<QPushButton>(QStringLiteral("buttonSwitchPreview")));
    f.takeWrites();  // the switch buttons send nothing (checked below)
    f.click(f.source(source));
    QCOMPARE(joined(f.takeWrites()), expected);
}

void TestInputSelection::highlightFollowsReportsAndTicks_data()
{
    QTest::addColumn<QString>("reports");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<int>("source");
    QTest::addColumn<bool>("pressed");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<SourceLook::Colour>("colour");
    QTest::addColumn<bool>("glyph");

    const QString settled3 = QStringLiteral("CC3\r\ncc3\r\ncn3\r\n");
    QTest::newRow("same source on both, tick 1: green") << settled3 << 1 << 3 << true << true << SourceLook::Green << true;
    QTest::newRow("same source on both, tick 2: red") << settled3 << 2 << 3 << true << true << SourceLook::Red << true;
    const QString split = QStringLiteral("CC1\r\ncc4\r\ncn4\r\n");
    QTest::newRow("main source red") << split << 1 << 1 << true << true << SourceLook::Red << true;
    QTest::newRow("preview source bold green") << split << 1 << 4 << false << true << SourceLook::Green << true;
    QTest::newRow("preview glyph blinks") << split << 2 << 4 << false << true << SourceLook::Green << false;
    QTest::newRow("other source plain") << split << 1 << 2 << false << false << SourceLook::WindowText << false;
    const QString pending = QStringLiteral("CC1\r\ncc4\r\ncn6\r\n");
    QTest::newRow("pending request blue") << pending << 1 << 6 << false << false << SourceLook::Blue << false;
    QTest::newRow("pending request blinks") << pending << 2 << 6 << false << false << SourceLook::WindowText << false;
    QTest::newRow("old preview stays green, not bold") << pending << 1 << 4 << false << false << SourceLook::Green << true;
    QTest::newRow("main unchanged while pending") << pending << 3 << 1 << true << true << SourceLook::Red << true;
    QTest::newRow("frame on main") << QStringLiteral("CC11\r\ncc2\r\ncn2\r\n") << 1 << 11 << true << true
                                   << SourceLook::Red << false;
    QTest::newRow("frame pending") << QStringLiteral("CC1\r\ncc2\r\ncn12\r\n") << 1 << 12 << false << false
                                   << SourceLook::Blue << false;
    QTest::newRow("request reaches preview") << QStringLiteral("CC1\r\ncc4\r\ncn6\r\ncc6\r\n") << 1 << 6 << false
                                             << true << SourceLook::Green << true;
    QTest::newRow("after it, old preview plain") << QStringLiteral("CC1\r\ncc4\r\ncn6\r\ncc6\r\n") << 1 << 4 << false
                                                 << false << SourceLook::WindowText << false;
    QTest::newRow("take swaps: new main red") << QStringLiteral("CC1\r\ncc4\r\ncn4\r\nCC4\r\ncc1\r\ncn1\r\n") << 1 << 4
                                              << true << true << SourceLook::Red << true;
    QTest::newRow("take swaps: old main green") << QStringLiteral("CC1\r\ncc4\r\ncn4\r\nCC4\r\ncc1\r\ncn1\r\n") << 1
                                                << 1 << false << true << SourceLook::Green << true;
}

void TestInputSelection::highlightFollowsReportsAndTicks()
{
    QFETCH(QString, reports);
    QFETCH(int, ticks);
    QFETCH(int, source);
    QFETCH(bool, pressed);
    QFETCH(bool, bold);
    QFETCH(SourceLook::Colour, colour);
    QFETCH(bool, glyph);
    Fixture f;
    f.receive(reports.toStdString());
    for (int i = 0; i < ticks; ++i)
        f.window().mainTimerTick();
    const SourceLook look = f.inputs().shownLook(source);
    QCOMPARE(look.pressed, pressed);
    QCOMPARE(look.bold, bold);
    QCOMPARE(look.colour, colour);
    QCOMPARE(look.glyphSelected, glyph);
    // The button itself shows it.
    QPushButton *b = f.source(source);
    QCOMPARE(b->isChecked(), pressed);
    QCOMPARE(b->font().bold(), bold);
    QCOMPARE(shownColour(b), colour);
    QVERIFY(f.takeWrites().empty());
}

void TestInputSelection::buttonsShowTheirLook()
{
    // The single-output model shows the background source only during an effect,
    // and out-of-range sources highlight nothing (no button 0, no button 13).
    Fixture f(44);
    f.receive("CC1\r\ncc4\r\ncn4\r\n");
    f.window().mainTimerTick();
    QCOMPARE(f.inputs().shownLook(4).colour, SourceLook::WindowText);
    f.receive("TO1\r\n");
    f.window().mainTimerTick();
    QCOMPARE(f.inputs().shownLook(4).colour, SourceLook::Green);
    // Screen readers hear what the colours show.
    QCOMPARE(f.source(1)->accessibleDescription(), QStringLiteral("on main"));
    QCOMPARE(f.source(4)->accessibleDescription(), QStringLiteral("on preview"));
    f.receive("cn6\r\n");
    QCOMPARE(f.source(6)->accessibleDescription(), QStringLiteral("requested for preview"));
    QCOMPARE(f.source(4)->accessibleDescription(), QStringLiteral("on preview"));
    QCOMPARE(f.source(1)->toolTip(), QString());  // the main switch's hint, not the source's
    QCOMPARE(f.child<QPushButton>(QStringLiteral("buttonSwitchMain"))->toolTip(), QStringLiteral("Input 1"));

    HighlightState s;
    s.ichm = 0;
    s.ichp = 13;
    s.ichnp = 13;
    for (int k : {0, 13})
        QCOMPARE(sourceLook(k, s), SourceLook{});
    for (int k = 1; k <= 12; ++k)
        QCOMPARE(sourceLook(k, s), SourceLook{});
}

// --- enabling --------------------------------------------------------------------------

void TestInputSelection::sourceEnabling_data()
{
    QTest::addColumn<QString>("reports");
    QTest::addColumn<QString>("enabled");  // one character per source 1..12, then "Black"

    QTest::newRow("start") << "" << "1111111111111";
    QTest::newRow("PCHAN 0, PENA 0: every source off") << "PC0\r\nPE0\r\n" << "0000000000001";
    QTest::newRow("then input 3 used") << "PC0\r\nPE0\r\nPC3\r\nPE1\r\n" << "0010000000001";
    QTest::newRow("input 5 unused") << "PC5\r\nPE0\r\n" << "1111011111111";
    QTest::newRow("frame channel touches no button") << "PC0\r\nPE1\r\n" << "1111111111111";
    QTest::newRow("cut running locks the panel") << "EF0\r\nTO1\r\n" << "0000000000000";
    QTest::newRow("fade finished unlocks") << "EF1\r\nTO1\r\nTO0\r\n" << "1111111111111";
    QTest::newRow("PiP running keeps it") << "EF3\r\nTO1\r\n" << "1111111111111";
    QTest::newRow("title running keeps it") << "EF2\r\nTO1\r\n" << "1111111111111";
}

void TestInputSelection::sourceEnabling()
{
    QFETCH(QString, reports);
    QFETCH(QString, enabled);
    Fixture f;
    f.receive(reports.toStdString());
    f.window().mainTimerTick();
    QString shown;
    for (int k = 1; k <= 12; ++k)
        shown += f.source(k)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    shown += f.source(0)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(shown, enabled);
    if (reports.startsWith(QLatin1String("PC0\r\nPE0")))
        for (int k = 1; k <= 8; ++k)
            QVERIFY(!f.page().used(k)->isChecked() || k == 3);
    QVERIFY(f.takeWrites().empty());
}

// --- switch buttons --------------------------------------------------------------------

void TestInputSelection::switchReleaseTimer()
{
    Fixture f;
    auto *main = f.child<QPushButton>(QStringLiteral("buttonSwitchMain"));
    auto *preview = f.child<QPushButton>(QStringLiteral("buttonSwitchPreview"));
    QTimer *timer = f.inputs().switchTimer();
    QCOMPARE(timer->interval(), 5000);
    QVERIFY(timer->isSingleShot());

    // Disabled until a window effect is on air.
    QVERIFY(!main->isEnabled() && !preview->isEnabled());
    f.receive("EF0\r\nTK1\r\n");
    QVERIFY(!main->isEnabled());
    f.receive("EF3\r\nTK1\r\n");
    QVERIFY(main->isEnabled() && preview->isEnabled());

    f.click(main);
    QVERIFY(main->isChecked());
    QVERIFY(timer->isActive());
    QVERIFY(f.takeWrites().empty());

    // A source chosen through the switch restarts the timer.
    timer->stop();
    f.click(f.source(6));
    QCOMPARE(joined(f.takeWrites()), QStringLiteral("6CN"));
    QVERIFY(timer->isActive());

    // The timer fires: both come up, plain.
    f.click(preview);
    QVERIFY(preview->isChecked());
    f.window().mainTimerTick();
    f.window().mainTimerTick();  // one-second phase: a pressed switch blinks
    f.inputs().releaseSwitches();
    QVERIFY(!main->isChecked() && !preview->isChecked());
    QVERIFY(!timer->isActive());
    QVERIFY(!main->font().bold());
    f.click(f.source(2));
    QCOMPARE(joined(f.takeWrites()), QString());  // neither switch down, no autotake

    // TAKE back to 0: disabled and released.
    f.click(main);
    f.receive("TK0\r\n");
    QVERIFY(!main->isEnabled() && !main->isChecked());
}

// --- freeze, black, logo ---------------------------------------------------------------

void TestInputSelection::freezeBlackAndLogoSend_data()
{
    QTest::addColumn<quint32>("dev");
    QTest::addColumn<QString>("reports");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("expected");

    QTest::newRow("freeze main") << 41u << "" << "buttonFreezeMain" << "1FZ";
    QTest::newRow("unfreeze main") << 41u << "FZ1\r\n" << "buttonFreezeMain" << "0FZ";
    QTest::newRow("single output freezes both") << 44u << "" << "buttonFreezeMain" << "1FZ 1fz";
    QTest::newRow("freeze preview") << 41u << "fz0\r\n" << "buttonFreezePreview" << "1fz";
    QTest::newRow("black") << 41u << "" << "buttonBlack" << "1OB";
    QTest::newRow("black off") << 41u << "OB1\r\n" << "buttonBlack" << "0OB";
    QTest::newRow("logo of input 2 on") << 41u << "PC2\r\nLD0\r\n" << "buttonLogo2" << "2PC 1LD";
    QTest::newRow("logo of input 2 off") << 41u << "PC2\r\nLD1\r\nPC5\r\n" << "buttonLogo2" << "2PC 0LD";
    QTest::newRow("logo after all inputs on") << 41u << "PC0\r\nLD1\r\n" << "buttonLogo7" << "7PC 0LD";
}

void TestInputSelection::freezeBlackAndLogoSend()
{
    QFETCH(quint32, dev);
    QFETCH(QString, reports);
    QFETCH(QString, button);
    QFETCH(QString, expected);
    Fixture f(dev);
    f.receive(reports.toStdString());
    f.takeWrites();
    f.click(f.child<QPushButton>(button));
    QCOMPARE(joined(f.takeWrites()), expected);
}

// --- Inputs Settings page --------------------------------------------------------------

void TestInputSelection::inputsSettingsWriteChannelFirstAndRefreshWithoutEcho_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("before");    // reports before the action
    QTest::addColumn<QString>("expected");  // what the action sends
    QTest::addColumn<QString>("answer");    // the device's answer
    QTest::addColumn<int>("shown");         // check state or list position after the answer

    QTest::newRow("Used 4") << "CheckBox_Used4" << "PC4\r\nPE0\r\n" << "4PC 1PE" << "PC4\r\nPE1\r\n" << 1;
    QTest::newRow("VCR 2") << "CheckBox_VCR2" << "PC2\r\nPP1\r\n" << "2PC 0PP" << "PC2\r\nPP0\r\n" << 0;
    QTest::newRow("Synchronized 8") << "CheckBox_Synchronized8" << "" << "8PC 1PV" << "PC8\r\nPV1\r\n" << 1;
    QTest::newRow("Signal Type 3") << "Combo_SignalType3" << "PC3\r\nPR4\r\n" << "3PC 5PR" << "PC3\r\nPR5\r\n" << 5;
    QTest::newRow("Standard 6") << "Combo_Standard6" << "PC6\r\nPI1\r\n" << "6PC 2PI" << "PC6\r\nPI2\r\n" << 2;
    QTest::newRow("H. sync load 1: 75 Ohms") << "Combo_SyncLoad1" << "PC1\r\nPL0\r\n" << "1PC 1PL"
                                             << "PC1\r\nPL1\r\n" << 1;
    QTest::newRow("refused: device keeps Hi-Z") << "Combo_SyncLoad1" << "PC1\r\nPL0\r\n" << "1PC 1PL"
                                                << "PC1\r\nPL0\r\n" << 0;
}

void TestInputSelection::inputsSettingsWriteChannelFirstAndRefreshWithoutEcho()
{
    QFETCH(QString, control);
    QFETCH(QString, before);
    QFETCH(QString, expected);
    QFETCH(QString, answer);
    QFETCH(int, shown);
    Fixture f;
    f.receive(before.toStdString());
    f.takeWrites();
    QWidget *c = f.child(control);
    const auto state = [c]() -> int {
        if (auto *box = qobject_cast<QCheckBox *>(c))
            return box->isChecked() ? 1 : 0;
        return qobject_cast<picture::TSmallCombo *>(c)->ItemIndex();
    };
    const int beforeState = state();
    if (auto *box = qobject_cast<QCheckBox *>(c))
        f.click(box);
    else
        QTest::keyClick(c, Qt::Key_Down);
    QCOMPARE(joined(f.takeWrites()), expected);
    QCOMPARE(state(), beforeState);  // shows the device's value until it answers
    f.receive(answer.toStdString());
    QCOMPARE(state(), shown);
    QVERIFY(f.takeWrites().empty());  // a refresh never writes back
}

void TestInputSelection::channelCacheAndAllInputs()
{
    Fixture f;
    // Per channel, then all inputs at once.
    f.receive("PC2\r\nPV1\r\nPC5\r\nPR9\r\n");
    QCOMPARE(f.inputs().cache().value(Reg::PVISC, 2), 1u);
    QCOMPARE(f.inputs().cache().value(Reg::PVISC, 3), 0u);
    QVERIFY(f.page().synchronized(2)->isChecked());
    QVERIFY(!f.page().synchronized(3)->isChecked());
    QCOMPARE(f.page().signalType(5)->ItemIndex(), 9);
    f.receive("PC0\r\nPV0\r\nPR1\r\n");
    for (int k = 0; k <= 12; ++k) {
        QCOMPARE(f.inputs().cache().value(Reg::PVISC, k), 0u);
        QCOMPARE(f.inputs().cache().value(Reg::PRGBI, k), 1u);
    }
    for (int k = 1; k <= 8; ++k) {
        QVERIFY(!f.page().synchronized(k)->isChecked());
        QCOMPARE(f.page().signalType(k)->ItemIndex(), 1);
    }
    // Colours: used input white, unused silver; the standard list greys for
    // signal types without a standard.
    f.receive("PC0\r\nPE1\r\nPC7\r\nPE0\r\nPC6\r\nPR6\r\n");
    QCOMPARE(f.page().signalType(6)->editor()->palette().color(QPalette::Base), TInputsSettingsPage::usedBackground());
    QCOMPARE(f.page().signalType(7)->editor()->palette().color(QPalette::Base),
             TInputsSettingsPage::unusedBackground());
    QCOMPARE(f.page().standard(6)->editor()->palette().color(QPalette::Base),
             TInputsSettingsPage::inactiveCaptionText());
    QCOMPARE(f.page().standard(5)->editor()->palette().color(QPalette::Base), TInputsSettingsPage::usedBackground());
    QCOMPARE(f.page().syncLoadCaption(7)->palette().color(QPalette::WindowText), QColor(Qt::gray));
    QCOMPARE(f.page().syncLoadCaption(6)->palette().color(QPalette::WindowText), QColor(Qt::black));

    // The cache ignores channels outside 0..12 and uncached registers.
    TChannelCache cache;
    QVERIFY(!cache.store(Reg::PENA, 13, 1));
    QVERIFY(!cache.store(Reg::BRGTM, 1, 1));
    QVERIFY(cache.store(Reg::PENA, 12, 1));
    QCOMPARE(cache.value(Reg::PENA, 12), 1u);
    QCOMPARE(cache.value(Reg::PENA, 11), 0u);
    QVERIFY(f.takeWrites().empty());
}

void TestInputSelection::computerDviOnlyOnInputOne()
{
    Fixture f;
    f.receive("PC0\r\nPR7\r\n");
    QVERIFY(f.page().signalType(1)->isItemEnabled(kSignalTypeDvi));
    for (int k = 2; k <= 8; ++k)
        QVERIFY(!f.page().signalType(k)->isItemEnabled(kSignalTypeDvi));
    // Stepping down from "Computer H&V/C" skips "Computer DVI" on input 2.
    QTest::keyClick(f.page().signalType(2), Qt::Key_Down);
    QCOMPARE(joined(f.takeWrites()), QStringLiteral("2PC 9PR"));
    QTest::keyClick(f.page().signalType(1), Qt::Key_Down);
    QCOMPARE(joined(f.takeWrites()), QStringLiteral("1PC 8PR"));

    // A model without DVI offers it nowhere; four inputs show four rows.
    Fixture tavrin(50);
    QVERIFY(!tavrin.page().signalType(1)->isItemVisible(kSignalTypeDvi));
    QVERIFY(tavrin.page().used(4)->isVisibleTo(&tavrin.page()));
    QVERIFY(!tavrin.page().used(5)->isVisibleTo(&tavrin.page()));
    QVERIFY(!tavrin.source(5)->isVisibleTo(&tavrin.window()));
}

// --- input format window, reference, panels, menus ---------------------------------------

void TestInputSelection::inputFormatWindow()
{
    Fixture f;
    QCOMPARE(f.famx->windowTitle(), QStringLiteral("Input Format"));
    picture::TSmallCombo *main = f.famx->list(false);
    QCOMPARE(main->itemText(0), QStringLiteral("AutoSelect       Selection automatique"));
    QCOMPARE(main->itemText(15), QStringLiteral("1440x900"));
    f.receive("FM5\r\n");
    for (int n = 0; n < 16; ++n)
        QCOMPARE(main->isItemEnabled(n), n == 0 || n == 2);
    f.receive("UM2\r\nUP11\r\n");
    QCOMPARE(main->ItemIndex(), 2);
    QCOMPARE(f.famx->list(true)->ItemIndex(), 11);
    QVERIFY(f.takeWrites().empty());
    QTest::keyClick(main, Qt::Key_Up);
    QCOMPARE(joined(f.takeWrites()), QStringLiteral("0UM"));
    // The menu item opens it; a single-output model has no preview list.
    f.window().findChild<QAction *>(QStringLiteral("actionInputFormat"))->trigger();
    QVERIFY(f.famx->isVisible());
    f.receive("DEV44\r\n");
    QVERIFY(!f.famx->list(true)->isVisibleTo(f.famx));
    f.receive("DEV41\r\n");
    QVERIFY(f.famx->list(true)->isVisibleTo(f.famx));
}

void TestInputSelection::referenceAndNotAvailablePanels()
{
    Fixture f;
    const SettingsPages &pages = f.window().settingsPages();
    f.receive("XR2\r\nXA0\r\n");
    QCOMPARE(pages.reference->text()->text(), QStringLiteral("Internal Rate"));
    QCOMPARE(pages.reference->warning()->text(), QStringLiteral("No signal or incompatible signal on Input 2"));
    QCOMPARE(pages.reference->list()->ItemIndex(), 2);
    const bool before = pages.reference->warning()->isHidden();
    f.window().mainTimerTick();
    QCOMPARE(pages.reference->warning()->isHidden(), !before);
    f.window().mainTimerTick();
    QCOMPARE(pages.reference->warning()->isHidden(), before);
    f.receive("XA2\r\n");
    QVERIFY(pages.reference->warning()->isHidden());
    QVERIFY(!pages.reference->list()->isItemVisible(kReferenceError));

    // Not-available panels: seamless reference, then the audio-only signal type wins.
    QLabel *mainPanel = pages.notAvailable[0];
    QLabel *previewPanel = pages.notAvailable[1];
    f.receive("CC1\r\ncc8\r\nXA9\r\n");
    QCOMPARE(mainPanel->text(), QStringLiteral("Not available for the referenced input (SEAMLESS mode)"));
    QVERIFY(!mainPanel->isHidden());
    QVERIFY(previewPanel->isHidden());
    f.receive("XA10\r\n");
    QVERIFY(mainPanel->isHidden());
    QVERIFY(!previewPanel->isHidden());
    f.receive("PC1\r\nPR10\r\n");
    QCOMPARE(mainPanel->text(), QStringLiteral("     Not available for the audio input (SIGNAL TYPE)"));
    f.receive("PC1\r\nPR0\r\nXA0\r\n");
    QVERIFY(mainPanel->isHidden() && previewPanel->isHidden());
    QVERIFY(f.takeWrites().empty());
}

void TestInputSelection::syncLossAndAutolockMenus()
{
    Fixture f;
    auto item = [&f](const QString &name) { return f.window().findChild<QAction *>(name); };
    f.receive("YL5\r\n");
    QVERIFY(item(QStringLiteral("actionSyncLoss5"))->isChecked());
    QVERIFY(!item(QStringLiteral("actionSyncLoss0"))->isChecked());
    QCOMPARE(item(QStringLiteral("actionSyncLoss10"))->text(), QStringLiteral("Frame 2"));
    item(QStringLiteral("actionSyncLoss10"))->trigger();
    QCOMPARE(joined(f.takeWrites()), QStringLiteral("10YL"));
    QVERIFY(item(QStringLiteral("actionSyncLoss5"))->isChecked());  // until the device answers
    f.receive("YL10\r\n");
    QVERIFY(item(QStringLiteral("actionSyncLoss10"))->isChecked());

    f.receive("YI1\r\n");
    QVERIFY(item(QStringLiteral("actionAutolockOff"))->isChecked());
    item(QStringLiteral("actionAutolockOn"))->trigger();
    QCOMPARE(joined(f.takeWrites()), QStringLiteral("0YI"));
    f.receive("YI0\r\n");
    QVERIFY(item(QStringLiteral("actionAutolockOn"))->isChecked());

    // Models hide the items of sources they lack.
    f.receive("DEV50\r\n");
    QVERIFY(!item(QStringLiteral("actionSyncLoss5"))->isVisible());
    QVERIFY(!item(QStringLiteral("actionSyncLoss9"))->isVisible());
    QVERIFY(item(QStringLiteral("actionSyncLoss4"))->isVisible());
}

void TestInputSelection::capabilityTable_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<quint32>("format");
    QTest::addColumn<QString>("shown");  // one character per adjustment, table order
    QTest::newRow("composite") << 0 << 0u << "11000011100011";
    QTest::newRow("composite NTSC") << 0 << 2u << "11010011100011";
    QTest::newRow("Y/C NTSC 37") << 1 << 37u << "11010011100011";
    QTest::newRow("RGB analogue") << 5 << 0u << "11000011100001";
    QTest::newRow("computer S.O.G.") << 6 << 0u << "01101100011101";
    QTest::newRow("DVI") << 8 << 0u << "01100000011101";
    QTest::newRow("HDTV YUV") << 9 << 0u << "01000111100001";
    QTest::newRow("audio only") << 10 << 2u << "00010000000000";
    QTest::newRow("unknown type") << 11 << 0u << "00000000000000";
}

void TestInputSelection::capabilityTable()
{
    QFETCH(int, type);
    QFETCH(quint32, format);
    QFETCH(QString, shown);
    QString got;
    for (int a = 0; a < kAdjustmentCount; ++a)
        got += adjustmentShown(type, format, Adjustment(a)) ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(got, shown);
    // Through the window: the main page follows the signal type of the channel ICHNM asks for.
    if (type <= 10) {
        Fixture f;
        f.receive("PC4\r\nPR" + std::to_string(type) + "\r\nCN4\r\nIF" + std::to_string(format) + "\r\n");
        for (int a = 0; a < kAdjustmentCount; ++a)
            QCOMPARE(f.inputs().adjustmentVisible(false, Adjustment(a)), shown.at(a) == QLatin1Char('1'));
    }
}

void TestInputSelection::settingsWindowPresentsInputsPage()
{
    Fixture f;
    QCOMPARE(f.settings->size(), QSize(894, 397));
    auto *slide = f.settings->findChild<picture::TGestionSlide *>();
    QVERIFY(slide);
    QCOMPARE(slide->pageCount(), 6);
    QCOMPARE(slide->ItemIndex(), 0);
    QCOMPARE(slide->button(0)->text(), QStringLiteral("Inputs Settings"));
    QVERIFY(f.page().isVisibleTo(f.settings) || f.page().window() == f.settings);
}

void TestInputSelection::modelShapesTheInputControls_data()
{
    QTest::addColumn<QList<quint32>>("devs");  // applied in turn; the last one counts
    QTest::addColumn<int>("inputs");
    QTest::addColumn<bool>("logos");
    QTest::addColumn<int>("frames");
    QTest::addColumn<bool>("seamless1");
    QTest::addColumn<bool>("preview");
    QTest::addColumn<bool>("dvi");

    QTest::newRow("VRK610") << QList<quint32>{41} << 8 << true << 4 << true << true << true;
    QTest::newRow("TBA301") << QList<quint32>{50} << 4 << false << 0 << false << false << false;
    QTest::newRow("VKA602") << QList<quint32>{44} << 8 << true << 4 << true << false << true;
    QTest::newRow("TBE310") << QList<quint32>{89} << 4 << true << 4 << true << true << true;
    QTest::newRow("VRA610") << QList<quint32>{43} << 8 << false << 0 << true << true << true;
    QTest::newRow("TBA301 then VRK610") << QList<quint32>{50, 0, 41} << 8 << true << 4 << true << true << true;
}

void TestInputSelection::modelShapesTheInputControls()
{
    QFETCH(QList<quint32>, devs);
    QFETCH(int, inputs);
    QFETCH(bool, logos);
    QFETCH(int, frames);
    QFETCH(bool, seamless1);
    QFETCH(bool, preview);
    QFETCH(bool, dvi);
    Fixture f(0);
    for (quint32 dev : devs)
        f.receive("DEV" + std::to_string(dev) + "\r\n");
    auto shown = [&f](QWidget *w) { return w->isVisibleTo(&f.window()); };
    const TReferenceDisplay &reference = *f.window().settingsPages().reference;
    for (int k = 1; k <= 8; ++k) {
        QCOMPARE(shown(f.source(k)), k <= inputs);
        QCOMPARE(shown(f.child(QStringLiteral("buttonLogo%1").arg(k))), k <= inputs && logos);
        QCOMPARE(f.page().used(k)->isVisibleTo(&f.page()), k <= inputs);
        QCOMPARE(reference.list()->isItemVisible(k), k <= inputs);
        QCOMPARE(f.window().findChild<QAction *>(QStringLiteral("actionSyncLoss%1").arg(k))->isVisible(), k <= inputs);
    }
    for (int fr = 1; fr <= 4; ++fr) {
        QCOMPARE(shown(f.source(8 + fr)), fr <= frames);
        QCOMPARE(f.window().findChild<QAction *>(QStringLiteral("actionSyncLoss%1").arg(8 + fr))->isVisible(),
                 fr <= frames);
    }
    QVERIFY(shown(f.source(0)));
    QCOMPARE(reference.list()->isItemVisible(9), seamless1);
    QCOMPARE(reference.list()->isItemVisible(10), inputs == 8);
    QCOMPARE(f.famx->list(true)->isVisibleTo(f.famx), preview);
    QCOMPARE(shown(f.child(QStringLiteral("buttonFreezePreview"))), preview);
    QCOMPARE(f.page().signalType(1)->isItemVisible(kSignalTypeDvi), dvi);
}

QTEST_MAIN(TestInputSelection)
#include "tst_input_selection.moc"
