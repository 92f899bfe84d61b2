// The whole block layout, written out by hand once more, independently of the codec's own
// table: where each value sits, how wide and signed it is, which control shows it and whether
// the window shows it at once. Both directions are checked against the same hand-made bytes,
// so a value moved, widened or given the wrong sign in the codec's table cannot hide behind a
// round trip that reads and writes through that same table.
//
// Every 16-bit value has its top bit set, so that signed and unsigned readings differ; an s16
// stored into an unsigned field shows as 2^32 minus its magnitude.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "param_test_support.h"

namespace {

using Get = std::function<double(const ParameterValues&)>;
using Set = std::function<void(ParameterValues&, double)>;

// A page or window value by its member path: read as a double, written back with its type.
#define VALUE(path) \
#path, [](const ParameterValues& v) -> double { return v.path; },        \
        [](ParameterValues& v, double x) {                                   \
            v.path = static_cast<std::remove_reference_t<decltype(v.path)>>(x); \
        }

enum class Shown { kAtOnce, kAtRefresh, kDecoderOutput, kEncodeOnly };

struct Value {
    const char* name;
    Get get;
    Set set;  // null for decoder outputs
    double expected;
    ParamField field;
    int controlId;  // 0 for decoder outputs
    Shown shown;
};

Value Output(const char* name, Get get, double expected, ParamField field) {
    return {name, std::move(get), nullptr, expected, field, 0, Shown::kDecoderOutput};
}

struct BlockMap {
    int block;
    BlockBytes bytes;  // frame bytes 5..21
    std::vector<Value> values;
};

constexpr double kTwo32 = 4294967296.0;

// Bytes and values worked out from the block tables: big-endian pairs, x/10 and x/100 in
// single precision, the throttle formula ((b x 550 / 255) + 2) / 100, the push assist percent
// (v x 100 + 99) / 32768, the flag bits as listed.
std::vector<BlockMap> Maps() {
    using F = ParamField;
    using S = Shown;
    std::vector<BlockMap> maps;
    maps.push_back(
        {1,
         BlockWith({{5, 10},
                    {6, 0x93},
                    {7, 0xFE},
                    {8, 0x0C},
                    {9, 0xFF},
                    {10, 0x38},
                    {11, 0xC8},
                    {12, 0x80},
                    {13, 0x1E},
                    {14, 0x88},
                    {15, 0x13},
                    {16, 0xFD},
                    {17, 0xA8},
                    {18, 0x9C},
                    {19, 0x40},
                    {20, 0xC3},
                    {21, 0x50}}),
         {
             {VALUE(m_page0.m_modelIndex), 1, F::kModelCombo, 1037, S::kAtOnce},  // code 10
             {VALUE(m_page0.m_voltageIndex), 3, F::kVoltageCombo, 1038, S::kAtOnce},
             {VALUE(m_page0.m_brandIndex), 9, F::kBrandCombo, 1039, S::kAtOnce},
             {VALUE(m_page0.m_overVoltage), -50.0f, F::kOverVoltage, 1009, S::kAtRefresh},
             {VALUE(m_page0.m_softUnderVoltage), -20.0f, F::kSoftUnderVoltage, 1011, S::kAtRefresh},
             {VALUE(m_page0.m_underVoltageHysteresis), 20.0f, F::kUnderVoltageHysteresis, 1012,
              S::kAtRefresh},
             {VALUE(m_page0.m_regenCurrentLimit), 32798, F::kRegenCurrentLimit, 1013,
              S::kAtRefresh},
             {VALUE(m_page0.m_phaseCurrentLimit), 34835, F::kPhaseCurrentLimit, 1014,
              S::kAtRefresh},
             {VALUE(m_page0.m_underVoltage), -60.0f, F::kUnderVoltage, 1010, S::kAtRefresh},
             Output(
                 "g_voltageCalib", [](const ParameterValues&) { return g_voltageCalib.load(); },
                 40000, F::kVoltageCalibGlobal),
             Output(
                 "g_currentCalib", [](const ParameterValues&) { return g_currentCalib.load(); },
                 50000, F::kCurrentCalibGlobal),
             {VALUE(m_mainWindow.m_voltageCalibValue), 40000, F::kVoltageCalibValue, 1010,
              S::kEncodeOnly},
             {VALUE(m_mainWindow.m_currentCalibValue), 50000, F::kCurrentCalibValue, 1011,
              S::kEncodeOnly},
         }});
    maps.push_back(
        {2,
         BlockWith({{5, 0xFF},
                    {6, 0x6A},
                    {7, 30},
                    {8, 60},
                    {9, 90},
                    {10, 0x8B},
                    {11, 0xB8},
                    {12, 0xA3},
                    {13, 0x28},
                    {14, 0x97},
                    {15, 0x70},
                    {16, 0xB5},
                    {17, 25},
                    {18, 12},
                    {19, 40},
                    {20, 50},
                    {21, 65}}),
         {
             {VALUE(m_page1.m_busCurrentMax), kTwo32 - 150, F::kBusCurrentMax, 1009, S::kAtRefresh},
             {VALUE(m_page1.m_lowSpeedRatio), 30, F::kLowSpeedRatio, 1016, S::kAtRefresh},
             {VALUE(m_page1.m_midSpeedRatio), 60, F::kMidSpeedRatio, 1015, S::kAtRefresh},
             {VALUE(m_page1.m_highSpeedRatio), 90, F::kHighSpeedRatio, 1017, S::kAtRefresh},
             {VALUE(m_page1.m_fluxWeakening), kTwo32 - 29768, F::kFluxWeakening, 1010,
              S::kAtRefresh},
             {VALUE(m_page1.m_currentKp), kTwo32 - 23768, F::kCurrentKp, 1018, S::kAtRefresh},
             {VALUE(m_page1.m_startPhaseCurrent), kTwo32 - 26768, F::kStartPhaseCurrent, 1019,
              S::kAtRefresh},
             // 0xB5: bits 7, 5, 4, 2, 0.
             {VALUE(m_page1.m_softStartCheck), 1, F::kSoftStartCheck, 1042, S::kAtOnce},
             {VALUE(m_page3.m_noiseReductionCheck), 0, F::kNoiseReductionCheck, 1045, S::kAtOnce},
             {VALUE(m_page1.m_threeSpeedMode), 1, F::kThreeSpeedMode, 1040, S::kAtRefresh},
             {VALUE(m_page3.m_motorType), 1, F::kMotorType, 1047, S::kAtRefresh},
             {VALUE(m_page1.m_defaultGear), 1, F::kDefaultGear, 1044, S::kAtRefresh},
             {VALUE(m_page1.m_speedLimitCheck), 1, F::kSpeedLimitCheck, 1043, S::kAtOnce},
             {VALUE(m_page1.m_speedLimitRatio), 25, F::kSpeedLimitRatio, 1014, S::kAtRefresh},
             {VALUE(m_page1.m_softStartLevelIndex), 11, F::kSoftStartLevelCombo, 1037, S::kAtOnce},
             {VALUE(m_page1.m_sExitTime), 40, F::kSExitTime, 1013, S::kAtRefresh},
             {VALUE(m_page1.m_sRecoveryTime), 50, F::kSRecoveryTime, 1022, S::kAtRefresh},
             {VALUE(m_page1.m_mtpa), 65, F::kMtpa, 1021, S::kAtRefresh},
         }});
    maps.push_back(
        {3,
         BlockWith({{5, 0xFF},
                    {6, 0xC4},
                    {7, 120},
                    {8, 140},
                    {9, 150},
                    {10, 0x81},
                    {11, 0xC2},
                    {12, 0x80},
                    {13, 0x0A},
                    {14, 0xC8},
                    {15, 0x00},
                    {16, 80},
                    {17, 0xA8},
                    {18, 5},
                    {19, 15},
                    {20, 123},
                    {21, 45}}),
         {
             {VALUE(m_page3.m_hallAngle), -60, F::kHallAngle, 1009, S::kAtRefresh},
             {VALUE(m_page3.m_motorTempStart), 120, F::kMotorTempStart, 1013, S::kAtRefresh},
             {VALUE(m_page3.m_motorTempOver), 140, F::kMotorTempOver, 1018, S::kAtRefresh},
             {VALUE(m_page3.m_motorTempMax), 150, F::kMotorTempMax, 1019, S::kAtRefresh},
             {VALUE(m_page3.m_controllerTempProtect), kTwo32 - 32318, F::kControllerTempProtect,
              1021, S::kAtRefresh},
             {VALUE(m_page3.m_dampingFactor), kTwo32 - 32758, F::kDampingFactor, 1020,
              S::kAtRefresh},
             {VALUE(m_page3.m_speedDisplayAdjust), kTwo32 - 14336, F::kSpeedDisplayAdjust, 1022,
              S::kAtRefresh},
             {VALUE(m_page3.m_reverseSpeedRatio), 80, F::kReverseSpeedRatio, 1010, S::kAtRefresh},
             // 0xA8: bits 7, 5, 3.
             {VALUE(m_page3.m_direction), 1, F::kDirection, 1038, S::kAtRefresh},
             {VALUE(m_page1.m_autoExitCheck), 0, F::kAutoExitCheck, 1045, S::kAtOnce},
             {VALUE(m_page3.m_hallSwapCheck), 1, F::kHallSwapCheck, 1042, S::kAtOnce},
             {VALUE(m_page3.m_phaseSwapCheck), 0, F::kPhaseSwapCheck, 1043, S::kAtOnce},
             {VALUE(m_page1.m_hillHoldCheck), 1, F::kHillHoldCheck, 1047, S::kAtOnce},
             {VALUE(m_page3.m_polePairs), 5, F::kPolePairs, 1023, S::kAtRefresh},
             {VALUE(m_page3.m_ebsRatio), 15, F::kEbsRatio, 1014, S::kAtRefresh},
             {VALUE(m_page0.m_swVersion), 1.23f, F::kSwVersion, 1050, S::kAtRefresh},
             {VALUE(m_page0.m_hwVersion), 0.45f, F::kHwVersion, 1057, S::kAtRefresh},
         }});
    maps.push_back(
        {4,
         BlockWith({{5, 0x55},
                    {6, 0x40},
                    {7, 0x00},
                    {8, 0xFE},
                    {9, 0xC0},
                    {10, 0x8C},
                    {11, 0xA0},
                    {12, 70},
                    {13, 85},
                    {14, 8},
                    {15, 0x80},
                    {16, 0xC8},
                    {17, 0x99},
                    {18, 0x70},
                    {19, 0xFF},
                    {20, 0x9C},
                    {21, 0x33}}),
         {
             // 0x55: bits 6, 4, 2, 0.
             {VALUE(m_page3.m_pushAssistCheck), 1, F::kPushAssistCheck, 1044, S::kAtOnce},
             {VALUE(m_page1.m_constantSpeedCheck), 0, F::kConstantSpeedCheck, 1046, S::kAtOnce},
             {VALUE(m_page3.m_outputType), 0, F::kOutputType, 1056, S::kAtRefresh},
             {VALUE(m_page3.m_cruiseCheck), 0, F::kCruiseCheck, 1046, S::kAtOnce},
             {VALUE(m_page3.m_dualVoltageCheck), 1, F::kDualVoltageCheck, 1048, S::kAtOnce},
             {VALUE(m_page3.m_dualVoltageLevel), 0, F::kDualVoltageLevel, 1057, S::kAtRefresh},
             {VALUE(m_page3.m_safeStartCheck), 1, F::kSafeStartCheck, 1049, S::kAtOnce},
             {VALUE(m_page3.m_pushAssistSpeed), 50, F::kPushAssistSpeed, 1011, S::kAtRefresh},
             {VALUE(m_page3.m_pushAssistTorque), kTwo32 - 320, F::kPushAssistTorque, 1012,
              S::kAtRefresh},
             {VALUE(m_page1.m_maxRpm), kTwo32 - 29536, F::kMaxRpm, 1020, S::kAtRefresh},
             {VALUE(m_page1.m_lowSpeedCurrent), 70, F::kLowSpeedCurrent, 1025, S::kAtRefresh},
             {VALUE(m_page1.m_midSpeedCurrent), 85, F::kMidSpeedCurrent, 1023, S::kAtRefresh},
             {VALUE(m_page1.m_overModulation), 8, F::kOverModulation, 1024, S::kAtRefresh},
             {VALUE(m_page1.m_currentKi), kTwo32 - 32568, F::kCurrentKi, 1011, S::kAtRefresh},
             {VALUE(m_page1.m_limitPhaseCurrent), kTwo32 - 26256, F::kLimitPhaseCurrent, 1027,
              S::kAtRefresh},
             {VALUE(m_page1.m_capProtectTime), kTwo32 - 100, F::kCapProtectTime, 1026,
              S::kAtRefresh},
         }});
    maps.push_back({5,
                    BlockWith({{21, 0xC8}}),
                    {
                        Output(
                            "g_fieldWeakeningCoef",
                            [](const ParameterValues&) { return g_fieldWeakeningCoef.load(); }, 200,
                            F::kFieldWeakeningCoefGlobal),
                    }});
    maps.push_back(
        {6,
         BlockWith({{21, 0x5B}}),
         {
             Output(
                 "g_canNodeIndex", [](const ParameterValues&) { return g_canNodeIndex.load(); }, 11,
                 F::kCanNodeIndexGlobal),
             Output(
                 "g_canCableFlags", [](const ParameterValues&) { return g_canCableFlags.load(); },
                 5, F::kCanCableFlagsGlobal),
         }});
    maps.push_back(
        {7,
         BlockWith({{5, 60},
                    {6, 200},
                    {7, 16},
                    {8, 232},
                    {9, 80},
                    {10, 120},
                    {11, 0x80},
                    {12, 0x32},
                    {13, 0xC1},
                    {14, 0x5E},
                    {15, 0x11},
                    {16, 0x22},
                    {17, 0x33},
                    {18, 0x44},
                    {19, 0x55},
                    {20, 0x66},
                    {21, 0x77}}),
         {
             {VALUE(m_page0.m_throttleStart), 1.31f, F::kThrottleStart, 1023, S::kAtRefresh},
             {VALUE(m_page0.m_throttleEnd), 4.33f, F::kThrottleEnd, 1024, S::kAtRefresh},
             {VALUE(m_page0.m_throttleLowProtect), 0.36f, F::kThrottleLowProtect, 1019,
              S::kAtRefresh},
             {VALUE(m_page0.m_throttleHighProtect), 5.02f, F::kThrottleHighProtect, 1025,
              S::kAtRefresh},
             {VALUE(m_page0.m_fallSlope), 80, F::kFallSlope, 1028, S::kAtRefresh},
             {VALUE(m_page0.m_riseSlope), 120, F::kRiseSlope, 1027, S::kAtRefresh},
             {VALUE(m_page0.m_startTorque), 32818, F::kStartTorque, 1020, S::kAtRefresh},
             {VALUE(m_page0.m_engageTorque), 49502, F::kEngageTorque, 1026, S::kAtRefresh},
         }});
    return maps;
}

// The last byte each encoder writes (blocks 5 and 6 are the pins' table).
int LastOwnedByte(int block) {
    return block <= 4 ? 21 : 14;
}

bool Lists(const std::vector<ParamField>& list, ParamField field) {
    return std::find(list.begin(), list.end(), field) != list.end();
}

TEST_F(ParamsTest, EveryBlockValueDecodesFromItsOwnBytes) {
    for (const BlockMap& map : Maps()) {
        ResetParameterState();
        ParameterValues values;
        const DecodeOutcome out = DecodeParameterBlock(values, map.block, map.bytes);
        for (const Value& v : map.values) {
            if (v.shown == Shown::kEncodeOnly) {
                EXPECT_EQ(v.get(values), v.get(ParameterValues{}))
                    << "block " << map.block << ": " << v.name << " is not decoded";
                continue;
            }
            EXPECT_EQ(v.get(values), v.expected) << "block " << map.block << ": " << v.name;
            const ParamFieldInfo info = FieldInfo(v.field);
            if (v.shown == Shown::kDecoderOutput) {
                EXPECT_EQ(info.m_kind, ParamKind::kGlobal) << v.name;
                continue;
            }
            EXPECT_EQ(info.m_controlId, v.controlId) << v.name;
            const bool atOnce = v.shown == Shown::kAtOnce;
            EXPECT_EQ(Lists(out.m_setAtOnce, v.field), atOnce) << v.name;
            EXPECT_EQ(Lists(out.m_awaitRefresh, v.field), !atOnce) << v.name;
        }
    }
}

TEST_F(ParamsTest, EveryOwnedByteIsWrittenFromItsValue) {
    for (const BlockMap& map : Maps()) {
        if (map.block == 5 || map.block == 6)
            continue;  // the pin words have their own table below
        ParameterValues values;
        for (const Value& v : map.values)
            if (v.set)
                v.set(values, v.expected);
        values.m_mainWindow.m_fieldWeakeningText = "51";  // block 4 byte 21 = 0x33
        CommandFrame frame = MakeParamWriteFrame(map.block);
        std::fill(frame.begin() + kBlockFirstByte, frame.begin() + kBlockLastByte + 1, 0xEE);
        EncodeParameterBlock(map.block, values, frame);
        for (int byte = kBlockFirstByte; byte <= LastOwnedByte(map.block); ++byte)
            EXPECT_EQ(frame[byte], map.bytes[byte - kBlockFirstByte])
                << "block " << map.block << " byte " << byte;
    }
}

// Pin i: block 5 for pins 0..7, block 6 for 8..15, word at bytes 5 + 2 (i mod 8), high byte
// first. Bits 0-6 function, 7 IO, 8 SW, 9-10 mode, 11 LA.
struct PinCase {
    std::uint16_t word;
    PinValues pin;  // function, IO, SW, LA, mode
};

constexpr PinCase kPinCases[16] = {
    {0x0000, {0, false, false, false, 0}}, {0x0001, {1, false, false, false, 0}},
    {0x0080, {0, true, false, false, 0}},  {0x0100, {0, false, true, false, 0}},
    {0x0200, {0, false, false, false, 1}}, {0x0400, {0, false, false, false, 2}},
    {0x0600, {0, false, false, false, 3}}, {0x0800, {0, false, false, true, 0}},
    {0x0A85, {5, true, false, true, 1}},   {0x007F, {127, false, false, false, 0}},
    {0x0FFF, {127, true, true, true, 3}},  {0x0155, {85, false, true, false, 0}},
    {0x03AA, {42, true, true, false, 1}},  {0x0C33, {51, false, false, true, 2}},
    {0x0911, {17, false, true, true, 0}},  {0x0E40, {64, false, false, true, 3}},
};

TEST_F(ParamsTest, PinWordsSitInPinOrderBothWays) {
    BlockBytes block5{}, block6{};
    ParameterValues set;
    for (int i = 0; i < 16; ++i) {
        BlockBytes& block = i < 8 ? block5 : block6;
        const int at = 2 * (i % 8);
        block[at] = static_cast<std::uint8_t>(kPinCases[i].word >> 8);
        block[at + 1] = static_cast<std::uint8_t>(kPinCases[i].word);
        set.m_portPage.m_pins[i] = kPinCases[i].pin;
    }
    ParameterValues decoded;
    DecodeParameterBlock(decoded, 5, block5);
    DecodeParameterBlock(decoded, 6, block6);
    for (int i = 0; i < 16; ++i) {
        const PinValues& got = decoded.m_portPage.m_pins[i];
        const PinValues& want = kPinCases[i].pin;
        EXPECT_EQ(got.m_functionIndex, want.m_functionIndex) << "pin " << i;
        EXPECT_EQ(got.m_ioCheck, want.m_ioCheck) << "pin " << i;
        EXPECT_EQ(got.m_swCheck, want.m_swCheck) << "pin " << i;
        EXPECT_EQ(got.m_laCheck, want.m_laCheck) << "pin " << i;
        EXPECT_EQ(got.m_pinMode, want.m_pinMode) << "pin " << i;
    }
    CommandFrame frame5 = MakeParamWriteFrame(5);
    CommandFrame frame6 = MakeParamWriteFrame(6);
    EncodeParameterBlock(5, set, frame5);
    EncodeParameterBlock(6, set, frame6);
    for (int byte = 5; byte <= 20; ++byte) {
        EXPECT_EQ(frame5[byte], block5[byte - 5]) << "block 5 byte " << byte;
        EXPECT_EQ(frame6[byte], block6[byte - 5]) << "block 6 byte " << byte;
    }
}

// One flag bit at a time: decoding it alone, and decoding every other bit of the byte, gives
// the two values; encoding the two values differs in that bit only.
struct FlagBit {
    int block;
    int byte;
    int bit;
    const char* name;
    Get get;
    Set set;
    double whenSet;
    double whenClear;
};

#define FLAG(block, byte, bit, path, whenSet, whenClear)  \
    FlagBit {                                             \
        block, byte, bit, VALUE(path), whenSet, whenClear \
    }

const FlagBit kFlagBits[] = {
    FLAG(2, 16, 7, m_page1.m_softStartCheck, 1, 0),
    FLAG(2, 16, 6, m_page3.m_noiseReductionCheck, 1, 0),
    FLAG(2, 16, 5, m_page1.m_threeSpeedMode, 1, 0),
    FLAG(2, 16, 4, m_page3.m_motorType, 1, 0),
    FLAG(2, 16, 0, m_page1.m_speedLimitCheck, 1, 0),
    FLAG(3, 17, 7, m_page3.m_direction, 1, 0),
    FLAG(3, 17, 6, m_page1.m_autoExitCheck, 1, 0),
    FLAG(3, 17, 5, m_page3.m_hallSwapCheck, 1, 0),
    FLAG(3, 17, 4, m_page3.m_phaseSwapCheck, 1, 0),
    FLAG(3, 17, 3, m_page1.m_hillHoldCheck, 1, 0),
    FLAG(4, 5, 0, m_page3.m_pushAssistCheck, 1, 0),
    FLAG(4, 5, 1, m_page1.m_constantSpeedCheck, 1, 0),
    FLAG(4, 5, 2, m_page3.m_outputType, 0, 1),  // one-line when set
    FLAG(4, 5, 3, m_page3.m_cruiseCheck, 1, 0),
    FLAG(4, 5, 4, m_page3.m_dualVoltageCheck, 1, 0),
    FLAG(4, 5, 5, m_page3.m_dualVoltageLevel, 1, 0),
    FLAG(4, 5, 6, m_page3.m_safeStartCheck, 1, 0),
};

TEST_F(ParamsTest, EveryFlagBitHasItsOwnValue) {
    for (const FlagBit& f : kFlagBits) {
        const auto mask = static_cast<std::uint8_t>(1u << f.bit);
        ParameterValues values;
        f.set(values, f.whenClear);
        DecodeParameterBlock(values, f.block, BlockWith({{f.byte, mask}}));
        EXPECT_EQ(f.get(values), f.whenSet) << f.name << " alone";
        DecodeParameterBlock(values, f.block,
                             BlockWith({{f.byte, static_cast<std::uint8_t>(~mask)}}));
        EXPECT_EQ(f.get(values), f.whenClear) << f.name << " among the others";

        ParameterValues on;
        ParameterValues off;
        f.set(on, f.whenSet);
        f.set(off, f.whenClear);
        CommandFrame frameOn = MakeParamWriteFrame(f.block);
        CommandFrame frameOff = MakeParamWriteFrame(f.block);
        EncodeParameterBlock(f.block, on, frameOn);
        EncodeParameterBlock(f.block, off, frameOff);
        EXPECT_EQ(frameOn[f.byte] & mask, mask) << f.name;
        EXPECT_EQ(frameOn[f.byte] ^ frameOff[f.byte], mask) << f.name;
    }
}

// A freshly started window that writes before any read: its start values (pole pairs 4,
// controller temperature protection 444, gear "Low", soft start level "1", output one-line,
// every pin "1:空 empty" with mode F, field-weakening edit "0", no model and no voltage) in
// frames that hold nothing else yet.
TEST_F(ParamsTest, FreshWindowWritesItsStartValues) {
    const ParameterValues fresh;
    EncodeParameterBlock1(fresh);
    EncodeParameterBlock2(fresh);
    EncodeParameterBlock3(fresh);
    EncodeParameterBlock4(fresh);
    EncodeParameterBlock5(fresh);
    EncodeParameterBlock6(fresh);
    EncodeParameterBlock7(fresh);
    const BlockBytes expected[7] = {
        BlockWith({{5, 0}, {6, 0xFF}}),  // no model: byte 5 as it stood; no voltage: 0xFF
        BlockWith({{16, 0x08}, {18, 1}}),
        BlockWith({{10, 0x01}, {11, 0xBC}, {18, 4}}),
        BlockWith({{5, 0x04}}),
        BlockBytes{},
        BlockBytes{},
        BlockBytes{},
    };
    for (int n = 1; n <= kBlockCount; ++n)
        EXPECT_EQ(WrittenBlock(n), expected[n - 1]) << "block " << n;
    EXPECT_EQ(fresh.m_page0.m_brandIndex, 0);
    EXPECT_EQ(fresh.m_mainWindow.m_fieldWeakeningText, "0");
}

}  // namespace
