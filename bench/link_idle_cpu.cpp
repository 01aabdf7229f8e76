// CPU cost of the device link while nothing happens: the process CPU time (user +
// system) of the wired driver over a stretch connected to an idle device on
// 127.0.0.1, then over a stretch with the device switched off (connections
// refused). The device runs in a child process, so its own time is not counted.
//
//   link_idle_cpu [seconds per stretch, default 60]
#include "qt_link.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace varnel;

namespace {

double cpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

/// The idle device: answers "?" with "DEV41" and the query-all request with a short dump.
[[noreturn]] void runDevice(int listener, int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTcpServer server;
    server.setSocketDescriptor(listener);
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        QTcpSocket *s = server.nextPendingConnection();
        QObject::connect(s, &QTcpSocket::readyRead, s, [s] {
            const QByteArray in = s->readAll();
            if (in.contains("1#"))
                s->write("#1\r\nDEV41\r\n#0\r\n");
            else if (in.contains('?'))
                s->write("DEV41\r\n");
        });
    });
    ::_exit(app.exec());
}

void runFor(QCoreApplication &app, int seconds)
{
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
}

}  // namespace

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr *>(&address), length) != 0 ||
        ::listen(listener, 4) != 0 || ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        std::perror("listen");
        return 1;
    }
    const pid_t device = ::fork();
    if (device < 0) {
        std::perror("fork");
        return 1;
    }
    if (device == 0)
        runDevice(listener, argc, argv);
    ::close(listener);  // once the device is gone, connections are refused

    QCoreApplication app(argc, argv);
    auto driver = makeQtDriver();
    int sent = 0;
    driver->setHandler(Event::OnSentString, [&](TVRK_610_d &, int) { ++sent; });
    driver->setIpRemoteAddress("127.0.0.1");
    driver->setIpRemotePort(ntohs(address.sin_port));
    driver->setConType(tConnectionType::CON_TCP);
    for (int waited = 0; !driver->Connected() && waited < 30; ++waited)
        runFor(app, 1);
    if (!driver->Connected()) {
        std::fprintf(stderr, "the device was not found\n");
        ::kill(device, SIGTERM);
        return 1;
    }
    runFor(app, 3);  // let the register dump settle

    sent = 0;
    double start = cpuSeconds();
    runFor(app, seconds);
    double used = cpuSeconds() - start;
    std::printf("connected, idle device : %6.3f s CPU in %d s = %.3f %% of a core, %d polls, still connected: %s\n",
                used, seconds, 100.0 * used / seconds, sent, driver->Connected() ? "yes" : "no");

    ::kill(device, SIGTERM);
    ::waitpid(device, nullptr, 0);
    runFor(app, 5);  // the driver notices and starts reconnecting

    sent = 0;
    start = cpuSeconds();
    runFor(app, seconds);
    used = cpuSeconds() - start;
    std::printf("device off (refused)   : %6.3f s CPU in %d s = %.3f %% of a core, %d probes, connected: %s\n",
                used, seconds, 100.0 * used / seconds, sent, driver->Connected() ? "yes" : "no");
    return 0;
}
