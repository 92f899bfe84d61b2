#pragma once
// The receive thread's side of the port: opens the device, cuts what arrives into bursts for the
// callback, and performs every write. Lives and dies on the receive thread. Each platform has its
// own (serial_worker_linux.cpp, serial_worker_windows.cpp); the demo's in-process line has one too.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

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
    // Asked each time bytes arrive; true hands them over at once instead of at the burst's end.
    std::function<bool()> deliverPromptly;
};

class SerialWorker {
public:
    // A burst ends after this much silence...
    static constexpr int kSilenceMs = 15;
    // ...or this long after it started.
    static constexpr int kBurstLimitMs = 2000;
    // A write gives up when the system has not taken all bytes by then.
    static constexpr int kWriteTimeoutMs = 2000;
    // Largest block handed to the system at once.
    static constexpr std::uint32_t kWritePiece = 1800;
    // A read never asks for more than the system's queue would hold.
    static constexpr std::uint32_t kMaxReadSize = 0x28000;

    // The worker for the config's path: the demo's in-process line when one has that name,
    // otherwise the platform's device.
    static std::unique_ptr<SerialWorker> Create(const SerialConfig& config, SerialSession& session);

    virtual ~SerialWorker() = default;
    SerialWorker(const SerialWorker&) = delete;
    SerialWorker& operator=(const SerialWorker&) = delete;

    virtual SerialOpenReport OpenPort() = 0;
    // Receives and writes until the session asks to stop, or until the device fails.
    virtual void Run() = 0;
    // Lets the line take what was written (bounded like a write), drops what was received, and
    // closes the device.
    virtual void ClosePort() = 0;
    virtual int WriteNow(const std::uint8_t* data, std::uint32_t length) = 0;

    // Runs the writes other threads have queued, in their order.
    void DrainWrites();

protected:
    explicit SerialWorker(SerialSession& session) : m_session(session) {}

    SerialSession& m_session;
};

// The platform's worker for a device (defined in serial_worker_<platform>.cpp).
std::unique_ptr<SerialWorker> CreateDeviceWorker(const SerialConfig& config,
                                                 SerialSession& session);
