#include "sim/tool_frame_scanner.h"

#include <algorithm>
#include <span>

namespace sim {

std::optional<Frame> ToolFrameScanner::Feed(std::uint8_t byte) {
    m_pending.push_back(byte);
    Resync();
    if (m_pending.size() < kFrameSize) {
        return std::nullopt;
    }
    Frame frame{};
    std::copy_n(m_pending.begin(), kFrameSize, frame.begin());
    const bool valid = frame[kChecksumPos] == XorOf(std::span(frame).first(kChecksumPos)) &&
                       frame[kTerminatorPos] == kTerminator;
    if (valid) {
        m_pending.clear();
        return frame;
    }
    ++m_rejected;
    m_pending.erase(m_pending.begin());
    Resync();
    return std::nullopt;
}

// Drops leading bytes until the pending bytes can still be the start of a frame.
void ToolFrameScanner::Resync() {
    while (!m_pending.empty()) {
        const bool headerOk = m_pending[0] == kToolHeader;
        const bool lengthOk = m_pending.size() < 2 || m_pending[1] == kFrameLength;
        if (headerOk && lengthOk) {
            return;
        }
        auto next = std::find(m_pending.begin() + 1, m_pending.end(), kToolHeader);
        m_pending.erase(m_pending.begin(), next);
    }
}

}  // namespace sim
