// varnel-transfer-timing: sends a generated 1920 x 1080 picture (a photograph-like
// one, or one with large uniform areas) to the frame memory of a device or the
// simulator and prints the transfer time, the time its bytes take on the wire at
// 115200 baud (10 bits a byte, records and replies alternating) and the process
// CPU time during the transfer.
//
//   varnel-transfer-timing --serial /dev/pts/N photo|uniform [ROWS]
//   varnel-transfer-timing --port P photo|uniform [ROWS]     (TCP to 127.0.0.1)
//
// ROWS sends only the first ROWS rows (same width), for runs that would be too long.
#include "picture_preparation.h"
#include "picture_session.h"
#include "qt_link.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <random>

using namespace varnel;
using namespace varnel::logos;

namespace {

double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Smooth shading with fine grain, the way a camera picture varies from pixel to pixel.
QImage photograph(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    std::mt19937 rng(7);
    std::normal_distribution<double> grain(0.0, 4.0);
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double u = double(x) / w, v = double(y) / 1080.0;
            auto ch = [&](double base) { return std::clamp(int(base + grain(rng)), 0, 255); };
            row[x] = qRgb(ch(120 + 80 * std::sin(6 * u + 2 * v)), ch(100 + 60 * std::cos(4 * v - 3 * u)),
                          ch(90 + 70 * std::sin(9 * u * v)));
        }
    }
    return img;
}

// A flat background with a title band and a few boxes: mostly repeated groups.
QImage uniformAreas(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(qRgb(16, 32, 96));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (y >= 60 && y < 100 && x >= 200 && x < 1720)
                img.setPixel(x, y, qRgb(x % 256, 200, y % 256));  // a shaded title band
            else if (y >= 300 && y < 700 && x >= 300 && x < 800)
                img.setPixel(x, y, qRgb(240, 240, 240));
            else if (y >= 500 && y < 900 && x >= 1100 && x < 1600)
                img.setPixel(x, y, qRgb(200, 40, 40));
        }
    return img;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString serial;
    int port = 0;
    QStringList rest;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--serial") && i + 1 < args.size())
            serial = args[++i];
        else if (args[i] == QLatin1String("--port") && i + 1 < args.size())
            port = args[++i].toInt();
        else
            rest << args[i];
    }
    if ((serial.isEmpty() && port == 0) || rest.isEmpty() || (rest[0] != "photo" && rest[0] != "uniform")) {
        std::fprintf(stderr, "usage: varnel-transfer-timing (--serial DEV | --port P) photo|uniform [ROWS]\n");
        return 2;
    }
    const int rows = rest.size() > 1 ? std::clamp(rest[1].toInt(), 1, 1080) : 1080;
    const QImage full = rest[0] == "photo" ? photograph(1920, 1080) : uniformAreas(1920, 1080);
    const QImage source = full.copy(0, 0, 1920, rows);

    WorkPicture picture;
    TPicturePreparation prep(picture);
    prep.PrepareStill(source);

    auto driver = makeQtDriver();
    driver->SetRanges(&VarRanges, false);
    if (!serial.isEmpty()) {
        driver->setPort(serial.toStdString());
        driver->setConType(tConnectionType::CON_RS232);
    } else {
        driver->setIpRemoteAddress("127.0.0.1");
        driver->setIpRemotePort(port);
        driver->setConType(tConnectionType::CON_TCP);
    }
    if (!WaitForDevice(*driver, 30000)) {
        std::fprintf(stderr, "no device found\n");
        return 3;
    }
    TransferStats stats;
    TransferWatch watch;
    watch.stats = &stats;
    TransferJob job{true, kKindFrame, 1, 1, 0};
    QElapsedTimer wall;
    const double cpu0 = cpuSeconds();
    wall.start();
    const std::string result = RunTransfer(*driver, picture, job, watch);
    const double seconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    const double wire = double(stats.bytesSent + stats.bytesReceived) * 10.0 / 115200.0;
    std::printf("picture      %s 1920 x %d (%s)\n", qPrintable(rest[0]), rows, serial.isEmpty() ? "tcp" : "serial");
    std::printf("result       %s\n", result.empty() ? "ok" : result.c_str());
    std::printf("sent         %llu bytes in %llu writes\n", (unsigned long long)stats.bytesSent,
                (unsigned long long)stats.sends);
    std::printf("received     %llu bytes\n", (unsigned long long)stats.bytesReceived);
    std::printf("wire time    %.2f s at 115200 baud\n", wire);
    std::printf("transfer     %.2f s (%.1f %% of the wire time)\n", seconds, 100.0 * seconds / wire);
    std::printf("cpu          %.2f s (%.1f %% of one core)\n", cpu, 100.0 * cpu / seconds);
    if (stats.answers > 0) {
        const double answer = double(stats.answerNs) / 1e9;
        std::printf("answering    %.1f us a record from a reply's arrival to the next write, %.2f s in all "
                    "(%.1f %% of the wire time)\n",
                    answer * 1e6 / double(stats.answers), answer, 100.0 * answer / wire);
    }
    driver->setConType(tConnectionType::CON_NONE);
    return result.empty() ? 0 : 1;
}
