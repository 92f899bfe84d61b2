#pragma once
// The simulated controller served over a SimLine by a thread of its own: the pseudo-terminal
// server's loop (sim_server.h) without a terminal, for platforms that have none. Answers as fast
// as the line takes bytes.
//
//   MyLine line;                       // the far end of the program's in-process line
//   sim::SimLineServer server(line);   // defaults: 72 V controller, no faults
//   server.Start();
//   server.Controller().CommandCount("RESET");  // inspection and faults, from any thread
//   server.Stop();                     // also done by the destructor; before the line goes

#include <atomic>
#include <thread>

#include "sim/sim_controller.h"
#include "sim/sim_line.h"

namespace sim {

class SimLineServer {
public:
    explicit SimLineServer(SimLine& line, SimConfig config = {});
    ~SimLineServer();
    SimLineServer(const SimLineServer&) = delete;
    SimLineServer& operator=(const SimLineServer&) = delete;

    // False when the system would not start the thread.
    bool Start();
    void Stop();
    bool IsRunning() const { return m_running.load(); }

    SimController& Controller() { return m_controller; }

private:
    void Run();
    void Send(const std::vector<std::uint8_t>& bytes);

    SimLine& m_line;
    SimController m_controller;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopRequested{false};
};

}  // namespace sim
