#pragma once
// Demo mode's controller: the simulated controller served in this process on a pseudo-terminal,
// so that a user without hardware can open its device and use every feature. Lives as long as
// the window; stopping it closes the terminal.

#include <QString>
#include <memory>

#include "sim/sim_server.h"

namespace sim {

class DemoController {
public:
    DemoController();
    ~DemoController();
    DemoController(const DemoController&) = delete;
    DemoController& operator=(const DemoController&) = delete;

    // Starts serving; the device path to open (e.g. /dev/pts/7), or "" with ErrorString() set.
    QString Start();
    QString DevicePath() const { return m_server->PortPath(); }
    QString ErrorString() const { return m_server->ErrorString(); }
    bool IsRunning() const { return m_server->IsRunning(); }

    // The engine behind the terminal, for a look at what it received.
    SimController& Controller() { return m_server->Controller(); }

private:
    std::unique_ptr<SimServer> m_server;
};

}  // namespace sim
