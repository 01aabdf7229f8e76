// The compact combo: ItemIndex rules, choices from its own list (hidden and
// disabled items honoured), a popup menu shared with another control dispatching
// each choice only to the control that opened it, keyboard use, and refreshes
// from code that never look like an operator's choice.
#include "small_combo.h"

#include <QAccessible>
#include <QApplication>
#include <QSignalSpy>
#include <QTest>

using namespace varnel::picture;

namespace {

QAction *visibleAction(QMenu *menu, const QString &text)
{
    for (QAction *a : menu->actions())
        if (withoutAccelerator(a->text()) == text)
            return a;
    return nullptr;
}

void chooseInMenu(QMenu *menu, const QString &text)
{
    QAction *a = visibleAction(menu, text);
    QVERIFY(a);
    QVERIFY(menu->isVisible());
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
}

}  // namespace

class TestSmallCombo : public QObject {
    Q_OBJECT

private slots:
    void createdCompactAndNamed()
    {
        TSmallCombo combo;
        QCOMPARE(combo.size(), QSize(145, 21));
        QCOMPARE(combo.ItemIndex(), -1);
        QVERIFY(combo.findChild<TSmallBitBtn *>("DropButton"));
        QVERIFY(!combo.dropButton()->accessibleName().isEmpty());
        QVERIFY(combo.editor()->isReadOnly());
    }

    void itemIndexRules_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("changes");
        QTest::newRow("first") << -1 << 0 << 0 << "Item 0" << 1;
        QTest::newRow("last") << 0 << 15 << 15 << "Item 15" << 1;
        QTest::newRow("one past the end clears") << 3 << 16 << -1 << "" << 1;
        QTest::newRow("minus one clears") << 3 << -1 << -1 << "" << 1;
        QTest::newRow("negative clears") << 3 << -7 << -1 << "" << 1;
        QTest::newRow("same index: no change") << 3 << 3 << 3 << "Item 3" << 0;
        QTest::newRow("out of range when already -1: no change") << -1 << 99 << -1 << "" << 0;
    }
    void itemIndexRules()
    {
        QFETCH(int, start);
        QFETCH(int, set);
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(int, changes);
        TSmallCombo combo;
        for (int i = 0; i < 16; ++i)
            combo.addItem(QStringLiteral("Item %1").arg(i));
        combo.setItemIndex(start);
        QSignalSpy changed(&combo, &TSmallCombo::changed);
        QSignalSpy activated(&combo, &TSmallCombo::activated);
        combo.setItemIndex(set);
        QCOMPARE(combo.ItemIndex(), index);
        QCOMPARE(combo.Text(), text);
        QCOMPARE(changed.size(), changes);
        QVERIFY(activated.isEmpty());  // code (a refresh from the device) is not a choice
    }

    void choiceFromTheInternalListHonoursFlags()
    {
        TSmallCombo combo;
        combo.setItems({"SDTV Composite", "SDTV Y/C", "Computer DVI", "HDTV YUV"});
        combo.setItemVisible(1, false);
        combo.setItemEnabled(2, false);
        combo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&combo));
        QSignalSpy changed(&combo, &TSmallCombo::changed);
        QSignalSpy activated(&combo, &TSmallCombo::activated);
        QSignalSpy clicked(&combo, &TSmallCombo::clicked);
        QSignalSpy dropped(&combo, &TSmallCombo::dropDown);

        QTest::mouseClick(combo.dropButton(), Qt::LeftButton);
        QMenu *menu = combo.shownMenu();
        QVERIFY(menu && menu->isVisible());
        QCOMPARE(dropped.size(), 1);
        QVERIFY(menu->geometry().top() >= combo.mapToGlobal(QPoint(0, combo.height())).y());
        QVERIFY(!visibleAction(menu, "SDTV Y/C")->isVisible());
        QVERIFY(!visibleAction(menu, "Computer DVI")->isEnabled());
        chooseInMenu(menu, "HDTV YUV");
        QCOMPARE(combo.ItemIndex(), 3);
        QCOMPARE(combo.Text(), QStringLiteral("HDTV YUV"));
        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated.at(0).at(0).toInt(), 3);
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(changed.size(), 1);
        QVERIFY(!combo.DroppedDown());

        // A disabled item cannot be chosen.
        combo.setDroppedDown(true);
        menu = combo.shownMenu();
        chooseInMenu(menu, "Computer DVI");
        QCOMPARE(combo.ItemIndex(), 3);
        QCOMPARE(activated.size(), 1);
        menu->hide();
    }

    void sharedMenuGoesToTheControlThatOpenedIt()
    {
        QWidget window;
        QMenu shared;
        shared.addAction(QStringLiteral("&Cut"));
        shared.addAction(QStringLiteral("Fade"));
        shared.addAction(QStringLiteral("Title && PiP"));
        auto *combo = new TSmallCombo(&window);
        auto *other = new TSmallCombo(&window);
        other->move(0, 40);
        auto *key = new QToolButton(&window);
        key->setObjectName("EffectKey");
        key->move(200, 0);
        QStringList keyChoices;
        QObject::connect(key, &QToolButton::clicked, key, [&] {
            TSharedMenu::of(&shared)->popup(key, key->mapToGlobal(QPoint(0, key->height())),
                                            [&](QAction *a) { keyChoices << a->text(); });
        });
        QSignalSpy changed(combo, &TSmallCombo::changed);
        combo->setPopUpMenu(&shared);
        other->setPopUpMenu(&shared);
        QCOMPARE(combo->ItemIndex(), 0);  // setting the menu selects its first item
        QCOMPARE(combo->Text(), QStringLiteral("Cut"));
        QCOMPARE(changed.size(), 1);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QTest::mouseClick(combo->dropButton(), Qt::LeftButton);
        chooseInMenu(&shared, "Title & PiP");
        QCOMPARE(combo->ItemIndex(), 2);
        QCOMPARE(combo->Text(), QStringLiteral("Title & PiP"));
        QCOMPARE(other->ItemIndex(), 0);
        QVERIFY(keyChoices.isEmpty());

        QTest::mouseClick(key, Qt::LeftButton);
        chooseInMenu(&shared, "Fade");
        QCOMPARE(keyChoices, QStringList{"Fade"});
        QCOMPARE(combo->ItemIndex(), 2);
        QCOMPARE(other->ItemIndex(), 0);

        QTest::mouseClick(other->dropButton(), Qt::LeftButton);
        chooseInMenu(&shared, "Fade");
        QCOMPARE(other->ItemIndex(), 1);
        QCOMPARE(combo->ItemIndex(), 2);
        QCOMPARE(keyChoices.size(), 1);

        // A trigger nobody asked for reaches no control, also after a menu was
        // opened and closed without a choice.
        shared.actions().at(0)->trigger();
        QTest::mouseClick(combo->dropButton(), Qt::LeftButton);
        QVERIFY(shared.isVisible());
        QTest::keyClick(&shared, Qt::Key_Escape);
        QVERIFY(!shared.isVisible());
        QCoreApplication::processEvents();
        shared.actions().at(0)->trigger();
        QCOMPARE(combo->ItemIndex(), 2);
        QCOMPARE(other->ItemIndex(), 1);
        QCOMPARE(keyChoices.size(), 1);
    }

    void choiceRightAfterAnotherOpeningGoesToTheNewOpener()
    {
        QWidget window;
        QMenu shared;
        shared.addAction(QStringLiteral("A"));
        shared.addAction(QStringLiteral("B"));
        auto *first = new TSmallCombo(&window);
        auto *second = new TSmallCombo(&window);
        second->move(0, 40);
        first->setPopUpMenu(&shared);
        second->setPopUpMenu(&shared);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::mouseClick(first->dropButton(), Qt::LeftButton);
        chooseInMenu(&shared, "B");
        // The second opens before the event loop has run the first's clean-up.
        second->setDroppedDown(true);
        QCoreApplication::processEvents();
        chooseInMenu(&shared, "B");
        QCOMPARE(first->ItemIndex(), 1);
        QCOMPARE(second->ItemIndex(), 1);
    }

    void keyboardChangesAndOpens()
    {
        TSmallCombo combo;
        combo.setAccessibleName(QStringLiteral("Signal Type input 2"));
        combo.setItems({"A", "B", "C", "D"});
        combo.setItemEnabled(1, false);
        combo.setItemIndex(0);
        combo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&combo));
        combo.setFocus();
        QSignalSpy activated(&combo, &TSmallCombo::activated);
        QTest::keyClick(&combo, Qt::Key_Down);
        QCOMPARE(combo.ItemIndex(), 2);  // B is disabled
        QTest::keyClick(&combo, Qt::Key_Down);
        QTest::keyClick(&combo, Qt::Key_Down);  // already the last
        QCOMPARE(combo.ItemIndex(), 3);
        QTest::keyClick(&combo, Qt::Key_Up);
        QCOMPARE(combo.ItemIndex(), 2);
        QCOMPARE(activated.size(), 3);
        QTest::keyClick(&combo, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(combo.DroppedDown());
        QTest::keyClick(combo.shownMenu(), Qt::Key_Escape);
        QVERIFY(!combo.DroppedDown());
        QCOMPARE(combo.ItemIndex(), 2);
    }

    void assistiveTechnologySeesAComboWithItsValue()
    {
        TSmallCombo combo;
        combo.setAccessibleName(QStringLiteral("Standard input 1"));
        combo.setItems({"Auto PAL/SECAM/NTSC", "NTSC", "PAL"});
        combo.setItemIndex(2);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&combo);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::ComboBox);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Standard input 1"));
        QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("PAL"));
    }

    void disabledComboDoesNotOpen()
    {
        TSmallCombo combo;
        combo.setItems({"On", "Off"});
        combo.setEnabled(false);
        combo.setDroppedDown(true);
        QVERIFY(!combo.DroppedDown());
    }

    void acceleratorsAreNotShown_data()
    {
        QTest::addColumn<QString>("menuText");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "Fade" << "Fade";
        QTest::newRow("accelerator") << "&Cut" << "Cut";
        QTest::newRow("double ampersand") << "Logo && Frame" << "Logo & Frame";
        QTest::newRow("trailing ampersand") << "A&" << "A&";
    }
    void acceleratorsAreNotShown()
    {
        QFETCH(QString, menuText);
        QFETCH(QString, shown);
        QCOMPARE(withoutAccelerator(menuText), shown);
    }
};

QTEST_MAIN(TestSmallCombo)
#include "tst_small_combo.moc"
