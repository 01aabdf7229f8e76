// Timing program: a register slider (brightness of the main picture, BRGTM)
// dragged across its whole range against the simulated device over its paced
// pseudo-terminal at 9600 baud, in real time. Starts varnel-sim, waits until the
// link is up and the register dump is in, then drags the thumb through 255
// positions in about one second and releases it, once without and once with
// write pacing. Prints the writes of the register sent, the characters sent, and
// how long after the release the device reported the final value.
//   pty_drag_timing [path/to/varnel-sim] [drag-ms]
#include "qt_link.h"
#include "register_slider.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QScrollBar>
#include <QTimer>

#include <cstdio>

using namespace varnel;
using namespace varnel::picture;

namespace {

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

struct Result {
    int writes = 0;
    std::size_t chars = 0;
    double dragMs = 0;
    double finalMs = -1;  // after the release, until the device's report of the final value
};

Result drag(TVRK_610_d &driver, bool paced, double dragMs, std::uint32_t start, std::uint32_t final)
{
    Result r;
    driver.setHandler(Event::OnSentString, [&r](TVRK_610_d &d, int) {
        const std::string &s = d.sentString();
        r.chars += s.size();
        if (s.size() > 2 && s.ends_with("BR"))
            ++r.writes;
    });
    QScrollBar bar(Qt::Horizontal);
    QLineEdit edit;
    TRegisterSlider slider(driver, {"BRGTM", Reg::BRGTM, QStringLiteral("Brightness"), nullptr, 0, 255, paced});
    slider.addView(&bar, &edit);
    slider.attach();
    {
        const QSignalBlocker block(&bar);
        bar.setValue(int(start));
    }

    const int steps = int(final > start ? final - start : start - final);
    const int direction = final > start ? 1 : -1;
    QElapsedTimer clock;
    clock.start();
    bar.setSliderDown(true);
    for (int i = 1; i <= steps; ++i) {
        // The thumb moves at an even pace; the device's answers are read meanwhile.
        while (clock.nsecsElapsed() / 1e6 < dragMs * i / steps)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        bar.setSliderPosition(int(start) + direction * i);
    }
    r.dragMs = clock.nsecsElapsed() / 1e6;
    bar.setSliderDown(false);
    const qint64 releasedNs = clock.nsecsElapsed();
    if (waitFor([&] { return driver.BRGTM() == final; }, 120000))
        r.finalMs = (clock.nsecsElapsed() - releasedNs) / 1e6;
    // Let the answers still on the line come in before the next run.
    waitFor([] { return false; }, 1500);
    driver.setHandler(Event::OnSentString, {});
    return r;
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString simPath =
        argc > 1 ? QString::fromLocal8Bit(argv[1]) : QCoreApplication::applicationDirPath() + QStringLiteral("/varnel-sim");
    const double dragMs = argc > 2 ? std::atof(argv[2]) : 1000.0;
    if (!QFileInfo(simPath).isExecutable()) {
        std::fprintf(stderr, "pty_drag_timing: no simulator at %s\n", qPrintable(simPath));
        return 2;
    }

    QProcess sim;
    sim.start(simPath, {QStringLiteral("--serial"), QStringLiteral("--model"), QStringLiteral("VRK610")});
    QString pty;
    waitFor([&] {
        while (sim.canReadLine()) {
            const QString line = QString::fromLocal8Bit(sim.readLine()).trimmed();
            if (line.startsWith(QLatin1String("serial ")))
                pty = line.mid(7);
        }
        return !pty.isEmpty() || sim.state() == QProcess::NotRunning;
    }, 10000);
    if (pty.isEmpty()) {
        std::fprintf(stderr, "pty_drag_timing: the simulator did not open a serial line\n");
        return 2;
    }

    auto driver = makeQtDriver();
    driver->SetRanges(&VarRanges, false);
    driver->setPort(pty.toStdString());
    driver->setConType(tConnectionType::CON_RS232);
    QElapsedTimer up;
    up.start();
    if (!waitFor([&] { return driver->DEV() != 0 && driver->Connected(); }, 20000) ||
        !waitFor([&] { return driver->queryall() == 0 && driver->BRGTM() != 0; }, 30000)) {
        std::fprintf(stderr, "pty_drag_timing: no device on %s\n", qPrintable(pty));
        return 2;
    }
    waitFor([] { return false; }, 2500);  // the dump's tail and the first poll
    std::printf("device on %s (paced 9600 baud), link up and dump read in %.1f s\n", qPrintable(pty),
                up.elapsed() / 1000.0);

    std::uint32_t from = driver->BRGTM() >= 128 ? 255 : 0;
    // Start from one end so that the drag covers the whole range: put it there first.
    driver->setBRGTM(from);
    waitFor([&] { return driver->BRGTM() == from; }, 5000);
    for (bool paced : {false, true}) {
        const std::uint32_t to = from == 0 ? 255 : 0;
        const Result r = drag(*driver, paced, dragMs, from, to);
        std::printf("%-8s drag %3u -> %3u in %6.0f ms: %4d writes, %5zu characters sent, device showed the final "
                    "value %8.1f ms after the release\n",
                    paced ? "paced" : "unpaced", from, to, r.dragMs, r.writes, r.chars, r.finalMs);
        from = to;
    }
    driver->setConType(tConnectionType::CON_NONE);
    sim.terminate();
    sim.waitForFinished(3000);
    return 0;
}
