#pragma once
// Program-wide state of the parameter model: the seven write frames and the decoder's outputs.
//
// Threads: the write frames are plain buffers and belong to the thread that decodes and
// encodes (the GUI thread: the receive thread hands it a copy of each 'R' frame). The decoder
// outputs are also read by the tick, the status request and the command line, so each is an
// atomic, and the check text is guarded by its own lock.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "core/params/block_layout.h"
#include "core/params/parameter_values.h"
#include "core/params/shared_text.h"
#include "core/protocol/command_frame.h"

// Write frame n at index n - 1: 'P' n, bytes 5..21 as last decoded, imported or encoded.
using ParamWriteFrames = std::array<CommandFrame, kBlockCount>;
extern ParamWriteFrames g_paramWriteFrames;
// The frames as the program starts: 'P' n, zero payload, checksum 0, terminator.
ParamWriteFrames InitialParamWriteFrames();

// Block 1 bytes 18-19 and 20-21.
extern std::atomic<std::uint16_t> g_voltageCalib;
extern std::atomic<std::uint16_t> g_currentCalib;
// Block 5 byte 21.
extern std::atomic<std::uint16_t> g_fieldWeakeningCoef;
// Block 6 byte 21 bits 0-3 (the tick clamps it to 0..7 and stores it back) and bits 4-7.
extern std::atomic<int> g_canNodeIndex;
extern std::atomic<int> g_canCableFlags;
// Set to 1 by blocks 1 and 7; the tick takes the calibration over and clears it. Starts 1.
extern std::atomic<int> g_calibReceived;
// The parameter check value as "%d"; empty until the first block is decoded.
extern SharedText g_paramCheckText;

// Sum of the check ranges' write-frame bytes.
int ParamCheckValue(const ParamWriteFrames& frames);
// Recomputes g_paramCheckText from g_paramWriteFrames.
void UpdateParamCheckText();

// The main window takes the decoder's calibration values over: both calibration edits and the
// field-weakening coefficient (number and text). Used by the import.
void TakeOverCalibration(MainWindowValues& window);
// The tick's variant (when a frame counter has moved): only while g_calibReceived is 1, which
// it clears. Returns whether it took them over.
bool TakeOverCalibrationIfReceived(MainWindowValues& window);

// Puts the write frames and the decoder outputs back to their start-up values (tests and the
// fuzz target; the program never resets them).
void ResetParameterState();
