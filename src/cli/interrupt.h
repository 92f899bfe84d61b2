#pragma once
// A request to stop from outside: SIGINT and SIGTERM on Linux; Ctrl-C, Ctrl-Break and the
// console's close, log-off and shut-down on Windows (interrupt_<platform>.cpp). The handler only
// notes the request; the command sees it in its event loop, abandons what it was doing on the
// wire, writes its record as cancelled and ends as a shell expects (128 + the signal).

#include <QObject>
#include <QString>

// Installs the handlers; after the application object exists. A second request while the
// first is being handled ends the program at once.
void InstallInterruptHandlers();
// 2 (SIGINT, Ctrl-C) or 15 (SIGTERM, Ctrl-Break, the console closed); 0 before any request.
int InterruptSignal();
inline bool InterruptRequested() {
    return InterruptSignal() != 0;
}
// 130 after SIGINT, 143 after SIGTERM.
int InterruptExitCode();
// What a record's reason says of the request: "interrupted (SIGINT)".
QString InterruptReason();
// The same request from inside the program (a supervisor that closed our input). Any thread.
void RequestInterrupt(int signal);

// Tells the main thread once per request.
class InterruptNotifier : public QObject {
    Q_OBJECT

signals:
    void requested();
};
InterruptNotifier& Interrupts();

// For interrupt_<platform>.cpp: notes the request (async-signal-safe); false when one was
// noted already.
bool NoteInterrupt(int signal);
// For interrupt_<platform>.cpp: emits requested() on the main thread.
void PostInterrupt();
