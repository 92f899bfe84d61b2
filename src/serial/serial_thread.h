#pragma once
// The receive thread of one open port: opens the device, runs the event loop that receives and
// writes, closes the device when asked to stop or when the device fails.

#include <QThread>
#include <memory>

#include "serial/serial_session.h"
#include "serial/serial_worker.h"

class SerialThread : public QThread {
    Q_OBJECT

public:
    SerialThread(SerialConfig config, std::shared_ptr<SerialSession> session);
    ~SerialThread() override;

    // The session served by the calling thread, or null when it is no receive thread.
    static SerialSession* CurrentSession();

protected:
    void run() override;

private:
    SerialConfig m_config;
    std::shared_ptr<SerialSession> m_session;
};
