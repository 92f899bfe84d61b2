#pragma once
// Frames the controller sends: 0xC0, length L (1..44), L bytes with the command letters at
// positions 3-4, XOR of positions 0..L+1, 0x0D; at most 48 bytes.

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/protocol/command_frame.h"

inline constexpr std::size_t kControllerFrameMax = 48;
inline constexpr std::uint8_t kControllerHeader = 0xC0;

// A complete frame as it lies in the parser's window, header at position 0. The decoders read
// fixed positions up to 21 whatever L says, so they get the whole window.
using ControllerFrameView = std::span<const std::uint8_t, kControllerFrameMax>;

// Receives the frames the dispatcher routes by their command letters. Called on the receive
// thread; implementations must not wait for the GUI thread.
class ControllerFrameHandler {
public:
    virtual ~ControllerFrameHandler() = default;
    // 'YB', 'E1' or 'E2': live status.
    virtual void OnStatusFrame(ControllerFrameView frame) = 0;
    // 'R' n: one parameter block. g_paramFrameSeen is already set when this runs.
    virtual void OnParameterFrame(ControllerFrameView frame) = 0;
    // 'PN' (after g_writeAcknowledged was set) and the announcement (after g_announceSeen).
    virtual void OnWriteAcknowledged() {}
    virtual void OnAnnouncement() {}
};

// Acts on one valid 0xC0 frame as the dispatch table says, then counts it in g_frameCount.
void DispatchControllerFrame(ControllerFrameView frame, ControllerFrameHandler& handler);
