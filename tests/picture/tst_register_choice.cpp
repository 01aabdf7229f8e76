// Check boxes, toggle buttons and compact combos bound to registers: the
// operator's action sends (channel selection first where asked), the control shows
// only what the device reports, and a report never runs a send handler hung on
// the control's operator signals (no ping-pong with the device).
#include "picture_fixture.h"
#include "register_choice.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace varnel;
using namespace varnel::picture;
using namespace varnel::picture::test;

class TestRegisterChoice : public QObject {
    Q_OBJECT

private slots:
    void checkBoxFollowsReports_data()
    {
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<QString>("report");
        QTest::addColumn<bool>("checked");
        QTest::newRow("1 checks") << false << "YI1" << true;
        QTest::newRow("0 clears") << false << "YI0" << false;
        QTest::newRow("inverted: 0 checks") << true << "YI0" << true;
        QTest::newRow("inverted: 1 clears") << true << "YI1" << false;
    }
    void checkBoxFollowsReports()
    {
        QFETCH(bool, inverted);
        QFETCH(QString, report);
        QFETCH(bool, checked);
        ConnectedDriver dev;
        QCheckBox box(QStringLiteral("On"));
        box.setChecked(!checked);
        TRegisterToggle toggle(dev.driver, Reg::EIPSIGP, &box);
        toggle.inverted = inverted;
        toggle.attach();
        // A send handler as a careless window would hang it: on every toggle.
        QObject::connect(&box, &QAbstractButton::toggled, &box,
                         [&](bool on) { dev.driver.WriteVar(Reg::EIPSIGP, on ? 1u : 0u); });
        dev.report(report.toStdString());
        QCOMPARE(box.isChecked(), checked);
        QVERIFY(dev.sent().isEmpty());
    }

    void clickSendsAndWaitsForTheReport()
    {
        ConnectedDriver dev;
        QCheckBox box(QStringLiteral("Used"));
        box.setObjectName("CheckBox_Used_3");
        TRegisterToggle toggle(dev.driver, Reg::PENA, &box);
        toggle.beforeWrite = [](TVRK_610_d &d) { d.setPCHAN(3); };
        toggle.attach();
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(8, box.height() / 2));
        QCOMPARE(dev.sent(), (QStringList{"3PC", "1PE"}));
        QVERIFY(!box.isChecked());  // not yet reported
        QSignalSpy toggled(&box, &QAbstractButton::toggled);
        dev.report("PC3");
        dev.report("PE1");
        QVERIFY(box.isChecked());
        QVERIFY(toggled.isEmpty());
        QCOMPARE(dev.sent().size(), 2);
        QTest::keyClick(&box, Qt::Key_Space);
        QCOMPARE(dev.sent().mid(2), (QStringList{"3PC", "0PE"}));
    }

    void toggleButtonShowsTheChannelCache()
    {
        ConnectedDriver dev;
        QPushButton logo(QStringLiteral("ON"));
        std::uint32_t cached = 0;
        TRegisterToggle toggle(dev.driver, Reg::LDISPLAY, &logo);
        toggle.valueSource = [&] { return cached; };
        toggle.attach();
        cached = 1;
        dev.report("LD1");
        QVERIFY(logo.isChecked());
        cached = 0;
        dev.report("LD0");
        QVERIFY(!logo.isChecked());
        QVERIFY(dev.sent().isEmpty());
    }

    void comboSendsTheChoiceAndFollowsReports()
    {
        ConnectedDriver dev;
        TSmallCombo combo;
        combo.setAccessibleName(QStringLiteral("Signal Type input 1"));
        combo.setItems({"SDTV Composite", "SDTV Y/C", "SDTV YUV"});
        TRegisterChoice choice(dev.driver, Reg::PRGBI, &combo);
        choice.beforeWrite = [](TVRK_610_d &d) { d.setPCHAN(1); };
        choice.attach();
        QSignalSpy activated(&combo, &TSmallCombo::activated);
        dev.report("PR2");
        QCOMPARE(combo.ItemIndex(), 2);
        QCOMPARE(combo.Text(), QStringLiteral("SDTV YUV"));
        QVERIFY(activated.isEmpty());
        QVERIFY(dev.sent().isEmpty());

        combo.show();
        combo.setFocus();
        QTest::keyClick(&combo, Qt::Key_Up);
        QCOMPARE(dev.sent(), (QStringList{"1PC", "1PR"}));
        QCOMPARE(combo.ItemIndex(), 2);  // until the device reports
        dev.report("PR1");
        QCOMPARE(combo.ItemIndex(), 1);
        QCOMPARE(dev.sent().size(), 2);

        dev.report("PR9");  // no such position
        QCOMPARE(combo.ItemIndex(), -1);
        QCOMPARE(combo.Text(), QString());
    }

    void comboWithMappedValues()
    {
        ConnectedDriver dev;
        TSmallCombo combo;
        combo.setItems({"On", "Off"});
        TRegisterChoice choice(dev.driver, Reg::EIPSIGP, &combo);
        choice.values = {0, 1};
        choice.attach();
        dev.report("YI1");
        QCOMPARE(combo.Text(), QStringLiteral("Off"));
        combo.show();
        combo.setFocus();
        QTest::keyClick(&combo, Qt::Key_Up);
        QCOMPARE(dev.sent(), QStringList{"0YI"});
    }
};

QTEST_MAIN(TestRegisterChoice)
#include "tst_register_choice.moc"
