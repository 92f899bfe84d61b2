#pragma once
// The receive thread's side of the port: owns the QSerialPort, cuts the received bytes into
// bursts for the callback, and performs every write. Lives and dies on the receive thread.

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <vector>

#include "serial/serial_session.h"

#if !defined(Q_OS_UNIX)
#error "The serial worker writes to a POSIX descriptor."
#endif

struct SerialConfig {
    QString path;
    std::uint32_t baudRate = 9600;
    std::uint8_t byteSize = 8;
    std::uint8_t stopBits = 0;
    std::uint8_t parity = 0;
    void* owner = nullptr;
    std::uint32_t readSize = 1024;
    std::function<void(void*, const std::uint8_t*, std::uint32_t)> onReceive;
    // Asked each time bytes arrive; true hands them over at once instead of at the burst's end.
    std::function<bool()> deliverPromptly;
};

class SerialWorker : public QObject {
    Q_OBJECT

public:
    // A burst ends after this much silence...
    static constexpr int kSilenceMs = 15;
    // ...or this long after it started.
    static constexpr int kBurstLimitMs = 2000;
    // A write gives up when the system has not taken all bytes by then.
    static constexpr int kWriteTimeoutMs = 2000;
    // Largest block handed to the system at once.
    static constexpr std::uint32_t kWritePiece = 1800;

    SerialWorker(const SerialConfig& config, SerialSession& session);
    ~SerialWorker() override;

    SerialOpenReport OpenPort();
    // Receives and writes until the session asks to stop, or until the device fails.
    void Run();
    // Lets the line take what was written (bounded like a write), drops what was received, and
    // closes the device.
    void ClosePort();

    int WriteNow(const std::uint8_t* data, std::uint32_t length);
    // Runs the writes other threads have queued, in their order.
    void DrainWrites();

private:
    void OnWake();
    Q_INVOKABLE void OnNewData();
    void OnSilence();
    void OnPortError(QSerialPort::SerialPortError error);
    void MarkFailed();
    bool WritePiece(int fd, const std::uint8_t* data, std::size_t size,
                    const QDeadlineTimer& deadline);
    void EndBurst();
    void StartBurst();
    // False when nothing could be read.
    bool Deliver(qint64 count);
    void DeliverEverything();
    void LeaveGuard();
    // Follows the session's low-latency wish; the first change remembers the driver's setting.
    void ApplyLowLatency();
    void RestoreLatency();

    SerialConfig m_config;
    SerialSession& m_session;
    // First: it gives the thread the event dispatcher that the port and the timers need.
    QEventLoop m_loop;
    QSerialPort m_port;
    QSocketNotifier m_wake;
    QTimer m_silenceTimer;
    QTimer m_burstTimer;
    QElapsedTimer m_sinceData;
    QElapsedTimer m_sinceBurstStart;
    std::vector<std::uint8_t> m_buffer;
    // Bytes at the front of the port's buffer that belong to the burst being collected.
    qint64 m_burstBytes = 0;
    // Callbacks in progress; bytes noticed meanwhile (by an event loop the callback runs) wait
    // until it is back to 0, so the callback never runs inside itself.
    int m_guard = 0;
    bool m_dataDeferred = false;
    // The device failed (unplugged, peer gone): the thread is on its way out.
    bool m_failed = false;
    // The last write left bytes in the system's queue: the next one discards them first.
    bool m_writeIncomplete = false;
    // The low-latency setting in force, and the driver's own from before the first change.
    bool m_lowLatency = false;
    bool m_lowLatencyChanged = false;
    int m_driverFlags = 0;
};
