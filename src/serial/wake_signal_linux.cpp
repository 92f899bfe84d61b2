#include "serial/wake_signal.h"

#include <fcntl.h>
#include <unistd.h>

WakeSignal::WakeSignal() {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        m_wait = fds[0];
        m_raise = fds[1];
    }
}

WakeSignal::~WakeSignal() {
    if (Usable()) {
        ::close(static_cast<int>(m_wait));
        ::close(static_cast<int>(m_raise));
    }
}

void WakeSignal::Raise() {
    const char byte = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t ignored = ::write(static_cast<int>(m_raise), &byte, 1);
}

void WakeSignal::Clear() {
    char bytes[64];
    while (::read(static_cast<int>(m_wait), bytes, sizeof bytes) > 0) {
    }
}
