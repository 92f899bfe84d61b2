#pragma once
// What one receive thread shares with the threads that use the port: the outcome of opening,
// the queue of writes from other threads, and the stop request. Everything here is guarded by
// one standard mutex so that the hand-over between threads is plain to see (and to the thread
// sanitizer).

#include <QString>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

class SerialWorker;

enum class SerialOpenFailure {
    None,
    Open,       // the device could not be opened
    Configure,  // the line settings were refused
    Thread,     // no receive thread
};

struct SerialOpenReport {
    SerialOpenFailure failure = SerialOpenFailure::None;
    // For SerialOpenFailure::Open: the reason, one or two lines.
    QString reason;
};

class SerialSession {
public:
    // Receive thread: the port is open (worker accepts writes) or could not be opened.
    void ReportOpened(SerialWorker* worker);
    void ReportFailed(const SerialOpenReport& report);
    // Opening thread: blocks until one of the two above.
    SerialOpenReport WaitForOpenReport();

    // Any thread but the receive thread: queues a write and waits for its result. 0 once the
    // session has ended.
    int Submit(const std::uint8_t* data, std::uint32_t length);
    // Receive thread: the next queued write, or false when there is none.
    bool TakeWrite(const std::uint8_t** data, std::uint32_t* length);
    // Receive thread: result of the write last taken.
    void FinishWrite(int result);
    // Receive thread, in its callback: runs the queued writes, then this one.
    int WriteOnReceiveThread(const std::uint8_t* data, std::uint32_t length);

    void RequestStop() { m_stopRequested.store(true); }
    bool StopRequested() const { return m_stopRequested.load(); }

    // Receive thread, last thing it does: refuses further writes, fails the queued ones.
    void End();
    // Joining thread, after the thread has finished: orders everything the thread did before
    // what the joiner does next.
    void AwaitEnd();

private:
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
    SerialWorker* m_worker = nullptr;  // valid while m_accepting
    bool m_accepting = false;
    bool m_ended = false;
    std::deque<WriteJob*> m_jobs;
    WriteJob* m_current = nullptr;
    std::atomic<bool> m_stopRequested{false};
};
