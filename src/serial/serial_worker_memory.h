#pragma once
// The receive thread's side of an in-memory line (serial/memory_line.h): the same bursts, write
// order and close as a device's worker, without a device. Waits on the line itself; the session's
// wake-ups reach it through the wake hook.

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "serial/memory_line.h"
#include "serial/serial_worker.h"

class MemorySerialWorker : public SerialWorker {
public:
    MemorySerialWorker(const SerialConfig& config, SerialSession& session,
                       std::shared_ptr<MemoryLine> line);
    ~MemorySerialWorker() override;

    SerialOpenReport OpenPort() override;
    void Run() override;
    void ClosePort() override;
    int WriteNow(const std::uint8_t* data, std::uint32_t length) override;

private:
    using SteadyClock = std::chrono::steady_clock;

    void OnBytes(SteadyClock::time_point now);
    bool BurstOver(SteadyClock::time_point now) const;
    // Hands over the first `count` bytes of the burst (at most readSize).
    void Deliver(std::size_t count);
    void DeliverAll();

    SerialConfig m_config;
    std::shared_ptr<MemoryLine> m_line;
    bool m_open = false;
    bool m_failed = false;
    // Bytes of the burst being collected, and the ones that came with the last wait.
    std::vector<std::uint8_t> m_burst;
    std::vector<std::uint8_t> m_arrived;
    std::vector<std::uint8_t> m_buffer;
    SteadyClock::time_point m_burstStart;
    SteadyClock::time_point m_lastData;
};
