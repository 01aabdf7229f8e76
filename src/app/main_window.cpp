#include "main_window.h"

#include "con_type_cfg_form.h"
#include "lan_dlg.h"
#include "model_catalogue.h"
#include "input_selection.h"
#include "out_of_range.h"
#include "settings_pages.h"
#include "user_famx_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <array>

#ifndef VARNEL_APP_VERSION
#define VARNEL_APP_VERSION "0.0.0.0"
#endif

namespace varnel::app {

namespace {

using M = TForm_Main_VarnelOrla;

constexpr std::array kBindings{
    NotificationBinding{eventOf(Reg::DEV), "VRK_610_d1DEVchange", &M::VRK_610_d1DEVchange},
    NotificationBinding{eventOf(Reg::queryall), "VRK_610_d1QUERYALLchange", &M::VRK_610_d1QUERYALLchange},
    NotificationBinding{eventOf(Event::OnConTypechange), "VRK_610_d1ConTypechange", &M::VRK_610_d1ConTypechange},
    NotificationBinding{eventOf(Reg::TCPIP), "VRK_610_d1TCPIPchange", &M::VRK_610_d1TCPIPchange},
    NotificationBinding{eventOf(Reg::NETMASK), "VRK_610_d1NETMASKchange", &M::VRK_610_d1NETMASKchange},
    NotificationBinding{eventOf(Event::OnLOCAL_IPchange), "VRK_610_d1LOCAL_IPchange", &M::VRK_610_d1LOCAL_IPchange},
    NotificationBinding{eventOf(Event::OnREMOTE_IPchange), "VRK_610_d1REMOTE_IPchange", &M::VRK_610_d1REMOTE_IPchange},
    NotificationBinding{eventOf(Event::OnGATEWAY_IPchange), "VRK_610_d1GATEWAY_IPchange",
                        &M::VRK_610_d1GATEWAY_IPchange},
    NotificationBinding{eventOf(Event::OnLOCAL_PORTchange), "VRK_610_d1LOCAL_PORTchange",
                        &M::VRK_610_d1LOCAL_PORTchange},
    NotificationBinding{eventOf(Event::OnREMOTE_PORTchange), "VRK_610_d1REMOTE_PORTchange",
                        &M::VRK_610_d1REMOTE_PORTchange},
#define VARNEL_INPUT_BINDING(name) NotificationBinding{eventOf(Reg::name), "VRK_610_d1" #name "change", &M::VRK_610_d1##name##change}
    VARNEL_INPUT_BINDING(ICHM),     VARNEL_INPUT_BINDING(ICHNM),    VARNEL_INPUT_BINDING(ICHP),
    VARNEL_INPUT_BINDING(ICHNP),    VARNEL_INPUT_BINDING(IFRZM),    VARNEL_INPUT_BINDING(IFRZP),
    VARNEL_INPUT_BINDING(OBLACKM),  VARNEL_INPUT_BINDING(TAKE),     VARNEL_INPUT_BINDING(EFFON),
    VARNEL_INPUT_BINDING(PCHAN),    VARNEL_INPUT_BINDING(PENA),     VARNEL_INPUT_BINDING(PLOAD),
    VARNEL_INPUT_BINDING(PRGBI),    VARNEL_INPUT_BINDING(PISTD),    VARNEL_INPUT_BINDING(PPROC),
    VARNEL_INPUT_BINDING(PVISC),    VARNEL_INPUT_BINDING(ALEV),     VARNEL_INPUT_BINDING(ABAL),
    VARNEL_INPUT_BINDING(LDISPLAY), VARNEL_INPUT_BINDING(USERFAMM), VARNEL_INPUT_BINDING(USERFAMP),
    VARNEL_INPUT_BINDING(FAMLISTM), VARNEL_INPUT_BINDING(FAMLISTP), VARNEL_INPUT_BINDING(REFREQM),
    VARNEL_INPUT_BINDING(REFSTAM),  VARNEL_INPUT_BINDING(SYNCLOSS), VARNEL_INPUT_BINDING(EIPSIGP),
    VARNEL_INPUT_BINDING(IFAMM),    VARNEL_INPUT_BINDING(IFAMP),
#undef VARNEL_INPUT_BINDING
};

const QString kNotConnected = QStringLiteral("Device not connected");
const QString kNotConnectedBlink = QStringLiteral("DEVICE NOT CONNECTED");
const QString kConnected = QStringLiteral("Device connected");
const QString kOutOfRange = QStringLiteral("Out of range : Use reduced blankings");
const QString kOutOfRangeBlink = QStringLiteral("Out of range : USE REDUCED BLANKINGS");
const QString kIdleAlert = QStringLiteral("...");

constexpr int kPanelWidths[5] = {140, 170, 156, 114, 173};
const char *const kPanelNames[5] = {"panelConnection", "panelLink", "panelSoftwareVersion", "panelDeviceVersion",
                                    "panelAlert"};

constexpr std::uint32_t kEffectTitle = 2;
constexpr std::uint32_t kEffectPip = 3;

QPixmap linkImage(bool connected)
{
    QPixmap pm(48, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(connected ? QColor(40, 160, 60) : QColor(200, 40, 40));
    p.drawEllipse(4, 4, 40, 40);
    p.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap));
    if (connected) {
        p.drawLine(14, 25, 21, 32);
        p.drawLine(21, 32, 34, 16);
    } else {
        p.drawLine(16, 16, 32, 32);
        p.drawLine(32, 16, 16, 32);
    }
    return pm;
}

void setButtonLook(QPushButton *b, bool bold, bool italic, const QColor &color)
{
    QFont f = b->font();
    f.setBold(bold);
    f.setItalic(italic);
    b->setFont(f);
    QPalette pal = b->palette();
    pal.setColor(QPalette::ButtonText, color);
    b->setPalette(pal);
}

QPushButton *makeButton(const QString &text, const QString &name, QWidget *parent)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    return b;
}

}  // namespace

std::span<const NotificationBinding> TForm_Main_VarnelOrla::notificationBindings()
{
    return kBindings;
}

TForm_Main_VarnelOrla::TForm_Main_VarnelOrla(std::unique_ptr<TVRK_610_d> driver, std::unique_ptr<LinkAccess> link,
                                             QWidget *parent)
    : QMainWindow(parent), m_driver(std::move(driver)), m_link(std::move(link))
{
    setObjectName(QStringLiteral("TForm_Main_VarnelOrla"));
    setWindowTitle(QStringLiteral("...."));
    if (!m_link)
        m_link = makeDriverLinkAccess(*m_driver);
    buildMenusAndToolBars();
    buildRegions();
    buildInputSelection();
    buildStatusBar();
    buildPanels();
    // A fixed-size tool surface.
    setFixedSize(kWidth, kHeight);
    setWindowTitle(QStringLiteral("Rezize Vurad"));
    bindNotifications();
    setMessageHooks({}, {});
    m_checksum.setWarningHandler([this](std::string_view text) { m_tell(QString::fromLatin1(text)); });

    m_mainTimer = new QTimer(this);
    m_mainTimer->setObjectName(QStringLiteral("timerMain"));
    m_mainTimer->setInterval(kMainTimerMs);
    connect(m_mainTimer, &QTimer::timeout, this, &TForm_Main_VarnelOrla::mainTimerTick);
    m_mainTimer->start();
}

TForm_Main_VarnelOrla::~TForm_Main_VarnelOrla()
{
    // The driver's notifications must not reach a half-destroyed window.
    if (m_driver)
        for (const auto &b : kBindings)
            m_driver->setHandler(b.event, {});
    // The companion windows may hold a reference to the driver: they go first.
    for (QWidget *w : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        if (w->isWindow())
            delete w;
}

void TForm_Main_VarnelOrla::bindNotifications()
{
    for (const auto &b : kBindings) {
        auto member = b.handler;
        m_driver->setHandler(b.event, [this, member](TVRK_610_d &sender, int nro) { (this->*member)(sender, nro); });
    }
}

QAction *TForm_Main_VarnelOrla::addCommand(QMenu *menu, const QString &caption, const char *name)
{
    auto *a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    QString hint = caption;
    hint.remove(QLatin1Char('&'));
    a->setToolTip(hint);
    a->setStatusTip(hint);
    return a;
}

void TForm_Main_VarnelOrla::buildMenusAndToolBars()
{
    auto *bar = menuBar();
    bar->setObjectName(QStringLiteral("menuMain"));

    auto *files = bar->addMenu(QStringLiteral("&Files"));
    files->setObjectName(QStringLiteral("menuFiles"));
    auto *customizeHeading = addCommand(files, QStringLiteral("Customize"), "actionCustomizeHeading");
    customizeHeading->setEnabled(false);
    auto *newA = addCommand(files, QStringLiteral("&New"), "actionNew");
    auto *openA = addCommand(files, QStringLiteral("&Open"), "actionOpen");
    auto *saveA = addCommand(files, QStringLiteral("&Save"), "actionSave");
    auto *saveAsA = addCommand(files, QStringLiteral("Save &as..."), "actionSaveAs");
    files->addSeparator();
    auto *configHeading = addCommand(files, QStringLiteral("Configuration"), "actionConfigurationHeading");
    configHeading->setEnabled(false);
    auto *loadConfig = addCommand(files, QStringLiteral("&Load"), "actionConfigurationLoad");
    auto *saveConfig = addCommand(files, QStringLiteral("Sa&ve as..."), "actionConfigurationSaveAs");
    files->addSeparator();
    m_exitAction = addCommand(files, QStringLiteral("E&xit"), "actionExit");
    connect(m_exitAction, &QAction::triggered, this, &QWidget::close);

    auto *controls = bar->addMenu(QStringLiteral("&Controls"));
    controls->setObjectName(QStringLiteral("menuControls"));
    m_autolockAction = addCommand(controls, QStringLiteral("No input signal autolock"), "actionAutolock");
    m_autotakeAction = addCommand(controls, QStringLiteral("Autotake"), "actionAutotake");
    auto *standBy = addCommand(controls, QStringLiteral("Stand by"), "actionStandBy");
    auto *keyLocking = addCommand(controls, QStringLiteral("Key locking"), "actionKeyLocking");
    m_syncLossAction = addCommand(controls, QStringLiteral("Input Sync-Loss"), "actionInputSyncLoss");
    m_inputFormatAction = addCommand(controls, QStringLiteral("Input Format"), "actionInputFormat");
    m_edidAction = addCommand(controls, QStringLiteral("EDID DVI"), "actionEdidDvi");
    auto *erase = addCommand(controls, QStringLiteral("Erase all memories"), "actionEraseAllMemories");
    auto *defaults = addCommand(controls, QStringLiteral("Default values"), "actionDefaultValues");
    controls->addSeparator();
    m_deviceLanAction = addCommand(controls, QStringLiteral("Device LAN Setup"), "actionDeviceLanSetup");
    m_rs232LanAction = addCommand(controls, QStringLiteral("RS232/LAN Setup"), "actionRs232LanSetup");
    auto *autoSettings = new QAction(QStringLiteral("Auto-settings"), this);
    autoSettings->setObjectName(QStringLiteral("actionAutoSettings"));
    autoSettings->setToolTip(QStringLiteral("Auto-settings"));
    connect(m_rs232LanAction, &QAction::triggered, this, &TForm_Main_VarnelOrla::rs232LanSetup);
    connect(m_deviceLanAction, &QAction::triggered, this, &TForm_Main_VarnelOrla::deviceLanSetup);

    auto *aboutMenu = bar->addMenu(QStringLiteral("&About"));
    aboutMenu->setObjectName(QStringLiteral("menuAbout"));
    m_aboutAction = addCommand(aboutMenu, QString::fromStdString(aboutMenuCaption(0)), "actionAbout");
    connect(m_aboutAction, &QAction::triggered, this, [this] {
        if (m_companions.about) {
            m_companions.about->show();
            m_companions.about->raise();
        }
    });

    // Commands whose windows and device functions come with later work stay
    // visible but disabled, so the menu shows the whole product without dead clicks.
    for (auto *a : {newA, openA, saveA, saveAsA, loadConfig, saveConfig, m_autotakeAction, standBy, keyLocking,
                    m_edidAction, erase, defaults, autoSettings})
        a->setEnabled(false);

    auto *filesBar = addToolBar(QStringLiteral("Files"));
    filesBar->setObjectName(QStringLiteral("toolBarFiles"));
    auto *controlsBar = addToolBar(QStringLiteral("Controls"));
    controlsBar->setObjectName(QStringLiteral("toolBarControls"));
    for (auto *tb : {filesBar, controlsBar}) {
        tb->setMovable(false);
        tb->setFloatable(false);
        tb->setToolButtonStyle(Qt::ToolButtonTextOnly);
    }
    for (auto *a : {newA, openA, saveA, saveAsA})
        filesBar->addAction(a);
    for (auto *a : {m_rs232LanAction, autoSettings, keyLocking, standBy, erase, defaults})
        controlsBar->addAction(a);
    controlsBar->addSeparator()->setObjectName(QStringLiteral("actionSeparatorAbout"));
    controlsBar->addAction(m_aboutAction);
    for (auto *tb : {filesBar, controlsBar})
        for (auto *a : tb->actions())
            if (QWidget *w = tb->widgetForAction(a); w && !a->objectName().isEmpty())
                w->setObjectName(QStringLiteral("tool") + a->objectName().mid(6));
}

void TForm_Main_VarnelOrla::buildRegions()
{
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("surface"));
    setCentralWidget(central);
    auto *row = new QHBoxLayout(central);
    row->setContentsMargins(6, 6, 6, 6);
    row->setSpacing(6);

    // Input selection: source buttons, later the logo controls of each input.
    m_inputPanel = new QGroupBox(QStringLiteral("Input selection"), central);
    m_inputPanel->setObjectName(QStringLiteral("groupInputSelection"));
    m_inputPanel->setFixedWidth(490);
    auto *inputLayout = new QVBoxLayout(m_inputPanel);
    auto *inputRow = new QHBoxLayout;
    inputRow->setSpacing(4);
    auto *frameRow = new QHBoxLayout;
    for (int s = 1; s <= 8; ++s) {
        // Each input: its selection button with the input's logo button below.
        auto *b = new TSourceButton(QStringLiteral("Input %1").arg(s), m_inputPanel);
        b->setObjectName(QStringLiteral("buttonInput%1").arg(s));
        b->setIconSize(QSize(28, 22));
        m_sourceButtons[s] = b;
        auto *logo = makeButton(QStringLiteral("OFF"), QStringLiteral("buttonLogo%1").arg(s), m_inputPanel);
        logo->setAccessibleDescription(QStringLiteral("Logo display of input %1").arg(s));
        logo->setToolTip(QStringLiteral("Logo display of input %1").arg(s));
        m_logoButtons[s] = logo;
        auto *column = new QVBoxLayout;
        column->setSpacing(2);
        column->addWidget(b);
        column->addWidget(logo);
        inputRow->addLayout(column);
    }
    for (int f = 1; f <= 4; ++f) {
        auto *b = makeButton(QStringLiteral("Frame %1").arg(f), QStringLiteral("buttonFrame%1").arg(f), m_inputPanel);
        b->setCheckable(true);
        m_sourceButtons[8 + f] = b;
        frameRow->addWidget(b);
    }
    m_sourceButtons[0] = makeButton(QStringLiteral("Black"), QStringLiteral("buttonBlack"), m_inputPanel);
    frameRow->addWidget(m_sourceButtons[0]);
    auto *logoArea = new QFrame(m_inputPanel);
    logoArea->setObjectName(QStringLiteral("areaInputLogos"));
    inputLayout->addLayout(inputRow);
    inputLayout->addLayout(frameRow);
    inputLayout->addWidget(logoArea, 1);
    row->addWidget(m_inputPanel);

    // Switching column: freeze and switch buttons, effect keys, TAKE.
    m_switchColumn = new QFrame(central);
    m_switchColumn->setObjectName(QStringLiteral("columnSwitching"));
    m_switchColumn->setFrameShape(QFrame::StyledPanel);
    m_switchColumn->setFixedWidth(214);
    auto *sw = new QGridLayout(m_switchColumn);
    m_freezeMain = makeButton(QStringLiteral("FREEZE\nMain"), QStringLiteral("buttonFreezeMain"), m_switchColumn);
    m_freezePreview =
        makeButton(QStringLiteral("FREEZE\nPreview"), QStringLiteral("buttonFreezePreview"), m_switchColumn);
    m_switchMain = makeButton(QStringLiteral("Switch\nMain"), QStringLiteral("buttonSwitchMain"), m_switchColumn);
    m_switchPreview =
        makeButton(QStringLiteral("Switch\nPreview"), QStringLiteral("buttonSwitchPreview"), m_switchColumn);
    for (auto *b : {m_switchMain, m_switchPreview})
        b->setCheckable(true);
    sw->addWidget(m_freezeMain, 0, 0, 1, 2);
    sw->addWidget(m_freezePreview, 0, 2, 1, 2);
    sw->addWidget(m_switchMain, 1, 0, 1, 2);
    sw->addWidget(m_switchPreview, 1, 2, 1, 2);
    auto *keysLabel = new QLabel(QStringLiteral("Effect Keys:"), m_switchColumn);
    keysLabel->setObjectName(QStringLiteral("labelEffectKeys"));
    sw->addWidget(keysLabel, 2, 0, 1, 4);
    for (int k = 0; k < 12; ++k) {
        m_effectKeys[k] =
            makeButton(QStringLiteral("Key %1").arg(k + 1), QStringLiteral("buttonEffectKey%1").arg(k + 1), m_switchColumn);
        m_effectKeys[k]->setCheckable(true);
        m_effectEdits[k] = makeButton(QStringLiteral("Edit"), QStringLiteral("buttonEffectEdit%1").arg(k + 1), m_switchColumn);
        m_effectEdits[k]->setToolTip(QStringLiteral("Edit effect key %1").arg(k + 1));
        m_effectEdits[k]->setMaximumWidth(38);
        const int r = 3 + k % 6;
        const int c = (k / 6) * 2;
        sw->addWidget(m_effectKeys[k], r, c);
        sw->addWidget(m_effectEdits[k], r, c + 1);
    }
    m_take = makeButton(QStringLiteral("TAKE"), QStringLiteral("buttonTake"), m_switchColumn);
    m_take->setMinimumHeight(40);
    m_transition = makeButton(QStringLiteral("Transition"), QStringLiteral("buttonTransition"), m_switchColumn);
    sw->addWidget(m_take, 9, 0, 1, 4);
    sw->addWidget(m_transition, 10, 0, 1, 4);
    sw->setRowStretch(11, 1);
    row->addWidget(m_switchColumn);

    // Effects panel: effect parameters, durations, the PiP framing control.
    m_effectsPanel = new QGroupBox(QStringLiteral("Effect selection"), central);
    m_effectsPanel->setObjectName(QStringLiteral("groupEffects"));
    auto *fx = new QGridLayout(m_effectsPanel);
    m_openingDuration = new QLabel(QStringLiteral("Opening Duration"), m_effectsPanel);
    m_openingDuration->setObjectName(QStringLiteral("labelOpeningDuration"));
    m_closingDuration = new QLabel(QStringLiteral("Closing Duration"), m_effectsPanel);
    m_closingDuration->setObjectName(QStringLiteral("labelClosingDuration"));
    m_framingHost = new QFrame(m_effectsPanel);
    m_framingHost->setObjectName(QStringLiteral("hostPipFraming"));
    m_framingHost->setFrameShape(QFrame::StyledPanel);
    m_framingHost->setMinimumSize(200, 150);
    fx->addWidget(m_openingDuration, 0, 0);
    fx->addWidget(m_closingDuration, 0, 1);
    fx->addWidget(m_framingHost, 1, 0, 1, 2);
    fx->setRowStretch(1, 1);
    row->addWidget(m_effectsPanel, 1);

    // T-bar.
    auto *tbarBox = new QFrame(central);
    tbarBox->setObjectName(QStringLiteral("columnTBar"));
    auto *tb = new QVBoxLayout(tbarBox);
    m_tbarLabel = new QLabel(QStringLiteral("TBar"), tbarBox);
    m_tbarLabel->setObjectName(QStringLiteral("labelTBar"));
    m_tbarLabel->setAlignment(Qt::AlignHCenter);
    m_tbar = new QSlider(Qt::Vertical, tbarBox);
    m_tbar->setObjectName(QStringLiteral("sliderTBar"));
    m_tbar->setAccessibleName(QStringLiteral("TBar"));
    m_tbar->setRange(0, 255);
    m_tbar->setAutoFillBackground(true);
    m_tbarLabel->setBuddy(m_tbar);
    tb->addWidget(m_tbarLabel);
    tb->addWidget(m_tbar, 1, Qt::AlignHCenter);
    row->addWidget(tbarBox);

    // Button panel.
    auto *buttons = new QFrame(central);
    buttons->setObjectName(QStringLiteral("panelButtons"));
    auto *bl = new QVBoxLayout(buttons);
    m_settingsButton = makeButton(QStringLiteral("Settings"), QStringLiteral("buttonSettings"), buttons);
    m_statusButton = makeButton(QStringLiteral("Status"), QStringLiteral("buttonStatus"), buttons);
    m_customizeButton = makeButton(QStringLiteral("Customize"), QStringLiteral("buttonCustomize"), buttons);
    for (auto *b : {m_settingsButton, m_statusButton, m_customizeButton})
        bl->addWidget(b);
    bl->addStretch();
    row->addWidget(buttons);
    auto showCompanion = [this](QWidget *Companions::*which) {
        return [this, which] {
            if (QWidget *w = m_companions.*which) {
                w->show();
                w->raise();
                w->activateWindow();
            }
        };
    };
    connect(m_settingsButton, &QPushButton::clicked, this, showCompanion(&Companions::settings));
    connect(m_statusButton, &QPushButton::clicked, this, showCompanion(&Companions::status));
    connect(m_customizeButton, &QPushButton::clicked, this, showCompanion(&Companions::customize));
}

void TForm_Main_VarnelOrla::buildStatusBar()
{
    auto *bar = statusBar();
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(false);
    // The panels have fixed widths; a smaller font lets their longest texts fit.
    QFont small = bar->font();
    small.setPointSizeF(small.pointSizeF() * 0.8);
    bar->setFont(small);
    for (int i = 0; i < 5; ++i) {
        auto *label = new QLabel(bar);
        label->setObjectName(QString::fromLatin1(kPanelNames[i]));
        label->setFixedWidth(kPanelWidths[i]);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        m_panels[i] = label;
        bar->addWidget(label);
    }
    m_panels[0]->setText(kNotConnected);
    bar->setMouseTracking(true);
    bar->installEventFilter(this);
    for (auto *label : m_panels) {
        label->setMouseTracking(true);
        label->installEventFilter(this);
    }
}

void TForm_Main_VarnelOrla::buildPanels()
{
    m_pleaseWait = new QFrame(centralWidget());
    m_pleaseWait->setObjectName(QStringLiteral("panelPleaseWait"));
    m_pleaseWait->setFrameShape(QFrame::Box);
    m_pleaseWait->setLineWidth(2);
    m_pleaseWait->setAutoFillBackground(true);
    auto *pw = new QHBoxLayout(m_pleaseWait);
    m_pleaseWaitImage = new QLabel(m_pleaseWait);
    m_pleaseWaitImage->setObjectName(QStringLiteral("imageLinkState"));
    m_pleaseWaitImage->setAccessibleName(QStringLiteral("Link state"));
    m_pleaseWaitText = new QLabel(kNotConnected, m_pleaseWait);
    m_pleaseWaitText->setObjectName(QStringLiteral("labelPleaseWait"));
    QFont f = m_pleaseWaitText->font();
    f.setPointSize(f.pointSize() + 4);
    f.setBold(true);
    m_pleaseWaitText->setFont(f);
    pw->addWidget(m_pleaseWaitImage);
    pw->addWidget(m_pleaseWaitText, 1);
    showPleaseWait(false);

    m_updateNotice = new QFrame(centralWidget());
    m_updateNotice->setObjectName(QStringLiteral("panelUpdateNotice"));
    m_updateNotice->setFrameShape(QFrame::Box);
    m_updateNotice->setAutoFillBackground(true);
    auto *un = new QHBoxLayout(m_updateNotice);
    m_updateNoticeText = new QLabel(m_updateNotice);
    m_updateNoticeText->setObjectName(QStringLiteral("labelUpdateNotice"));
    m_updateNoticeText->setWordWrap(true);
    auto *ok = makeButton(QStringLiteral("Ok"), QStringLiteral("buttonUpdateNoticeOk"), m_updateNotice);
    // "Ok" lets the next one-second phase hide the notice.
    connect(ok, &QPushButton::clicked, this, [this] { m_updateCountdown = 1; });
    un->addWidget(m_updateNoticeText, 1);
    un->addWidget(ok);
    m_updateNotice->hide();
    placePanels();
}

void TForm_Main_VarnelOrla::placePanels()
{
    if (!m_pleaseWait)
        return;
    const QRect area = centralWidget()->rect();
    const QSize pw(420, 110);
    m_pleaseWait->setGeometry(QRect(area.center() - QPoint(pw.width() / 2, pw.height() / 2), pw));
    const QSize un(520, 70);
    m_updateNotice->setGeometry(
        QRect(QPoint(area.center().x() - un.width() / 2, area.bottom() - un.height() - 12), un));
    m_pleaseWait->raise();
    m_updateNotice->raise();
}

void TForm_Main_VarnelOrla::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    placePanels();
}

void TForm_Main_VarnelOrla::showPleaseWait(bool connectedImage)
{
    m_pleaseWaitImage->setPixmap(linkImage(connectedImage));
    m_pleaseWait->show();
    m_pleaseWait->raise();
}

void TForm_Main_VarnelOrla::setSerialPorts(const QStringList &ports)
{
    m_serialPorts = ports;
    if (auto *dlg = m_companions.connectionDialog) {
        dlg->clearPorts();
        for (const QString &p : ports)
            dlg->addPort(p);
        dlg->setRs232Enabled(!ports.isEmpty());
    }
}

void TForm_Main_VarnelOrla::initialise()
{
    m_pleaseWaitText->setText(kNotConnected);
    m_inputPanel->setTitle(QStringLiteral("Input selection"));
    m_effectsPanel->setTitle(QStringLiteral("Effect selection"));
    m_openingDuration->setText(QStringLiteral("Opening Duration"));
    m_closingDuration->setText(QStringLiteral("Closing Duration"));
    m_driver->SetRanges(&VarRanges, false);

    // Ctrl+Insert anywhere in the application stands for the system-wide hot key.
    auto *hotKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Insert), this);
    hotKey->setObjectName(QStringLiteral("shortcutConsole"));
    hotKey->setContext(Qt::ApplicationShortcut);
    connect(hotKey, &QShortcut::activated, this, &TForm_Main_VarnelOrla::consoleHotKey);

    m_panels[0]->setText(kNotConnected);
    for (int i = 1; i < 5; ++i)
        m_panels[i]->clear();
    m_panels[2]->setText(QStringLiteral("Software Version : %1").arg(QStringLiteral(VARNEL_APP_VERSION)));

    // The settings page set goes into the Settings window, "Inputs Settings" first.
    if (m_companions.settings)
        installSettingsPages(m_companions.settings, m_settingsPages->pages);
    if (auto *famx = m_companions.userFamx) {
        famx->bind(*m_driver);
        connect(m_inputFormatAction, &QAction::triggered, famx, [famx] {
            famx->show();
            famx->raise();
        });
    } else {
        m_inputFormatAction->setEnabled(false);
    }
}

// --- notifications ---------------------------------------------------------------

void TForm_Main_VarnelOrla::VRK_610_d1DEVchange(TVRK_610_d &, int)
{
    const std::uint32_t dev = m_driver->DEV();
    if (dev == m_lastDev)
        return;
    emit deviceCodeChanged(dev);
    if (dev == 0) {
        m_panels[0]->setText(kNotConnected);
        m_pleaseWaitText->setText(kNotConnected);
        showPleaseWait(false);
        m_notConnected = true;
    } else if (const auto model = recogniseModel(dev)) {
        m_modelIndex = *model;
        m_panels[0]->setText(kConnected);
        m_pleaseWaitText->setText(QStringLiteral("Connecting to ") +
                                  QString::fromUtf8(modelEntry(m_modelIndex).fullName));
        setAboutPicture(m_modelIndex);
        showPleaseWait(true);
        m_notConnected = false;
        applyModel(m_modelIndex);
    }
    m_lastDev = dev;
}

void TForm_Main_VarnelOrla::VRK_610_d1QUERYALLchange(TVRK_610_d &, int)
{
    if (m_driver->queryall() == 1) {
        m_pleaseWait->show();
        m_pleaseWait->raise();
        return;
    }
    if (isCatalogueModel(m_driver->DEV()))
        m_pleaseWait->hide();
    m_queryDone = true;
}

void TForm_Main_VarnelOrla::VRK_610_d1ConTypechange(TVRK_610_d &, int)
{
    refreshLinkPanel();
}

void TForm_Main_VarnelOrla::VRK_610_d1TCPIPchange(TVRK_610_d &, int)
{
    if (auto *dlg = m_companions.lanDialog)
        dlg->setMode(m_driver->TCPIP() ? TLanDlg::ModeTcp : TLanDlg::ModeUdp);
}

void TForm_Main_VarnelOrla::VRK_610_d1NETMASKchange(TVRK_610_d &, int)
{
    if (auto *dlg = m_companions.lanDialog)
        dlg->setNetMask(QString::fromStdString(m_driver->NETMASK()));
}

void TForm_Main_VarnelOrla::VRK_610_d1LOCAL_IPchange(TVRK_610_d &, int)
{
    if (auto *dlg = m_companions.lanDialog)
        dlg->setDeviceAddress(QString::fromStdString(m_driver->LOCAL_IP()));
}

void TForm_Main_VarnelOrla::VRK_610_d1REMOTE_IPchange(TVRK_610_d &, int)
{
    if (auto *dlg = m_companions.lanDialog)
        dlg->setRemoteAddress(QString::fromStdString(m_driver->REMOTE_IP()));
}

void TForm_Main_VarnelOrla::VRK_610_d1GATEWAY_IPchange(TVRK_610_d &, int)
{
    if (auto *dlg = m_companions.lanDialog)
        dlg->setGateway(QString::fromStdString(m_driver->GATEWAY_IP()));
}

void TForm_Main_VarnelOrla::VRK_610_d1LOCAL_PORTchange(TVRK_610_d &, int)
{
    if (auto *dlg = m_companions.lanDialog)
        dlg->setDevicePort(quint32(m_driver->LOCAL_PORT()));
}

void TForm_Main_VarnelOrla::VRK_610_d1REMOTE_PORTchange(TVRK_610_d &, int)
{
    if (auto *dlg = m_companions.lanDialog)
        dlg->setRemotePort(quint32(m_driver->REMOTE_PORT()));
}

// --- link panel and dialogs ---------------------------------------------------------

void TForm_Main_VarnelOrla::setLinkPanel(tConnectionType type, const QString &port)
{
    m_panels[1]->setText(linkPanelText(type, port));
}

void TForm_Main_VarnelOrla::refreshLinkPanel()
{
    const LinkParameters p = m_link->read();
    setLinkPanel(p.type, p.port);
}

void TForm_Main_VarnelOrla::rs232LanSetup()
{
    auto *dlg = m_companions.connectionDialog;
    if (!dlg)
        return;
    const LinkParameters before = m_link->read();
    dlg->load(before);
    // Loading may replace a port that is not in the list by the first one; that
    // is no change the operator made, and must not reconnect the link.
    const QString loadedPort = dlg->Port();
    dlg->exec();
    if (dlg->isAccepted()) {
        LinkParameters wanted = dlg->parameters();
        if (wanted.port == loadedPort)
            wanted.port = before.port;
        applyLinkParameters(*m_link, wanted);
    }
    // The panel shows what is in force, also after "Cancel".
    refreshLinkPanel();
}

void TForm_Main_VarnelOrla::deviceLanSetup()
{
    auto *dlg = m_companions.lanDialog;
    if (!dlg)
        return;
    dlg->loadFrom(*m_driver);
    dlg->exec();
    if (dlg->isAccepted())
        dlg->writeTo(*m_driver);
}

void TForm_Main_VarnelOrla::consoleHotKey()
{
    if (!m_consoleArmed || !m_companions.console)
        return;
    m_companions.console->show();
    m_companions.console->raise();
    m_companions.console->activateWindow();
}

bool TForm_Main_VarnelOrla::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter ||
        event->type() == QEvent::HoverMove)
        m_consoleArmed = true;
    return QMainWindow::eventFilter(watched, event);
}

void TForm_Main_VarnelOrla::showUpdateNotice(const QString &text)
{
    m_updateNoticeText->setText(text);
    m_updateNotice->show();
    m_updateNotice->raise();
}

void TForm_Main_VarnelOrla::setAboutPicture(int picture)
{
    m_aboutPicture = picture;
    emit aboutPictureChanged(picture);
}

// --- main timer ------------------------------------------------------------------

void TForm_Main_VarnelOrla::mainTimerTick()
{
    inputsTick();
    if (++m_phase >= 2) {
        m_phase = 0;
        oneSecondPhase();
    }
}

void TForm_Main_VarnelOrla::oneSecondPhase()
{
    m_blink = !m_blink;
    const QColor windowText = palette().color(QPalette::WindowText);
    if (m_notConnected) {
        m_panels[0]->setText(m_panels[0]->text() == kNotConnectedBlink ? kNotConnected : kNotConnectedBlink);
        setAboutPicture(m_aboutPicture >= kModelPictures ? 1 : m_aboutPicture + 1);
    }

    // TAKE and the T-bar track blink while an effect runs.
    QPalette track = m_tbar->palette();
    if (m_driver->EFFON() == 1 && m_blink) {
        setButtonLook(m_take, true, false, Qt::blue);
        track.setColor(QPalette::Window, Qt::blue);
    } else {
        setButtonLook(m_take, false, m_driver->EFFON() == 1, windowText);
        track.setColor(QPalette::Window, palette().color(QPalette::Button));
    }
    m_tbar->setPalette(track);

    const std::uint32_t effect = m_driver->EFFECT();
    const bool keyedTake = (effect == kEffectTitle || effect == kEffectPip) && m_driver->TAKE() == 1;
    for (auto *b : {m_switchMain, m_switchPreview}) {
        if (keyedTake && b->isChecked())
            setButtonLook(b, !m_blink, false, m_blink ? QColor(Qt::darkGreen) : windowText);
        else
            setButtonLook(b, false, false, windowText);
    }

    if (!m_updateNotice->isHidden()) {
        m_updateCountdown = std::int8_t(m_updateCountdown - 1);
        if (m_updateCountdown <= 0) {
            m_updateCountdown = kNoticeCountdown;
            m_updateNotice->hide();
        }
    }

    const std::pair<QPushButton *, std::uint32_t> freezes[] = {{m_freezeMain, m_driver->IFRZM()},
                                                               {m_freezePreview, m_driver->IFRZP()}};
    for (const auto &[button, frozen] : freezes) {
        if (frozen == 1)
            setButtonLook(button, m_blink, !m_blink, m_blink ? windowText : QColor(Qt::blue));
        else
            setButtonLook(button, false, false, windowText);
    }

    refreshAlertPanel();
    m_queryDone = false;
}

void TForm_Main_VarnelOrla::refreshAlertPanel()
{
    const TVRK_610_d &d = *m_driver;
    auto signalType = [&d](std::uint32_t source) -> std::uint32_t {
        // Frame memories (sources 9..12) have no signal type.
        return source >= 1 && source <= 8 ? d.ReadChannelVar(Reg::PRGBI, int(source)) : 0;
    };
    const bool mainOut = sourceOutOfRange({signalType(d.ICHM()), d.IFAMM(), d.ILDM(), d.UNITy(), d.DIVM()});
    const bool previewOut = sourceOutOfRange({signalType(d.ICHP()), d.IFAMP(), d.ILDP(), d.UNITy(), d.DIVP()});
    QLabel *alert = m_panels[4];
    if (mainOut || previewOut) {
        alert->setText(m_blink ? kOutOfRange : kOutOfRangeBlink);
    } else if (alert->text() == kOutOfRange || alert->text() == kOutOfRangeBlink) {
        alert->setText(kIdleAlert);
    }
}

// --- settings file ------------------------------------------------------------------

void TForm_Main_VarnelOrla::setMessageHooks(Tell tell, Ask ask)
{
    m_tell = tell ? std::move(tell) : Tell([this](const QString &text) {
        QMessageBox::warning(this, QStringLiteral("VarnelSerie"), text);
    });
    m_ask = ask ? std::move(ask) : Ask([this](const QString &question) {
        return QMessageBox::question(this, QStringLiteral("VarnelSerie"), question,
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    });
}

SettingsReadResult TForm_Main_VarnelOrla::readSettingsFile()
{
    SettingsReadResult result;
    if (!m_settingsPath.isEmpty()) {
        result = m_settingsFile.read(m_settingsPath, m_settings, *m_link, m_serialPorts);
        if (!result.error.isEmpty())
            m_tell(result.error);
    }
    refreshLinkPanel();
    return result;
}

QString TForm_Main_VarnelOrla::writeSettingsFile()
{
    if (m_settingsPath.isEmpty())
        return {};
    if (m_settingsFile.needsConfirmation() && !m_ask(QString::fromLatin1(kSaveInvalidQuestion)))
        return {};
    const QString error = m_settingsFile.write(m_settingsPath, m_settings, m_link->read());
    if (!error.isEmpty())
        m_tell(error);
    return error;
}

// --- model -----------------------------------------------------------------------

void TForm_Main_VarnelOrla::applyModel(int model)
{
    const ModelFeatures &f = modelFeatures(model);

    // 1. Everything a step below may hide is shown again; two-output captions.
    for (auto *b : m_sourceButtons)
        b->setVisible(true);
    for (auto *b : {m_take, m_transition, m_freezePreview, m_switchPreview})
        b->setVisible(true);
    m_freezeMain->setText(QStringLiteral("FREEZE\nMain"));
    m_switchMain->setText(QStringLiteral("Switch\nMain"));
    m_autotakeAction->setVisible(true);
    m_edidAction->setVisible(true);

    // 2. Effect keys.
    for (int k = 0; k < kEffectKeyCount; ++k) {
        m_effectKeys[k]->setVisible(effectSelectShown(model, k + 1));
        m_effectEdits[k]->setVisible(effectEditShown(model, k + 1));
    }

    // 3. Caption and About item.
    setWindowTitle(QString::fromUtf8(modelEntry(model).fullName));
    m_aboutAction->setText(QString::fromStdString(aboutMenuCaption(model)));
    m_aboutAction->setToolTip(m_aboutAction->text().remove(QLatin1Char('&')));

    // 4. Inputs above the model's count.
    for (int s = f.inputs + 1; s <= 8; ++s)
        m_sourceButtons[s]->setVisible(false);

    // 6. Frames above the model's count; "Black" moves up into the first free place.
    auto *frameRow = qobject_cast<QHBoxLayout *>(m_inputPanel->layout()->itemAt(1)->layout());
    for (int fr = f.frames + 1; fr <= 4; ++fr)
        m_sourceButtons[8 + fr]->setVisible(false);
    if (frameRow) {
        frameRow->removeWidget(m_sourceButtons[0]);
        frameRow->insertWidget(f.frames, m_sourceButtons[0]);
    }

    // 9. Single output.
    if (!f.previewOutput) {
        for (auto *b : {m_take, m_transition, m_freezePreview, m_switchPreview})
            b->setVisible(false);
        m_freezeMain->setText(QStringLiteral("FREEZE"));
        m_switchMain->setText(QStringLiteral("Switch\nbackground"));
        m_autotakeAction->setVisible(false);
    }

    // 10. T-bar.
    m_tbar->setEnabled(f.anyEffect());

    // 13. DVI.
    if (!f.dvi)
        m_edidAction->setVisible(false);

    // Input selection, the inputs page, the sync-loss menu, the reference list and
    // the input format window (steps 4, 5, 6, 9 and 13 for those controls).
    applyModelToInputs(model);
}

// --- shutdown --------------------------------------------------------------------

void TForm_Main_VarnelOrla::closeEvent(QCloseEvent *event)
{
    if (m_closed) {
        event->accept();
        return;
    }
    m_closed = true;
    m_mainTimer->stop();
    writeSettingsFile();
    // The link closes with the driver; its notifications stop first.
    for (const auto &b : kBindings)
        m_driver->setHandler(b.event, {});
    m_driver->setConType(tConnectionType::CON_NONE);
    m_serialPorts.clear();
    event->accept();
    emit closed();
}

}  // namespace varnel::app
