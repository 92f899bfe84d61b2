#pragma once
// The receive thread of one open port: opens the device, runs the event loop that receives and
// writes, closes the device when asked to stop or when the device fails.
//
// A standard thread running a Qt event loop rather than a QThread: joining it orders everything
// the thread did, Qt's own clean-up included, before whatever the joiner does next.

#include <memory>
#include <thread>

#include "serial/serial_session.h"
#include "serial/serial_worker.h"

class SerialThread {
public:
    SerialThread(SerialConfig config, std::shared_ptr<SerialSession> session);
    ~SerialThread();
    SerialThread(const SerialThread&) = delete;
    SerialThread& operator=(const SerialThread&) = delete;

    // False when the system would not create a thread.
    bool Start();
    // Waits for the thread to end (it ends once the session was asked to stop or failed).
    void Join();

    // The session served by the calling thread, or null when it is no receive thread.
    static SerialSession* CurrentSession();
    // A write from the receive callback: the thread's own worker writes the bytes, after the
    // writes other threads queued earlier. 0 when called on no receive thread with an open port.
    static int WriteOnReceiveThread(const std::uint8_t* data, std::uint32_t length);

private:
    static void Run(const SerialConfig& config, const std::shared_ptr<SerialSession>& session);

    SerialConfig m_config;
    std::shared_ptr<SerialSession> m_session;
    std::thread m_thread;
};
