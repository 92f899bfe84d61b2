#include "core/params/parameter_codec.h"

#include <algorithm>
#include <array>

#include "core/params/param_conversions.h"
#include "core/params/param_state.h"
#include "core/params/value_slot.h"

namespace {

using F = ParamField;
using V = Conversion;

// The row's value as the coding takes it from the block (bytes indexed by frame byte - 5).
std::int32_t Take(const LayoutRow& row, BlockView bytes) {
    const std::size_t at = row.m_byte - kBlockFirstByte;
    switch (row.m_coding) {
        case Coding::kU8:
            return bytes[at];
        case Coding::kU16:
            return (bytes[at] << 8) | bytes[at + 1];
        case Coding::kS16:
            return static_cast<std::int16_t>((bytes[at] << 8) | bytes[at + 1]);
        case Coding::kBit:
            return (bytes[at] >> row.m_bit) & 1;
        case Coding::kLowNibble:
            return bytes[at] & 0x0F;
        case Coding::kHighNibble:
            return bytes[at] >> 4;
    }
    return 0;
}

constexpr std::uint32_t kPinIoBit = 1u << 7;
constexpr std::uint32_t kPinSwBit = 1u << 8;
constexpr std::uint32_t kPinLaBit = 1u << 11;

// Into the program-wide outputs, or into `detached` when the decode must leave them alone.
void StoreGlobal(ParamField field, std::int32_t raw, DecoderOutputs* detached) {
    DecoderOutputs local;
    DecoderOutputs& out = detached ? *detached : local;
    switch (field) {
        case F::kVoltageCalibGlobal:
            out.m_voltageCalib = static_cast<std::uint16_t>(raw);
            if (!detached)
                g_voltageCalib = out.m_voltageCalib;
            break;
        case F::kCurrentCalibGlobal:
            out.m_currentCalib = static_cast<std::uint16_t>(raw);
            if (!detached)
                g_currentCalib = out.m_currentCalib;
            break;
        case F::kFieldWeakeningCoefGlobal:
            out.m_fieldWeakeningCoef = static_cast<std::uint16_t>(raw);
            if (!detached)
                g_fieldWeakeningCoef = out.m_fieldWeakeningCoef;
            break;
        case F::kCanNodeIndexGlobal:
            out.m_canNodeIndex = raw;
            if (!detached)
                g_canNodeIndex = raw;
            break;
        case F::kCanCableFlagsGlobal:
            out.m_canCableFlags = raw;
            if (!detached)
                g_canCableFlags = raw;
            break;
        default:
            break;
    }
}

bool IsAtOnce(ParamField field) {
    const ParamKind kind = FieldInfo(field).m_kind;
    return kind == ParamKind::kCombo || kind == ParamKind::kCheck;
}

void Note(DecodeOutcome& out, ParamField field) {
    if (IsAtOnce(field))
        out.m_setAtOnce.push_back(field);
    else
        out.m_awaitRefresh.push_back(field);
}

int ModelIndexFromCode(std::int32_t code) {
    switch (code) {
        case 10:
            return 1;
        case 20:
            return 2;
        case 30:
            return 3;
        case 40:
            return 4;
        default:
            return 0;  // 5 and every unknown code
    }
}

constexpr std::array<std::uint8_t, 5> kModelCodes = {5, 10, 20, 30, 40};

// The values of one block (1..7) and the decoder's outputs; nothing else.
DecodeOutcome DecodeRows(ParameterValues& values, int blockNumber, BlockView bytes,
                         DecoderOutputs* detached) {
    DecodeOutcome out;
    out.m_block = blockNumber;
    bool choiceTaken = false;
    for (const LayoutRow& row : BlockLayout()) {
        if (row.m_block != blockNumber || row.m_decodeTo == F::kNone)
            continue;
        const std::int32_t raw = Take(row, bytes);
        if (FieldInfo(row.m_decodeTo).m_kind == ParamKind::kGlobal) {
            StoreGlobal(row.m_decodeTo, raw, detached);
            continue;
        }
        const ValueSlot slot = SlotOf(values, row.m_decodeTo);
        switch (row.m_conversion) {
            case V::kAsIs:
                if (slot.m_int)
                    *slot.m_int = raw;
                if (slot.m_unsigned)
                    *slot.m_unsigned = static_cast<std::uint32_t>(raw);
                break;
            case V::kTenths:
                *slot.m_float = TenthsFromRaw(raw);
                break;
            case V::kHundredths:
                *slot.m_float = HundredthsFromRaw(raw);
                break;
            case V::kThrottleVolts:
                *slot.m_float = ThrottleVoltsFromRaw(raw);
                break;
            case V::kPushAssist:
                *slot.m_unsigned = PushAssistPercentFromWord(raw);
                break;
            case V::kModelCode:
                *slot.m_int = ModelIndexFromCode(raw);
                break;
            case V::kVoltageIndex:
                *slot.m_int = raw <= 4 ? raw : kNoSelection;
                break;
            case V::kSoftStartLevel:
                if (raw < 1 || raw > 16)
                    continue;
                *slot.m_int = raw - 1;
                break;
            case V::kChecked:
                *slot.m_bool = raw != 0;
                break;
            case V::kValueIsBit:
            case V::kValueNonZero:
                *slot.m_int = raw;
                break;
            case V::kValueIsNotBit:
                *slot.m_int = raw ? 0 : 1;
                break;
            case V::kChoice:
                if (!raw || choiceTaken)
                    continue;
                choiceTaken = true;
                *slot.m_int = row.m_choice;
                break;
            case V::kPinWord: {
                const auto word = static_cast<std::uint32_t>(raw);
                slot.m_pin->m_functionIndex = static_cast<int>(word & 0x7F);
                slot.m_pin->m_ioCheck = (word & kPinIoBit) != 0;
                slot.m_pin->m_swCheck = (word & kPinSwBit) != 0;
                slot.m_pin->m_pinMode = static_cast<int>((word >> 9) & 3);
                slot.m_pin->m_laCheck = (word & kPinLaBit) != 0;
                out.m_setAtOnce.push_back(row.m_decodeTo);
                out.m_awaitRefresh.push_back(row.m_decodeTo);
                continue;
            }
            case V::kFieldWeakening:
                continue;
        }
        Note(out, row.m_decodeTo);
    }
    return out;
}

}  // namespace

BlockView BlockOf(const CommandFrame& frame) {
    return BlockView(frame.data() + kBlockFirstByte, kBlockSize);
}

DecodeOutcome DecodeParameterBlock(ParameterValues& values, int blockNumber, BlockView bytes) {
    if (blockNumber < 1 || blockNumber > kBlockCount)
        return {};
    DecodeOutcome out = DecodeRows(values, blockNumber, bytes, nullptr);
    if (blockNumber == 1 || blockNumber == 7)
        g_calibReceived = 1;
    CommandFrame& frame = g_paramWriteFrames[blockNumber - 1];
    std::copy(bytes.begin(), bytes.end(), frame.begin() + kBlockFirstByte);
    // After every block, so that once all seven are in the value describes this set alone.
    UpdateParamCheckText();
    return out;
}

DecodeOutcome DecodeParameterBlock(ParameterValues& values, ControllerFrameView frame) {
    return DecodeParameterBlock(values, frame[4],
                                BlockView(frame.data() + kBlockFirstByte, kBlockSize));
}

void DecodeParameterBlocks(ParameterValues& values, const ParameterBlock& blocks) {
    for (int n = 1; n <= kBlockCount; ++n)
        DecodeParameterBlock(values, n, blocks[n - 1]);
}

void DecodeParameterBlocksDetached(ParameterValues& values, DecoderOutputs& outputs,
                                   const ParameterBlock& blocks) {
    for (int n = 1; n <= kBlockCount; ++n)
        DecodeRows(values, n, blocks[n - 1], &outputs);
}

void EncodeParameterBlock(int blockNumber, const ParameterValues& values, CommandFrame& frame) {
    // Bits and nibbles of one byte are gathered here from 0, then written whole.
    std::array<std::uint32_t, kCommandFrameSize> composed{};
    std::array<bool, kCommandFrameSize> isComposed{};
    for (const LayoutRow& row : BlockLayout()) {
        if (row.m_block != blockNumber || row.m_encodeFrom == F::kNone)
            continue;
        const ConstValueSlot slot = SlotOf(values, row.m_encodeFrom);
        std::uint32_t raw = 0;
        switch (row.m_conversion) {
            case V::kAsIs:
                if (slot.m_int)
                    raw = static_cast<std::uint32_t>(*slot.m_int);
                if (slot.m_unsigned)
                    raw = *slot.m_unsigned;
                break;
            case V::kTenths:
                raw = static_cast<std::uint32_t>(RawFromTenths(*slot.m_float));
                break;
            case V::kHundredths:
                raw = static_cast<std::uint32_t>(RawFromHundredths(*slot.m_float));
                break;
            case V::kThrottleVolts:
                raw = static_cast<std::uint32_t>(RawFromThrottleVolts(*slot.m_float));
                break;
            case V::kPushAssist:
                raw = WordFromPushAssistPercent(*slot.m_unsigned);
                break;
            case V::kModelCode:
                // No model selected: the byte stays as received or imported.
                if (*slot.m_int < 0 || *slot.m_int >= static_cast<int>(kModelCodes.size()))
                    continue;
                raw = kModelCodes[*slot.m_int];
                break;
            case V::kVoltageIndex:
                raw = static_cast<std::uint32_t>(*slot.m_int);
                break;
            case V::kSoftStartLevel:
                raw = static_cast<std::uint32_t>(*slot.m_int) + 1u;
                break;
            case V::kChecked:
                raw = *slot.m_bool ? 1 : 0;
                break;
            case V::kValueIsBit:
                raw = *slot.m_int == 1 ? 1 : 0;
                break;
            case V::kValueNonZero:
                raw = *slot.m_int != 0 ? 1 : 0;
                break;
            case V::kValueIsNotBit:
                raw = *slot.m_int == 0 ? 1 : 0;
                break;
            case V::kChoice:
                raw = *slot.m_int == row.m_choice ? 1 : 0;
                break;
            case V::kPinWord: {
                const PinValues& pin = *slot.m_pin;
                raw = (static_cast<std::uint32_t>(pin.m_functionIndex) & 0x7F) |
                      (pin.m_ioCheck ? kPinIoBit : 0) | (pin.m_swCheck ? kPinSwBit : 0) |
                      ((static_cast<std::uint32_t>(pin.m_pinMode) & 3) << 9) |
                      (pin.m_laCheck ? kPinLaBit : 0);
                break;
            }
            case V::kFieldWeakening:
                raw = FieldWeakeningByte(values.m_mainWindow.m_fieldWeakeningText);
                break;
        }
        const std::size_t at = row.m_byte;
        switch (row.m_coding) {
            case Coding::kU8:
                frame[at] = static_cast<std::uint8_t>(raw);
                break;
            case Coding::kU16:
            case Coding::kS16:
                frame[at] = static_cast<std::uint8_t>(raw >> 8);
                frame[at + 1] = static_cast<std::uint8_t>(raw);
                break;
            case Coding::kBit:
                isComposed[at] = true;
                composed[at] |= raw << row.m_bit;
                break;
            case Coding::kLowNibble:
                isComposed[at] = true;
                composed[at] |= raw;
                break;
            case Coding::kHighNibble:
                isComposed[at] = true;
                composed[at] |= raw << 4;
                break;
        }
    }
    for (std::size_t i = 0; i < kCommandFrameSize; ++i)
        if (isComposed[i])
            frame[i] = static_cast<std::uint8_t>(composed[i]);
}

void EncodeParameterBlock1(const ParameterValues& v) {
    EncodeParameterBlock(1, v, g_paramWriteFrames[0]);
}
void EncodeParameterBlock2(const ParameterValues& v) {
    EncodeParameterBlock(2, v, g_paramWriteFrames[1]);
}
void EncodeParameterBlock3(const ParameterValues& v) {
    EncodeParameterBlock(3, v, g_paramWriteFrames[2]);
}
void EncodeParameterBlock4(const ParameterValues& v) {
    EncodeParameterBlock(4, v, g_paramWriteFrames[3]);
}
void EncodeParameterBlock5(const ParameterValues& v) {
    EncodeParameterBlock(5, v, g_paramWriteFrames[4]);
}
void EncodeParameterBlock6(const ParameterValues& v) {
    EncodeParameterBlock(6, v, g_paramWriteFrames[5]);
}
void EncodeParameterBlock7(const ParameterValues& v) {
    EncodeParameterBlock(7, v, g_paramWriteFrames[6]);
}
