#pragma once
// Check boxes, toggle buttons and compact combos bound to device registers.
//
// The operator's action sends the register (after `beforeWrite`, e.g. the channel
// selection); the control shows only what the device reports: a click does not
// keep its own new state, the report sets it. A refresh from a report never emits
// the signals an operator's action emits (clicked, toggled, activated), so a send
// handler hung on them is never run by the device's own answers.

#include "small_combo.h"
#include "vrk_610_d.h"

#include <QAbstractButton>
#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

namespace varnel::picture {

/// A check box or a checkable button showing a Boolean register.
class TRegisterToggle : public QObject {
    Q_OBJECT
public:
    TRegisterToggle(TVRK_610_d &driver, Reg reg, QAbstractButton *button, QObject *parent = nullptr);

    /// Sent before each write (for example PCHAN for a per-input control).
    std::function<void(TVRK_610_d &)> beforeWrite;
    /// The value to show (default: the driver's copy; a window may give its channel cache).
    std::function<std::uint32_t()> valueSource;
    /// Checked shows value 0 instead of 1 ("On" for a register meaning "off").
    bool inverted = false;

    void attach();
    void refresh();

private:
    void onClicked(bool checked);

    TVRK_610_d &m_driver;
    Reg m_reg;
    QPointer<QAbstractButton> m_button;
};

/// A TSmallCombo whose position is a register value (or maps to one).
class TRegisterChoice : public QObject {
    Q_OBJECT
public:
    TRegisterChoice(TVRK_610_d &driver, Reg reg, TSmallCombo *combo, QObject *parent = nullptr);

    std::function<void(TVRK_610_d &)> beforeWrite;
    std::function<std::uint32_t()> valueSource;
    /// Register value of each position; empty means position = value.
    std::vector<std::uint32_t> values;

    void attach();
    /// Shows the reported value; a value with no position shows nothing (-1).
    void refresh();

private:
    void onActivated(int index);

    TVRK_610_d &m_driver;
    Reg m_reg;
    QPointer<TSmallCombo> m_combo;
};

}  // namespace varnel::picture
