#include "cli/interrupt.h"

#include <QMetaObject>
#include <atomic>

#include "cli/cli_texts.h"

namespace {
std::atomic<int> g_interruptSignal{0};
constexpr CliText kInterrupted{"interrupted (%1)", "已中断 (%1)"};
}  // namespace

bool NoteInterrupt(int signal) {
    int expected = 0;
    return g_interruptSignal.compare_exchange_strong(expected, signal);
}

int InterruptSignal() {
    return g_interruptSignal.load();
}

int InterruptExitCode() {
    return 128 + InterruptSignal();
}

QString InterruptReason() {
    return Text(kInterrupted)
        .arg(InterruptSignal() == 2 ? QStringLiteral("SIGINT") : QStringLiteral("SIGTERM"));
}

InterruptNotifier& Interrupts() {
    // Never destroyed: a signal may come while the program ends.
    static auto* notifier = new InterruptNotifier;
    return *notifier;
}

void PostInterrupt() {
    QMetaObject::invokeMethod(
        &Interrupts(), [] { emit Interrupts().requested(); }, Qt::QueuedConnection);
}

void RequestInterrupt(int signal) {
    if (NoteInterrupt(signal))
        PostInterrupt();
}
