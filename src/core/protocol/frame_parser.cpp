#include "core/protocol/frame_parser.h"

#include "core/protocol/link_flags.h"

FrameParser g_frameParser;

namespace {
constexpr std::uint8_t kLastPos = kControllerFrameMax - 1;
// Past the end: the advance step turns it into "next byte at position 0, hunting".
constexpr std::uint8_t kRestart = kControllerFrameMax;

// Our own header too: an echo of our frame is then taken whole and dropped, rather than
// hunted through for a header.
bool IsHeader(std::uint8_t b) {
    return b == kControllerHeader || b == kCommandHeader;
}
}  // namespace

void FrameParser::Feed(std::span<const std::uint8_t> bytes, ControllerFrameHandler& handler) {
    if (!bytes.empty() && m_rewindPending.exchange(false)) {
        m_pos = 0;
    }
    for (const std::uint8_t b : bytes) {
        m_window[m_pos] = b;
        if (m_state == Hunting) {
            if (m_pos > 0 && IsHeader(m_window[m_pos - 1]) && b != 0) {
                m_window[0] = m_window[m_pos - 1];
                m_window[1] = b;
                m_xor = m_window[0] ^ b;
                m_size = static_cast<std::uint8_t>(b + 2);
                m_state = InFrame;
                m_pos = 1;
            }
        } else if (m_state == InFrame) {
            if (m_pos < m_size) {
                m_xor ^= b;
            } else if (m_pos == m_size + 1) {
                CompleteFrame(b, handler);
            }
        } else {
            m_state = Hunting;
            m_pos = kRestart;
        }

        if (m_pos >= kLastPos) {
            m_pos = 0;
            m_state = Hunting;
        } else {
            ++m_pos;
        }
        g_idleTicks = 0;
    }
}

void FrameParser::CompleteFrame(std::uint8_t terminator, ControllerFrameHandler& handler) {
    const bool valid = m_xor == m_window[m_size] && terminator == kFrameTerminator;
    if (!valid) {
        g_frameErrorCount.fetch_add(1);
    } else if (m_window[0] == kControllerHeader) {
        DispatchControllerFrame(ControllerFrameView(m_window), handler);
    }
    // A valid frame with our own header (the cable's echo) vanishes without a count.
    m_state = Hunting;
    m_pos = kRestart;
}

void FrameParser::IdleTick() {
    if (g_idleTicks >= 10) {
        g_idleTicks = 0;
        m_rewindPending = true;
    } else {
        g_idleTicks.fetch_add(1);
    }
}

void FrameParser::Reset() {
    m_window = {};
    m_pos = 0;
    m_state = Hunting;
    m_size = 0;
    m_xor = 0;
    m_rewindPending = false;
}
