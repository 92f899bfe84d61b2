#pragma once
// Decoding received or imported blocks into the value set, and encoding the value set into the
// write frames, both driven by the block layout.

#include <cstdint>
#include <span>
#include <vector>

#include "core/params/block_layout.h"
#include "core/params/parameter_values.h"
#include "core/protocol/command_frame.h"
#include "core/protocol/controller_frame.h"

using BlockView = std::span<const std::uint8_t, kBlockSize>;

// What a decoded block set. Combos and check boxes live in their controls, so the window shows
// them at once; fields and radio values wait for the next page refresh. A pin is listed in
// both: its function box and check boxes at once, its F/U/D mode at the refresh. Look the
// owner and control up with FieldInfo. Values the block leaves alone (a soft start level
// outside 1..16, a default gear without its bits) are not listed.
struct DecodeOutcome {
    int m_block = 0;  // 0 when the block number was not 1..7 and nothing changed
    std::vector<ParamField> m_setAtOnce;
    std::vector<ParamField> m_awaitRefresh;
};

// Decodes block `blockNumber` (1..7; anything else changes nothing): stores the values into
// `values` and the decoder outputs, sets g_calibReceived after blocks 1 and 7, copies the
// bytes into write frame n and recomputes the check value. Must run on the thread that owns
// `values` and the write frames.
DecodeOutcome DecodeParameterBlock(ParameterValues& values, int blockNumber, BlockView bytes);
// The same for an 'R' frame as it lies in the parser's window: block number at byte 4, the
// block at bytes 5..21, whatever the length byte says.
DecodeOutcome DecodeParameterBlock(ParameterValues& values, ControllerFrameView frame);
// Blocks 1..7 in order, as a connect receives them.
void DecodeParameterBlocks(ParameterValues& values, const ParameterBlock& blocks);

// The decoder's program-wide outputs (g_voltageCalib and the others), gathered on their own.
struct DecoderOutputs {
    std::uint16_t m_voltageCalib = 0;
    std::uint16_t m_currentCalib = 0;
    std::uint16_t m_fieldWeakeningCoef = 0;
    int m_canNodeIndex = 0;
    int m_canCableFlags = 0;
};

// Blocks 1..7 into `values` and `outputs` only: no write frame, decoder output, flag or check
// value changes. For looking at a set the window does not hold, from any thread.
void DecodeParameterBlocksDetached(ParameterValues& values, DecoderOutputs& outputs,
                                   const ParameterBlock& blocks);

// Writes the bytes encoder n owns into `frame` (blocks 1-4: bytes 5..21, 5-6: 5..20, 7: 5..14;
// block 1 byte 5 only while a model is selected); everything else in the frame stays.
void EncodeParameterBlock(int blockNumber, const ParameterValues& values, CommandFrame& frame);

// The encoders of the parameter write and the save, over g_paramWriteFrames.
void EncodeParameterBlock1(const ParameterValues& values);
void EncodeParameterBlock2(const ParameterValues& values);
void EncodeParameterBlock3(const ParameterValues& values);
void EncodeParameterBlock4(const ParameterValues& values);
void EncodeParameterBlock5(const ParameterValues& values);
void EncodeParameterBlock6(const ParameterValues& values);
void EncodeParameterBlock7(const ParameterValues& values);

// Bytes 5..21 of a frame.
BlockView BlockOf(const CommandFrame& frame);
