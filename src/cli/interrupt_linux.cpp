#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

#include "cli/interrupt.h"

namespace {

int g_wakePipe[2] = {-1, -1};

void OnSignal(int signal) {
    if (!NoteInterrupt(signal)) {
        // Asked twice: the person means it.
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_wakePipe[1], &byte, 1);
}

}  // namespace

void InstallInterruptHandlers() {
    if (g_wakePipe[0] >= 0)
        return;
    if (::pipe2(g_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    // The handler only writes a byte; the main thread's event loop reads it.
    auto* notifier = new QSocketNotifier(g_wakePipe[0], QSocketNotifier::Read, &Interrupts());
    QObject::connect(notifier, &QSocketNotifier::activated, &Interrupts(), [] {
        char bytes[16];
        while (::read(g_wakePipe[0], bytes, sizeof bytes) > 0) {
        }
        emit Interrupts().requested();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    // A reader that went away (a station that died, `| head`) must not kill a command in the
    // middle of an operation before its record is written: writes fail instead.
    ::signal(SIGPIPE, SIG_IGN);
}
