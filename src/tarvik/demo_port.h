#pragma once
// Demo mode's controller and the port the window opens to reach it. Each platform has its own
// (demo_port_<platform>.cpp): a pseudo-terminal where there is one, so the demo runs the real
// serial path; the in-memory line elsewhere.

#include <QString>
#include <memory>

#include "sim/sim_controller.h"

class DemoPort {
public:
    virtual ~DemoPort() = default;

    // Starts the controller; the port name to open and show, or "" with ErrorString() set.
    virtual QString Start() = 0;
    virtual QString ErrorString() const = 0;
    // The engine behind the port: inspection, faults, switching it on. Any thread.
    virtual sim::SimController& Controller() = 0;
};

// The platform's demo port, not started.
std::unique_ptr<DemoPort> CreateDemoPort();
