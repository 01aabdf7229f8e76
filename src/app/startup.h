#pragma once
// Program start: the splash window, the 21 windows created once in a fixed order
// and living until exit, and the main window's one-time initialisation.

#include "link_parameters.h"
#include "main_window.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QProgressBar;

namespace varnel::app {

/// TForm_PageAccueil: the splash window shown while the program starts.
class TForm_PageAccueil : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSteps = 23;
    explicit TForm_PageAccueil(QWidget *parent = nullptr);
    void StepIt();
    int position() const;

private:
    QProgressBar *m_progress = nullptr;
};

/// A window created at start-up whose contents come with later work: it has its
/// class name (as object name) and caption, and nothing else yet.
class TPlainWindow : public QWidget {
    Q_OBJECT
public:
    TPlainWindow(const QString &className, const QString &caption, QWidget *parent);
};

struct StartupWindow {
    const char *className;
    const char *caption;
};

/// The windows in creation order.
extern const std::array<StartupWindow, 21> kStartupWindows;

/// The driver of the run and the access to its link properties.
struct DriverBundle {
    std::unique_ptr<TVRK_610_d> driver;
    std::unique_ptr<LinkAccess> link;
};

struct StartupOptions {
    std::function<DriverBundle()> makeDriver;
    /// The serial ports that can be opened now, in ascending order.
    std::function<QStringList()> discoverSerialPorts;
    /// The settings file; empty: "VarnelSerie.ini" where the program keeps it.
    QString settingsPath;
    bool showSplash = true;
    /// Message boxes of the main window (tests answer them); empty: real boxes.
    TForm_Main_VarnelOrla::Tell tell;
    TForm_Main_VarnelOrla::Ask ask;
};

/// Runs the start-up and owns what it created until the program ends.
class AppStart {
public:
    explicit AppStart(StartupOptions options);
    ~AppStart();

    /// Splash, application title, the 21 windows, the initialisation; the splash is
    /// freed also when a step throws.
    void run();

    TForm_Main_VarnelOrla *mainWindow() const { return m_main.get(); }
    /// A start-up window by class name (nullptr if unknown).
    QWidget *window(const QString &className) const;
    /// Class names in the order the windows were created.
    QStringList creationOrder() const { return m_order; }
    /// Splash progress steps taken (23 after a complete start).
    int splashSteps() const { return m_splashSteps; }

private:
    QWidget *create(const StartupWindow &w);

    StartupOptions m_options;
    std::unique_ptr<TForm_Main_VarnelOrla> m_main;
    std::array<QPointer<QWidget>, 21> m_windows{};
    QStringList m_order;
    int m_splashSteps = 0;
};

}  // namespace varnel::app
