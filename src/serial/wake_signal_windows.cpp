#include "serial/wake_signal.h"

#include <windows.h>

// A manual-reset event: raised twice before the receive thread looks, it wakes it once, as the
// pipe does on Linux.
WakeSignal::WakeSignal() {
    if (HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        m_wait = m_raise = reinterpret_cast<qintptr>(event);
    }
}

WakeSignal::~WakeSignal() {
    if (Usable()) {
        ::CloseHandle(reinterpret_cast<HANDLE>(m_wait));
    }
}

void WakeSignal::Raise() {
    ::SetEvent(reinterpret_cast<HANDLE>(m_raise));
}

void WakeSignal::Clear() {
    ::ResetEvent(reinterpret_cast<HANDLE>(m_wait));
}
