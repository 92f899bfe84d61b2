#include "serial/serial_session.h"

#include <QMetaObject>

#include "serial/serial_worker.h"

void SerialSession::ReportOpened(SerialWorker* worker) {
    std::lock_guard lock(m_mutex);
    m_worker = worker;
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
    // The worker cannot go away while we hold the mutex and it still accepts.
    QMetaObject::invokeMethod(m_worker, "DrainWrites", Qt::QueuedConnection);
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

int SerialSession::WriteOnReceiveThread(const std::uint8_t* data, std::uint32_t length) {
    SerialWorker* worker = nullptr;
    {
        std::lock_guard lock(m_mutex);
        if (!m_accepting) {
            return 0;
        }
        worker = m_worker;
    }
    // Writes queued by other threads were called earlier: they go first.
    worker->DrainWrites();
    return worker->WriteNow(data, length);
}

void SerialSession::End() {
    std::lock_guard lock(m_mutex);
    m_accepting = false;
    m_worker = nullptr;
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
    m_ended = true;
    m_cv.notify_all();
}

void SerialSession::AwaitEnd() {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [this] { return m_ended; });
}
