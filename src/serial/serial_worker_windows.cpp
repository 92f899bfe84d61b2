// The receive thread's side of a device on Windows: overlapped ReadFile with comm timeouts, which
// give the burst rule directly (a read ends after kSilenceMs without a byte, or when the buffer
// is full), and WriteFile for the writes. The thread waits on its read and its wake-up at once.
//
// Not QSerialPort's reading: that waits on the comm events, which some drivers (and Wine with a
// pseudo-terminal behind the port) never signal, while ReadFile with timeouts works everywhere.

#include <windows.h>

#include <QString>
#include <algorithm>
#include <limits>
#include <vector>

#include "serial/serial_messages.h"
#include "serial/serial_worker.h"

namespace {

// While the link wants bytes as they arrive, a read ends after this much silence instead.
constexpr DWORD kPromptSilenceMs = 1;

QString SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    QString message = length > 0 ? QString::fromWCharArray(text, static_cast<int>(length))
                                 : QStringLiteral("Error %1").arg(code);
    if (text != nullptr) {
        ::LocalFree(text);
    }
    return message.trimmed();
}

// Errors after which the device is not coming back (unplugged adapter, closed peer).
bool DeviceGone(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_BAD_COMMAND:
        case ERROR_BROKEN_PIPE:
        case ERROR_DEVICE_REMOVED:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_FILE_NOT_FOUND:
        case ERROR_GEN_FAILURE:
        case ERROR_INVALID_HANDLE:
        case ERROR_NOT_READY:
            return true;
        default:
            return false;
    }
}

class WindowsSerialWorker : public SerialWorker {
public:
    WindowsSerialWorker(const SerialConfig& config, SerialSession& session)
        : SerialWorker(session), m_config(config) {}
    ~WindowsSerialWorker() override {
        ClosePort();
        for (HANDLE event : {m_readDone, m_writeDone}) {
            if (event != nullptr) {
                ::CloseHandle(event);
            }
        }
    }

    SerialOpenReport OpenPort() override;
    void Run() override;
    void ClosePort() override;
    int WriteNow(const std::uint8_t* data, std::uint32_t length) override;

private:
    bool Configure();
    bool SetSilence(DWORD milliseconds);
    void StartRead();
    void FinishRead();
    void CancelRead();
    void OnWake();
    void MarkFailed() { m_failed = true; }
    // Waits up to the deadline for the driver to send what it holds.
    void DrainOutput(DWORD timeoutMs);

    SerialConfig m_config;
    HANDLE m_port = INVALID_HANDLE_VALUE;
    HANDLE m_readDone = nullptr;
    HANDLE m_writeDone = nullptr;
    OVERLAPPED m_read{};
    bool m_reading = false;
    DWORD m_silence = 0;
    std::vector<std::uint8_t> m_buffer;
    bool m_failed = false;
    // The last write left bytes in the driver: the next one purges them first.
    bool m_writeIncomplete = false;
};

SerialOpenReport WindowsSerialWorker::OpenPort() {
    const std::wstring path = m_config.path.toStdWString();
    m_port = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (m_port == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // Windows opens a port for one program at a time: denied access means it is in use.
        return {SerialOpenFailure::Open, error == ERROR_ACCESS_DENIED
                                             ? QString::fromUtf8(kSerialBusyReason)
                                             : SystemMessage(error)};
    }
    m_readDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_writeDone = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (m_readDone == nullptr || m_writeDone == nullptr || !Configure()) {
        ::CloseHandle(m_port);
        m_port = INVALID_HANDLE_VALUE;
        return {SerialOpenFailure::Configure, {}};
    }
    m_buffer.assign(m_config.readSize, 0);
    return {};
}

bool WindowsSerialWorker::Configure() {
    // The codes are the DCB's own: stop bits 0/1/2 for 1/1.5/2, parity 0..4
    // none/odd/even/mark/space.
    if (m_config.byteSize < 5 || m_config.byteSize > 8 || m_config.stopBits > 2 ||
        m_config.parity > 4 || m_config.readSize < 1 || m_config.readSize > kMaxReadSize ||
        m_config.baudRate < 1 ||
        m_config.baudRate > static_cast<std::uint32_t>(std::numeric_limits<qint32>::max())) {
        return false;
    }
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(m_port, &dcb)) {
        return false;
    }
    dcb.BaudRate = m_config.baudRate;
    dcb.ByteSize = m_config.byteSize;
    dcb.StopBits = m_config.stopBits;
    dcb.Parity = m_config.parity;
    dcb.fBinary = TRUE;
    dcb.fParity = m_config.parity != NOPARITY;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fAbortOnError = FALSE;
    if (!::SetCommState(m_port, &dcb)) {
        return false;
    }
    const DWORD queue = std::max<DWORD>(4096, m_config.readSize * 2);
    ::SetupComm(m_port, queue, 4096);
    if (!SetSilence(kSilenceMs)) {
        return false;
    }
    ::PurgeComm(m_port, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    return true;
}

// A read ends after `milliseconds` without a byte once one came, or kBurstLimitMs after it began
// (with nothing, on an idle line: it is simply asked again). Windows counts that limit from the
// read's start, not the burst's, so now and then a burst is handed over in two parts; the frame
// parser takes frames across bursts. Writes are bounded by their own wait.
bool WindowsSerialWorker::SetSilence(DWORD milliseconds) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = milliseconds;
    timeouts.ReadTotalTimeoutConstant = static_cast<DWORD>(kBurstLimitMs);
    if (!::SetCommTimeouts(m_port, &timeouts)) {
        return false;
    }
    m_silence = milliseconds;
    return true;
}

void WindowsSerialWorker::Run() {
    const HANDLE wake = reinterpret_cast<HANDLE>(m_session.WakeHandle());
    while (!m_session.StopRequested() && !m_failed) {
        if (!m_reading) {
            StartRead();
            continue;
        }
        const HANDLE waits[2] = {wake, m_readDone};
        const DWORD which = ::WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (which == WAIT_OBJECT_0) {
            OnWake();
        } else if (which == WAIT_OBJECT_0 + 1) {
            FinishRead();
        } else {
            MarkFailed();
        }
    }
}

void WindowsSerialWorker::OnWake() {
    m_session.TakeWakeUps();
    if (!m_session.StopRequested()) {
        DrainWrites();
    }
}

void WindowsSerialWorker::StartRead() {
    // The fast download wants its acknowledgements at once; what Windows offers is a shorter
    // silence. It takes effect from the next read.
    const bool prompt = m_config.deliverPromptly && m_config.deliverPromptly();
    const DWORD silence = prompt ? kPromptSilenceMs : static_cast<DWORD>(kSilenceMs);
    if (silence != m_silence) {
        SetSilence(silence);
    }
    m_read = OVERLAPPED{};
    m_read.hEvent = m_readDone;
    ::ResetEvent(m_readDone);
    if (::ReadFile(m_port, m_buffer.data(), static_cast<DWORD>(m_buffer.size()), nullptr,
                   &m_read) ||
        ::GetLastError() == ERROR_IO_PENDING) {
        m_reading = true;  // done or not, the event tells
        return;
    }
    const DWORD error = ::GetLastError();
    if (DeviceGone(error)) {
        MarkFailed();
    } else {
        ::Sleep(static_cast<DWORD>(kSilenceMs));  // a refused read is no reason to spin
    }
}

void WindowsSerialWorker::FinishRead() {
    DWORD got = 0;
    const bool ok = ::GetOverlappedResult(m_port, &m_read, &got, FALSE);
    const DWORD error = ok ? ERROR_SUCCESS : ::GetLastError();
    m_reading = false;
    // A read that ran into its time limit (some systems call that a failure) still holds what
    // came before it.
    if (!ok && error != ERROR_TIMEOUT && error != ERROR_SEM_TIMEOUT &&
        error != ERROR_OPERATION_ABORTED) {
        if (DeviceGone(error)) {
            MarkFailed();
        } else {
            ::Sleep(static_cast<DWORD>(kSilenceMs));  // a failing read is no reason to spin
        }
        return;
    }
    if (got == 0) {
        return;  // an idle line
    }
    if (m_config.onReceive && !m_session.StopRequested()) {
        m_config.onReceive(m_config.owner, m_buffer.data(), got);
    }
}

void WindowsSerialWorker::CancelRead() {
    if (!m_reading) {
        return;
    }
    ::CancelIoEx(m_port, &m_read);
    DWORD ignored = 0;
    ::GetOverlappedResult(m_port, &m_read, &ignored, TRUE);
    m_reading = false;
}

void WindowsSerialWorker::DrainOutput(DWORD timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    COMSTAT status{};
    DWORD errors = 0;
    while (::ClearCommError(m_port, &errors, &status) && status.cbOutQue > 0 &&
           ::GetTickCount64() < deadline) {
        ::Sleep(1);
    }
}

void WindowsSerialWorker::ClosePort() {
    if (m_port == INVALID_HANDLE_VALUE) {
        return;
    }
    CancelRead();
    // A command written just before the close must still reach the line; what the peer sent is
    // dropped.
    DrainOutput(static_cast<DWORD>(kWriteTimeoutMs));
    ::PurgeComm(m_port, PURGE_RXABORT | PURGE_RXCLEAR);
    ::CloseHandle(m_port);
    m_port = INVALID_HANDLE_VALUE;
}

int WindowsSerialWorker::WriteNow(const std::uint8_t* data, std::uint32_t length) {
    if (length == 0) {
        return 1;
    }
    if (m_failed || m_port == INVALID_HANDLE_VALUE) {
        return 0;
    }
    // The transmit purge: what an earlier write could not hand over is dropped, so that this
    // write starts on an empty queue.
    if (m_writeIncomplete) {
        ::PurgeComm(m_port, PURGE_TXABORT | PURGE_TXCLEAR);
        m_writeIncomplete = false;
    }
    const ULONGLONG deadline = ::GetTickCount64() + static_cast<ULONGLONG>(kWriteTimeoutMs);
    for (std::uint32_t offset = 0; offset < length;) {
        const DWORD piece = std::min(kWritePiece, length - offset);
        OVERLAPPED write{};
        write.hEvent = m_writeDone;
        ::ResetEvent(m_writeDone);
        DWORD written = 0;
        if (!::WriteFile(m_port, data + offset, piece, nullptr, &write)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_IO_PENDING) {
                if (DeviceGone(error)) {
                    MarkFailed();
                }
                m_writeIncomplete = true;
                return 0;
            }
        }
        const ULONGLONG now = ::GetTickCount64();
        const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
        if (::WaitForSingleObject(m_writeDone, left) != WAIT_OBJECT_0) {
            ::CancelIoEx(m_port, &write);
        }
        const bool ok = ::GetOverlappedResult(m_port, &write, &written, TRUE);
        if (!ok || written == 0) {
            if (!ok && DeviceGone(::GetLastError())) {
                MarkFailed();
            }
            m_writeIncomplete = true;
            return 0;
        }
        offset += written;
    }
    return 1;
}

}  // namespace

std::unique_ptr<SerialWorker> CreateDeviceWorker(const SerialConfig& config,
                                                 SerialSession& session) {
    return std::make_unique<WindowsSerialWorker>(config, session);
}
