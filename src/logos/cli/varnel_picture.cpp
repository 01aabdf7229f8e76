// varnel-picture: sends a picture file to one of the device's picture memories,
// or retrieves one into a BMP file, from a script. It connects like the
// application (TCP, UDP or a serial device, same defaults), waits until the
// device is found, and runs the same transfer engine, picture preparation and
// driver. Exit status: 0 success, 1 transfer failed, 2 usage or picture refused,
// 3 device not found.
#include "picture_loader.h"
#include "picture_preparation.h"
#include "picture_session.h"
#include "qt_link.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

using namespace varnel;
using namespace varnel::logos;

namespace {

enum Exit { kOk = 0, kTransferFailed = 1, kUsage = 2, kNotFound = 3 };

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

int fail(int code, const QString &message)
{
    std::fprintf(stderr, "varnel-picture: %s\n", qPrintable(message));
    return code;
}

struct Target {
    std::uint8_t kind = 0;
    std::uint8_t slot = 0;
    MemoryKind memory = MemoryKind::StillLogo;
};

void drawProgress(double percent, bool final)
{
    constexpr int kWidth = 40;
    const int filled = std::clamp(int(percent * kWidth / 100.0), 0, kWidth);
    std::fprintf(stderr, "\r[%.*s%*s] %5.1f %%", filled, "########################################", kWidth - filled, "", percent);
    if (final)
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnel-picture"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Sends a picture file to a picture memory of a VarnelSerie device, or retrieves one into a BMP file.\n\n"
        "  varnel-picture [link] send FILE (--logo N [--keyed] | --frame N | --animated)\n"
        "  varnel-picture [link] get (--logo N | --frame N | --animated) OUT.bmp\n\n"
        "BMP and JPEG files become still logos or frames; GIF files become the animated logo.\n"
        "Without --udp or --serial the device is reached over TCP."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("send or get"));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("picture to send, or BMP file to write"));
    const QCommandLineOption tcp(QStringLiteral("tcp"), QStringLiteral("Reach the device over TCP (the default)."));
    const QCommandLineOption udp(QStringLiteral("udp"), QStringLiteral("Reach the device over UDP."));
    const QCommandLineOption serial(QStringLiteral("serial"), QStringLiteral("Reach the device over this serial device."),
                                    QStringLiteral("device"));
    const QCommandLineOption address(QStringLiteral("address"), QStringLiteral("Device address (default 192.168.0.10)."),
                                     QStringLiteral("addr"), QStringLiteral("192.168.0.10"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Device port (default 10500)."),
                                  QStringLiteral("port"), QStringLiteral("10500"));
    const QCommandLineOption localPort(QStringLiteral("local-port"), QStringLiteral("Local UDP port (default 10000)."),
                                       QStringLiteral("port"), QStringLiteral("10000"));
    const QCommandLineOption logo(QStringLiteral("logo"), QStringLiteral("Still logo memory 1..8."), QStringLiteral("n"));
    const QCommandLineOption frame(QStringLiteral("frame"), QStringLiteral("Frame memory 1..4."), QStringLiteral("n"));
    const QCommandLineOption animated(QStringLiteral("animated"), QStringLiteral("The animated logo memory."));
    const QCommandLineOption keyed(QStringLiteral("keyed"),
                                   QStringLiteral("Mark a still logo as keyed: its black pixels are transparent."));
    const QCommandLineOption lumaLevel(QStringLiteral("luma-level"),
                                       QStringLiteral("Luma key level 0..255 for still pictures (default 0: none)."),
                                       QStringLiteral("level"), QStringLiteral("0"));
    const QCommandLineOption lumaType(QStringLiteral("luma-type"),
                                      QStringLiteral("Luma key type: black (default) or white."), QStringLiteral("type"),
                                      QStringLiteral("black"));
    const QCommandLineOption wait(QStringLiteral("wait"),
                                  QStringLiteral("Seconds to wait for the device (default 20)."), QStringLiteral("s"),
                                  QStringLiteral("20"));
    const QCommandLineOption stall(QStringLiteral("stall"),
                                   QStringLiteral("Seconds without progress after which a retrieval is aborted (default 30)."),
                                   QStringLiteral("s"), QStringLiteral("30"));
    const QCommandLineOption quiet(QStringLiteral("quiet"), QStringLiteral("No progress bar."));
    parser.addOptions({tcp, udp, serial, address, port, localPort, logo, frame, animated, keyed, lumaLevel, lumaType,
                       wait, stall, quiet});
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.size() != 2 || (args[0] != QLatin1String("send") && args[0] != QLatin1String("get")))
        return fail(kUsage, QStringLiteral("expected \"send FILE\" or \"get OUT.bmp\" (see --help)"));
    const bool sending = args[0] == QLatin1String("send");
    const QString file = args[1];

    // --- memory ---------------------------------------------------------------
    const int chosen = int(parser.isSet(logo)) + int(parser.isSet(frame)) + int(parser.isSet(animated));
    if (chosen != 1)
        return fail(kUsage, QStringLiteral("choose one memory: --logo N, --frame N or --animated"));
    Target target;
    bool okNumber = true;
    if (parser.isSet(logo)) {
        const int n = parser.value(logo).toInt(&okNumber);
        if (!okNumber || n < 1 || n > 8)
            return fail(kUsage, QStringLiteral("--logo takes 1..8"));
        target = {std::uint8_t(kKindStillLogo | (sending && parser.isSet(keyed) ? kKindKeyed : 0)), std::uint8_t(n),
                  MemoryKind::StillLogo};
    } else if (parser.isSet(frame)) {
        const int n = parser.value(frame).toInt(&okNumber);
        if (!okNumber || n < 1 || n > 4)
            return fail(kUsage, QStringLiteral("--frame takes 1..4"));
        if (parser.isSet(keyed))
            return fail(kUsage, QStringLiteral("frames are never keyed"));
        target = {kKindFrame, std::uint8_t(n), MemoryKind::Frame};
    } else {
        target = {kKindAnimatedLogo, std::uint8_t(sending ? 9 : 10), MemoryKind::AnimatedLogo};
    }

    // --- picture ----------------------------------------------------------------
    WorkPicture picture;
    TPicturePreparation preparation(picture);
    std::string capacityMessage;
    preparation.onMessage = [&](const std::string &m) { capacityMessage = m; };
    std::uint8_t frameCount = 1;
    std::uint16_t frameDelay = 0;
    if (sending) {
        const int level = parser.value(lumaLevel).toInt(&okNumber);
        if (!okNumber || level < 0 || level > 255)
            return fail(kUsage, QStringLiteral("--luma-level takes 0..255"));
        const QString type = parser.value(lumaType).toLower();
        if (type != QLatin1String("black") && type != QLatin1String("white"))
            return fail(kUsage, QStringLiteral("--luma-type takes black or white"));
        preparation.LLEVEL = level;
        preparation.LLUMTYPE = type == QLatin1String("white") ? 1 : 0;

        const LoadedPicture loaded = LoadPictureFile(file);
        if (!loaded.ok)
            return fail(kUsage, QStringLiteral("%1: %2").arg(file, QString::fromStdString(loaded.error)));
        if (loaded.kind == SourceKind::Animation) {
            if (target.memory != MemoryKind::AnimatedLogo)
                return fail(kUsage, QStringLiteral("a GIF file goes to the animated logo (--animated)"));
            std::string error;
            const auto result = preparation.PrepareAnimation(loaded.animation, &error);
            if (!result)
                return fail(kUsage, QStringLiteral("%1: %2").arg(file, QString::fromStdString(error)));
            frameCount = std::uint8_t(std::min(result->frameCount, 255));
            frameDelay = std::uint16_t(result->delayMs);
            if (result->keyed || parser.isSet(keyed))
                target.kind |= kKindKeyed;
        } else {
            if (!preparation.PrepareStill(loaded.still))
                return fail(kUsage, QStringLiteral("%1: %2").arg(file, QString::fromLatin1(kTextInvalidPicture)));
            if (target.memory == MemoryKind::AnimatedLogo && parser.isSet(keyed))
                target.kind |= kKindKeyed;
        }
        // Nothing that does not fit is sent (a frame count above 255 would wrap).
        capacityMessage.clear();
        if (!preparation.CheckCapacity(target.memory))
            return fail(kUsage, QStringLiteral("%1: %2").arg(file, capacityMessage.empty() ? QStringLiteral("empty picture")
                                                                                              : QString::fromStdString(capacityMessage)));
    }

    // --- link -------------------------------------------------------------------
    std::unique_ptr<TVRK_610_d> driver = makeQtDriver();
    driver->SetRanges(&VarRanges, false);
    driver->setLinkErrorHandler([](TVRK_610_d &, const std::string &text) {
        std::fprintf(stderr, "varnel-picture: link: %s\n", text.c_str());
    });
    const int remotePort = parser.value(port).toInt(&okNumber);
    if (!okNumber || remotePort < 1 || remotePort > 65535)
        return fail(kUsage, QStringLiteral("--port takes 1..65535"));
    const int local = parser.value(localPort).toInt(&okNumber);
    if (!okNumber || local < 0 || local > 65535)
        return fail(kUsage, QStringLiteral("--local-port takes 0..65535"));
    driver->setIpRemoteAddress(parser.value(address).toStdString());
    driver->setIpRemotePort(remotePort);
    driver->setIpLocalPort(local);
    if (parser.isSet(serial)) {
        driver->setPort(parser.value(serial).toStdString());
        driver->setConType(tConnectionType::CON_RS232);
    } else if (parser.isSet(udp)) {
        driver->setConType(tConnectionType::CON_UDP);
    } else {
        driver->setConType(tConnectionType::CON_TCP);
    }

    // SIGINT and SIGTERM abort a transfer under way, or end the wait.
    bool interrupted = false;
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [&] {
            char c;
            [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
            interrupted = true;
        });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }

    const int waitSeconds = std::max(1, parser.value(wait).toInt());
    if (!WaitForDevice(*driver, waitSeconds * 1000, [&] { return interrupted; })) {
        driver->setConType(tConnectionType::CON_NONE);
        return fail(kNotFound, interrupted ? QStringLiteral("interrupted") : QStringLiteral("no device found"));
    }

    // --- transfer ------------------------------------------------------------------
    const bool showProgress = !parser.isSet(quiet) && ::isatty(STDERR_FILENO);
    TransferJob job{sending, target.kind, target.slot, frameCount, frameDelay};
    TransferWatch watch;
    if (showProgress)
        watch.progress = [](double percent) { drawProgress(percent, false); };
    watch.stop = [&] { return interrupted; };
    watch.stallMs = std::max(1, parser.value(stall).toInt()) * 1000;
    const std::string result = RunTransfer(*driver, picture, job, watch);
    if (showProgress)
        std::fputc('\n', stderr);
    const int framesRetrieved = job.frameCount;

    int status = kOk;
    if (!result.empty()) {
        status = fail(kTransferFailed, QString::fromStdString(result));
    } else if (!sending) {
        std::lock_guard lock(picture.mutex);
        if (picture.image.isNull()) {
            status = fail(kTransferFailed, QStringLiteral("nothing retrieved"));
        } else if (!SaveBmp(picture.image, file)) {
            status = fail(kTransferFailed, QStringLiteral("cannot write %1").arg(file));
        } else {
            std::printf("%s: %d x %d pixels, %d frame(s)\n", qPrintable(file), picture.image.width(),
                        picture.image.height(), framesRetrieved);
        }
    } else {
        std::printf("Transfer complete.\n");
    }
    // Closing writes out what is still queued.
    driver->setConType(tConnectionType::CON_NONE);
    app.processEvents();
    return status;
}
