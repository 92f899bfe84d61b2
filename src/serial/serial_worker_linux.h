#pragma once
// The receive thread's side of a device on Linux: owns the QSerialPort, cuts the received bytes
// into bursts for the callback, and writes straight to the descriptor.

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
#include "serial/serial_worker.h"

class LinuxSerialWorker : public QObject, public SerialWorker {
    Q_OBJECT

public:
    LinuxSerialWorker(const SerialConfig& config, SerialSession& session);
    ~LinuxSerialWorker() override;

    SerialOpenReport OpenPort() override;
    void Run() override;
    void ClosePort() override;
    int WriteNow(const std::uint8_t* data, std::uint32_t length) override;

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
