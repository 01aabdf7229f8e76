// Timing program: a slider thumb dragged across its whole range (255 positions in
// one second) over a 9600-baud serial line to the simulated device, with and
// without write pacing. Prints how many writes went out and how long after the
// release the device held, and the window showed, the final position.
//
// Time is simulated (the line moves one character every 10/9600 s each way, the
// device answers as it parses), so the figures are exact and repeatable.
//   paced_drag_timing [positions] [drag-ms]
#include "device_model.h"
#include "register_slider.h"

#include <QApplication>
#include <QScrollBar>

#include <cstdio>
#include <deque>
#include <string>

using namespace varnel;
using namespace varnel::picture;

namespace {

constexpr double kCharUs = 10.0 * 1e6 / 9600.0;  // 8N1: ten bits a character

// Characters waiting for a one-way serial line, each arriving kCharUs after the
// previous one left.
struct Line {
    std::deque<char> queue;
    double busyUntil = 0;
    std::size_t chars = 0;
    template <typename Deliver>
    void run(double now, Deliver deliver)
    {
        while (!queue.empty() && busyUntil + kCharUs <= now) {
            busyUntil += kCharUs;
            const char c = queue.front();
            queue.pop_front();
            ++chars;
            deliver(std::string(1, c));
        }
        if (queue.empty() && busyUntil < now)
            busyUntil = now;
    }
};

struct LineTransport : LinkTransport {
    explicit LineTransport(Line &l, int &w) : line(l), writes(w) {}
    void write(std::string_view text) override
    {
        ++writes;
        line.queue.insert(line.queue.end(), text.begin(), text.end());
    }
    Line &line;
    int &writes;
};

struct Result {
    int writes = 0;
    std::size_t charsOut = 0;
    double deviceFinalMs = -1;   // after the release
    double displayFinalMs = -1;  // driver copy final and the line quiet
};

Result run(bool paced, int positions, double dragMs)
{
    sim::DeviceModel device(*sim::findModel("VRK610"));
    Line toDevice, toHost;
    sim::SimSession session(device, [&](std::string_view t, bool) { toHost.queue.insert(toHost.queue.end(), t.begin(), t.end()); });
    session.setHasPeer(true);

    Result r;
    TVRK_610_d driver;
    driver.SetRanges(&VarRanges, false);
    driver.setTransport(tConnectionType::CON_RS232, std::make_unique<LineTransport>(toDevice, r.writes));
    driver.setConType(tConnectionType::CON_RS232);
    driver.setConMode(tConnectionMode::MODE_VAR);
    r.writes = 0;

    double nowUs = 0;
    const TConversion conversion = TConversion::Conversion1();
    TRegisterSlider slider(driver, {"CONTRM", Reg::CONTRM, QStringLiteral("Contrast"), &conversion, 0, 0, paced});
    slider.setBufferClock([&nowUs] {
        return std::chrono::steady_clock::time_point(std::chrono::microseconds(std::int64_t(nowUs)));
    });
    QScrollBar bar(Qt::Horizontal);
    QLineEdit edit;
    slider.addView(&bar, &edit);
    slider.attach();

    const int final = positions;
    const double stepUs = dragMs * 1000.0 / positions;
    const double releaseUs = dragMs * 1000.0 + stepUs;
    int next = 1;
    bool released = false;
    bar.setSliderDown(true);
    std::int64_t deviceMs = 0;
    for (; nowUs < 60e6; nowUs += 10) {
        while (next <= positions && next * stepUs <= nowUs)
            bar.setSliderPosition(next++);  // a thumb move: sends or records
        if (!released && nowUs >= releaseUs) {
            bar.setSliderDown(false);  // the release sends the final position again
            released = true;
        }
        toDevice.run(nowUs, [&](const std::string &c) { session.receive(c); });
        toHost.run(nowUs, [&](const std::string &c) { driver.ReceiveText(c); });
        while (deviceMs < std::int64_t(nowUs / 1000)) {
            device.advance(1);
            ++deviceMs;
        }
        if (released && r.deviceFinalMs < 0 && device.value(Reg::CONTRM) == std::uint32_t(final))
            r.deviceFinalMs = (nowUs - releaseUs) / 1000.0;
        if (released && driver.CONTRM() == std::uint32_t(final) && toDevice.queue.empty() && toHost.queue.empty() &&
            (!slider.buffer() || slider.buffer()->VideFlag())) {
            r.displayFinalMs = (nowUs - releaseUs) / 1000.0;
            break;
        }
    }
    r.charsOut = toDevice.chars;
    return r;
}

}  // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int positions = argc > 1 ? std::atoi(argv[1]) : 255;
    const double dragMs = argc > 2 ? std::atof(argv[2]) : 1000.0;
    std::printf("drag of %d positions in %.0f ms, 9600 baud (%.3f ms a character)\n", positions, dragMs,
                kCharUs / 1000.0);
    for (bool paced : {false, true}) {
        const Result r = run(paced, positions, dragMs);
        std::printf("%-8s writes %4d  characters sent %5zu  device final %8.1f ms after release  "
                    "display final %8.1f ms after release\n",
                    paced ? "paced" : "unpaced", r.writes, r.charsOut, r.deviceFinalMs, r.displayFinalMs);
    }
    return 0;
}
