#include "serial/serial_worker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

#if defined(Q_OS_UNIX)
#include <poll.h>
#include <unistd.h>
#endif

#include "serial/serial_messages.h"

namespace {

// A read never asks for more than the system's queue would hold.
constexpr std::uint32_t kMaxReadSize = 0x28000;

std::optional<QSerialPort::DataBits> DataBitsFromCode(std::uint8_t code) {
    if (code < 5 || code > 8) {
        return std::nullopt;
    }
    return static_cast<QSerialPort::DataBits>(code);
}

std::optional<QSerialPort::StopBits> StopBitsFromCode(std::uint8_t code) {
    switch (code) {
        case 0:
            return QSerialPort::OneStop;
        case 1:
            return QSerialPort::OneAndHalfStop;
        case 2:
            return QSerialPort::TwoStop;
        default:
            return std::nullopt;
    }
}

std::optional<QSerialPort::Parity> ParityFromCode(std::uint8_t code) {
    switch (code) {
        case 0:
            return QSerialPort::NoParity;
        case 1:
            return QSerialPort::OddParity;
        case 2:
            return QSerialPort::EvenParity;
        case 3:
            return QSerialPort::MarkParity;
        case 4:
            return QSerialPort::SpaceParity;
        default:
            return std::nullopt;
    }
}

// Qt reports a locked (busy) device and a forbidden one alike as a permission error; the
// user needs to know which, so ask the system whether we may open the device at all.
bool AccessDenied(const QString& systemLocation) {
#if defined(Q_OS_UNIX)
    const QByteArray path = QFile::encodeName(systemLocation);
    return ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(systemLocation);
    return false;
#endif
}

// A bare name such as ttyUSB0 means the device of that name.
QString SystemLocation(const QString& path) {
    if (path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1String("./")) ||
        path.startsWith(QLatin1String("../"))) {
        return path;
    }
    return QLatin1String("/dev/") + path;
}

QString OpenFailureReason(const QSerialPort& port, const QString& path) {
    const QString location = SystemLocation(path);
    if (AccessDenied(location)) {
        QString reason = QString::fromLocal8Bit(std::strerror(EACCES));
#if defined(Q_OS_LINUX)
        reason += QLatin1Char('\n') + QString::fromUtf8(kSerialDialoutHint);
#endif
        return reason;
    }
    if (port.error() == QSerialPort::PermissionError) {
        return QString::fromUtf8(kSerialBusyReason);
    }
    return port.errorString();
}

// A read that finds nothing is a read error to Qt. It happens when the bytes were taken by the
// read inside a write; a hung-up device reports the same on every read, but also says so here.
bool DeviceHungUp(qintptr handle) {
#if defined(Q_OS_UNIX)
    pollfd p{static_cast<int>(handle), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    Q_UNUSED(handle);
    return true;
#endif
}

}  // namespace

SerialWorker::SerialWorker(const SerialConfig& config, SerialSession& session)
    : m_config(config), m_session(session) {
    m_silenceTimer.setSingleShot(true);
    m_silenceTimer.setTimerType(Qt::PreciseTimer);
    m_burstTimer.setSingleShot(true);
    m_burstTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_silenceTimer, &QTimer::timeout, this, &SerialWorker::OnSilence);
    connect(&m_burstTimer, &QTimer::timeout, this, &SerialWorker::OnSilence);
}

SerialWorker::~SerialWorker() {
    ClosePort();
}

SerialOpenReport SerialWorker::OpenPort() {
    m_port.setPortName(m_config.path);
    if (!m_port.open(QIODevice::ReadWrite)) {
        return {SerialOpenFailure::Open, OpenFailureReason(m_port, m_config.path)};
    }
    const auto dataBits = DataBitsFromCode(m_config.byteSize);
    const auto stopBits = StopBitsFromCode(m_config.stopBits);
    const auto parity = ParityFromCode(m_config.parity);
    const bool configured =
        dataBits && stopBits && parity && m_config.readSize >= 1 &&
        m_config.readSize <= kMaxReadSize && m_config.baudRate >= 1 &&
        m_config.baudRate <= static_cast<std::uint32_t>(std::numeric_limits<qint32>::max()) &&
        m_port.setBaudRate(static_cast<qint32>(m_config.baudRate)) &&
        m_port.setDataBits(*dataBits) && m_port.setStopBits(*stopBits) &&
        m_port.setParity(*parity) && m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        m_port.close();
        return {SerialOpenFailure::Configure, m_port.errorString()};
    }
    // Pseudo-terminals and some adapters have no RTS line; that is no reason to refuse the port.
    m_port.setRequestToSend(false);
    m_port.clear(QSerialPort::AllDirections);
    m_port.clearError();

    m_buffer.assign(m_config.readSize, 0);
    connect(&m_port, &QSerialPort::readyRead, this, &SerialWorker::OnNewData);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialWorker::OnPortError);
    return {};
}

void SerialWorker::ClosePort() {
    m_silenceTimer.stop();
    m_burstTimer.stop();
    if (m_port.isOpen()) {
        disconnect(&m_port, nullptr, this, nullptr);
        m_port.clear(QSerialPort::AllDirections);
        m_port.close();
    }
}

void SerialWorker::OnPortError(QSerialPort::SerialPortError error) {
    // A device that went away ends the thread quietly; timeouts and other write failures are
    // the write's business.
    const bool gone = error == QSerialPort::ResourceError ||
                      error == QSerialPort::DeviceNotFoundError ||
                      (error == QSerialPort::ReadError && DeviceHungUp(m_port.handle()));
    if (error != QSerialPort::NoError) {
        m_port.clearError();
    }
    if (gone) {
        m_failed = true;
        m_silenceTimer.stop();
        m_burstTimer.stop();
        QThread::currentThread()->quit();
    }
}

void SerialWorker::StartBurst() {
    m_sinceBurstStart.start();
    m_burstTimer.start(kBurstLimitMs);
}

void SerialWorker::OnNewData() {
    if (m_guard > 0) {
        m_dataDeferred = true;
        return;
    }
    if (m_failed || m_session.StopRequested()) {
        return;
    }
    // The timers may have lost the race against these bytes: a burst already silent (or old)
    // enough ends before them.
    if (m_burstBytes > 0 &&
        (m_sinceData.elapsed() >= kSilenceMs || m_sinceBurstStart.elapsed() >= kBurstLimitMs)) {
        const qint64 ended = m_burstBytes;
        m_burstBytes = 0;
        Deliver(ended);
    }
    if (m_port.bytesAvailable() <= m_burstBytes) {
        return;
    }
    if (m_burstBytes == 0) {
        StartBurst();
    }
    m_sinceData.start();
    const qint64 readSize = m_config.readSize;
    while (m_port.bytesAvailable() >= readSize && !m_failed && !m_session.StopRequested()) {
        Deliver(readSize);
        StartBurst();
    }
    m_burstBytes = m_port.bytesAvailable();
    if (m_burstBytes > 0) {
        m_silenceTimer.start(kSilenceMs);
    } else {
        m_silenceTimer.stop();
        m_burstTimer.stop();
    }
}

void SerialWorker::OnSilence() {
    EndBurst();
}

void SerialWorker::EndBurst() {
    if (m_guard > 0) {
        // Only a nested event loop in the callback gets here; finish once it has returned.
        m_dataDeferred = true;
        return;
    }
    m_silenceTimer.stop();
    m_burstTimer.stop();
    const qint64 ended = m_burstBytes;
    m_burstBytes = 0;
    if (ended > 0) {
        Deliver(ended);
    }
    // Bytes that came in while the callback wrote start the next burst.
    if (m_port.bytesAvailable() > 0) {
        OnNewData();
    }
}

void SerialWorker::Deliver(qint64 count) {
    if (m_session.StopRequested()) {
        return;
    }
    const qint64 got = m_port.read(reinterpret_cast<char*>(m_buffer.data()),
                                   std::min<qint64>(count, m_config.readSize));
    if (got <= 0 || !m_config.onReceive) {
        return;
    }
    ++m_guard;
    m_config.onReceive(m_config.owner, m_buffer.data(), static_cast<std::uint32_t>(got));
    LeaveGuard();
}

void SerialWorker::LeaveGuard() {
    --m_guard;
    if (m_guard == 0 && m_dataDeferred) {
        m_dataDeferred = false;
        QMetaObject::invokeMethod(this, "OnNewData", Qt::QueuedConnection);
    }
}

void SerialWorker::DrainWrites() {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    while (m_session.TakeWrite(&data, &length)) {
        m_session.FinishWrite(WriteNow(data, length));
    }
}

int SerialWorker::WriteNow(const std::uint8_t* data, std::uint32_t length) {
    if (length == 0) {
        return 1;
    }
    if (m_failed || !m_port.isOpen()) {
        return 0;
    }
    ++m_guard;
    // The transmit purge: what an earlier write could not hand over is dropped, so that this
    // write starts on an empty queue. Bytes the system already took from a complete write are
    // left alone: unlike on Windows, a finished write here does not mean they are on the wire.
    if (m_writeIncomplete || m_port.bytesToWrite() > 0) {
        m_port.clear(QSerialPort::Output);
        m_writeIncomplete = false;
    }
    const QDeadlineTimer deadline(kWriteTimeoutMs, Qt::PreciseTimer);
    int result = 1;
    for (std::uint32_t offset = 0; offset < length && result == 1;) {
        const std::uint32_t piece = std::min(kWritePiece, length - offset);
        if (m_port.write(reinterpret_cast<const char*>(data + offset), piece) != piece) {
            result = 0;
            break;
        }
        offset += piece;
        // A false from the wait may only mean that it found no bytes to read: go on until the
        // deadline, unless the device is gone.
        while (m_port.bytesToWrite() > 0 && !m_failed && !deadline.hasExpired()) {
            m_port.waitForBytesWritten(
                static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)));
        }
        if (m_port.bytesToWrite() > 0 || m_failed) {
            result = 0;
        }
    }
    if (result == 0) {
        m_writeIncomplete = true;
    }
    LeaveGuard();
    return result;
}
