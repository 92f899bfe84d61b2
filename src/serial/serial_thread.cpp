#include "serial/serial_thread.h"

#include <system_error>

namespace {
thread_local SerialSession* t_session = nullptr;
// Set while the port is open; only this thread's callback reaches it.
thread_local SerialWorker* t_worker = nullptr;
}  // namespace

SerialThread::SerialThread(SerialConfig config, std::shared_ptr<SerialSession> session)
    : m_config(std::move(config)), m_session(std::move(session)) {}

SerialThread::~SerialThread() {
    Join();
}

SerialSession* SerialThread::CurrentSession() {
    return t_session;
}

int SerialThread::WriteOnReceiveThread(const std::uint8_t* data, std::uint32_t length) {
    if (t_worker == nullptr) {
        return 0;
    }
    // Writes queued by other threads were called earlier: they go first.
    t_worker->DrainWrites();
    return t_worker->WriteNow(data, length);
}

bool SerialThread::Start() {
    try {
        // The thread keeps its own copies: it never reaches back into this object.
        m_thread = std::thread([config = m_config, session = m_session] { Run(config, session); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void SerialThread::Join() {
    if (!m_thread.joinable()) {
        return;
    }
    if (m_thread.get_id() == std::this_thread::get_id()) {
        // Only reachable by destroying the port from its own callback; never wait for oneself.
        m_thread.detach();
        return;
    }
    m_thread.join();
}

void SerialThread::Run(const SerialConfig& config, const std::shared_ptr<SerialSession>& session) {
    t_session = session.get();
    {
        const std::unique_ptr<SerialWorker> worker = SerialWorker::Create(config, *session);
        const SerialOpenReport report = worker->OpenPort();
        if (report.failure != SerialOpenFailure::None) {
            session->ReportFailed(report);
        } else {
            session->ReportOpened();
            t_worker = worker.get();
            worker->Run();
            t_worker = nullptr;
            if (!session->StopRequested())
                session->ReportLost();
            worker->ClosePort();
        }
        // Before the worker goes: no other thread may hand it work any more.
        session->CloseWrites();
    }
    t_session = nullptr;
}
