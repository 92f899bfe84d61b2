#include "serial/serial_thread.h"

namespace {
thread_local SerialSession* t_session = nullptr;
}

SerialThread::SerialThread(SerialConfig config, std::shared_ptr<SerialSession> session)
    : m_config(std::move(config)), m_session(std::move(session)) {}

SerialThread::~SerialThread() = default;

SerialSession* SerialThread::CurrentSession() {
    return t_session;
}

void SerialThread::run() {
    t_session = m_session.get();
    {
        SerialWorker worker(m_config, *m_session);
        const SerialOpenReport report = worker.OpenPort();
        if (report.failure != SerialOpenFailure::None) {
            m_session->ReportFailed(report);
        } else {
            m_session->ReportOpened(&worker);
            // Returns on Close, or when the device fails. A quit that came before exec counts.
            exec();
            worker.ClosePort();
        }
    }
    t_session = nullptr;
    m_session->End();
}
