#include "register_slider.h"

#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>

#include <stdexcept>

namespace varnel::picture {

namespace {

void setDeviceRange(QScrollBar *bar, Reg reg)
{
    const RegisterInfo &info = registerInfo(reg);
    bar->setRange(info.minimum, info.maximum);
    bar->setSingleStep(1);
    bar->setPageStep(std::max(1, (info.maximum - info.minimum) / 16));
    // These bars set a value: Right, Up and the wheel turned up increase it, as
    // on a slider (a scrollbar's defaults invert the keys and the wheel).
    bar->setInvertedControls(false);
}

}  // namespace

// --- TRegisterSlider ------------------------------------------------------------

TRegisterSlider::TRegisterSlider(TVRK_610_d &driver, RegisterSliderRow row, QObject *parent)
    : QObject(parent), m_driver(driver), m_row(std::move(row))
{
    setObjectName(QStringLiteral("RegisterSlider_%1").arg(QLatin1String(m_row.name)));
    if (m_row.paced)
        m_buffer = std::make_unique<TTamponVar>();
}

void TRegisterSlider::setBufferClock(TTamponVar::Clock clock)
{
    if (m_row.paced)
        m_buffer = std::make_unique<TTamponVar>(std::move(clock));
}

void TRegisterSlider::addView(QScrollBar *bar, QLineEdit *edit)
{
    const std::size_t i = m_views.size();
    m_views.push_back(View{bar, edit, 0});
    if (bar) {
        setDeviceRange(bar, m_row.reg);
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, i](int action) { onAction(i, action); });
        connect(bar, &QAbstractSlider::sliderPressed, this, [this, i] { onPressed(i); });
        connect(bar, &QAbstractSlider::sliderReleased, this, [this, i] { onReleased(i); });
    }
    if (edit)
        connect(edit, &QLineEdit::returnPressed, this, [this, i] { onEnter(i); });
}

void TRegisterSlider::attach()
{
    chainHandler(m_driver, eventOf(m_row.reg), this, [this] { refresh(); });
    if (m_row.paced)
        chainHandler(m_driver, eventOf(Event::OnConnected), this, [this] { linkStateChanged(); });
}

QString TRegisterSlider::displayText(std::uint32_t value) const
{
    if (m_row.conversion) {
        try {
            return QString::fromStdString(m_row.conversion->PositionDriver(int(value)));
        } catch (const std::overflow_error &) {
            return QStringLiteral("0");
        }
    }
    return QString::number(value);
}

void TRegisterSlider::refresh()
{
    const std::uint32_t value = m_driver.ReadVar(m_row.reg);
    const QString text = displayText(value);
    for (View &v : m_views) {
        if (v.edit) {
            const QSignalBlocker block(v.edit);
            v.edit->setText(text);
        }
        if (v.bar && v.tag == 0) {
            const QSignalBlocker block(v.bar);
            v.bar->setValue(int(value));
        }
    }
    if (m_buffer && !m_buffer->Vide())
        write(std::uint32_t(m_buffer->ExtraitReadOnly()));
}

void TRegisterSlider::linkStateChanged()
{
    if (m_buffer)
        m_buffer->Release();
}

void TRegisterSlider::write(std::uint32_t value)
{
    if (m_row.beforeWrite)
        m_row.beforeWrite(m_driver);
    m_driver.WriteVar(m_row.reg, value);
}

void TRegisterSlider::send(std::uint32_t value)
{
    if (!m_buffer) {
        write(value);
        return;
    }
    if (m_buffer->Vide())
        write(value);
    m_buffer->Ajout(std::int32_t(value));
}

void TRegisterSlider::onAction(std::size_t view, int action)
{
    View &v = m_views[view];
    // Only a thumb drag keeps the flag up until its release; a line, page, wheel
    // or key step is a complete scroll of its own.
    const bool drag = action == QAbstractSlider::SliderMove && v.bar->isSliderDown();
    v.tag = drag ? 1 : 0;
    send(std::uint32_t(v.bar->sliderPosition()));
}

void TRegisterSlider::onPressed(std::size_t view)
{
    m_views[view].tag = 1;
}

void TRegisterSlider::onReleased(std::size_t view)
{
    View &v = m_views[view];
    v.tag = 0;
    send(std::uint32_t(v.bar->sliderPosition()));  // the end of the scroll: final position
}

void TRegisterSlider::onEnter(std::size_t view)
{
    QLineEdit *edit = m_views[view].edit;
    int entry = 0;
    if (!parseDecimalInteger(edit->text(), entry)) {
        messageSink()(edit, notAnIntegerMessage(edit->text()));
        return;
    }
    const int lo = m_row.conversion ? m_row.conversion->ValMinAffichage() : m_row.entryMin;
    const int hi = m_row.conversion ? m_row.conversion->ValMaxAffichage() : m_row.entryMax;
    const std::uint32_t current = m_driver.ReadVar(m_row.reg);
    if (entry < lo || entry > hi) {
        send(current);  // refused: the device's answer restores the display
        return;
    }
    int value = entry;
    if (m_row.conversion) {
        try {
            value = m_row.conversion->PositionAffichage(entry);
        } catch (const std::overflow_error &) {
            send(current);
            return;
        }
    }
    if (value < 0) {
        send(current);
        return;
    }
    send(std::uint32_t(value));
}

// --- TSlotSlider ----------------------------------------------------------------

TSlotSlider::TSlotSlider(TVRK_610_d &driver, SlotSliderRow row, QScrollBar *bar, QLineEdit *edit, QObject *parent)
    : QObject(parent), m_driver(driver), m_row(std::move(row)), m_bar(bar), m_edit(edit)
{
    setObjectName(QStringLiteral("SlotSlider_%1").arg(QLatin1String(m_row.name)));
    setDeviceRange(bar, m_row.reg);
    connect(bar, &QAbstractSlider::valueChanged, this, [this](int v) {
        if (m_edit)
            m_edit->setText(QString::number(v));
    });
    connect(bar, &QAbstractSlider::actionTriggered, this, [this](int) { userValue(m_bar->sliderPosition()); });
    connect(edit, &QLineEdit::returnPressed, this, [this] { onEnter(); });
    m_edit->setText(QString::number(bar->value()));
}

void TSlotSlider::attach()
{
    chainHandler(m_driver, eventOf(m_row.reg), this, [this] { refresh(); });
}

void TSlotSlider::showValue(int value)
{
    m_bar->setValue(value);  // programmatic: no action, nothing sent
}

void TSlotSlider::refresh()
{
    const int value = int(m_driver.ReadVar(m_row.reg));
    if (storeInSlot)
        storeInSlot(value);
    if (m_row.followsDevice)
        m_bar->setValue(value);
}

void TSlotSlider::userValue(int value)
{
    if (storeInSlot)
        storeInSlot(value);
    if (!maySend || maySend())
        m_driver.WriteVar(m_row.reg, std::uint32_t(value));
}

void TSlotSlider::onEnter()
{
    int entry = 0;
    if (!parseDecimalInteger(m_edit->text(), entry)) {
        messageSink()(m_edit, notAnIntegerMessage(m_edit->text()));
        return;
    }
    m_bar->setValue(entry);  // clamped to the register's range; the edit follows
    m_edit->setText(QString::number(m_bar->value()));
    userValue(m_bar->value());
}

// --- TRegisterSliderSet ---------------------------------------------------------

TRegisterSliderSet::TRegisterSliderSet(TVRK_610_d &driver, QObject *parent)
    : QObject(parent), m_driver(driver)
{
}

void TRegisterSliderSet::build(const std::vector<RegisterSliderRow> &rows, QGridLayout *grid, int firstRow)
{
    QWidget *host = grid->parentWidget();
    int r = firstRow;
    for (const RegisterSliderRow &row : rows) {
        const QString stem = QLatin1String(row.name);
        auto *label = new QLabel(row.caption, host);
        label->setObjectName(QStringLiteral("Label_%1").arg(stem));
        auto *bar = new QScrollBar(Qt::Horizontal, host);
        bar->setObjectName(QStringLiteral("ScrollBar_%1").arg(stem));
        bar->setAccessibleName(row.caption);
        bar->setMinimumWidth(120);
        auto *edit = new QLineEdit(host);
        edit->setObjectName(QStringLiteral("Edit_%1").arg(stem));
        edit->setAccessibleName(QStringLiteral("%1 value").arg(row.caption));
        edit->setMaximumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("-0000")) + 12);
        edit->setAlignment(Qt::AlignRight);
        label->setBuddy(edit);
        grid->addWidget(label, r, 0);
        grid->addWidget(bar, r, 1);
        grid->addWidget(edit, r, 2);
        ++r;

        auto *slider = new TRegisterSlider(m_driver, row, this);
        slider->addView(bar, edit);
        slider->attach();
        m_sliders.push_back(slider);
        m_widgets.push_back({label, bar, edit});
    }
}

void TRegisterSliderSet::addView(Reg reg, QScrollBar *bar, QLineEdit *edit)
{
    if (TRegisterSlider *s = slider(reg))
        s->addView(bar, edit);
}

TRegisterSlider *TRegisterSliderSet::slider(Reg reg) const
{
    for (TRegisterSlider *s : m_sliders)
        if (s->row().reg == reg)
            return s;
    return nullptr;
}

QScrollBar *TRegisterSliderSet::scrollBar(Reg reg) const
{
    for (std::size_t i = 0; i < m_sliders.size(); ++i)
        if (m_sliders[i]->row().reg == reg)
            return m_widgets[i].bar;
    return nullptr;
}

QLineEdit *TRegisterSliderSet::edit(Reg reg) const
{
    for (std::size_t i = 0; i < m_sliders.size(); ++i)
        if (m_sliders[i]->row().reg == reg)
            return m_widgets[i].edit;
    return nullptr;
}

QLabel *TRegisterSliderSet::label(Reg reg) const
{
    for (std::size_t i = 0; i < m_sliders.size(); ++i)
        if (m_sliders[i]->row().reg == reg)
            return m_widgets[i].label;
    return nullptr;
}

}  // namespace varnel::picture
