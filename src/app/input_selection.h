#pragma once
// TInputSelection: the source buttons of the main window ("Input 1" .. "Input 8",
// "Frame 1" .. "Frame 4", "Black"), the freeze and switch buttons, the per-input
// logo buttons and the channel cache of the channel-indexed registers.
//
// Operator actions write registers; the buttons show only what the device reports.
// The highlight (red: on main, green: on preview, blue: requested for preview) is
// recomputed from ICHM, ICHP and ICHNP on every report and on every 500 ms tick of
// the main timer, which also drives the blinking.

#include "input_tables.h"
#include "inputs_settings_page.h"
#include "model_catalogue.h"
#include "vrk_610_d.h"

#include <QColor>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QPushButton>

#include <array>
#include <functional>

class QAction;
class QActionGroup;
class QMenu;
class QPushButton;
class QTimer;

namespace varnel::app {



/// A source button of an input: its glyph above its caption.
class TSourceButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

/// How one source button looks.
struct SourceLook {
    bool pressed = false;
    bool bold = false;
    enum Colour { WindowText, Red, Green, Blue } colour = WindowText;
    bool glyphSelected = false;  ///< inputs 1..8 only
    bool operator==(const SourceLook &) const = default;
};

/// The registers and model facts the highlight depends on.
struct HighlightState {
    std::uint32_t ichm = 0;
    std::uint32_t ichp = 0;
    std::uint32_t ichnp = 0;
    bool previewOutput = true;
    bool effectRunning = false;
    bool phase = false;  ///< flips on every 500 ms tick
};

/// The look of source button `source` (1..12) in state `s`.
SourceLook sourceLook(int source, const HighlightState &s);

class TInputSelection : public QObject {
    Q_OBJECT
public:
    static constexpr int kSwitchReleaseMs = 5000;
    static constexpr std::uint32_t kEffectTitle = 2;
    static constexpr std::uint32_t kEffectPip = 3;

    struct Widgets {
        std::array<QPushButton *, 13> sources{};  ///< [1..12] sources, [0] "Black"
        std::array<QPushButton *, 9> logos{};     ///< [1..8] logo buttons of the inputs
        QPushButton *freezeMain = nullptr;
        QPushButton *freezePreview = nullptr;
        QPushButton *switchMain = nullptr;
        QPushButton *switchPreview = nullptr;
    };

    TInputSelection(TVRK_610_d &driver, const Widgets &widgets, QObject *parent = nullptr);

    static QColor colour(SourceLook::Colour c, const QColor &windowText);
    static QIcon idleGlyph();
    static QIcon selectedGlyph();

    void setModel(int model);
    void setSettingsPage(TInputsSettingsPage *page) { m_page = page; }
    /// Builds the "Input Sync-Loss" and "No input signal autolock" sub-menus.
    void buildMenus(QAction *syncLoss, QAction *autolock);

    TChannelCache &cache() { return m_cache; }
    const TChannelCache &cache() const { return m_cache; }

    // --- operator actions ------------------------------------------------------------
    void sourcePressed(int source);
    void freezeMainPressed();
    void freezePreviewPressed();
    void blackPressed();
    /// A switch button was clicked (it toggles); the release timer restarts.
    void switchPressed();
    void logoPressed(int input);
    /// The release timer fired: both switch buttons come up.
    void releaseSwitches();
    QTimer *switchTimer() const { return m_switchTimer; }

    // --- reports ---------------------------------------------------------------------
    void mainSourceReported();     ///< ICHM
    void previewSourceReported();  ///< ICHP
    void pendingReported();        ///< ICHNP, ICHNM
    void freezeReported();         ///< IFRZM, IFRZP
    void blackReported();          ///< OBLACKM
    void takeReported();           ///< TAKE
    void effectRunningReported();  ///< EFFON
    void channelReported();        ///< PCHAN
    void channelRegisterReported(Reg reg);
    void syncLossReported();  ///< SYNCLOSS
    void autolockReported();  ///< EIPSIGP
    void referenceReported(); ///< REFSTAM (not-available panels)

    /// The 500 ms step of the main timer.
    void tick();
    /// Re-applies the highlight and enabling (after a report or a tick).
    void render();

    // --- what is shown ---------------------------------------------------------------
    HighlightState highlightState() const;
    SourceLook shownLook(int source) const { return m_looks.at(std::size_t(source)); }
    /// "" when the panel is hidden.
    QString notAvailableText(bool preview) const;
    /// Whether picture adjustment `a` exists on the main or preview page now.
    bool adjustmentVisible(bool preview, Adjustment a) const;
    bool sourcePanelLocked() const { return m_locked; }

signals:
    /// The source now on main or preview (0..8 only; frames are not passed on).
    void mainSourceChanged(int source);
    void previewSourceChanged(int source);
    void channelChanged(int pchan);
    /// Picture adjustments or not-available panels need refreshing.
    void pictureAvailabilityChanged();

private:
    bool windowEffectOnAir() const;
    void applyLook(int source, const SourceLook &look);
    void applyEnabling();
    void refreshLogoButton(int input);

    TVRK_610_d &m_driver;
    Widgets m_w;
    TChannelCache m_cache;
    QPointer<TInputsSettingsPage> m_page;
    QTimer *m_switchTimer = nullptr;
    ModelFeatures m_features;
    bool m_phase = false;
    bool m_blackPhase = false;
    bool m_locked = false;
    std::array<bool, 9> m_used{};
    bool m_framesUsed = true;
    std::array<SourceLook, 13> m_looks{};
    std::array<QAction *, 13> m_syncLossItems{};
    QAction *m_autolockOn = nullptr;
    QAction *m_autolockOff = nullptr;
};

}  // namespace varnel::app
