#pragma once
// What one receive thread shares with the threads that use the port: the outcome of opening,
// the queue of writes from other threads, and the stop request. A plain mailbox: it knows
// nothing of the worker that empties it, and only the worker writes to the port. Everything here
// is guarded by one standard mutex so that the hand-over between threads is plain to see (and to
// the thread sanitizer).

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "serial/wake_signal.h"

enum class SerialOpenFailure {
    None,
    Open,       // the device could not be opened
    Configure,  // the line settings were refused
};

struct SerialOpenReport {
    SerialOpenFailure failure = SerialOpenFailure::None;
    // For SerialOpenFailure::Open: the reason, one or two lines.
    QString reason;
};

class SerialSession {
public:
    SerialSession();
    ~SerialSession();
    SerialSession(const SerialSession&) = delete;
    SerialSession& operator=(const SerialSession&) = delete;

    // False when the wake-up channel could not be made: no receive thread can be served.
    bool Usable() const { return m_wake.Usable(); }
    // Raised whenever another thread wants the receive thread's attention (writes queued, stop
    // requested). The receive thread waits on it and clears it with TakeWakeUps.
    qintptr WakeHandle() const { return m_wake.Handle(); }
    void TakeWakeUps() { m_wake.Clear(); }
    // A worker that waits on something else than the handle (the demo's in-process line) is
    // told here too. Set by the receive thread before it reports the port open.
    void SetWakeHook(std::function<void()> hook);

    // Receive thread: the port is open (writes are accepted) or could not be opened.
    void ReportOpened();
    void ReportFailed(const SerialOpenReport& report);
    // Opening thread: blocks until one of the two above.
    SerialOpenReport WaitForOpenReport();

    // Any thread but the receive thread: queues a write and waits for its result. 0 once the
    // receive thread no longer takes writes.
    int Submit(const std::uint8_t* data, std::uint32_t length);
    // Receive thread: the next queued write, or false when there is none.
    bool TakeWrite(const std::uint8_t** data, std::uint32_t* length);
    // Receive thread: result of the write last taken.
    void FinishWrite(int result);

    // Any thread: no callback starts after this returns, and the receive thread ends soon.
    void RequestStop();
    bool StopRequested() const { return m_stopRequested.load(); }
    // Receive thread: its worker ended without being asked (the device failed or vanished).
    void ReportLost() { m_lost.store(true); }
    // Any thread: true once the device is lost for good; the port stays open until closed.
    bool Lost() const { return m_lost.load(); }

    // Any thread: asks the driver for low latency (or its own setting back); the receive thread
    // applies it when woken.
    void SetLowLatency(bool on);
    bool LowLatencyWanted() const { return m_lowLatency.load(); }

    // Receive thread, before its worker goes: refuses further writes, fails the queued ones.
    void CloseWrites();

private:
    // Called with m_mutex held.
    void WakeReceiveThread();

    struct WriteJob {
        const std::uint8_t* data;
        std::uint32_t length;
        int result;
        bool done;
    };

    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_reported = false;
    SerialOpenReport m_report;
    bool m_accepting = false;
    std::deque<WriteJob*> m_jobs;
    WriteJob* m_current = nullptr;
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_lost{false};
    std::atomic<bool> m_lowLatency{false};
    WakeSignal m_wake;
    std::function<void()> m_wakeHook;
};
