#include "register_choice.h"

#include "driver_hooks.h"

#include <QSignalBlocker>

#include <algorithm>

namespace varnel::picture {

// --- TRegisterToggle ------------------------------------------------------------

TRegisterToggle::TRegisterToggle(TVRK_610_d &driver, Reg reg, QAbstractButton *button, QObject *parent)
    : QObject(parent), m_driver(driver), m_reg(reg), m_button(button)
{
    button->setCheckable(true);
    connect(button, &QAbstractButton::clicked, this, &TRegisterToggle::onClicked);
}

void TRegisterToggle::attach()
{
    chainHandler(m_driver, eventOf(m_reg), this, [this] { refresh(); });
}

void TRegisterToggle::refresh()
{
    if (!m_button)
        return;
    const std::uint32_t value = valueSource ? valueSource() : m_driver.ReadVar(m_reg);
    const QSignalBlocker block(m_button);
    m_button->setChecked((value != 0) != inverted);
}

void TRegisterToggle::onClicked(bool checked)
{
    const bool on = checked != inverted;
    {
        // The click flipped the button; it shows the device's state until the report.
        const QSignalBlocker block(m_button);
        m_button->setChecked(!checked);
    }
    if (beforeWrite)
        beforeWrite(m_driver);
    m_driver.WriteVar(m_reg, on ? 1u : 0u);
}

// --- TRegisterChoice ------------------------------------------------------------

TRegisterChoice::TRegisterChoice(TVRK_610_d &driver, Reg reg, TSmallCombo *combo, QObject *parent)
    : QObject(parent), m_driver(driver), m_reg(reg), m_combo(combo)
{
    connect(combo, &TSmallCombo::activated, this, &TRegisterChoice::onActivated);
}

void TRegisterChoice::attach()
{
    chainHandler(m_driver, eventOf(m_reg), this, [this] { refresh(); });
}

void TRegisterChoice::refresh()
{
    if (!m_combo)
        return;
    const std::uint32_t value = valueSource ? valueSource() : m_driver.ReadVar(m_reg);
    int position = -1;
    if (values.empty()) {
        position = value < std::uint32_t(m_combo->count()) ? int(value) : -1;
    } else {
        const auto it = std::find(values.begin(), values.end(), value);
        position = it == values.end() ? -1 : int(it - values.begin());
    }
    m_combo->setItemIndex(position);  // emits changed() at most, never activated()
}

void TRegisterChoice::onActivated(int index)
{
    if (index < 0)
        return;
    std::uint32_t value = std::uint32_t(index);
    if (!values.empty()) {
        if (std::size_t(index) >= values.size())
            return;
        value = values[std::size_t(index)];
    }
    // The combo shows the device's value until the report comes.
    if (m_combo) {
        const QSignalBlocker block(m_combo);
        refresh();
    }
    if (beforeWrite)
        beforeWrite(m_driver);
    m_driver.WriteVar(m_reg, value);
}

}  // namespace varnel::picture
