#pragma once
// The receive thread's side of the port: owns the QSerialPort, cuts the received bytes into
// bursts for the callback, and performs every write. Lives and dies on the receive thread.

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <vector>

#include "serial/serial_session.h"

struct SerialConfig {
    QString path;
    std::uint32_t baudRate = 9600;
    std::uint8_t byteSize = 8;
    std::uint8_t stopBits = 0;
    std::uint8_t parity = 0;
    void* owner = nullptr;
    std::uint32_t readSize = 1024;
    std::function<void(void*, const std::uint8_t*, std::uint32_t)> onReceive;
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
    // Discards both queues and closes the device.
    void ClosePort();
    // True once the device failed (unplugged, peer gone): the thread is on its way out.
    bool Failed() const { return m_failed; }

    int WriteNow(const std::uint8_t* data, std::uint32_t length);
    // Runs the writes other threads have queued, in their order.
    Q_INVOKABLE void DrainWrites();

private:
    Q_INVOKABLE void OnNewData();
    void OnSilence();
    void OnPortError(QSerialPort::SerialPortError error);
    void EndBurst();
    void StartBurst();
    void Deliver(qint64 count);
    void LeaveGuard();

    SerialConfig m_config;
    SerialSession& m_session;
    QSerialPort m_port;
    QTimer m_silenceTimer;
    QTimer m_burstTimer;
    QElapsedTimer m_sinceData;
    QElapsedTimer m_sinceBurstStart;
    std::vector<std::uint8_t> m_buffer;
    // Bytes at the front of the port's buffer that belong to the burst being collected.
    qint64 m_burstBytes = 0;
    // Depth of callbacks and writes in progress; received bytes wait until it is back to 0, so
    // the callback never runs inside itself or inside a write.
    int m_guard = 0;
    bool m_dataDeferred = false;
    bool m_failed = false;
    // The last write left bytes behind: the next one discards them first.
    bool m_writeIncomplete = false;
};
