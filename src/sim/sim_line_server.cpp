#include "sim/sim_line_server.h"

#include <algorithm>
#include <system_error>

namespace sim {

namespace {

// Even with nothing due the loop looks round now and then.
constexpr std::chrono::milliseconds kMaxWait{500};

}  // namespace

SimLineServer::SimLineServer(SimLine& line, SimConfig config)
    : m_line(line), m_controller(std::move(config)) {}

SimLineServer::~SimLineServer() {
    Stop();
}

bool SimLineServer::Start() {
    if (m_thread.joinable()) {
        return true;
    }
    m_stopRequested = false;
    m_controller.SetWakeCallback([this] { m_line.Wake(); });
    m_running = true;
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        m_controller.SetWakeCallback({});
        m_running = false;
        return false;
    }
    return true;
}

void SimLineServer::Stop() {
    m_controller.SetWakeCallback({});
    if (m_thread.joinable()) {
        m_stopRequested = true;
        m_line.Wake();
        m_thread.join();
    }
    m_running = false;
}

void SimLineServer::Send(const std::vector<std::uint8_t>& bytes) {
    if (!bytes.empty()) {
        m_line.Send(bytes);
    }
}

void SimLineServer::Run() {
    using SteadyClock = std::chrono::steady_clock;
    Send(m_controller.Start());
    while (!m_stopRequested.load()) {
        Send(m_controller.Poll());
        const SteadyClock::time_point now = SteadyClock::now();
        SteadyClock::time_point deadline = now + kMaxWait;
        // The engine's times are the steady clock's, in milliseconds.
        if (const std::optional<SimController::Time> due = m_controller.NextDue()) {
            deadline = std::clamp(SteadyClock::time_point(*due), now, deadline);
        }
        const std::vector<std::uint8_t> received = m_line.Receive(deadline);
        if (!received.empty() && !m_stopRequested.load()) {
            Send(m_controller.Receive(received));
        }
    }
    m_running = false;
}

}  // namespace sim
