#include "gestion_slide.h"

#include "small_combo.h"  // withoutAccelerator

#include <QKeyEvent>
#include <QResizeEvent>
#include <QVBoxLayout>

#include <cmath>

namespace varnel::picture {

TGestionSlide::TGestionSlide(QWidget *parent)
    : QWidget(parent), m_column(new QWidget(this)), m_columnLayout(new QVBoxLayout(m_column)), m_stage(new QWidget(this))
{
    setObjectName(QStringLiteral("GestionSlide1"));
    m_column->setObjectName(QStringLiteral("PageButtons"));
    m_stage->setObjectName(QStringLiteral("SlideStage"));
    m_columnLayout->setContentsMargins(0, 0, 0, 0);
    m_columnLayout->setSpacing(m_space);
    m_columnLayout->addStretch(1);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(15);  // about one display frame per step
    connect(&m_timer, &QTimer::timeout, this, &TGestionSlide::tick);
}

TGestionSlide::~TGestionSlide()
{
    m_timer.stop();
    returnPages();
}

int TGestionSlide::slideStep(int remaining, int speed)
{
    if (remaining == 0)
        return 0;
    const int divisor = speed <= 0 ? 1 : speed;
    const int magnitude = std::abs(remaining);
    int step = int(std::nearbyint(double(magnitude) / divisor + 0.5));  // halves to even
    step = std::clamp(step, 1, magnitude);
    return remaining > 0 ? step : -step;
}

QToolButton *TGestionSlide::button(int i) const
{
    return i >= 0 && i < pageCount() ? m_pages[std::size_t(i)].button : nullptr;
}

QFrame *TGestionSlide::panel(int i) const
{
    return i >= 0 && i < pageCount() ? m_pages[std::size_t(i)].panel : nullptr;
}

void TGestionSlide::setSlideTop(int v)
{
    m_slideTop = v;
    layoutChildren();
}

void TGestionSlide::setSlideLeft(int v)
{
    m_slideLeft = v;
    layoutChildren();
}

void TGestionSlide::setSpace(int v)
{
    m_space = v;
    m_columnLayout->setSpacing(v);
}

void TGestionSlide::setLayouts(Qt::ToolButtonStyle style)
{
    m_layouts = style;
    for (Page &p : m_pages)
        p.button->setToolButtonStyle(style);
}

void TGestionSlide::setWithClose(bool on)
{
    m_withClose = on;
    if (on)
        m_withSens = false;
}

void TGestionSlide::setWithSensThereforeNotWithClose(bool on)
{
    m_withSens = on;
    if (on)
        m_withClose = false;
}

void TGestionSlide::setupAsSettingsPages(QTabWidget *pages)
{
    setSlideTop(0);
    setSlideLeft(155);
    setSpeed(4);
    setWithClose(false);
    setSpace(1);
    setLayouts(Qt::ToolButtonTextUnderIcon);
    setISlide(true);
    setPageControl(pages);
    if (pageCount() > 0)
        setItemIndex(0);
}

void TGestionSlide::returnPages()
{
    for (Page &p : m_pages) {
        if (p.widget && m_pageControl && m_panelsBuilt) {
            const int at = m_pageControl->addTab(p.widget, p.icon, p.caption);
            m_pageControl->setTabVisible(at, p.visible);
        }
        delete p.button;
        // Without a page control to go back to, a page goes with its panel.
        delete p.panel;
    }
    m_pages.clear();
    m_panelsBuilt = false;
    m_queue.clear();
    m_sliding = false;
    m_timer.stop();
    m_itemIndex = -1;
    m_previous = -1;
    if (m_pageControl)
        m_pageControl->show();
}

void TGestionSlide::setPageControl(QTabWidget *pages)
{
    if (pages == m_pageControl)
        return;
    returnPages();
    m_pageControl = pages;
    if (!pages)
        return;
    pages->hide();
    for (int i = 0; i < pages->count(); ++i) {
        Page p;
        p.widget = pages->widget(i);
        p.caption = pages->tabText(i);
        p.icon = pages->tabIcon(i);
        p.visible = pages->isTabVisible(i);
        const QString name = p.widget->objectName().isEmpty() ? QStringLiteral("Page%1").arg(i) : p.widget->objectName();
        p.button = new QToolButton(m_column);
        p.button->setObjectName(QStringLiteral("SpeedButtonOf_") + name);
        p.button->setText(p.caption);
        p.button->setIcon(p.icon);
        p.button->setToolButtonStyle(m_layouts);
        p.button->setCheckable(true);
        p.button->setFocusPolicy(Qt::StrongFocus);
        p.button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        p.button->setProperty("Tag", i);
        p.button->setVisible(p.visible);
        p.button->installEventFilter(this);
        m_columnLayout->insertWidget(m_columnLayout->count() - 1, p.button);
        connect(p.button, &QToolButton::pressed, this, [this, i] { emit mouseDown(i); });
        connect(p.button, &QToolButton::clicked, this, [this, i] {
            markButtons();  // the click toggled the button; the state follows ItemIndex
            click(i);
        });
        m_pages.push_back(p);
    }
    layoutChildren();
}

void TGestionSlide::buildPanels()
{
    for (Page &p : m_pages) {
        auto *panel = new QFrame(m_stage);
        panel->setFrameShape(QFrame::NoFrame);
        panel->setAutoFillBackground(true);
        panel->setObjectName(QStringLiteral("PanelOf_") + p.button->objectName().mid(14));
        panel->setWindowTitle(p.caption);
        panel->setAccessibleName(withoutAccelerator(p.caption));
        auto *layout = new QVBoxLayout(panel);
        layout->setContentsMargins(0, 0, 0, 0);
        if (p.widget) {
            layout->addWidget(p.widget);  // takes the page out of the page control
            p.widget->show();
        }
        panel->hide();
        p.panel = panel;
    }
    m_panelsBuilt = true;
}

void TGestionSlide::setItemIndex(int i)
{
    if (!m_pageControl)
        throw EGestionSlide("Property PageControl of GestionSlide is Empty!");
    click(i);
}

void TGestionSlide::click(int index)
{
    if (m_sliding) {
        if (int(m_queue.size()) >= kQueueCapacity)
            m_queue.pop_front();
        m_queue.push_back(index);
        return;
    }
    startSlide(index);
}

void TGestionSlide::startSlide(int index)
{
    if (!m_panelsBuilt)
        buildPanels();
    const bool closing = index == -1 || (index == m_itemIndex && m_withClose);
    if (closing && m_itemIndex == -1)
        return;
    if (!closing) {
        if (index < 0 || index >= pageCount() || !m_pages[std::size_t(index)].visible || index == m_itemIndex) {
            markButtons();
            return;
        }
    }
    const bool forward = !(m_withSens && m_itemIndex >= 0 && index >= 0 && index < m_itemIndex);
    const int h = m_stage->height();
    m_previous = m_itemIndex;
    m_out = panel(m_previous);
    m_in = closing ? nullptr : panel(index);
    m_itemIndex = closing ? -1 : index;
    markButtons();

    if (m_out)
        m_outTarget = forward ? -h : h;
    if (m_in) {
        m_in->setGeometry(QRect(QPoint(0, forward ? h : -h), panelSize(m_pages[std::size_t(index)])));
        m_in->show();
        if (m_layer == 1)
            m_in->lower();
        else
            m_in->raise();
        m_inTarget = 0;
    }
    m_sliding = true;
    if (!m_iSlide) {
        if (m_in)
            m_in->move(0, m_inTarget);
        if (m_out)
            m_out->move(0, m_outTarget);
        finish();
        return;
    }
    m_timer.start();
}

void TGestionSlide::tick()
{
    if (!m_sliding) {
        m_timer.stop();
        return;
    }
    bool done = true;
    if (m_in && m_in->y() != m_inTarget) {
        m_in->move(0, m_in->y() + slideStep(m_inTarget - m_in->y(), m_speed));
        done = done && m_in->y() == m_inTarget;
    }
    if (m_out && m_out->y() != m_outTarget) {
        m_out->move(0, m_out->y() + slideStep(m_outTarget - m_out->y(), m_speed));
        done = done && m_out->y() == m_outTarget;
    }
    if (done) {
        m_timer.stop();
        finish();
    }
}

void TGestionSlide::finish()
{
    m_sliding = false;
    if (m_out && m_out != m_in)
        m_out->hide();
    emit changed();
    emit finishSlide();
    // Replay the clicks made during the slide; one that starts nothing (the page
    // already shown) gives way to the next.
    while (!m_sliding && !m_queue.empty()) {
        const int next = m_queue.front();
        m_queue.pop_front();
        startSlide(next);
    }
}

void TGestionSlide::markButtons()
{
    for (int i = 0; i < pageCount(); ++i) {
        QToolButton *b = m_pages[std::size_t(i)].button;
        const bool selected = i == m_itemIndex;
        b->setChecked(selected);
        QFont f = b->font();
        f.setBold(selected);
        b->setFont(f);
    }
}

QRect TGestionSlide::stageRect() const
{
    return QRect(m_slideLeft, m_slideTop, std::max(0, width() - m_slideLeft), std::max(0, height() - m_slideTop));
}

QSize TGestionSlide::panelSize(const Page &page) const
{
    const QSize stage = stageRect().size();
    if (m_enlarge || !page.widget)
        return stage;
    const QSize own = page.widget->sizeHint();
    return m_position == 0 ? QSize(stage.width(), own.height()) : QSize(own.width(), stage.height());
}

void TGestionSlide::layoutChildren()
{
    const int columnWidth = m_slideLeft > 0 ? m_slideLeft : m_column->sizeHint().width();
    m_column->setGeometry(0, 0, columnWidth, height());
    m_stage->setGeometry(stageRect());
    if (!m_sliding) {
        for (int i = 0; i < pageCount(); ++i)
            if (QFrame *p = panel(i); p && i == m_itemIndex)
                p->setGeometry(QRect(QPoint(0, 0), panelSize(m_pages[std::size_t(i)])));
    }
}

void TGestionSlide::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void TGestionSlide::moveFocus(int from, int direction)
{
    for (int i = from + direction; i >= 0 && i < pageCount(); i += direction) {
        if (m_pages[std::size_t(i)].visible) {
            m_pages[std::size_t(i)].button->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

bool TGestionSlide::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        for (int i = 0; i < pageCount(); ++i) {
            if (watched != m_pages[std::size_t(i)].button)
                continue;
            auto *key = static_cast<QKeyEvent *>(event);
            switch (key->key()) {
            case Qt::Key_Up:
                moveFocus(i, -1);
                return true;
            case Qt::Key_Down:
                moveFocus(i, +1);
                return true;
            case Qt::Key_Return:
            case Qt::Key_Enter:
                m_pages[std::size_t(i)].button->click();
                return true;
            default:
                return false;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace varnel::picture
