#include <windows.h>

#include "cli/interrupt.h"

namespace {

BOOL WINAPI OnConsoleEvent(DWORD type) {
    const int signal = type == CTRL_C_EVENT ? 2 : 15;
    if (!NoteInterrupt(signal)) {
        if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT)
            ExitProcess(static_cast<UINT>(128 + signal));
    } else {
        PostInterrupt();
    }
    // The console's close, log-off and shut-down end the process as soon as this returns: give
    // the main thread its time to cancel and store the record (the system allows about 5 s).
    if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
        Sleep(4500);
    return TRUE;
}

}  // namespace

void InstallInterruptHandlers() {
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    // Created on the main thread so that its queued calls run there.
    Interrupts();
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}
