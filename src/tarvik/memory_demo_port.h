#pragma once
// The simulated controller behind an in-memory line (serial/memory_line.h), served on a thread of
// its own: demo mode without a pseudo-terminal. The port opens by the line's name like a device;
// everything above the port's worker is the same as with a real controller.

#include <QString>
#include <memory>

#include "sim/sim_line_server.h"
#include "tarvik/demo_port.h"

class MemoryLine;

class MemoryDemoPort : public DemoPort {
public:
    // What the port list shows and the port opens.
    static constexpr char kDefaultName[] = "DEMO";

    explicit MemoryDemoPort(QString name = QString::fromLatin1(kDefaultName));
    // Stops the controller and hangs the line up: a port still open on it sees the device gone.
    ~MemoryDemoPort() override;
    MemoryDemoPort(const MemoryDemoPort&) = delete;
    MemoryDemoPort& operator=(const MemoryDemoPort&) = delete;

    QString Start() override;
    QString ErrorString() const override { return m_error; }
    sim::SimController& Controller() override { return m_server->Controller(); }

    // The line, while started (tests look at it).
    std::shared_ptr<MemoryLine> Line() const;

private:
    class FarEnd;

    QString m_name;
    QString m_error;
    std::unique_ptr<FarEnd> m_farEnd;
    std::unique_ptr<sim::SimLineServer> m_server;
};
