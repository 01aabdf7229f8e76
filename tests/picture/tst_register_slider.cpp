// Register sliders bound to a real driver: every user action on the scrollbar is
// sent, the controls follow only the device's reports, a dragged thumb is left
// alone until it is released, Enter sends converted or refused entries, paced
// sliders send a, c, c for three quick moves, and slot sliders store before they send.
#include "picture_fixture.h"
#include "register_slider.h"

#include <QGridLayout>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include <chrono>

using namespace varnel;
using namespace varnel::picture;
using namespace varnel::picture::test;
using namespace std::chrono_literals;

namespace {

const TConversion kConversion1 = TConversion::Conversion1();

// Brightness converted and sent at once, horizontal position in device units,
// contrast converted and paced.
std::vector<RegisterSliderRow> pageRows()
{
    return {
        {"BRGTM", Reg::BRGTM, QStringLiteral("Brightness"), &kConversion1},
        {"HPOSM", Reg::HPOSM, QStringLiteral("H. position"), nullptr, 0, 255},
        {"CONTRM", Reg::CONTRM, QStringLiteral("Contrast"), &kConversion1, 0, 0, true},
    };
}

}  // namespace

class TestRegisterSlider : public QObject {
    Q_OBJECT

    std::unique_ptr<ConnectedDriver> dev;
    std::unique_ptr<QWidget> page;
    TRegisterSliderSet *set = nullptr;
    std::unique_ptr<MessageRecorder> recorder;

    QScrollBar *bar(Reg r) { return set->scrollBar(r); }
    QLineEdit *edit(Reg r) { return set->edit(r); }

private slots:
    void init()
    {
        dev = std::make_unique<ConnectedDriver>();
        recorder = std::make_unique<MessageRecorder>();
        page = std::make_unique<QWidget>();
        auto *grid = new QGridLayout(page.get());
        set = new TRegisterSliderSet(dev->driver, page.get());
        set->build(pageRows(), grid);
        page->resize(420, 160);
        page->show();
        QVERIFY(QTest::qWaitForWindowExposed(page.get()));
    }
    void cleanup()
    {
        page.reset();
        recorder.reset();
        dev.reset();
    }

    void scrollbarRangeIsTheDeviceRange()
    {
        QCOMPARE(bar(Reg::BRGTM)->minimum(), 0);
        QCOMPARE(bar(Reg::BRGTM)->maximum(), 255);
    }

    void stepActionsSendAndLeaveTheBarToTheDevice_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("expected");
        QTest::newRow("key right") << "right" << 101;
        QTest::newRow("key left") << "left" << 99;
        QTest::newRow("key page up") << "pageup" << 115;
        QTest::newRow("key page down") << "pagedown" << 85;
        QTest::newRow("key end") << "end" << 255;
        QTest::newRow("wheel up") << "wheel" << 103;
        QTest::newRow("click in the trough") << "trough" << 115;
    }
    void stepActionsSendAndLeaveTheBarToTheDevice()
    {
        QFETCH(QString, action);
        QFETCH(int, expected);
        QScrollBar *b = bar(Reg::HPOSM);
        dev->report("HP100");
        QCOMPARE(b->value(), 100);
        dev->clearSent();
        if (action == "right")
            QTest::keyClick(b, Qt::Key_Right);
        else if (action == "left")
            QTest::keyClick(b, Qt::Key_Left);
        else if (action == "pageup")
            QTest::keyClick(b, Qt::Key_PageUp);
        else if (action == "pagedown")
            QTest::keyClick(b, Qt::Key_PageDown);
        else if (action == "end")
            QTest::keyClick(b, Qt::Key_End);
        else if (action == "wheel")
            wheel(b, 120);
        else {
            const QRect h = handleRect(b);
            QTest::mouseClick(b, Qt::LeftButton, {}, QPoint((h.right() + b->width()) / 2, b->height() / 2));
        }
        QCOMPARE(b->value(), expected);
        QCOMPARE(dev->sent(), QStringList{QString::number(expected) + "HP"});
        QCOMPARE(set->slider(Reg::HPOSM)->dragFlag(0), 0);
        // Not a drag: the device's answer moves the bar.
        dev->report("HP42");
        QCOMPARE(b->value(), 42);
        QCOMPARE(edit(Reg::HPOSM)->text(), QStringLiteral("42"));
    }

    void draggedThumbIsNotMovedByTheAnswers()
    {
        QScrollBar *b = bar(Reg::HPOSM);
        dev->report("HP0");
        dev->clearSent();
        const QPoint start = handleRect(b).center();
        sendMouse(b, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        QVERIFY(b->isSliderDown());
        for (int dx : {20, 40, 60})
            sendMouse(b, QEvent::MouseMove, start + QPoint(dx, 0), Qt::NoButton, Qt::LeftButton);
        const int held = b->sliderPosition();
        QVERIFY(held > 0);
        QCOMPARE(dev->sent().size(), 3);
        QCOMPARE(dev->sent().last(), QString::number(held) + "HP");
        QCOMPARE(set->slider(Reg::HPOSM)->dragFlag(0), 1);

        dev->report("HP5");  // the answer to an earlier position
        QCOMPARE(b->sliderPosition(), held);
        QCOMPARE(edit(Reg::HPOSM)->text(), QStringLiteral("5"));

        sendMouse(b, QEvent::MouseButtonRelease, start + QPoint(60, 0), Qt::LeftButton, Qt::NoButton);
        QCOMPARE(set->slider(Reg::HPOSM)->dragFlag(0), 0);
        QCOMPARE(dev->sent().size(), 4);
        QCOMPARE(dev->sent().last(), QString::number(held) + "HP");  // the end of the scroll, once more
        dev->report("HP7");
        QCOMPARE(b->value(), 7);
    }

    void reportsRefreshWithoutSending_data()
    {
        QTest::addColumn<int>("reg");
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        QTest::newRow("converted low end") << int(Reg::BRGTM) << "BR0" << 0 << "-128";
        QTest::newRow("converted middle") << int(Reg::BRGTM) << "BR128" << 128 << "0";
        QTest::newRow("converted high end") << int(Reg::BRGTM) << "BR255" << 255 << "127";
        QTest::newRow("device units") << int(Reg::HPOSM) << "HP200" << 200 << "200";
        QTest::newRow("paced") << int(Reg::CONTRM) << "CT3" << 3 << "-125";
    }
    void reportsRefreshWithoutSending()
    {
        QFETCH(int, reg);
        QFETCH(QString, line);
        QFETCH(int, position);
        QFETCH(QString, text);
        const Reg r = Reg(reg);
        QSignalSpy moved(bar(r), &QAbstractSlider::valueChanged);
        edit(r)->setFocus();
        edit(r)->setText(QStringLiteral("typed"));
        dev->report(line.toStdString());
        QCOMPARE(bar(r)->value(), position);
        QCOMPARE(edit(r)->text(), text);  // overwritten even with the focus
        QVERIFY(moved.isEmpty());          // signals blocked while refreshing
        QVERIFY(dev->sent().isEmpty());
    }

    void enterInTheEdit_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("linkUp");
        QTest::addColumn<QStringList>("sends");
        QTest::addColumn<QString>("message");
        QTest::newRow("lowest") << "-128" << int(Qt::Key_Return) << true << QStringList{"0BR"} << "";
        QTest::newRow("highest, keypad Enter") << "127" << int(Qt::Key_Enter) << true << QStringList{"255BR"} << "";
        QTest::newRow("blanks around") << " 5 " << int(Qt::Key_Return) << true << QStringList{"133BR"} << "";
        QTest::newRow("plus sign") << "+1" << int(Qt::Key_Return) << true << QStringList{"129BR"} << "";
        QTest::newRow("above: current value again") << "128" << int(Qt::Key_Return) << true << QStringList{"100BR"} << "";
        QTest::newRow("below: current value again") << "-129" << int(Qt::Key_Return) << true << QStringList{"100BR"} << "";
        QTest::newRow("beyond 32 bits") << "99999999999" << int(Qt::Key_Return) << true
                                                   << QStringList{} << "'99999999999' is not a valid integer value";
        QTest::newRow("letters") << "abc" << int(Qt::Key_Return) << true << QStringList{}
                                 << "'abc' is not a valid integer value";
        QTest::newRow("empty") << "" << int(Qt::Key_Return) << true << QStringList{} << "'' is not a valid integer value";
        QTest::newRow("decimal point") << "1.5" << int(Qt::Key_Return) << true << QStringList{}
                                       << "'1.5' is not a valid integer value";
        QTest::newRow("other key") << "12" << int(Qt::Key_Tab) << true << QStringList{} << "";
        QTest::newRow("link down") << "5" << int(Qt::Key_Return) << false << QStringList{} << "";
    }
    void enterInTheEdit()
    {
        QFETCH(QString, typed);
        QFETCH(int, key);
        QFETCH(bool, linkUp);
        QFETCH(QStringList, sends);
        QFETCH(QString, message);
        dev->report("BR100");
        if (!linkUp)
            dev->loseDevice();
        dev->clearSent();
        QLineEdit *e = edit(Reg::BRGTM);
        e->setFocus();
        e->setText(typed);
        QTest::keyClick(e, Qt::Key(key));
        QCOMPARE(dev->sent(), sends);
        QCOMPARE(recorder->messages, message.isEmpty() ? QStringList{} : QStringList{message});
        QCOMPARE(e->text(), typed);  // only a report changes the text
        QCOMPARE(bar(Reg::BRGTM)->value(), 100);
    }

    void refusedEntryIsReplacedByTheDeviceValue()
    {
        dev->report("BR100");
        QLineEdit *e = edit(Reg::BRGTM);
        e->setText(QStringLiteral("500"));
        QTest::keyClick(e, Qt::Key_Return);
        QCOMPARE(dev->sent(), QStringList{"100BR"});
        dev->report("BR100");
        QCOMPARE(e->text(), QStringLiteral("-28"));
    }

    void threeMovesBeforeTheFirstAnswerSendACC()
    {
        QScrollBar *b = bar(Reg::CONTRM);
        dev->report("CT10");
        dev->clearSent();
        QTest::keyClick(b, Qt::Key_Right);  // a = 11
        QTest::keyClick(b, Qt::Key_Right);  // b = 12
        QTest::keyClick(b, Qt::Key_Right);  // c = 13
        QCOMPARE(dev->sent(), QStringList{"11CT"});
        // The device echoes what it was last sent.
        for (int answers = 0; answers < 4; ++answers) {
            const QString last = dev->sent().last();
            dev->report("CT" + last.chopped(2).toStdString());
        }
        QCOMPARE(dev->sent(), (QStringList{"11CT", "13CT", "13CT"}));
        QCOMPARE(b->value(), 13);
        QCOMPARE(edit(Reg::CONTRM)->text(), QStringLiteral("-115"));
    }

    void pacedDragSendsFarFewerWritesThanPositions()
    {
        QScrollBar *b = bar(Reg::CONTRM);
        dev->report("CT0");
        dev->clearSent();
        const QPoint start = handleRect(b).center();
        sendMouse(b, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        int moves = 0;
        for (int dx = 2; dx <= 200; dx += 2, ++moves) {
            sendMouse(b, QEvent::MouseMove, start + QPoint(dx, 0), Qt::NoButton, Qt::LeftButton);
            if (dx % 20 == 0) {  // an answer now and then, to the last value sent
                dev->report("CT" + dev->sent().last().chopped(2).toStdString());
                QVERIFY(b->sliderPosition() > 0);  // the thumb stays under the mouse
            }
        }
        sendMouse(b, QEvent::MouseButtonRelease, start + QPoint(200, 0), Qt::LeftButton, Qt::NoButton);
        const int final = b->sliderPosition();
        for (int answers = 0; answers < 6; ++answers)
            dev->report("CT" + dev->sent().last().chopped(2).toStdString());
        QVERIFY(dev->sent().size() < moves / 4);
        QCOMPARE(dev->sent().last(), QString::number(final) + "CT");
        QCOMPARE(b->value(), final);
    }

    void pacedSliderIsReleasedAfterALostAnswer()
    {
        auto now = std::chrono::steady_clock::time_point(1h);
        TRegisterSlider *s = set->slider(Reg::CONTRM);
        s->setBufferClock([&now] { return now; });
        QScrollBar *b = bar(Reg::CONTRM);
        dev->report("CT10");
        dev->clearSent();
        QTest::keyClick(b, Qt::Key_Right);
        dev->report("CT999");  // out of range: dropped, no notification
        QTest::keyClick(b, Qt::Key_Right);
        QCOMPARE(dev->sent(), QStringList{"11CT"});
        now += 1s;
        QTest::keyClick(b, Qt::Key_Right);
        QCOMPARE(dev->sent(), (QStringList{"11CT", "13CT"}));
    }

    void pacedSliderIsReleasedWhenTheLinkChanges()
    {
        QScrollBar *b = bar(Reg::CONTRM);
        dev->report("CT10");
        dev->clearSent();
        QTest::keyClick(b, Qt::Key_Right);
        dev->loseDevice();                                        // its answer will never come
        dev->driver.setConMode(tConnectionMode::MODE_VAR);        // back again
        QTest::keyClick(b, Qt::Key_Right);
        QCOMPARE(dev->sent(), (QStringList{"11CT", "12CT"}));
    }

    void registerShownInTwoPlaces()
    {
        QWidget other;
        auto *bar2 = new QScrollBar(Qt::Horizontal, &other);
        auto *edit2 = new QLineEdit(&other);
        other.resize(300, 40);
        bar2->resize(300, 20);
        other.show();
        set->addView(Reg::HPOSM, bar2, edit2);
        TRegisterSlider *s = set->slider(Reg::HPOSM);
        QCOMPARE(s->viewCount(), 2);
        dev->report("HP9");
        QCOMPARE(bar2->value(), 9);
        QCOMPARE(edit2->text(), QStringLiteral("9"));
        // Dragging the first place leaves the second free to follow.
        QScrollBar *b = bar(Reg::HPOSM);
        const QPoint start = handleRect(b).center();
        sendMouse(b, QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
        sendMouse(b, QEvent::MouseMove, start + QPoint(30, 0), Qt::NoButton, Qt::LeftButton);
        const int held = b->sliderPosition();
        dev->report("HP50");
        QCOMPARE(b->sliderPosition(), held);
        QCOMPARE(bar2->value(), 50);
        QCOMPARE(s->dragFlag(1), 0);
        sendMouse(b, QEvent::MouseButtonRelease, start + QPoint(30, 0), Qt::LeftButton, Qt::NoButton);
        // Enter in the second place's edit sends too.
        dev->clearSent();
        edit2->setText(QStringLiteral("77"));
        QTest::keyClick(edit2, Qt::Key_Return);
        QCOMPARE(dev->sent(), QStringList{"77HP"});
    }

    void windowHandlerStillRunsBesideTheBinding()
    {
        int windowCalls = 0;
        ConnectedDriver d;
        d.driver.setHandler(Reg::HPOSM, [&](TVRK_610_d &, int) { ++windowCalls; });
        QWidget w;
        auto *grid = new QGridLayout(&w);
        TRegisterSliderSet s(d.driver);
        s.build({{"HPOSM", Reg::HPOSM, QStringLiteral("H. position"), nullptr, 0, 255}}, grid);
        d.report("HP12");
        QCOMPARE(windowCalls, 1);
        QCOMPARE(s.scrollBar(Reg::HPOSM)->value(), 12);
    }

    void controlsAreNamed()
    {
        for (const RegisterSliderRow &row : pageRows()) {
            const QString stem = QLatin1String(row.name);
            auto *b = page->findChild<QScrollBar *>("ScrollBar_" + stem);
            auto *e = page->findChild<QLineEdit *>("Edit_" + stem);
            auto *l = page->findChild<QLabel *>("Label_" + stem);
            QVERIFY(b && e && l);
            QCOMPARE(b->accessibleName(), row.caption);
            QCOMPARE(e->accessibleName(), row.caption + " value");
            QCOMPARE(l->buddy(), e);
        }
    }

    // --- slot sliders -----------------------------------------------------------

    void slotSliderStoresThenSendsWhenTheSlotMayBeSent_data()
    {
        QTest::addColumn<bool>("maySend");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QStringList>("sends");
        QTest::newRow("may send") << true << "40" << 40 << QStringList{"40HP"};
        QTest::newRow("may not send") << false << "40" << 40 << QStringList{};
        QTest::newRow("above the range is clamped") << true << "300" << 255 << QStringList{"255HP"};
        QTest::newRow("below the range is clamped") << true << "-5" << 0 << QStringList{"0HP"};
    }
    void slotSliderStoresThenSendsWhenTheSlotMayBeSent()
    {
        QFETCH(bool, maySend);
        QFETCH(QString, typed);
        QFETCH(int, stored);
        QFETCH(QStringList, sends);
        QScrollBar b(Qt::Horizontal);
        QLineEdit e;
        TSlotSlider s(dev->driver, {"HPOS", Reg::HPOSM, QStringLiteral("H. position")}, &b, &e);
        std::vector<int> slot;
        s.storeInSlot = [&](int v) { slot.push_back(v); };
        s.maySend = [&] { return maySend; };
        e.setText(typed);
        QTest::keyClick(&e, Qt::Key_Return);
        QCOMPARE(slot, std::vector<int>{stored});
        QCOMPARE(dev->sent(), sends);
        QCOMPARE(b.value(), stored);
        QCOMPARE(e.text(), QString::number(stored));
    }

    void slotSliderShowsSlotsAndReportsWithoutSending()
    {
        QScrollBar b(Qt::Horizontal);
        QLineEdit e;
        TSlotSlider s(dev->driver, {"HPOS", Reg::HPOSM, QStringLiteral("H. position"), true}, &b, &e);
        s.attach();
        int stored = -1;
        s.storeInSlot = [&](int v) { stored = v; };
        s.showValue(33);
        QCOMPARE(e.text(), QStringLiteral("33"));
        dev->report("HP21");
        QCOMPARE(stored, 21);
        QCOMPARE(b.value(), 21);
        QCOMPARE(e.text(), QStringLiteral("21"));
        QVERIFY(dev->sent().isEmpty());
        e.setText(QStringLiteral("x1"));
        QTest::keyClick(&e, Qt::Key_Return);
        QCOMPARE(recorder->messages, QStringList{"'x1' is not a valid integer value"});
        QVERIFY(dev->sent().isEmpty());
        QTest::keyClick(&b, Qt::Key_Right);
        QCOMPARE(stored, 22);
        QCOMPARE(dev->sent(), QStringList{"22HP"});
    }
};

QTEST_MAIN(TestRegisterSlider)
#include "tst_register_slider.moc"
