#include <windows.h>

#include <cstdio>

#include "app/process_end.h"

// Under Wine a process whose records store took SQLite's file locks never finishes ExitProcess
// (the library unloading waits forever). Called when the port is closed, the records are
// committed and their store closed, and the files are written: the process ends here directly.
int EndProcess(int code) {
    std::fflush(nullptr);
    ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
    return code;
}
