#pragma once
// How other threads get the receive thread's attention: a handle the receive thread's wait
// includes (the read end of a pipe on Linux, an event object on Windows). Raised any number of
// times, it stays raised until the receive thread clears it.
//
// Not a posted Qt event: nothing allocated by one thread is then freed by the other behind a
// lock the sanitizers cannot see.

#include <QtGlobal>

class WakeSignal {
public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    // False when the system would not make one.
    bool Usable() const { return m_wait != kNone; }
    // What the receive thread waits on: a descriptor or a HANDLE.
    qintptr Handle() const { return m_wait; }
    // Any thread.
    void Raise();
    // Receive thread.
    void Clear();

private:
    static constexpr qintptr kNone = -1;
    qintptr m_wait = kNone;
    qintptr m_raise = kNone;
};
