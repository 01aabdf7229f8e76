#pragma once
// TInputsSettingsPage: the "Inputs Settings" page of the Settings window. One row
// per input: "Used", "VCR", "Signal Type", "Standard", "H. sync load" and
// "Synchronized". Each operator action writes PCHAN (the input) and then the
// register; the controls show the main window's channel cache and are refreshed
// from reports without sending anything.

#include "input_tables.h"
#include "model_catalogue.h"
#include "register_choice.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;

namespace varnel::app {

class TInputsSettingsPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kInputs = 8;

    TInputsSettingsPage(TVRK_610_d &driver, const TChannelCache &cache, QWidget *parent = nullptr);

    /// Shows rows 1..inputs and the "Computer DVI" type on DVI models.
    void setModel(const ModelFeatures &features);
    /// A report of `reg` for channel `channel` (0: every input) arrived.
    void refresh(Reg reg, int channel);

    QCheckBox *used(int input) const { return row(input).used; }
    QCheckBox *vcr(int input) const { return row(input).vcr; }
    QCheckBox *synchronized(int input) const { return row(input).synchronized; }
    picture::TSmallCombo *signalType(int input) const { return row(input).signalType; }
    picture::TSmallCombo *standard(int input) const { return row(input).standard; }
    picture::TSmallCombo *syncLoad(int input) const { return row(input).load; }
    QLabel *syncLoadCaption(int input) const { return row(input).loadCaption; }

    static QColor usedBackground() { return Qt::white; }
    static QColor unusedBackground() { return QColor(0xC0, 0xC0, 0xC0); }  // silver
    /// The standard list of an input whose signal type has no standard.
    static QColor inactiveCaptionText() { return QColor(0xD4, 0xD0, 0xC8); }

private:
    struct Row {
        QLabel *name = nullptr;
        QCheckBox *used = nullptr;
        QCheckBox *vcr = nullptr;
        picture::TSmallCombo *signalType = nullptr;
        picture::TSmallCombo *standard = nullptr;
        QLabel *loadCaption = nullptr;
        picture::TSmallCombo *load = nullptr;
        QCheckBox *synchronized = nullptr;
        std::vector<picture::TRegisterToggle *> toggles;
        std::vector<picture::TRegisterChoice *> choices;
    };
    const Row &row(int input) const { return m_rows.at(std::size_t(input)); }
    void refreshInput(Reg reg, int input);
    void refreshColours(int input);

    TVRK_610_d &m_driver;
    const TChannelCache &m_cache;
    std::array<Row, kInputs + 1> m_rows;  // [1..8]
};

}  // namespace varnel::app
