#include "small_combo.h"

#include <QAccessibleWidget>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>

namespace varnel::picture {

QString withoutAccelerator(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('&') && i + 1 < text.size()) {
            ++i;  // "&&" keeps one "&", "&x" keeps "x"
        }
        out += text[i];
    }
    return out;
}

// --- TSharedMenu ----------------------------------------------------------------

TSharedMenu::TSharedMenu(QMenu *menu)
    : QObject(menu), m_menu(menu)
{
    setObjectName(QStringLiteral("SharedMenuDispatcher"));
    connect(menu, &QMenu::triggered, this, &TSharedMenu::choose);
    // A menu closed without a choice forgets its opener; the choice itself (if
    // any) is delivered right after the menu hides, so forget it only afterwards.
    connect(menu, &QMenu::aboutToHide, this, [this] {
        const quint64 opening = m_opening;
        QMetaObject::invokeMethod(
            this,
            [this, opening] {
                if (opening == m_opening) {
                    m_onChoice = nullptr;
                    m_opener = nullptr;
                }
            },
            Qt::QueuedConnection);
    });
}

TSharedMenu *TSharedMenu::of(QMenu *menu)
{
    if (auto *existing = menu->findChild<TSharedMenu *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new TSharedMenu(menu);
}

void TSharedMenu::popup(QObject *opener, const QPoint &globalPos, std::function<void(QAction *)> onChoice)
{
    ++m_opening;
    m_opener = opener;
    m_onChoice = std::move(onChoice);
    m_menu->popup(globalPos);
}

void TSharedMenu::choose(QAction *action)
{
    // One choice per opening: a later trigger that no control asked for goes nowhere.
    auto handler = std::move(m_onChoice);
    const bool openerAlive = !m_opener.isNull();
    m_onChoice = nullptr;
    m_opener = nullptr;
    if (handler && openerAlive)
        handler(action);
}

// --- TSmallBitBtn ---------------------------------------------------------------

TSmallBitBtn::TSmallBitBtn(QWidget *parent)
    : QToolButton(parent)
{
    setArrowType(Qt::DownArrow);
    setFocusPolicy(Qt::NoFocus);  // the combo itself takes the keyboard
    setAccessibleName(tr("Open list"));
}

QSize TSmallBitBtn::sizeHint() const
{
    return {17, 17};
}

// --- TSmallCombo ----------------------------------------------------------------

namespace {

// Presents the combo to assistive technology as a combo box whose value is the
// selected item's caption.
class SmallComboAccessible : public QAccessibleWidget {
public:
    explicit SmallComboAccessible(TSmallCombo *combo)
        : QAccessibleWidget(combo, QAccessible::ComboBox)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return static_cast<TSmallCombo *>(widget())->Text();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *smallComboFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("varnel::picture::TSmallCombo") && object && object->isWidgetType())
        return new SmallComboAccessible(static_cast<TSmallCombo *>(object));
    return nullptr;
}

}  // namespace

TSmallCombo::TSmallCombo(QWidget *parent)
    : QWidget(parent), m_edit(new QLineEdit(this)), m_button(new TSmallBitBtn(this))
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(smallComboFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setObjectName(QStringLiteral("SmallCombo"));
    setFocusPolicy(Qt::StrongFocus);
    m_edit->setReadOnly(true);
    m_edit->setFocusPolicy(Qt::NoFocus);
    m_edit->setObjectName(QStringLiteral("Caption"));
    m_edit->installEventFilter(this);
    m_button->setObjectName(QStringLiteral("DropButton"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_button);
    m_button->setFixedHeight(m_edit->sizeHint().height());
    connect(m_button, &QToolButton::clicked, this, [this] { setDroppedDown(true); });
    setFocusProxy(nullptr);
    resize(145, 21);
}

QSize TSmallCombo::sizeHint() const
{
    return {145, std::max(21, m_edit->sizeHint().height())};
}

void TSmallCombo::addItem(const QString &caption, bool visible, bool enabled)
{
    m_items.push_back({caption, visible, enabled});
}

void TSmallCombo::setItems(const QStringList &captions)
{
    m_items.clear();
    for (const QString &c : captions)
        addItem(c);
    setItemIndex(m_itemIndex);
}

void TSmallCombo::clearItems()
{
    m_items.clear();
    setItemIndex(-1);
}

void TSmallCombo::setItemVisible(int i, bool visible)
{
    if (i >= 0 && i < int(m_items.size()))
        m_items[std::size_t(i)].visible = visible;
}

void TSmallCombo::setItemEnabled(int i, bool enabled)
{
    if (i >= 0 && i < int(m_items.size()))
        m_items[std::size_t(i)].enabled = enabled;
}

bool TSmallCombo::isItemVisible(int i) const
{
    if (m_menu)
        return i >= 0 && i < count() && m_menu->actions().at(i)->isVisible();
    return i >= 0 && i < int(m_items.size()) && m_items[std::size_t(i)].visible;
}

bool TSmallCombo::isItemEnabled(int i) const
{
    if (m_menu)
        return i >= 0 && i < count() && m_menu->actions().at(i)->isEnabled();
    return i >= 0 && i < int(m_items.size()) && m_items[std::size_t(i)].enabled;
}

int TSmallCombo::count() const
{
    return m_menu ? int(m_menu->actions().size()) : int(m_items.size());
}

QString TSmallCombo::itemText(int i) const
{
    if (i < 0 || i >= count())
        return {};
    if (m_menu)
        return withoutAccelerator(m_menu->actions().at(i)->text());
    return m_items[std::size_t(i)].caption;
}

void TSmallCombo::setPopUpMenu(QMenu *menu)
{
    if (m_temporary)
        m_temporary->deleteLater();
    m_menu = menu;
    const int old = m_itemIndex;
    m_itemIndex = -2;  // force the caption to be rewritten
    setItemIndex(0);
    if (m_itemIndex == old)
        return;
    emit changed();
}

void TSmallCombo::setItemIndex(int i)
{
    if (i < 0 || i >= count())
        i = -1;
    const bool forced = m_itemIndex == -2;
    const bool change = !forced && i != m_itemIndex;
    m_itemIndex = i;
    m_edit->setText(i >= 0 ? itemText(i) : QString());
    m_edit->setCursorPosition(0);
    if (change) {
        QAccessibleValueChangeEvent event(this, m_edit->text());
        QAccessible::updateAccessibility(&event);
        emit changed();
    }
}

QString TSmallCombo::Text() const
{
    return m_edit->text();
}

bool TSmallCombo::DroppedDown() const
{
    return m_shown && m_shown->isVisible();
}

void TSmallCombo::setDroppedDown(bool down)
{
    if (down && !DroppedDown())
        openList();
    else if (!down && m_shown)
        m_shown->hide();
}

void TSmallCombo::openList()
{
    if (!isEnabled())
        return;
    emit dropDown();
    const QPoint below = mapToGlobal(QPoint(0, height()));
    if (m_menu) {
        m_shown = m_menu;
        TSharedMenu::of(m_menu)->popup(this, below, [this](QAction *a) {
            choose(int(m_menu->actions().indexOf(a)));
        });
        return;
    }
    // A temporary menu from the internal list, honouring each item's flags.
    if (m_temporary)
        m_temporary->deleteLater();
    m_temporary = new QMenu(this);
    m_temporary->setObjectName(QStringLiteral("ListMenu"));
    m_temporary->setMinimumWidth(width());
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        QAction *a = m_temporary->addAction(m_items[i].caption);
        a->setData(int(i));
        a->setVisible(m_items[i].visible);
        a->setEnabled(m_items[i].enabled);
        a->setCheckable(true);
        a->setChecked(int(i) == m_itemIndex);
        if (int(i) == m_itemIndex)
            m_temporary->setActiveAction(a);
    }
    m_shown = m_temporary;
    TSharedMenu::of(m_temporary)->popup(this, below, [this](QAction *a) { choose(a->data().toInt()); });
}

void TSmallCombo::choose(int index)
{
    setItemIndex(index);
    if (m_itemIndex >= 0)
        emit activated(m_itemIndex);
    emit clicked();
}

bool TSmallCombo::selectable(int i) const
{
    return isItemVisible(i) && isItemEnabled(i);
}

void TSmallCombo::step(int direction)
{
    for (int i = m_itemIndex + direction; i >= 0 && i < count(); i += direction) {
        if (selectable(i)) {
            choose(i);
            return;
        }
    }
}

void TSmallCombo::keyPressEvent(QKeyEvent *event)
{
    const bool alt = event->modifiers() & Qt::AltModifier;
    switch (event->key()) {
    case Qt::Key_F4:
    case Qt::Key_Space:
        setDroppedDown(true);
        return;
    case Qt::Key_Down:
        if (alt)
            setDroppedDown(true);
        else
            step(+1);
        return;
    case Qt::Key_Up:
        step(-1);
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TSmallCombo::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    m_edit->selectAll();
    emit entered();
}

void TSmallCombo::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    m_edit->deselect();
    emit exited();
}

bool TSmallCombo::eventFilter(QObject *watched, QEvent *event)
{
    // A click on the caption opens the list too, as on a drop-down list.
    if (watched == m_edit && event->type() == QEvent::MouseButtonPress) {
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::LeftButton) {
            setFocus(Qt::MouseFocusReason);
            setDroppedDown(true);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TSmallCombo::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange && !isEnabled())
        setDroppedDown(false);
    QWidget::changeEvent(event);
}

}  // namespace varnel::picture
