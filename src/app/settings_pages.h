#pragma once
// The settings page set of the main window ("Inputs Settings", "Output", "Image",
// "Logo && Frame", "Audio", "Transition") and its move into the "Settings" window,
// where a TGestionSlide presents it. Pages whose controls come with later work are
// present and empty.

#include "input_tables.h"
#include "register_choice.h"

#include <QPointer>
#include <QTabWidget>

#include <array>

class QLabel;

namespace varnel::picture {
class TGestionSlide;
}

namespace varnel::app {

class TInputsSettingsPage;

/// The output reference: the "Frame freq:" list (REFREQM), the reference in force
/// (REFSTAM) and the warning shown while the two differ.
class TReferenceDisplay : public QObject {
    Q_OBJECT
public:
    TReferenceDisplay(TVRK_610_d &driver, QWidget *page);

    /// REFREQM or REFSTAM reported.
    void refresh();
    /// The 500 ms step: the warning blinks while the wanted reference is not in force.
    void tick();
    /// Hides the references the model lacks.
    void setInputs(int inputs, bool anyEffect);
    /// Entries 1..8 name the inputs (the operator's names).
    std::function<QString(int input)> inputName;

    picture::TSmallCombo *list() const { return m_list; }
    QLabel *text() const { return m_text; }
    QLabel *warning() const { return m_warning; }
    QString referenceName(int value) const;

private:
    TVRK_610_d &m_driver;
    picture::TSmallCombo *m_list = nullptr;
    picture::TRegisterChoice *m_choice = nullptr;
    QLabel *m_text = nullptr;
    QLabel *m_warning = nullptr;
};

struct SettingsPages {
    QTabWidget *pages = nullptr;
    TInputsSettingsPage *inputs = nullptr;
    TReferenceDisplay *reference = nullptr;
    std::array<QLabel *, 2> notAvailable{};  ///< over the main and the preview picture page
};

SettingsPages buildSettingsPages(TVRK_610_d &driver, const TChannelCache &cache, QWidget *owner);

/// Gives the "Settings" window its page manager over `pages` (first page shown).
picture::TGestionSlide *installSettingsPages(QWidget *settingsWindow, QTabWidget *pages);

}  // namespace varnel::app
