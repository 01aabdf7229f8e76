#pragma once
// The binding of scrollbars and edit boxes to device registers.
//
// TRegisterSlider: a register slider. Every user action on the scrollbar sends its
// position at once (or through a TTamponVar when the row asks for pacing); Enter in
// the edit sends the typed value (converted when the row has a TConversion). The
// controls show only what the device reports: they are refreshed from the
// register's notification, with their signals blocked, and a scrollbar whose thumb
// the user is dragging is left alone until the thumb is released.
//
// TSlotSlider: a scrollbar and edit showing one field of the current effect slot;
// the owner supplies how to store into the slot and whether the slot may be sent.
//
// TRegisterSliderSet: builds a labelled scrollbar and edit per row of a table and
// binds them; pages describe their sliders as tables and never wire one by hand.

#include "conversion.h"
#include "driver_hooks.h"
#include "tampon_var.h"
#include "vrk_610_d.h"

#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QScrollBar>

#include <functional>
#include <memory>
#include <vector>

class QGridLayout;
class QLabel;

namespace varnel::picture {

/// One register slider as a page lists it.
struct RegisterSliderRow {
    const char *name = "";             ///< object name stem: "BRGTM" gives "ScrollBar_BRGTM", "Edit_BRGTM"
    Reg reg = Reg::PCHAN;
    QString caption;                   ///< label text, also the accessible name
    const TConversion *conversion = nullptr;  ///< displayed units; entries accepted in its displayed range
    int entryMin = 0;                  ///< accepted entries without a conversion
    int entryMax = 255;
    bool paced = false;                ///< writes go through a TTamponVar
    /// Run right before each write of the register (e.g. the channel selection).
    std::function<void(TVRK_610_d &)> beforeWrite = {};
};

class TRegisterSlider : public QObject {
    Q_OBJECT
public:
    TRegisterSlider(TVRK_610_d &driver, RegisterSliderRow row, QObject *parent = nullptr);

    /// Adds a place showing the register (a scrollbar and its edit). The
    /// scrollbar's range becomes the register's device range.
    void addView(QScrollBar *bar, QLineEdit *edit);
    /// Follows the register's notification (and, when paced, the link state).
    void attach();

    /// Shows the mirrored value (what the notification does), then takes the next
    /// paced value, if any, and sends it.
    void refresh();
    /// The link came or went: the answers of writes still out will not come.
    void linkStateChanged();

    /// The drag flag of view i: 1 while the user moves the thumb, else 0.
    int dragFlag(int view) const { return m_views.at(std::size_t(view)).tag; }
    int viewCount() const { return int(m_views.size()); }
    const RegisterSliderRow &row() const { return m_row; }
    TTamponVar *buffer() { return m_buffer.get(); }
    /// Replaces the pacing buffer's clock (tests).
    void setBufferClock(TTamponVar::Clock clock);

    /// The text an edit shows for a device value.
    QString displayText(std::uint32_t value) const;
    /// Sends a value chosen by the operator (paced when the row says so).
    void send(std::uint32_t value);

private:
    struct View {
        QPointer<QScrollBar> bar;
        QPointer<QLineEdit> edit;
        int tag = 0;
    };
    void onAction(std::size_t view, int action);
    void onPressed(std::size_t view);
    void onReleased(std::size_t view);
    void onEnter(std::size_t view);
    void write(std::uint32_t value);

    TVRK_610_d &m_driver;
    RegisterSliderRow m_row;
    std::vector<View> m_views;
    std::unique_ptr<TTamponVar> m_buffer;
};

/// One slot slider as the effects panel lists it.
struct SlotSliderRow {
    const char *name = "";
    Reg reg = Reg::PCHAN;
    QString caption;
    bool followsDevice = false;  ///< the register's report also moves the scrollbar
};

class TSlotSlider : public QObject {
    Q_OBJECT
public:
    TSlotSlider(TVRK_610_d &driver, SlotSliderRow row, QScrollBar *bar, QLineEdit *edit, QObject *parent = nullptr);

    /// Stores a value into the current slot's field.
    std::function<void(int)> storeInSlot;
    /// Whether the current slot may be sent to the device now.
    std::function<bool()> maySend;

    void attach();
    /// Shows a slot's value (selecting another slot); never sends.
    void showValue(int value);
    /// The register's notification: the slot takes the value, the scrollbar
    /// follows when the row says so.
    void refresh();

    QScrollBar *scrollBar() const { return m_bar; }
    QLineEdit *edit() const { return m_edit; }

private:
    void userValue(int value);
    void onEnter();

    TVRK_610_d &m_driver;
    SlotSliderRow m_row;
    QPointer<QScrollBar> m_bar;
    QPointer<QLineEdit> m_edit;
};

/// Labelled register sliders built from a table, in a grid (label, scrollbar, edit).
class TRegisterSliderSet : public QObject {
    Q_OBJECT
public:
    TRegisterSliderSet(TVRK_610_d &driver, QObject *parent = nullptr);

    /// Builds the widgets of each row into `grid` (starting at `firstRow`) and binds them.
    void build(const std::vector<RegisterSliderRow> &rows, QGridLayout *grid, int firstRow = 0);
    /// Binds an existing scrollbar and edit as a further place of a register
    /// already built (the register shown on two pages).
    void addView(Reg reg, QScrollBar *bar, QLineEdit *edit);

    TRegisterSlider *slider(Reg reg) const;
    QScrollBar *scrollBar(Reg reg) const;
    QLineEdit *edit(Reg reg) const;
    QLabel *label(Reg reg) const;
    const std::vector<TRegisterSlider *> &sliders() const { return m_sliders; }

private:
    struct Widgets {
        QLabel *label;
        QScrollBar *bar;
        QLineEdit *edit;
    };
    TVRK_610_d &m_driver;
    std::vector<TRegisterSlider *> m_sliders;
    std::vector<Widgets> m_widgets;
};

}  // namespace varnel::picture
