#pragma once
// TForm_Main_VarnelOrla: the application's main window. It owns the device driver
// VRK_610_d1 for the whole run, binds one handler to each register notification it
// shows, runs the 500 ms main timer, shows the link state in its status bar and
// reshapes itself to the connected model.

#include "checksum.h"
#include "conversion.h"
#include "link_parameters.h"
#include "settings_file.h"
#include "vrk_610_d.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

class QAction;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QSlider;
class QStatusBar;
class QTimer;
class QToolBar;

namespace varnel::app {

class TConTypeCfgForm;
class TLanDlg;
class TForm_Main_VarnelOrla;
class TForm_UserFamx;
class TInputSelection;
struct SettingsPages;

/// One row of the notification binding: a driver event and the window's handler.
struct NotificationBinding {
    EventId event;
    const char *handlerName;  ///< "VRK_610_d1" + event name without "On"
    void (TForm_Main_VarnelOrla::*handler)(TVRK_610_d &sender, int nroVarnel);
};

/// The companion windows the main window talks to (all created at start-up).
struct Companions {
    TConTypeCfgForm *connectionDialog = nullptr;
    TLanDlg *lanDialog = nullptr;
    QWidget *console = nullptr;
    QWidget *about = nullptr;
    QWidget *settings = nullptr;
    QWidget *status = nullptr;
    QWidget *customize = nullptr;
    TForm_UserFamx *userFamx = nullptr;
};

class TForm_Main_VarnelOrla : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kHeight = 569;
    static constexpr int kWidth = 1180;
    static constexpr int kMainTimerMs = 500;
    static constexpr int kFirstNoticeCountdown = 40;
    static constexpr int kNoticeCountdown = 30;
    static constexpr int kModelPictures = 11;

    /// `link` reads and writes the driver's link properties (by default the
    /// driver's own).
    explicit TForm_Main_VarnelOrla(std::unique_ptr<TVRK_610_d> driver, std::unique_ptr<LinkAccess> link = {},
                                   QWidget *parent = nullptr);
    ~TForm_Main_VarnelOrla() override;

    TVRK_610_d &VRK_610_d1() { return *m_driver; }
    /// The two value scalings the sliders of the picture pages use: device
    /// 0..255 shown as -128..127, and zoom 0..200 shown as 100..200 percent.
    const picture::TConversion &Conversion1() const { return m_conversion1; }
    const picture::TConversion &Conversion_Zoom() const { return m_conversionZoom; }
    LinkAccess *link() { return m_link.get(); }

    /// The binding table: one row per register notification the window shows.
    static std::span<const NotificationBinding> notificationBindings();

    // --- start-up ------------------------------------------------------------------
    void setCompanions(const Companions &companions) { m_companions = companions; }
    const Companions &companions() const { return m_companions; }
    /// Hands the serial port list to the window and the connection dialog.
    void setSerialPorts(const QStringList &ports);
    QStringList serialPorts() const { return m_serialPorts; }
    /// The one-time initialisation after all windows exist.
    void initialise();

    // --- state ---------------------------------------------------------------------
    int modelIndex() const { return m_modelIndex; }
    bool notConnected() const { return m_notConnected; }
    bool queryDone() const { return m_queryDone; }
    int updateNoticeCountdown() const { return m_updateCountdown; }
    int aboutPicture() const { return m_aboutPicture; }
    bool consoleKeyArmed() const { return m_consoleArmed; }

    // --- operations used by other windows -------------------------------------------
    /// Reshapes the window for model `model` (0..13).
    void applyModel(int model);
    /// Shows the link type (and serial port) in the link panel.
    void setLinkPanel(tConnectionType type, const QString &port);
    /// Shows the driver's current link setting in the link panel.
    void refreshLinkPanel();
    void showUpdateNotice(const QString &text);

    // --- periodic and command entry points (also driven directly by tests) -----------
    void mainTimerTick();
    /// "RS232/LAN Setup": returns after the modal dialog closed and the result was applied.
    void rs232LanSetup();
    /// "Device LAN Setup".
    void deviceLanSetup();
    /// Ctrl+Insert: opens the service console once the pointer has passed over the status bar.
    void consoleHotKey();
    // --- settings file -----------------------------------------------------------------
    /// Where the settings file is read at start-up and written at shutdown.
    void setSettingsPath(const QString &path) { m_settingsPath = path; }
    QString settingsPath() const { return m_settingsPath; }
    /// Reads the settings file into the driver's link and the settings (start-up).
    SettingsReadResult readSettingsFile();
    /// Writes it (shutdown); asks first when a read failed its checksum. Returns
    /// the error shown, if any.
    QString writeSettingsFile();
    const AppSettings &settings() const { return m_settings; }
    /// Message boxes: a warning, and a yes/no question. Tests answer them.
    using Tell = std::function<void(const QString &text)>;
    using Ask = std::function<bool(const QString &question)>;
    void setMessageHooks(Tell tell, Ask ask);

    // --- notification handlers (bound through the table) -----------------------------
    void VRK_610_d1DEVchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1QUERYALLchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1ConTypechange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1TCPIPchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1NETMASKchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1LOCAL_IPchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1REMOTE_IPchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1GATEWAY_IPchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1LOCAL_PORTchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1REMOTE_PORTchange(TVRK_610_d &sender, int nroVarnel);
    // Input selection and switching (main_window_inputs.cpp).
    void VRK_610_d1ICHMchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1ICHNMchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1ICHPchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1ICHNPchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1IFRZMchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1IFRZPchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1OBLACKMchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1TAKEchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1EFFONchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1PCHANchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1PENAchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1PLOADchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1PRGBIchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1PISTDchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1PPROCchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1PVISCchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1ALEVchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1ABALchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1LDISPLAYchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1USERFAMMchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1USERFAMPchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1FAMLISTMchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1FAMLISTPchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1REFREQMchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1REFSTAMchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1SYNCLOSSchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1EIPSIGPchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1IFAMMchange(TVRK_610_d &sender, int nroVarnel);
    void VRK_610_d1IFAMPchange(TVRK_610_d &sender, int nroVarnel);

    /// The source buttons, switching buttons and channel cache.
    TInputSelection &inputSelection() { return *m_inputs; }
    /// The settings page set (moved into the "Settings" window at start-up).
    const SettingsPages &settingsPages() const { return *m_settingsPages; }

signals:
    /// The About window's model picture (1..11 while not connected, else the model's).
    void aboutPictureChanged(int picture);
    /// The status panel is told every new DEV value.
    void deviceCodeChanged(std::uint32_t dev);
    /// The window was closed (settings written, link closed): the program ends.
    void closed();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildMenusAndToolBars();
    void buildRegions();
    void buildStatusBar();
    void buildPanels();
    void placePanels();
    void bindNotifications();
    void refreshAlertPanel();
    void oneSecondPhase();
    void showPleaseWait(bool connectedImage);
    void setAboutPicture(int picture);
    QAction *addCommand(QMenu *menu, const QString &caption, const char *name);
    void buildInputSelection();
    void refreshNotAvailable();
    void inputsTick();
    void applyModelToInputs(int model);

    std::unique_ptr<TVRK_610_d> m_driver;
    picture::TConversion m_conversion1 = picture::TConversion::Conversion1();
    picture::TConversion m_conversionZoom = picture::TConversion::Conversion_Zoom();
    std::unique_ptr<LinkAccess> m_link;
    Companions m_companions;
    TCheckSum_NordvikDeveloppement m_checksum;
    SettingsFile m_settingsFile{m_checksum};
    AppSettings m_settings;
    QString m_settingsPath;
    Tell m_tell;
    Ask m_ask;

    int m_modelIndex = 0;
    std::uint32_t m_lastDev = 0;
    bool m_notConnected = true;
    QStringList m_serialPorts;
    int m_phase = 0;
    std::int8_t m_updateCountdown = kFirstNoticeCountdown;
    bool m_queryDone = false;
    bool m_consoleArmed = false;
    bool m_blink = false;
    int m_aboutPicture = 1;
    bool m_closed = false;  ///< shutdown ran (a second close does nothing more)

    QTimer *m_mainTimer = nullptr;
    QLabel *m_panels[5] = {};
    QFrame *m_pleaseWait = nullptr;
    QLabel *m_pleaseWaitImage = nullptr;
    QLabel *m_pleaseWaitText = nullptr;
    QFrame *m_updateNotice = nullptr;
    QLabel *m_updateNoticeText = nullptr;

    QGroupBox *m_inputPanel = nullptr;
    QPushButton *m_sourceButtons[13] = {};  // sources 1..12, [0] is "Black"
    QFrame *m_switchColumn = nullptr;
    QPushButton *m_freezeMain = nullptr;
    QPushButton *m_freezePreview = nullptr;
    QPushButton *m_switchMain = nullptr;
    QPushButton *m_switchPreview = nullptr;
    QPushButton *m_effectKeys[12] = {};
    QPushButton *m_effectEdits[12] = {};
    QPushButton *m_take = nullptr;
    QPushButton *m_transition = nullptr;
    QGroupBox *m_effectsPanel = nullptr;
    QLabel *m_openingDuration = nullptr;
    QLabel *m_closingDuration = nullptr;
    QFrame *m_framingHost = nullptr;
    QSlider *m_tbar = nullptr;
    QLabel *m_tbarLabel = nullptr;
    QPushButton *m_settingsButton = nullptr;
    QPushButton *m_statusButton = nullptr;
    QPushButton *m_customizeButton = nullptr;
    QAction *m_aboutAction = nullptr;
    QAction *m_exitAction = nullptr;
    QAction *m_rs232LanAction = nullptr;
    QAction *m_deviceLanAction = nullptr;
    QAction *m_autotakeAction = nullptr;
    QAction *m_edidAction = nullptr;
    QAction *m_syncLossAction = nullptr;
    QAction *m_autolockAction = nullptr;
    QAction *m_inputFormatAction = nullptr;
    QPushButton *m_logoButtons[9] = {};  // [1..8]
    TInputSelection *m_inputs = nullptr;
    std::unique_ptr<SettingsPages> m_settingsPages;
};

}  // namespace varnel::app
