// The sliding page manager: page buttons made from a page control, the slide
// arithmetic (which must always reach its target), queued clicks played in order,
// closing, direction, ItemIndex and its error, and keyboard use.
#include "gestion_slide.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace varnel::picture;

namespace {

const char *const kNames[] = {"TabSheetInputs", "TabSheetOutput", "TabSheetImage",
                              "TabSheetLogo",   "TabSheetAudio",  "TabSheetTransition"};
const char *const kCaptions[] = {"Inputs Settings", "Output", "Image", "Logo && Frame", "Audio", "Transition"};

}  // namespace

class TestGestionSlide : public QObject {
    Q_OBJECT

    std::unique_ptr<QWidget> window;
    QTabWidget *pages = nullptr;
    TGestionSlide *slide = nullptr;

    // Runs the animation to its end (and any queued slides), by calling the tick.
    int runSlides()
    {
        int ticks = 0;
        while (slide->isSliding() && ticks < 10000) {
            slide->tick();
            ++ticks;
        }
        return ticks;
    }

private slots:
    void init()
    {
        window = std::make_unique<QWidget>();
        window->setWindowTitle(QStringLiteral("Settings"));
        window->resize(894, 397);
        pages = new QTabWidget(window.get());
        for (int i = 0; i < 6; ++i) {
            auto *page = new QWidget;
            page->setObjectName(kNames[i]);
            auto *l = new QVBoxLayout(page);
            auto *label = new QLabel(QStringLiteral("content %1").arg(i), page);
            label->setObjectName(QStringLiteral("Content%1").arg(i));
            l->addWidget(label);
            pages->addTab(page, kCaptions[i]);
        }
        pages->setTabVisible(4, false);  // a page this model does not have
        slide = new TGestionSlide(window.get());
        slide->setGeometry(0, 0, 894, 373);
        slide->setSlideTop(0);
        slide->setSlideLeft(155);
        slide->setSpeed(4);
        slide->setSpace(1);
        slide->setISlide(true);
        slide->setPageControl(pages);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() { window.reset(); }

    void slideStep_data()
    {
        QTest::addColumn<int>("remaining");
        QTest::addColumn<int>("speed");
        QTest::addColumn<int>("step");
        QTest::newRow("at target") << 0 << 4 << 0;
        QTest::newRow("far, 25.5 rounds to even 26") << 100 << 4 << 26;
        QTest::newRow("far back") << -100 << 4 << -26;
        QTest::newRow("one pixel") << 1 << 4 << 1;
        QTest::newRow("minus one pixel") << -1 << 4 << -1;
        QTest::newRow("minus two") << -2 << 4 << -1;
        QTest::newRow("minus three") << -3 << 4 << -1;
        QTest::newRow("six: 2.0") << 6 << 4 << 2;
        QTest::newRow("ten: 3.0") << 10 << 4 << 3;
        QTest::newRow("never past the target") << 3 << 1 << 3;
        QTest::newRow("speed 0 counts as 1") << 5 << 0 << 5;
        QTest::newRow("back, 4.0") << -7 << 2 << -4;
    }
    void slideStep()
    {
        QFETCH(int, remaining);
        QFETCH(int, speed);
        QFETCH(int, step);
        QCOMPARE(TGestionSlide::slideStep(remaining, speed), step);
    }

    void everySlideReachesItsTarget()
    {
        for (int speed = 0; speed <= 8; ++speed) {
            for (int start = -400; start <= 400; ++start) {
                int remaining = start, steps = 0;
                while (remaining != 0 && steps < 1000) {
                    remaining -= TGestionSlide::slideStep(remaining, speed);
                    ++steps;
                }
                QVERIFY2(remaining == 0, qPrintable(QStringLiteral("speed %1 from %2").arg(speed).arg(start)));
            }
        }
    }

    void pagesBecomeButtons()
    {
        QVERIFY(pages->isHidden());
        QCOMPARE(slide->pageCount(), 6);
        QCOMPARE(slide->ItemIndex(), -1);
        for (int i = 0; i < 6; ++i) {
            auto *b = window->findChild<QToolButton *>(QStringLiteral("SpeedButtonOf_") + kNames[i]);
            QVERIFY(b);
            QCOMPARE(b->text(), QString::fromUtf8(kCaptions[i]));
            QCOMPARE(b->property("Tag").toInt(), i);
            QCOMPARE(b->isVisibleTo(window.get()), i != 4);
        }
    }

    void clickSlidesThePageIn()
    {
        QSignalSpy changed(slide, &TGestionSlide::changed);
        QSignalSpy finished(slide, &TGestionSlide::finishSlide);
        QSignalSpy down(slide, &TGestionSlide::mouseDown);
        QTest::mouseClick(slide->button(2), Qt::LeftButton);
        QVERIFY(slide->isSliding());
        QCOMPARE(down.size(), 1);
        QCOMPARE(down.at(0).at(0).toInt(), 2);
        QVERIFY(slide->panel(2)->y() > 0);  // comes in from below
        QVERIFY(changed.isEmpty());
        const int ticks = runSlides();
        QVERIFY(ticks > 3);  // an animation, not a jump
        QCOMPARE(changed.size(), 1);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(slide->ItemIndex(), 2);
        QCOMPARE(slide->panel(2)->pos(), QPoint(0, 0));
        QVERIFY(window->findChild<QLabel *>("Content2")->isVisible());
        QVERIFY(slide->button(2)->isChecked());
        QVERIFY(slide->button(2)->font().bold());

        QTest::mouseClick(slide->button(5), Qt::LeftButton);
        runSlides();
        QCOMPARE(slide->ItemIndex(), 5);
        QVERIFY(!slide->panel(2)->isVisible());
        QVERIFY(!slide->button(2)->isChecked());
        QVERIFY(!slide->button(2)->font().bold());
        QCOMPARE(slide->panel(5)->geometry(), QRect(0, 0, 894 - 155, 373));
    }

    void clicksDuringASlideArePlayedInOrder()
    {
        QList<int> shown;
        connect(slide, &TGestionSlide::finishSlide, this, [&] { shown << slide->ItemIndex(); });
        QTest::mouseClick(slide->button(1), Qt::LeftButton);
        slide->tick();
        QTest::mouseClick(slide->button(3), Qt::LeftButton);
        QTest::mouseClick(slide->button(3), Qt::LeftButton);  // already to be shown: no slide of its own
        QTest::mouseClick(slide->button(5), Qt::LeftButton);
        QTest::mouseClick(slide->button(0), Qt::LeftButton);
        QCOMPARE(slide->pendingClicks(), 4);
        QCOMPARE(slide->ItemIndex(), 1);
        runSlides();
        QCOMPARE(shown, (QList<int>{1, 3, 5, 0}));
        QCOMPARE(slide->pendingClicks(), 0);
        QVERIFY(slide->button(0)->isChecked());
        QCOMPARE(slide->panel(0)->pos(), QPoint(0, 0));
    }

    void clickOnTheShownPage_data()
    {
        QTest::addColumn<bool>("withClose");
        QTest::addColumn<int>("after");
        QTest::newRow("with close: slides out") << true << -1;
        QTest::newRow("without close: stays") << false << 1;
    }
    void clickOnTheShownPage()
    {
        QFETCH(bool, withClose);
        QFETCH(int, after);
        slide->setWithClose(withClose);
        QTest::mouseClick(slide->button(1), Qt::LeftButton);
        runSlides();
        QTest::mouseClick(slide->button(1), Qt::LeftButton);
        runSlides();
        QCOMPARE(slide->ItemIndex(), after);
        QCOMPARE(slide->button(1)->isChecked(), after == 1);
        QCOMPARE(slide->panel(1)->isVisible(), after == 1);
    }

    void directionFollowsButtonOrderOnlyWhenAsked_data()
    {
        QTest::addColumn<bool>("withSens");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<bool>("fromBelow");
        QTest::newRow("by order, forward") << true << 1 << 3 << true;
        QTest::newRow("by order, backward") << true << 3 << 1 << false;
        QTest::newRow("always forward") << false << 3 << 1 << true;
    }
    void directionFollowsButtonOrderOnlyWhenAsked()
    {
        QFETCH(bool, withSens);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(bool, fromBelow);
        slide->setWithClose(true);
        slide->setWithSensThereforeNotWithClose(withSens);
        QCOMPARE(slide->WithClose(), !withSens);
        slide->setItemIndex(from);
        runSlides();
        slide->setItemIndex(to);
        QCOMPARE(slide->panel(to)->y() > 0, fromBelow);
        QCOMPARE(slide->panel(from)->y(), 0);
        slide->tick();
        QCOMPARE(slide->panel(from)->y() < 0, fromBelow);  // the old page leaves the other way
        runSlides();
        QCOMPARE(slide->panel(to)->y(), 0);
    }

    void itemIndexClicksAndMinusOneCloses()
    {
        QSignalSpy changed(slide, &TGestionSlide::changed);
        slide->setItemIndex(3);
        runSlides();
        QCOMPARE(slide->ItemIndex(), 3);
        slide->setItemIndex(-1);
        runSlides();
        QCOMPARE(slide->ItemIndex(), -1);
        QVERIFY(!slide->button(3)->isChecked());
        QVERIFY(!slide->panel(3)->isVisible());
        QCOMPARE(changed.size(), 2);
        slide->setItemIndex(-1);  // nothing shown: nothing happens
        QVERIFY(!slide->isSliding());
        QCOMPARE(changed.size(), 2);
    }

    void itemIndexWithoutPageControlIsAnError()
    {
        TGestionSlide empty;
        try {
            empty.setItemIndex(0);
            QFAIL("no error raised");
        } catch (const EGestionSlide &e) {
            QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Property PageControl of GestionSlide is Empty!"));
        }
    }

    void withoutSlidingThePageAppearsAtOnce()
    {
        slide->setISlide(false);
        QSignalSpy changed(slide, &TGestionSlide::changed);
        slide->setItemIndex(3);
        QVERIFY(!slide->isSliding());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(slide->panel(3)->pos(), QPoint(0, 0));
    }

    void keyboardMovesBetweenButtonsAndPresses()
    {
        slide->button(3)->setFocus();
        QVERIFY(slide->button(3)->hasFocus());
        QTest::keyClick(slide->button(3), Qt::Key_Down);  // page 4 is hidden
        QVERIFY(slide->button(5)->hasFocus());
        QTest::keyClick(slide->button(5), Qt::Key_Return);
        runSlides();
        QCOMPARE(slide->ItemIndex(), 5);
        QTest::keyClick(slide->button(5), Qt::Key_Up);
        QVERIFY(slide->button(3)->hasFocus());
        QTest::keyClick(slide->button(3), Qt::Key_Space);
        runSlides();
        QCOMPARE(slide->ItemIndex(), 3);
    }

    void realTimerFinishesTheSlide()
    {
        QSignalSpy finished(slide, &TGestionSlide::finishSlide);
        QTest::mouseClick(slide->button(0), Qt::LeftButton);
        QVERIFY(finished.wait(3000));
        QVERIFY(!slide->isSliding());
        QCOMPARE(slide->panel(0)->pos(), QPoint(0, 0));
    }

    void settingsArrangementShowsTheFirstPage()
    {
        QWidget settings;
        settings.resize(894, 397);
        QTabWidget tabs(&settings);
        tabs.addTab(new QLabel("inputs"), "Inputs Settings");
        tabs.addTab(new QLabel("output"), "Output");
        TGestionSlide manager(&settings);
        manager.setGeometry(0, 0, 894, 373);
        QSignalSpy finished(&manager, &TGestionSlide::finishSlide);
        manager.setupAsSettingsPages(&tabs);
        QCOMPARE(manager.ItemIndex(), 0);
        QCOMPARE(manager.SlideLeft(), 155);
        QCOMPARE(manager.Space(), 1);
        QVERIFY(manager.ISlide());
        QVERIFY(!manager.WithClose());
        while (manager.isSliding())
            manager.tick();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(manager.panel(0)->geometry(), QRect(0, 0, 894 - 155, 373));
    }

    void pagesGoBackWhenThePageControlIsReplaced()
    {
        slide->setItemIndex(0);
        runSlides();
        slide->setPageControl(nullptr);
        QCOMPARE(pages->count(), 6);
        QVERIFY(!pages->isHidden());
        QCOMPARE(pages->tabText(3), QStringLiteral("Logo && Frame"));
        QVERIFY(!pages->isTabVisible(4));
        QCOMPARE(slide->pageCount(), 0);
        QVERIFY_THROWS_EXCEPTION(EGestionSlide, slide->setItemIndex(0));
    }
};

QTEST_MAIN(TestGestionSlide)
#include "tst_gestion_slide.moc"
