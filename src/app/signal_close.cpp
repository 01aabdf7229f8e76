#include "signal_close.h"

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace varnel::app {

namespace {
int g_pipe[2] = {-1, -1};

extern "C" void onTerminationSignal(int)
{
    const char c = 1;
    // Only async-signal-safe work here: wake the event loop.
    [[maybe_unused]] const auto n = ::write(g_pipe[0], &c, 1);
}
}  // namespace

void closeOnTerminationSignals(QWidget *window)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, window);
    QPointer<QWidget> target(window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [target] {
        char c = 0;
        [[maybe_unused]] const auto n = ::read(g_pipe[1], &c, 1);
        if (target)
            target->close();
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

}  // namespace varnel::app
