// The main window's side of input selection and switching: building the source
// controls and the settings pages, the handlers of the registers they show (each
// reads the driver and refreshes; none writes back), the 500 ms step and the
// model reshaping of these controls.
#include "main_window.h"

#include "input_selection.h"
#include "inputs_settings_page.h"
#include "model_catalogue.h"
#include "settings_pages.h"
#include "user_famx_form.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>

namespace varnel::app {

void TForm_Main_VarnelOrla::buildInputSelection()
{
    TInputSelection::Widgets w;
    for (int s = 0; s <= 12; ++s)
        w.sources[std::size_t(s)] = m_sourceButtons[s];
    for (int k = 1; k <= 8; ++k)
        w.logos[std::size_t(k)] = m_logoButtons[k];
    w.freezeMain = m_freezeMain;
    w.freezePreview = m_freezePreview;
    w.switchMain = m_switchMain;
    w.switchPreview = m_switchPreview;
    m_inputs = new TInputSelection(*m_driver, w, this);
    m_inputs->setObjectName(QStringLiteral("inputSelection"));
    m_inputs->buildMenus(m_syncLossAction, m_autolockAction);

    m_settingsPages = std::make_unique<SettingsPages>(buildSettingsPages(*m_driver, m_inputs->cache(), this));
    m_inputs->setSettingsPage(m_settingsPages->inputs);
    m_settingsPages->reference->inputName = [this](int input) { return m_sourceButtons[input]->text(); };
    connect(m_inputs, &TInputSelection::pictureAvailabilityChanged, this,
            &TForm_Main_VarnelOrla::refreshNotAvailable);
    applyModelToInputs(m_modelIndex);
}

void TForm_Main_VarnelOrla::refreshNotAvailable()
{
    for (int i = 0; i < 2; ++i) {
        QLabel *panel = m_settingsPages->notAvailable[std::size_t(i)];
        const QString text = m_inputs->notAvailableText(i == 1);
        panel->setText(text);
        panel->setVisible(!text.isEmpty());
    }
}

void TForm_Main_VarnelOrla::inputsTick()
{
    m_inputs->tick();
    m_settingsPages->reference->tick();
}

void TForm_Main_VarnelOrla::applyModelToInputs(int model)
{
    const ModelFeatures &f = modelFeatures(model);
    m_inputs->setModel(model);
    m_settingsPages->reference->setInputs(f.inputs, f.anyEffect());
    if (auto *famx = m_companions.userFamx)
        famx->setPreviewShown(f.previewOutput);
}

// --- handlers: sources and switching ---------------------------------------------------

void TForm_Main_VarnelOrla::VRK_610_d1ICHMchange(TVRK_610_d &, int)
{
    m_inputs->mainSourceReported();
}

void TForm_Main_VarnelOrla::VRK_610_d1ICHNMchange(TVRK_610_d &, int)
{
    m_inputs->pendingReported();
}

void TForm_Main_VarnelOrla::VRK_610_d1ICHPchange(TVRK_610_d &, int)
{
    m_inputs->previewSourceReported();
}

void TForm_Main_VarnelOrla::VRK_610_d1ICHNPchange(TVRK_610_d &, int)
{
    m_inputs->pendingReported();
}

void TForm_Main_VarnelOrla::VRK_610_d1IFRZMchange(TVRK_610_d &, int)
{
    m_inputs->freezeReported();
}

void TForm_Main_VarnelOrla::VRK_610_d1IFRZPchange(TVRK_610_d &, int)
{
    m_inputs->freezeReported();
}

void TForm_Main_VarnelOrla::VRK_610_d1OBLACKMchange(TVRK_610_d &, int)
{
    m_inputs->blackReported();
}

void TForm_Main_VarnelOrla::VRK_610_d1TAKEchange(TVRK_610_d &, int)
{
    m_inputs->takeReported();
}

void TForm_Main_VarnelOrla::VRK_610_d1EFFONchange(TVRK_610_d &, int)
{
    m_inputs->effectRunningReported();
}

// --- handlers: channel-indexed registers ------------------------------------------------

void TForm_Main_VarnelOrla::VRK_610_d1PCHANchange(TVRK_610_d &, int)
{
    m_inputs->channelReported();
}

void TForm_Main_VarnelOrla::VRK_610_d1PENAchange(TVRK_610_d &, int)
{
    m_inputs->channelRegisterReported(Reg::PENA);
}

void TForm_Main_VarnelOrla::VRK_610_d1PLOADchange(TVRK_610_d &, int)
{
    m_inputs->channelRegisterReported(Reg::PLOAD);
}

void TForm_Main_VarnelOrla::VRK_610_d1PRGBIchange(TVRK_610_d &, int)
{
    m_inputs->channelRegisterReported(Reg::PRGBI);
}

void TForm_Main_VarnelOrla::VRK_610_d1PISTDchange(TVRK_610_d &, int)
{
    m_inputs->channelRegisterReported(Reg::PISTD);
}

void TForm_Main_VarnelOrla::VRK_610_d1PPROCchange(TVRK_610_d &, int)
{
    m_inputs->channelRegisterReported(Reg::PPROC);
}

void TForm_Main_VarnelOrla::VRK_610_d1PVISCchange(TVRK_610_d &, int)
{
    m_inputs->channelRegisterReported(Reg::PVISC);
}

void TForm_Main_VarnelOrla::VRK_610_d1ALEVchange(TVRK_610_d &, int)
{
    m_inputs->channelRegisterReported(Reg::ALEV);
}

void TForm_Main_VarnelOrla::VRK_610_d1ABALchange(TVRK_610_d &, int)
{
    m_inputs->channelRegisterReported(Reg::ABAL);
}

void TForm_Main_VarnelOrla::VRK_610_d1LDISPLAYchange(TVRK_610_d &, int)
{
    m_inputs->channelRegisterReported(Reg::LDISPLAY);
}

// --- handlers: input format, reference, menus -------------------------------------------

void TForm_Main_VarnelOrla::VRK_610_d1USERFAMMchange(TVRK_610_d &, int)
{
    if (auto *famx = m_companions.userFamx)
        famx->formatReported(false);
}

void TForm_Main_VarnelOrla::VRK_610_d1USERFAMPchange(TVRK_610_d &, int)
{
    if (auto *famx = m_companions.userFamx)
        famx->formatReported(true);
}

void TForm_Main_VarnelOrla::VRK_610_d1FAMLISTMchange(TVRK_610_d &, int)
{
    if (auto *famx = m_companions.userFamx)
        famx->allowedReported(false);
}

void TForm_Main_VarnelOrla::VRK_610_d1FAMLISTPchange(TVRK_610_d &, int)
{
    if (auto *famx = m_companions.userFamx)
        famx->allowedReported(true);
}

void TForm_Main_VarnelOrla::VRK_610_d1REFREQMchange(TVRK_610_d &, int)
{
    m_settingsPages->reference->refresh();
}

void TForm_Main_VarnelOrla::VRK_610_d1REFSTAMchange(TVRK_610_d &, int)
{
    m_settingsPages->reference->refresh();
    m_inputs->referenceReported();
}

void TForm_Main_VarnelOrla::VRK_610_d1SYNCLOSSchange(TVRK_610_d &, int)
{
    m_inputs->syncLossReported();
}

void TForm_Main_VarnelOrla::VRK_610_d1EIPSIGPchange(TVRK_610_d &, int)
{
    m_inputs->autolockReported();
}

void TForm_Main_VarnelOrla::VRK_610_d1IFAMMchange(TVRK_610_d &, int)
{
    m_inputs->pendingReported();
}

void TForm_Main_VarnelOrla::VRK_610_d1IFAMPchange(TVRK_610_d &, int)
{
    m_inputs->pendingReported();
}

}  // namespace varnel::app
