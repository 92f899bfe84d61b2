#include "serial/serial.h"

#include <cstdio>

#include "core/protocol/link_flags.h"
#include "serial/serial_message_sink.h"
#include "serial/serial_messages.h"
#include "serial/serial_session.h"
#include "serial/serial_thread.h"

CSerial g_serial;

CSerial::CSerial() = default;

CSerial::~CSerial() {
    // At exit the port is normally closed already; then this neither waits nor touches Qt.
    Close();
}

void CSerial::SetReceiveCallback(ReceiveCallback cb) {
    std::lock_guard lock(m_stateLock);
    m_onReceive = std::move(cb);
}

void CSerial::SetPromptDelivery(PromptDelivery when) {
    std::lock_guard lock(m_stateLock);
    m_deliverPromptly = std::move(when);
}

void CSerial::SetLowLatency(bool on) {
    std::lock_guard lock(m_stateLock);
    m_lowLatency = on;
    if (m_session) {
        m_session->SetLowLatency(on);
    }
}

void CSerial::SetMessageSink(SerialMessageSink* sink) {
    std::lock_guard lock(m_stateLock);
    m_sink = sink;
}

void CSerial::ShowMessage(const QString& text) const {
    SerialMessageSink* sink = nullptr;
    {
        std::lock_guard lock(m_stateLock);
        sink = m_sink;
    }
    if (sink != nullptr) {
        sink->ShowSerialMessage(text);
    } else {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    }
}

int CSerial::Open(const QString& path, std::uint32_t baudRate, std::uint8_t byteSize,
                  std::uint8_t stopBits, std::uint8_t parity, int /*reserved1*/, int /*reserved2*/,
                  void* owner, std::uint32_t readSize) {
    if (OnOwnReceiveThread()) {
        // A receive thread cannot wait for itself to end, so it cannot make way for a new one.
        CloseFromReceiveThread();
        ShowMessage(QString::fromUtf8(kSerialThreadFailedText));
        return 0;
    }

    QString message;
    {
        std::lock_guard lifecycle(m_lifecycleLock);
        CloseLocked();

        SerialConfig config;
        config.path = path;
        config.baudRate = baudRate;
        config.byteSize = byteSize;
        config.stopBits = stopBits;
        config.parity = parity;
        config.owner = owner;
        config.readSize = readSize;
        {
            std::lock_guard lock(m_stateLock);
            config.onReceive = m_onReceive;
            config.deliverPromptly = m_deliverPromptly;
        }
        auto session = std::make_shared<SerialSession>();
        auto thread = std::make_unique<SerialThread>(std::move(config), session);
        if (!session->Usable() || !thread->Start()) {
            message = QString::fromUtf8(kSerialThreadFailedText);
        } else {
            const SerialOpenReport report = session->WaitForOpenReport();
            switch (report.failure) {
                case SerialOpenFailure::None: {
                    std::lock_guard lock(m_stateLock);
                    // Under the lock SetLowLatency takes, so no change in between is lost.
                    session->SetLowLatency(m_lowLatency);
                    m_session = std::move(session);
                    m_thread = std::move(thread);
                    m_open = true;
                    return 1;
                }
                case SerialOpenFailure::Open:
                    message = QString::fromUtf8(kSerialOpenFailedText);
                    if (!report.reason.isEmpty()) {
                        message += QLatin1Char('\n') + report.reason;
                    }
                    break;
                case SerialOpenFailure::Configure:
                    message = QString::fromUtf8(kSerialConfigFailedText);
                    break;
            }
            thread->Join();
        }
    }
    // Outside the lock: a sink that shows a dialog may take its time.
    ShowMessage(message);
    return 0;
}

int CSerial::Close() {
    if (OnOwnReceiveThread()) {
        return CloseFromReceiveThread();
    }
    std::lock_guard lifecycle(m_lifecycleLock);
    return CloseLocked();
}

int CSerial::CloseLocked() {
    std::shared_ptr<SerialSession> session;
    std::unique_ptr<SerialThread> thread;
    bool wasOpen = false;
    {
        std::lock_guard lock(m_stateLock);
        wasOpen = m_open;
        m_open = false;
        session = std::move(m_session);
        thread = std::move(m_thread);
    }
    if (thread) {
        session->RequestStop();
        thread->Join();
    }
    return wasOpen ? 1 : 0;
}

int CSerial::CloseFromReceiveThread() {
    // Called from the callback: stop receiving at once, let the thread end when the callback
    // returns, and leave the joining to the next Open or Close.
    std::shared_ptr<SerialSession> session;
    {
        std::lock_guard lock(m_stateLock);
        if (!m_open) {
            return 0;
        }
        m_open = false;
        session = m_session;
    }
    session->RequestStop();
    return 1;
}

bool CSerial::OnOwnReceiveThread() const {
    SerialSession* current = SerialThread::CurrentSession();
    if (current == nullptr) {
        return false;
    }
    std::lock_guard lock(m_stateLock);
    return current == m_session.get();
}

bool CSerial::IsOpen() const {
    std::lock_guard lock(m_stateLock);
    return m_open;
}

bool CSerial::DeviceLost() const {
    std::lock_guard lock(m_stateLock);
    return m_open && m_session != nullptr && m_session->Lost();
}

int CSerial::Write(const std::uint8_t* data, std::uint32_t length) {
    std::shared_ptr<SerialSession> session;
    {
        std::lock_guard lock(m_stateLock);
        if (!m_open) {
            return 0;
        }
        AddEchoSkip(length);
        session = m_session;
    }
    if (length == 0) {
        return 1;
    }
    if (data == nullptr || !session) {
        return 0;
    }
    if (SerialThread::CurrentSession() == session.get()) {
        return SerialThread::WriteOnReceiveThread(data, length);
    }
    return session->Submit(data, length);
}
