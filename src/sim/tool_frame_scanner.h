#pragma once
// Finds the tool's 24-byte frames (0xC9 0x14 ..., XOR at 22, 0x0D at 23) in a byte stream.
// A damaged frame is counted and the scan resumes at the next 0xC9 inside it, so a frame that
// follows noise or a torn frame is still found.

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/sim_frames.h"

namespace sim {

class ToolFrameScanner {
public:
    // The frame that this byte completes, if any.
    std::optional<Frame> Feed(std::uint8_t byte);
    void Reset() { m_pending.clear(); }
    std::uint64_t Rejected() const { return m_rejected; }

private:
    void Resync();

    std::vector<std::uint8_t> m_pending;
    std::uint64_t m_rejected = 0;
};

}  // namespace sim
