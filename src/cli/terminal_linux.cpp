#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/terminal.h"

bool PrepareTerminalOutput() {
    return ::isatty(STDOUT_FILENO) == 1;
}

int TerminalColumns() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

int TerminalRows() {
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_row > 0)
        return size.ws_row;
    return 24;
}
