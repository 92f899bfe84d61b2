#include "serial/serial_worker_linux.h"

#include <QDeadlineTimer>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "serial/serial_messages.h"

namespace {

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
    const QByteArray path = QFile::encodeName(systemLocation);
    return ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
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
        reason += QLatin1Char('\n') + QString::fromUtf8(kSerialDialoutHint);
        return reason;
    }
    if (port.error() == QSerialPort::PermissionError) {
        return QString::fromUtf8(kSerialBusyReason);
    }
    return port.errorString();
}

// A read that finds nothing is a read error to Qt. A hung-up device does that on every read,
// and also says so here; a spurious wake-up does not.
bool DeviceHungUp(qintptr handle) {
    pollfd p{static_cast<int>(handle), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// Waits until the driver has sent what was written, or the deadline passes (a vanished device
// or a stalled line must not hold the close up for longer than a write may take).
void DrainOutput(qintptr handle, const QDeadlineTimer& deadline) {
    int queued = 0;
    while (::ioctl(static_cast<int>(handle), TIOCOUTQ, &queued) == 0 && queued > 0 &&
           !deadline.hasExpired()) {
        ::usleep(1000);
    }
}

}  // namespace

LinuxSerialWorker::LinuxSerialWorker(const SerialConfig& config, SerialSession& session)
    : SerialWorker(session), m_config(config), m_wake(session.WakeHandle(), QSocketNotifier::Read) {
    connect(&m_wake, &QSocketNotifier::activated, this, &LinuxSerialWorker::OnWake);
    m_silenceTimer.setSingleShot(true);
    m_silenceTimer.setTimerType(Qt::PreciseTimer);
    m_burstTimer.setSingleShot(true);
    m_burstTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_silenceTimer, &QTimer::timeout, this, &LinuxSerialWorker::OnSilence);
    connect(&m_burstTimer, &QTimer::timeout, this, &LinuxSerialWorker::OnSilence);
}

LinuxSerialWorker::~LinuxSerialWorker() {
    ClosePort();
}

SerialOpenReport LinuxSerialWorker::OpenPort() {
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
        return {SerialOpenFailure::Configure, {}};
    }
    // Pseudo-terminals and some adapters have no RTS line; that is no reason to refuse the port.
    m_port.setRequestToSend(false);
    m_port.clear(QSerialPort::AllDirections);
    m_port.clearError();

    m_buffer.assign(m_config.readSize, 0);
    connect(&m_port, &QSerialPort::readyRead, this, &LinuxSerialWorker::OnNewData);
    connect(&m_port, &QSerialPort::errorOccurred, this, &LinuxSerialWorker::OnPortError);
    return {};
}

void LinuxSerialWorker::Run() {
    if (!m_session.StopRequested() && !m_failed) {
        m_loop.exec();
    }
}

void LinuxSerialWorker::OnWake() {
    m_session.TakeWakeUps();
    if (m_session.StopRequested()) {
        m_loop.quit();
        return;
    }
    ApplyLowLatency();
    DrainWrites();
}

// USB adapters hold received bytes for their latency timer (16 ms by default on many) unless the
// driver is told that latency matters; without that, handing bytes over as they arrive gains
// little. Devices without the setting (pseudo-terminals, most adapters) simply keep theirs.
void LinuxSerialWorker::ApplyLowLatency() {
    const bool wanted = m_session.LowLatencyWanted();
    if (wanted == m_lowLatency || m_failed || !m_port.isOpen()) {
        return;
    }
    m_lowLatency = wanted;
    const int fd = static_cast<int>(m_port.handle());
    serial_struct settings{};
    if (::ioctl(fd, TIOCGSERIAL, &settings) != 0) {
        return;
    }
    if (!m_lowLatencyChanged) {
        m_driverFlags = settings.flags;
        m_lowLatencyChanged = true;
    }
    if (wanted) {
        settings.flags |= ASYNC_LOW_LATENCY;
    } else {
        settings.flags =
            (settings.flags & ~ASYNC_LOW_LATENCY) | (m_driverFlags & ASYNC_LOW_LATENCY);
    }
    ::ioctl(fd, TIOCSSERIAL, &settings);
}

// The adapter outlives the program: leave it as the driver had it.
void LinuxSerialWorker::RestoreLatency() {
    if (!m_lowLatencyChanged || !m_port.isOpen()) {
        return;
    }
    m_lowLatencyChanged = false;
    m_lowLatency = false;
    const int fd = static_cast<int>(m_port.handle());
    serial_struct settings{};
    if (::ioctl(fd, TIOCGSERIAL, &settings) == 0) {
        settings.flags =
            (settings.flags & ~ASYNC_LOW_LATENCY) | (m_driverFlags & ASYNC_LOW_LATENCY);
        ::ioctl(fd, TIOCSSERIAL, &settings);
    }
}

void LinuxSerialWorker::ClosePort() {
    m_silenceTimer.stop();
    m_burstTimer.stop();
    if (m_port.isOpen()) {
        disconnect(&m_port, nullptr, this, nullptr);
        // A command written just before the close is still in the driver: discarding it would
        // lose it although its write reported success. Let the line take it, bounded like a
        // write; only what the peer sent is dropped.
        DrainOutput(m_port.handle(), QDeadlineTimer(kWriteTimeoutMs));
        RestoreLatency();
        m_port.clear(QSerialPort::Input);
        m_port.close();
    }
}

void LinuxSerialWorker::OnPortError(QSerialPort::SerialPortError error) {
    // A device that went away ends the thread quietly; timeouts and other write failures are
    // the write's business.
    const bool gone = error == QSerialPort::ResourceError ||
                      error == QSerialPort::DeviceNotFoundError ||
                      (error == QSerialPort::ReadError && DeviceHungUp(m_port.handle()));
    if (error != QSerialPort::NoError) {
        m_port.clearError();
    }
    if (gone) {
        MarkFailed();
    }
}

void LinuxSerialWorker::MarkFailed() {
    m_failed = true;
    m_silenceTimer.stop();
    m_burstTimer.stop();
    m_loop.quit();
}

void LinuxSerialWorker::StartBurst() {
    m_sinceBurstStart.start();
    m_burstTimer.start(kBurstLimitMs);
}

void LinuxSerialWorker::OnNewData() {
    if (m_guard > 0) {
        m_dataDeferred = true;
        return;
    }
    if (m_failed || m_session.StopRequested()) {
        return;
    }
    if (m_config.deliverPromptly && m_config.deliverPromptly()) {
        DeliverEverything();
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

void LinuxSerialWorker::OnSilence() {
    EndBurst();
}

void LinuxSerialWorker::EndBurst() {
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
    // Bytes read meanwhile (by an event loop run inside the callback) start the next burst.
    if (m_port.bytesAvailable() > 0) {
        OnNewData();
    }
}

bool LinuxSerialWorker::Deliver(qint64 count) {
    if (m_session.StopRequested()) {
        return false;
    }
    const qint64 got = m_port.read(reinterpret_cast<char*>(m_buffer.data()),
                                   std::min<qint64>(count, m_config.readSize));
    if (got <= 0) {
        return false;
    }
    if (m_config.onReceive) {
        ++m_guard;
        m_config.onReceive(m_config.owner, m_buffer.data(), static_cast<std::uint32_t>(got));
        LeaveGuard();
    }
    return true;
}

// No burst: whatever is in, a burst being collected included, goes now (in readSize pieces).
void LinuxSerialWorker::DeliverEverything() {
    m_silenceTimer.stop();
    m_burstTimer.stop();
    m_burstBytes = 0;
    while (m_port.bytesAvailable() > 0 && !m_failed && !m_session.StopRequested() &&
           Deliver(m_port.bytesAvailable())) {
    }
}

void LinuxSerialWorker::LeaveGuard() {
    --m_guard;
    if (m_guard == 0 && m_dataDeferred) {
        m_dataDeferred = false;
        QMetaObject::invokeMethod(this, "OnNewData", Qt::QueuedConnection);
    }
}

int LinuxSerialWorker::WriteNow(const std::uint8_t* data, std::uint32_t length) {
    if (length == 0) {
        return 1;
    }
    if (m_failed || !m_port.isOpen()) {
        return 0;
    }
    const int fd = static_cast<int>(m_port.handle());
    // The transmit purge: what an earlier write could not hand over is dropped, so that this
    // write starts on an empty queue. Bytes the system took from a complete write are left
    // alone: unlike on Windows, a finished write here does not mean they are on the wire.
    if (m_writeIncomplete) {
        ::tcflush(fd, TCOFLUSH);
        m_writeIncomplete = false;
    }
    const QDeadlineTimer deadline(kWriteTimeoutMs, Qt::PreciseTimer);
    for (std::uint32_t offset = 0; offset < length;) {
        const std::uint32_t piece = std::min(kWritePiece, length - offset);
        if (!WritePiece(fd, data + offset, piece, deadline)) {
            m_writeIncomplete = true;
            return 0;
        }
        offset += piece;
    }
    return 1;
}

// Straight to the descriptor rather than through QSerialPort's buffer: QSerialPort's wait for
// written bytes also reads, taking bytes its own read notifier has been told about, after
// which that notifier finds nothing and gives up reading for good.
bool LinuxSerialWorker::WritePiece(int fd, const std::uint8_t* data, std::size_t size,
                                   const QDeadlineTimer& deadline) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            if (errno == EIO || errno == ENXIO || errno == ENODEV) {
                MarkFailed();
            }
            return false;
        }
        const qint64 left = deadline.remainingTime();
        if (left <= 0) {
            return false;
        }
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR) {
            return false;
        }
    }
    return true;
}

std::unique_ptr<SerialWorker> CreateDeviceWorker(const SerialConfig& config,
                                                 SerialSession& session) {
    return std::make_unique<LinuxSerialWorker>(config, session);
}
