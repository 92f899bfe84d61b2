#pragma once
// The layout of the seven 17-byte parameter blocks, described once and read by the decoder, the
// encoders, the check value and the tests. Byte numbers are frame byte numbers (5..21).

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

inline constexpr int kBlockCount = 7;
inline constexpr std::size_t kBlockSize = 17;
inline constexpr int kBlockFirstByte = 5;
inline constexpr int kBlockLastByte = 21;

using BlockBytes = std::array<std::uint8_t, kBlockSize>;
// The controller's configuration: blocks 1..7 at indexes 0..6.
using ParameterBlock = std::array<BlockBytes, kBlockCount>;

// Who shows a value: a page, the main window, or a program-wide decoder output.
enum class ParamOwner : std::uint8_t { kPage0, kPage1, kPage3, kPortPage, kMainWindow, kGlobal };

// How the window holds it: fields reach their controls at the next page refresh; combos and
// check boxes live in their controls and change at once.
enum class ParamKind : std::uint8_t { kField, kRadio, kCombo, kCheck, kGlobal };

// Every value the blocks carry. The pins each stand for their whole word.
enum class ParamField : std::uint8_t {
    kNone,
    // Page 1 (Cpage0)
    kModelCombo,
    kVoltageCombo,
    kBrandCombo,
    kOverVoltage,
    kSoftUnderVoltage,
    kUnderVoltageHysteresis,
    kRegenCurrentLimit,
    kPhaseCurrentLimit,
    kUnderVoltage,
    kSwVersion,
    kHwVersion,
    kThrottleStart,
    kThrottleEnd,
    kThrottleLowProtect,
    kThrottleHighProtect,
    kFallSlope,
    kRiseSlope,
    kStartTorque,
    kEngageTorque,
    // Page 2 (Cpage1)
    kBusCurrentMax,
    kLowSpeedRatio,
    kMidSpeedRatio,
    kHighSpeedRatio,
    kFluxWeakening,
    kCurrentKp,
    kStartPhaseCurrent,
    kSpeedLimitRatio,
    kSoftStartLevelCombo,
    kSExitTime,
    kSRecoveryTime,
    kMtpa,
    kMaxRpm,
    kLowSpeedCurrent,
    kMidSpeedCurrent,
    kOverModulation,
    kCurrentKi,
    kLimitPhaseCurrent,
    kCapProtectTime,
    kSoftStartCheck,
    kSpeedLimitCheck,
    kAutoExitCheck,
    kConstantSpeedCheck,
    kHillHoldCheck,
    kThreeSpeedMode,
    kDefaultGear,
    // Page 3 (Cpage3)
    kHallAngle,
    kMotorTempStart,
    kMotorTempOver,
    kMotorTempMax,
    kControllerTempProtect,
    kDampingFactor,
    kSpeedDisplayAdjust,
    kReverseSpeedRatio,
    kPolePairs,
    kEbsRatio,
    kPushAssistSpeed,
    kPushAssistTorque,
    kDirection,
    kMotorType,
    kOutputType,
    kDualVoltageLevel,
    kHallSwapCheck,
    kPhaseSwapCheck,
    kPushAssistCheck,
    kNoiseReductionCheck,
    kCruiseCheck,
    kDualVoltageCheck,
    kSafeStartCheck,
    // Port settings page
    kPin0,
    kPin15 = kPin0 + 15,
    // Main window
    kVoltageCalibValue,
    kCurrentCalibValue,
    kFieldWeakeningText,
    // Decoder outputs
    kVoltageCalibGlobal,
    kCurrentCalibGlobal,
    kFieldWeakeningCoefGlobal,
    kCanNodeIndexGlobal,
    kCanCableFlagsGlobal,
    kCount
};

// The field standing for pin i (0..15) and back.
constexpr ParamField PinField(int pin) {
    return static_cast<ParamField>(static_cast<int>(ParamField::kPin0) + pin);
}
constexpr int PinIndex(ParamField field) {
    return static_cast<int>(field) - static_cast<int>(ParamField::kPin0);
}
constexpr bool IsPinField(ParamField field) {
    return field >= ParamField::kPin0 && field <= ParamField::kPin15;
}

struct ParamFieldInfo {
    ParamOwner m_owner;
    ParamKind m_kind;
    int m_controlId;  // the control showing it (a radio group by its first button; 0 for globals)
};

// Owner, kind and control of a field; pins give their function box.
ParamFieldInfo FieldInfo(ParamField field);

// How the bytes of a row are taken from the block.
enum class Coding : std::uint8_t {
    kU8,
    kU16,         // high byte first
    kS16,         // high byte first, sign-extended
    kBit,         // one bit of a flags byte
    kLowNibble,   // bits 0-3
    kHighNibble,  // bits 4-7
};

// How the taken value becomes the field and back.
enum class Conversion : std::uint8_t {
    kAsIs,            // integers; written as their low 8 or 16 bits
    kTenths,          // float v / 10, back x 10
    kHundredths,      // float v / 100, back (v + 0.009999) x 100
    kThrottleVolts,   // throttle formula both ways
    kPushAssist,      // percent from the signed word and back
    kModelCode,       // 5, 10, 20, 30, 40 <-> combo index 0..4
    kVoltageIndex,    // 0..4 selects, 5..15 leaves no selection
    kSoftStartLevel,  // 1..16 <-> index 0..15; other values keep the selection
    kChecked,         // check box: set when checked
    kValueIsBit,      // radio value 0/1: written when it is 1
    kValueNonZero,    // radio value 0/1: written when it is not 0
    kValueIsNotBit,   // radio value 1/0: written when it is 0
    kChoice,          // multi-bit radio: the first set bit in table order gives m_choice
    kPinWord,         // a pin's controls <-> its 16-bit word
    kFieldWeakening,  // the edit's text read as a number
};

// One value of a block. A row is decoded when m_decodeTo is not kNone and written by the
// block's encoder when m_encodeFrom is not kNone. Bits and nibbles of one byte are composed
// from 0 when written.
struct LayoutRow {
    std::uint8_t m_block;
    std::uint8_t m_byte;  // first frame byte
    Coding m_coding;
    std::uint8_t m_bit;  // kBit only
    Conversion m_conversion;
    ParamField m_decodeTo;
    ParamField m_encodeFrom;
    std::int8_t m_choice;  // kChoice only
};

// All rows of blocks 1..7, in decode order.
std::span<const LayoutRow> BlockLayout();

// Width of a row's coding in bytes.
inline constexpr int CodingWidth(Coding coding) {
    return coding == Coding::kU16 || coding == Coding::kS16 ? 2 : 1;
}

// The check value sums these write-frame bytes (inclusive, frame byte numbers).
struct CheckRange {
    std::uint8_t m_block;
    std::uint8_t m_first;
    std::uint8_t m_last;
    std::uint8_t m_skip;  // a byte inside the range left out, 0 for none
};
std::span<const CheckRange> CheckValueRanges();

// The controls of one pin on the port settings page.
struct PinControls {
    const char* m_name;
    int m_io;
    int m_sw;
    int m_la;
    int m_f;  // first button of the F/U/D group
    int m_u;
    int m_d;
    int m_functionBox;
};
const std::array<PinControls, 16>& PinControlTable();
