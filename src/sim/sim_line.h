#pragma once
// The simulated controller's end of a line that is no pseudo-terminal (an in-process line, as
// demo mode uses where there is none). The program that makes the line adapts it to this.

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

namespace sim {

class SimLine {
public:
    virtual ~SimLine() = default;

    // Waits until the tool sent bytes, Wake was called or `deadline` passed; the bytes that
    // arrived, maybe none. Serving thread.
    virtual std::vector<std::uint8_t> Receive(std::chrono::steady_clock::time_point deadline) = 0;
    // To the tool, in order. Serving thread.
    virtual void Send(std::span<const std::uint8_t> bytes) = 0;
    // Any thread: a Receive waiting now, or the next one, returns at once.
    virtual void Wake() = 0;
};

}  // namespace sim
