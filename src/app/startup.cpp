#include "startup.h"

#include "con_type_cfg_form.h"
#include "lan_dlg.h"
#include "user_famx_form.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QScopeGuard>
#include <QVBoxLayout>

namespace varnel::app {

const std::array<StartupWindow, 21> kStartupWindows{{
    {"TForm_Main_VarnelOrla", "...."},
    {"TForm_Panel_MSG", ""},
    {"TForm_Debug2007", "Debug"},
    {"TLogoFormProgress", "Transfer in progress ..."},
    {"TLanDlg", "VARNEL LAN Status"},
    {"TForm_EDIDDVI", "EDID DVI"},
    {"TForm_UserFamx", "Input Format"},
    {"TForm_MessageProjector", "Message projector"},
    {"TLogoFrameLoad", "Logos & Frames Loader"},
    {"TFormGradient", "Gradient"},
    {"TForm_doubleLogo_Main", "Cadrage logo(s) main"},
    {"TForm_doubleLogo_Preview", "Cadrage logo(s) preview"},
    {"TForm_ManuelCadrage", "PiP adjustment"},
    {"TForm_Transition", "Transition"},
    {"TForm_Status", "Status"},
    {"TForm_Settings", "Settings"},
    {"TAbout_VRK", "About VarnelSerie remote control"},
    {"TForm_Customize", "Customize"},
    {"TConTypeCfgForm", "Connection Configuration"},
    {"TStoringBar", "Please Wait ....."},
    {"TForm_CadragePIP", "Cadrage PiP"},
}};

TForm_PageAccueil::TForm_PageAccueil(QWidget *parent) : QWidget(parent, Qt::SplashScreen)
{
    setObjectName(QStringLiteral("TForm_PageAccueil"));
    setWindowTitle(QStringLiteral("Veltrane"));
    auto *layout = new QVBoxLayout(this);
    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("imageSplash"));
    picture->setAccessibleName(QStringLiteral("VarnelSerie"));
    QPixmap pm(420, 160);
    pm.fill(QColor(20, 40, 80));
    {
        QPainter p(&pm);
        p.setPen(Qt::white);
        QFont f = p.font();
        f.setPointSize(26);
        f.setBold(true);
        p.setFont(f);
        p.drawText(pm.rect(), Qt::AlignCenter, QStringLiteral("VarnelSerie"));
    }
    picture->setPixmap(pm);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressStart"));
    m_progress->setRange(0, kSteps);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setAccessibleName(QStringLiteral("Start-up progress"));
    layout->addWidget(picture);
    layout->addWidget(m_progress);
}

void TForm_PageAccueil::StepIt()
{
    m_progress->setValue(std::min(m_progress->value() + 1, kSteps));
}

int TForm_PageAccueil::position() const
{
    return m_progress->value();
}

TPlainWindow::TPlainWindow(const QString &className, const QString &caption, QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(className);
    setWindowTitle(caption);
    resize(320, 200);
}

AppStart::AppStart(StartupOptions options) : m_options(std::move(options)) {}

AppStart::~AppStart()
{
    // The companion windows are children of the main window and go with it.
    m_main.reset();
}

QWidget *AppStart::create(const StartupWindow &w)
{
    const QString name = QString::fromLatin1(w.className);
    const QString caption = QString::fromUtf8(w.caption);
    if (name == QLatin1String("TForm_Main_VarnelOrla")) {
        DriverBundle bundle = m_options.makeDriver ? m_options.makeDriver() : DriverBundle{};
        if (!bundle.driver)
            bundle.driver = std::make_unique<TVRK_610_d>();
        m_main = std::make_unique<TForm_Main_VarnelOrla>(std::move(bundle.driver), std::move(bundle.link));
        return m_main.get();
    }
    if (name == QLatin1String("TConTypeCfgForm"))
        return new TConTypeCfgForm(m_main.get());
    if (name == QLatin1String("TLanDlg"))
        return new TLanDlg(m_main.get());
    if (name == QLatin1String("TForm_UserFamx"))
        return new TForm_UserFamx(m_main.get());
    return new TPlainWindow(name, caption, m_main.get());
}

void AppStart::run()
{
    std::unique_ptr<TForm_PageAccueil> splash;
    if (m_options.showSplash) {
        splash = std::make_unique<TForm_PageAccueil>();
        splash->show();
        splash->repaint();
        QApplication::processEvents();
    }
    // The splash goes away also when a step fails.
    auto freeSplash = qScopeGuard([&splash] { splash.reset(); });
    auto step = [this, &splash] {
        ++m_splashSteps;
        if (splash) {
            splash->StepIt();
            QApplication::processEvents();
        }
    };

    QCoreApplication::setApplicationName(QStringLiteral("VarnelSerie"));

    for (std::size_t i = 0; i < kStartupWindows.size(); ++i) {
        step();
        m_windows[i] = create(kStartupWindows[i]);
        m_order << QString::fromLatin1(kStartupWindows[i].className);
    }

    step();
    Companions c;
    c.connectionDialog = qobject_cast<TConTypeCfgForm *>(window(QStringLiteral("TConTypeCfgForm")));
    c.lanDialog = qobject_cast<TLanDlg *>(window(QStringLiteral("TLanDlg")));
    c.console = window(QStringLiteral("TForm_Debug2007"));
    c.about = window(QStringLiteral("TAbout_VRK"));
    c.settings = window(QStringLiteral("TForm_Settings"));
    c.status = window(QStringLiteral("TForm_Status"));
    c.customize = window(QStringLiteral("TForm_Customize"));
    c.userFamx = qobject_cast<TForm_UserFamx *>(window(QStringLiteral("TForm_UserFamx")));
    m_main->setCompanions(c);
    m_main->setMessageHooks(m_options.tell, m_options.ask);
    m_main->initialise();
    m_main->setSerialPorts(m_options.discoverSerialPorts ? m_options.discoverSerialPorts() : QStringList{});
    m_main->setSettingsPath(m_options.settingsPath.isEmpty()
                                ? settingsFilePath(QCoreApplication::applicationName())
                                : m_options.settingsPath);
    m_main->readSettingsFile();
    step();

    // "AMX" is no link this application offers.
    if (c.connectionDialog)
        c.connectionDialog->setAmxVisible(false);
}

QWidget *AppStart::window(const QString &className) const
{
    for (std::size_t i = 0; i < kStartupWindows.size(); ++i)
        if (QLatin1String(kStartupWindows[i].className) == className)
            return m_windows[i];
    return nullptr;
}

}  // namespace varnel::app
