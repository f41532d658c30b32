// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/endsignals.h"

#include <QWidget>

#ifdef Q_OS_UNIX
#include <QPointer>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <tuple>
#include <unistd.h>
#endif

namespace kz {

#ifdef Q_OS_UNIX
namespace {

int g_signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: one byte that the event loop turns into
// a close.
void onEndSignal(int)
{
    const char byte = 1;
    // A full pipe holds a close already.
    std::ignore = ::write(g_signalPipe[1], &byte, 1);
}

} // namespace

void closeOnEndSignals(QWidget *window)
{
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, window);
    QPointer<QWidget> target(window);
    QObject::connect(notifier, &QSocketNotifier::activated, window, [target] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) { }
        if (target)
            target->close();
    });
    struct sigaction action { };
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}
#else
void closeOnEndSignals(QWidget *)
{
}
#endif

} // namespace kz
