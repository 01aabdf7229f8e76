// varnel-sim: a stand-in device for demonstrations and end-to-end tests. It
// answers the register protocol and the picture transfer over TCP, UDP and a
// serial line on a pseudo-terminal.
#include "sim_host.h"
#include "sim_models.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace varnel::sim;

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

bool parseShare(const QString &text, double *out)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || v < 0.0 || v > 1.0)
        return false;
    *out = v;
    return true;
}

bool parseInt(const QString &text, int lo, int hi, int *out)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

QString modelList()
{
    QStringList codes;
    for (const ModelProfile &m : modelCatalogue())
        codes << QStringLiteral("%1 (%2)").arg(QString::fromStdString(m.code)).arg(m.dev);
    return codes.join(QStringLiteral(", "));
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("varnel-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Simulated VarnelSerie device: answers the register protocol and picture transfers.\n"
                       "Without --tcp, --udp or --serial only the TCP link runs.\n"
                       "Models: %1; any other number is reported as a raw DEV code.")
            .arg(modelList()));
    parser.addHelpOption();
    const QCommandLineOption tcp(QStringLiteral("tcp"), QStringLiteral("Run the TCP server."));
    const QCommandLineOption udp(QStringLiteral("udp"), QStringLiteral("Run the UDP endpoint."));
    const QCommandLineOption serial(QStringLiteral("serial"), QStringLiteral("Run a serial line on a pseudo-terminal."));
    const QCommandLineOption address(QStringLiteral("address"), QStringLiteral("Address to listen on (default 127.0.0.1)."),
                                     QStringLiteral("addr"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption tcpPort(QStringLiteral("tcp-port"), QStringLiteral("TCP port (default 10500, 0 any)."),
                                     QStringLiteral("port"), QStringLiteral("10500"));
    const QCommandLineOption udpPort(QStringLiteral("udp-port"), QStringLiteral("UDP port (default 10500, 0 any)."),
                                     QStringLiteral("port"), QStringLiteral("10500"));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Place a symbolic link to the serial line's device here (implies --serial)."),
                                  QStringLiteral("path"));
    const QCommandLineOption model(QStringLiteral("model"), QStringLiteral("Model code or DEV value (default VRK610)."),
                                   QStringLiteral("model"), QStringLiteral("VRK610"));
    const QCommandLineOption pictureDir(QStringLiteral("picture-dir"),
                                        QStringLiteral("Write every received picture to this folder as PNG."),
                                        QStringLiteral("dir"));
    const QCommandLineOption latency(QStringLiteral("latency"), QStringLiteral("Delay every answer by ms."),
                                     QStringLiteral("ms"));
    const QCommandLineOption split(QStringLiteral("split"), QStringLiteral("Send answers in random pieces."));
    const QCommandLineOption drop(QStringLiteral("drop"), QStringLiteral("Share (0..1) of answer lines never sent."),
                                  QStringLiteral("share"));
    const QCommandLineOption garbage(QStringLiteral("garbage"),
                                     QStringLiteral("Share (0..1) of answer lines preceded by a garbage line."),
                                     QStringLiteral("share"));
    const QCommandLineOption nak(QStringLiteral("nak"),
                                 QStringLiteral("Share (0..1) of valid transfer records refused with \".0\"."),
                                 QStringLiteral("share"));
    const QCommandLineOption silentAfter(QStringLiteral("silent-after"),
                                         QStringLiteral("Stop answering s seconds after a peer appears."),
                                         QStringLiteral("s"));
    const QCommandLineOption closeAfter(QStringLiteral("close-after"),
                                        QStringLiteral("Hang up s seconds after a peer appears (TCP closes the "
                                                       "connection; UDP and serial stop answering)."),
                                        QStringLiteral("s"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the fault randomness (default 1)."),
                                  QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Log every exchange with a timestamp."));
    parser.addOptions({tcp, udp, serial, address, tcpPort, udpPort, link, model, pictureDir, latency, split, drop,
                       garbage, nak, silentAfter, closeAfter, seed, verbose});
    parser.process(app);

    auto fail = [](const QString &message) {
        std::fprintf(stderr, "varnel-sim: %s\n", qPrintable(message));
        return 2;
    };
    const std::optional<ModelProfile> profile = findModel(parser.value(model).toStdString());
    if (!profile)
        return fail(QStringLiteral("unknown model \"%1\"; models: %2").arg(parser.value(model), modelList()));

    SimHost::Options options;
    options.tcp = parser.isSet(tcp);
    options.udp = parser.isSet(udp);
    options.serial = parser.isSet(serial) || parser.isSet(link);
    if (!options.tcp && !options.udp && !options.serial)
        options.tcp = true;
    if (!options.address.setAddress(parser.value(address)))
        return fail(QStringLiteral("bad address \"%1\"").arg(parser.value(address)));
    int port = 0;
    if (!parseInt(parser.value(tcpPort), 0, 65535, &port))
        return fail(QStringLiteral("bad TCP port"));
    options.tcpPort = static_cast<quint16>(port);
    if (!parseInt(parser.value(udpPort), 0, 65535, &port))
        return fail(QStringLiteral("bad UDP port"));
    options.udpPort = static_cast<quint16>(port);
    options.linkPath = parser.value(link);
    options.pictureDir = parser.value(pictureDir);
    options.verbose = parser.isSet(verbose);
    FaultConfig &f = options.faults;
    if (parser.isSet(latency) && !parseInt(parser.value(latency), 0, 60000, &f.latencyMs))
        return fail(QStringLiteral("--latency takes 0..60000 ms"));
    f.split = parser.isSet(split);
    if (parser.isSet(drop) && !parseShare(parser.value(drop), &f.dropShare))
        return fail(QStringLiteral("--drop takes a share between 0 and 1"));
    if (parser.isSet(garbage) && !parseShare(parser.value(garbage), &f.garbageShare))
        return fail(QStringLiteral("--garbage takes a share between 0 and 1"));
    if (parser.isSet(nak) && !parseShare(parser.value(nak), &f.nakShare))
        return fail(QStringLiteral("--nak takes a share between 0 and 1"));
    if (parser.isSet(silentAfter) && !parseInt(parser.value(silentAfter), 0, 86400, &f.silentAfterS))
        return fail(QStringLiteral("--silent-after takes 0..86400 s"));
    if (parser.isSet(closeAfter) && !parseInt(parser.value(closeAfter), 0, 86400, &f.closeAfterS))
        return fail(QStringLiteral("--close-after takes 0..86400 s"));
    int seedValue = 1;
    if (!parseInt(parser.value(seed), 0, 2147483647, &seedValue))
        return fail(QStringLiteral("bad seed"));
    f.seed = static_cast<std::uint32_t>(seedValue);

    SimHost host(*profile, options);
    QString error;
    if (!host.start(&error))
        return fail(error);

    std::printf("varnel-sim: model %s, DEV %u\n", profile->code.c_str(), unsigned(profile->dev));
    if (options.tcp)
        std::printf("tcp %s:%u\n", qPrintable(options.address.toString()), unsigned(host.tcpPort()));
    if (options.udp)
        std::printf("udp %s:%u\n", qPrintable(options.address.toString()), unsigned(host.udpPort()));
    if (options.serial)
        std::printf("serial %s%s\n", qPrintable(host.serialPath()),
                    options.linkPath.isEmpty() ? "" : qPrintable(QStringLiteral(" (link %1)").arg(options.linkPath)));
    std::fflush(stdout);

    // SIGINT and SIGTERM end the event loop, so the serial link's symlink is removed.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    return app.exec();
}
