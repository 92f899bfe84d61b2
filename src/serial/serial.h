#pragma once
// The program's serial port. Each successful Open starts a receive thread that owns the port;
// received bytes reach the callback on that thread in bursts, as the controller sends them.
//
// Threads:
//  - Open, Close, Write and IsOpen may be called from any thread (the window, the cable watcher,
//    the command line). Open and Close are serialised; Close waits for the receive thread to end.
//  - The receive callback runs on the receive thread. It may call Write and IsOpen (the firmware
//    sender answers from there). It must not call Open or Close, must not wait for a thread that
//    is itself in Open, Close or Write on this port, and must be done with the bytes when it
//    returns (the buffer is reused).
//  - The program closes the port before its QCoreApplication ends; the destructor then only
//    checks that it is closed.

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

class SerialMessageSink;
class SerialSession;
class SerialThread;

class CSerial {
public:
    using ReceiveCallback =
        std::function<void(void* owner, const std::uint8_t* data, std::uint32_t count)>;
    // Asked on the receive thread each time bytes arrive: true hands them to the callback at
    // once instead of at the end of their burst. Must be quick and must not block.
    using PromptDelivery = std::function<bool()>;

    // Constructs no Qt object: the program-wide instance exists before the application object.
    CSerial();
    virtual ~CSerial();
    CSerial(const CSerial&) = delete;
    CSerial& operator=(const CSerial&) = delete;

    // Set once, before the first Open; each Open takes the callback set at that moment.
    void SetReceiveCallback(ReceiveCallback cb);
    // Set like the callback. Null (the default): every byte comes in a burst.
    void SetPromptDelivery(PromptDelivery when);
    // Any thread: asks the driver of this port and of every later one to pass received bytes on
    // without delay (USB adapters otherwise hold them for a latency timer); off gives the
    // driver its own setting back, as does Close. Devices without the setting ignore it.
    void SetLowLatency(bool on);
    // Where Open reports its failures; null prints them on stderr.
    void SetMessageSink(SerialMessageSink* sink);

    // Opens `path` (a device path such as /dev/ttyUSB0, or a bare name such as ttyUSB0) and starts
    // the receive thread. byteSize 5..8; stopBits 0 one, 1 one and a half, 2 two; parity 0 none,
    // 1 odd, 2 even, 3 mark, 4 space; no flow control, RTS off, both queues cleared. readSize
    // (1..163840) caps the bytes of one callback. An open port is closed first. Returns 1, or 0
    // after showing one fixed message (closed).
    int Open(const QString& path, std::uint32_t baudRate, std::uint8_t byteSize = 8,
             std::uint8_t stopBits = 0, std::uint8_t parity = 0, int reserved1 = 0,
             int reserved2 = 0, void* owner = nullptr, std::uint32_t readSize = 1024);
    // 1 when it closed an open port, 0 when it was closed already. Returns after the receive
    // thread has ended: no callback runs after Close returns.
    int Close();
    // True from a successful Open until Close, also after the device vanished.
    bool IsOpen() const;
    // True when the open port's device failed or vanished: nothing more will be received or
    // sent until it is opened again. A name that has come back (a new device, or a pseudo-
    // terminal number given out again) does not hide it.
    bool DeviceLost() const;
    // Writes in call order, waits until the operating system has the bytes (at most about 2 s).
    // 0 when closed or when the bytes could not all be written, else 1. Adds `length` to the
    // echo count while the port is open.
    int Write(const std::uint8_t* data, std::uint32_t length);

private:
    int CloseLocked();
    int CloseFromReceiveThread();
    bool OnOwnReceiveThread() const;
    void ShowMessage(const QString& text) const;

    ReceiveCallback m_onReceive;
    PromptDelivery m_deliverPromptly;
    bool m_lowLatency = false;
    SerialMessageSink* m_sink = nullptr;
    // Serialises Open and Close; held while Close waits for the receive thread.
    std::mutex m_lifecycleLock;
    // Guards m_open and the session pointer; never held while waiting.
    mutable std::mutex m_stateLock;
    bool m_open = false;
    std::shared_ptr<SerialSession> m_session;
    std::unique_ptr<SerialThread> m_thread;
};

// The program's one port.
extern CSerial g_serial;
