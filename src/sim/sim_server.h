#pragma once
// The simulated controller on the far side of a pseudo-terminal, served by a thread of its own.
//
// In-process use (end-to-end tests, demo mode):
//
//   sim::SimOptions options;                    // defaults: 72 V controller, no faults
//   options.controller.faults.noWriteAck = true;  // or later: server.Controller().SetFaults()
//   sim::SimServer server(options);
//   QString path = server.Start();              // tool-side device, e.g. /dev/pts/7; "" on error
//   ... open `path` with the tool's serial port and talk ...
//   server.Controller().WaitFor([&] { return server.Controller().CommandCount("RESET") == 1; },
//                               std::chrono::seconds(2));
//   server.Controller().ReceivedCommands();     // any inspection, from any thread
//   server.DropLink();                          // the "drop the link" fault: the pty closes
//   server.Stop();                              // also done by the destructor
//
// The server keeps the tool-side end open itself, so the tool may open and close the device as
// often as it likes; bytes sent while the tool has it closed wait in the terminal's buffer.
// With lineRate every byte takes 10 bits at baud in both directions.

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "sim/sim_controller.h"
#include "sim/sim_options.h"

namespace sim {

class SimServer {
public:
    explicit SimServer(SimOptions options = {});
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Opens the pseudo-terminal, loads --params, makes the --link and starts serving. Returns
    // the tool-side device path, or an empty string with ErrorString() set.
    QString Start();
    void Stop();
    // Closes the pseudo-terminal as if the cable were pulled; the server then stops serving.
    void DropLink();

    bool IsRunning() const { return m_running.load(); }
    bool IsLinkUp() const { return m_linkUp.load(); }
    QString PortPath() const;
    QString ErrorString() const;

    // The engine behind the terminal: inspection and faults, safe from any thread.
    SimController& Controller() { return m_controller; }

private:
    using SteadyClock = std::chrono::steady_clock;

    bool Fail(const std::string& message);
    void Run();
    void Wake();
    void CloseLink();
    void SaveNewImages();
    void QueueOutput(const std::vector<std::uint8_t>& bytes, SteadyClock::time_point now);
    void DeliverInput(SteadyClock::time_point now);
    void WriteOutput(SteadyClock::time_point now);
    SteadyClock::duration ByteTime() const;

    SimOptions m_options;
    SimController m_controller;

    mutable std::mutex m_infoMutex;
    std::string m_portPath;
    std::string m_error;

    std::mutex m_wakeMutex;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    int m_master = -1;
    int m_slave = -1;

    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_linkUp{false};
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_dropRequested{false};

    // Serving thread only.
    std::deque<std::pair<std::uint8_t, SteadyClock::time_point>> m_rxPending;
    std::deque<std::pair<std::uint8_t, SteadyClock::time_point>> m_txPending;
    SteadyClock::time_point m_rxLineFree{};
    SteadyClock::time_point m_txLineFree{};
    std::optional<SteadyClock::time_point> m_dropAt;
    std::uint64_t m_imagesSaved = 0;
};

}  // namespace sim
