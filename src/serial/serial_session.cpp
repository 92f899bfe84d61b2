#include "serial/serial_session.h"

SerialSession::SerialSession() = default;

SerialSession::~SerialSession() = default;

void SerialSession::WakeReceiveThread() {
    m_wake.Raise();
    if (m_wakeHook) {
        m_wakeHook();
    }
}

void SerialSession::SetWakeHook(std::function<void()> hook) {
    std::lock_guard lock(m_mutex);
    m_wakeHook = std::move(hook);
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
