#include "serial/serial_session.h"

#include <fcntl.h>
#include <unistd.h>

// The receive thread is woken through a pipe rather than by posting Qt events to it: nothing
// allocated by one thread is then freed by the other behind a lock the sanitizers cannot see.
SerialSession::SerialSession() {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        m_wakeRead = fds[0];
        m_wakeWrite = fds[1];
    }
}

SerialSession::~SerialSession() {
    if (m_wakeRead >= 0) {
        ::close(m_wakeRead);
        ::close(m_wakeWrite);
    }
}

void SerialSession::WakeReceiveThread() {
    const char byte = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t ignored = ::write(m_wakeWrite, &byte, 1);
}

void SerialSession::TakeWakeUps() {
    char bytes[64];
    while (::read(m_wakeRead, bytes, sizeof bytes) > 0) {
    }
}

void SerialSession::ReportOpened() {
    std::lock_guard lock(m_mutex);
    m_accepting = true;
    m_reported = true;
    m_cv.notify_all();
}

void SerialSession::ReportFailed(const SerialOpenReport& report) {
    std::lock_guard lock(m_mutex);
    m_report = report;
    m_reported = true;
    m_cv.notify_all();
}

SerialOpenReport SerialSession::WaitForOpenReport() {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [this] { return m_reported; });
    return m_report;
}

int SerialSession::Submit(const std::uint8_t* data, std::uint32_t length) {
    std::unique_lock lock(m_mutex);
    if (!m_accepting) {
        return 0;
    }
    WriteJob job{data, length, 0, false};
    m_jobs.push_back(&job);
    WakeReceiveThread();
    m_cv.wait(lock, [&job] { return job.done; });
    return job.result;
}

bool SerialSession::TakeWrite(const std::uint8_t** data, std::uint32_t* length) {
    std::lock_guard lock(m_mutex);
    if (m_jobs.empty()) {
        return false;
    }
    m_current = m_jobs.front();
    m_jobs.pop_front();
    *data = m_current->data;
    *length = m_current->length;
    return true;
}

void SerialSession::FinishWrite(int result) {
    std::lock_guard lock(m_mutex);
    if (m_current == nullptr) {
        return;
    }
    m_current->result = result;
    m_current->done = true;
    m_current = nullptr;
    m_cv.notify_all();
}

void SerialSession::RequestStop() {
    std::lock_guard lock(m_mutex);
    m_stopRequested.store(true);
    if (m_accepting) {
        WakeReceiveThread();
    }
}

void SerialSession::SetLowLatency(bool on) {
    std::lock_guard lock(m_mutex);
    m_lowLatency.store(on);
    if (m_accepting) {
        WakeReceiveThread();
    }
}

void SerialSession::CloseWrites() {
    std::lock_guard lock(m_mutex);
    m_accepting = false;
    for (WriteJob* job : m_jobs) {
        job->result = 0;
        job->done = true;
    }
    m_jobs.clear();
    if (m_current != nullptr) {
        m_current->result = 0;
        m_current->done = true;
        m_current = nullptr;
    }
    m_cv.notify_all();
}
