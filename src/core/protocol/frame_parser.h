#pragma once
// Byte-wise recogniser of controller frames in a 48-byte window.

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

#include "core/protocol/controller_frame.h"

class FrameParser {
public:
    enum State : std::uint8_t { Hunting = 0, InFrame = 1 };

    // Consumes the bytes in order; a frame may span any number of calls.
    void Feed(std::span<const std::uint8_t> bytes, ControllerFrameHandler& handler);

    // The 250 ms tick's rewind after silence: once g_idleTicks has reached 10, the next byte is
    // stored at position 0 again (the state is kept). Called on the window's thread while the
    // receive thread may be feeding: only the receive thread moves the position, at its next
    // byte.
    void IdleTick();
    // Back to the state of a new parser (no rewind pending).
    void Reset();

    std::array<std::uint8_t, kControllerFrameMax> m_window{};
    std::uint8_t m_pos = 0;
    std::uint8_t m_state = Hunting;
    std::uint8_t m_size = 0;  // length + 2 in 8 bits: the checksum position
    std::uint8_t m_xor = 0;

private:
    std::atomic<bool> m_rewindPending{false};

    void CompleteFrame(std::uint8_t terminator, ControllerFrameHandler& handler);
};

// The program's one parser, fed by the receive thread.
extern FrameParser g_frameParser;
