#include "framework/ui/Signals.h"

#include "framework/ui/DialogImpl.h"

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace fw {
namespace {

bool g_ending = false;
int g_pipe[2] = {-1, -1};

// Only what is safe in a signal handler: one byte into the pipe, which the event loop reads.
extern "C" void onSignal(int signo) {
    const int saved = errno;
    const char byte = char(signo);
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

} // namespace

bool IsEnding() {
    return g_ending;
}

void EndProgramNow() {
    if (g_ending) {
        return;
    }
    g_ending = true;
    // Innermost first, each modal loop returns; QApplication::exit ends the main loop and any
    // loop still running.
    auto running = detail::runningDialogs();
    for (auto it = running.rbegin(); it != running.rend(); ++it) {
        (*it)->EndDialog(kNoDialog);
    }
    QApplication::exit(0);
}

void EndOnSignals() {
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signo : {SIGTERM, SIGHUP, SIGINT}) {
        ::sigaction(signo, &action, nullptr);
    }
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
        char buffer[16];
        while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
        }
        EndProgramNow();
    });
    // The desktop session asks before it ends; the program has nothing to save and does not
    // hold the session up.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp,
                     [](QSessionManager&) { EndProgramNow(); });
}

} // namespace fw
