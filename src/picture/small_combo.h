#pragma once
// Compact controls of the settings pages.
//
// TSharedMenu: a popup menu may be opened by several controls (a combo and the
// effect key buttons share one); each choice goes only to the control that opened
// the menu this time. Controls open it through TSharedMenu::of(menu)->popup(...)
// and never connect to the menu's actions themselves.
//
// TSmallBitBtn: the small drop-down arrow button inside a TSmallCombo.
//
// TSmallCombo: a compact drop-down box showing the selected item's caption in a
// read-only edit; its list is a popup menu (its own, or one built from an internal
// list of items with visible and enabled flags).
//   changed()   ItemIndex really changed (by the operator or by code)
//   activated() the operator chose an item (the place for a send handler; a
//               refresh from the device that sets ItemIndex never emits it)
//   clicked()   after a choice, once ItemIndex is set

#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QToolButton>
#include <QWidget>

#include <functional>
#include <vector>

namespace varnel::picture {

class TSharedMenu : public QObject {
    Q_OBJECT
public:
    /// The dispatcher of `menu` (created on first use, owned by the menu).
    static TSharedMenu *of(QMenu *menu);

    /// Opens the menu at `globalPos` for `opener`; the choice made in it is given
    /// to `onChoice` (and to no other opener's handler).
    void popup(QObject *opener, const QPoint &globalPos, std::function<void(QAction *)> onChoice);
    /// The control that opened the menu last, while it is open or its choice pending.
    QObject *opener() const { return m_opener; }
    QMenu *menu() const { return m_menu; }

private:
    explicit TSharedMenu(QMenu *menu);
    void choose(QAction *action);

    QMenu *m_menu;
    QPointer<QObject> m_opener;
    std::function<void(QAction *)> m_onChoice;
    quint64 m_opening = 0;  // counts openings, so a late clean-up spares a newer one
};

class TSmallBitBtn : public QToolButton {
    Q_OBJECT
public:
    explicit TSmallBitBtn(QWidget *parent = nullptr);
    QSize sizeHint() const override;
};

class TSmallCombo : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE setItemIndex NOTIFY changed)
    Q_PROPERTY(QString Text READ Text)
    Q_PROPERTY(bool DroppedDown READ DroppedDown WRITE setDroppedDown)
public:
    explicit TSmallCombo(QWidget *parent = nullptr);

    // Internal list (used while no popup menu is set).
    void addItem(const QString &caption, bool visible = true, bool enabled = true);
    void setItems(const QStringList &captions);
    void clearItems();
    void setItemVisible(int i, bool visible);
    void setItemEnabled(int i, bool enabled);
    bool isItemVisible(int i) const;
    bool isItemEnabled(int i) const;

    /// Number of items and their captions (of the popup menu when one is set).
    int count() const;
    QString itemText(int i) const;

    QMenu *PopUpMenu() const { return m_menu; }
    /// Uses `menu` as the list (shared with other controls is fine) and selects item 0.
    void setPopUpMenu(QMenu *menu);

    int ItemIndex() const { return m_itemIndex; }
    /// i within the list shows item i; any other value gives -1 and an empty caption.
    void setItemIndex(int i);
    QString Text() const;

    bool DroppedDown() const;
    void setDroppedDown(bool down);

    QLineEdit *editor() const { return m_edit; }
    TSmallBitBtn *dropButton() const { return m_button; }
    /// The menu shown by the last drop-down (the popup menu or the temporary one).
    QMenu *shownMenu() const { return m_shown; }

    QSize sizeHint() const override;

signals:
    void changed();
    void activated(int index);
    void clicked();
    void dropDown();
    void entered();
    void exited();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct Item {
        QString caption;
        bool visible = true;
        bool enabled = true;
    };
    void openList();
    void choose(int index);
    bool selectable(int i) const;
    void step(int direction);

    QLineEdit *m_edit;
    TSmallBitBtn *m_button;
    QPointer<QMenu> m_menu;
    QPointer<QMenu> m_temporary;
    QPointer<QMenu> m_shown;
    std::vector<Item> m_items;
    int m_itemIndex = -1;
};

/// The caption of a menu text: "&&" shows "&", a single "&" marks the accelerator.
QString withoutAccelerator(const QString &text);

}  // namespace varnel::picture
