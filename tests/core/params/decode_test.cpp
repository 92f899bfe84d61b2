#include <gtest/gtest.h>

#include "test_case_name.h"

#include <algorithm>
#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "core/protocol/controller_frame.h"
#include "param_test_support.h"

namespace {

struct DecodeCase {
    const char* name;
    int block;
    std::vector<std::pair<int, std::uint8_t>> bytes;  // frame byte -> value
    double (*get)(const ParameterValues&);
    double expected;
    void (*prior)(ParameterValues&) = nullptr;  // state of the page before the block arrives
};

void PrintTo(const DecodeCase& c, std::ostream* os) {
    *os << c.name;
}

const DecodeCase kDecodeCases[] = {
    {"model code 20 selects Zerth-100",
     1,
     {{5, 20}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_modelIndex; },
     2},
    {"model code 40 selects Zerth-200",
     1,
     {{5, 40}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_modelIndex; },
     4},
    {"unknown model code 25 selects Zerth-30S",
     1,
     {{5, 25}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_modelIndex; },
     0,
     [](ParameterValues& v) { v.m_page0.m_modelIndex = 3; }},
    {"voltage nibble 7 leaves no selection",
     1,
     {{6, 0x27}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_voltageIndex; },
     -1,
     [](ParameterValues& v) { v.m_page0.m_voltageIndex = 1; }},
    {"brand nibble beside an unknown voltage",
     1,
     {{6, 0x27}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_brandIndex; },
     2},
    {"voltage nibble 4 selects 96V",
     1,
     {{6, 0xF4}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_voltageIndex; },
     4},
    {"overvoltage 0x0260 is 60.8",
     1,
     {{7, 0x02}, {8, 0x60}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_overVoltage; },
     60.8f},
    {"undervoltage 0xFF9C is -10",
     1,
     {{16, 0xFF}, {17, 0x9C}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_underVoltage; },
     -10.0f},
    {"soft undervoltage 0x0226 is 55",
     1,
     {{9, 0x02}, {10, 0x26}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_softUnderVoltage; },
     55.0f},
    {"hysteresis byte 255 is 25.5",
     1,
     {{11, 255}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_underVoltageHysteresis; },
     25.5f},
    {"regen current is unsigned 16 bits",
     1,
     {{12, 0xFF}, {13, 0xFE}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_regenCurrentLimit; },
     65534},
    {"phase current limit",
     1,
     {{14, 0x11}, {15, 0x70}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_phaseCurrentLimit; },
     4464},
    {"negative bus current shows as its 32-bit complement",
     2,
     {{5, 0xFF}, {6, 0x9D}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_busCurrentMax; },
     4294967197.0},
    {"bits 2 and 1 give default gear 1",
     2,
     {{16, 0x06}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_defaultGear; },
     1},
    {"bit 3 wins over bits 2 and 1",
     2,
     {{16, 0x0E}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_defaultGear; },
     0,
     [](ParameterValues& v) { v.m_page1.m_defaultGear = 2; }},
    {"bit 1 alone gives default gear 2",
     2,
     {{16, 0x02}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_defaultGear; },
     2},
    {"no gear bit keeps the default gear",
     2,
     {{16, 0x00}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_defaultGear; },
     2,
     [](ParameterValues& v) { v.m_page1.m_defaultGear = 2; }},
    {"flags 0x00 clear the soft start box",
     2,
     {{16, 0x00}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_softStartCheck; },
     0,
     [](ParameterValues& v) { v.m_page1.m_softStartCheck = true; }},
    {"flags 0x00 clear the speed limit box",
     2,
     {{16, 0x00}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_speedLimitCheck; },
     0,
     [](ParameterValues& v) { v.m_page1.m_speedLimitCheck = true; }},
    {"flags 0xA0 check soft start",
     2,
     {{16, 0xA0}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_softStartCheck; },
     1},
    {"flags 0xA0 select switch three-speed",
     2,
     {{16, 0xA0}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_threeSpeedMode; },
     1},
    {"flags 0xA0 keep the default gear",
     2,
     {{16, 0xA0}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_defaultGear; },
     1,
     [](ParameterValues& v) { v.m_page1.m_defaultGear = 1; }},
    {"flags bit 6 checks noise reduction on page 3",
     2,
     {{16, 0x40}},
     [](const ParameterValues& v) -> double { return v.m_page3.m_noiseReductionCheck; },
     1},
    {"flags bit 4 sets the V-type motor on page 3",
     2,
     {{16, 0x10}},
     [](const ParameterValues& v) -> double { return v.m_page3.m_motorType; },
     1},
    {"soft start level 0 keeps the selection",
     2,
     {{18, 0}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_softStartLevelIndex; },
     7,
     [](ParameterValues& v) { v.m_page1.m_softStartLevelIndex = 7; }},
    {"soft start level 17 keeps the selection",
     2,
     {{18, 17}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_softStartLevelIndex; },
     7,
     [](ParameterValues& v) { v.m_page1.m_softStartLevelIndex = 7; }},
    {"soft start level 16 selects item 16",
     2,
     {{18, 16}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_softStartLevelIndex; },
     15},
    {"soft start level 5 selects item 5",
     2,
     {{18, 5}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_softStartLevelIndex; },
     4},
    {"hall angle -60",
     3,
     {{5, 0xFF}, {6, 0xC4}},
     [](const ParameterValues& v) -> double { return v.m_page3.m_hallAngle; },
     -60},
    {"software version 123 is 1.23",
     3,
     {{20, 123}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_swVersion; },
     1.23f},
    {"hardware version 5 is 0.05",
     3,
     {{21, 5}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_hwVersion; },
     0.05f},
    {"controller temperature protection",
     3,
     {{10, 0x01}, {11, 0xBC}},
     [](const ParameterValues& v) -> double { return v.m_page3.m_controllerTempProtect; },
     444},
    {"flags bit 7 reverses the direction",
     3,
     {{17, 0x80}},
     [](const ParameterValues& v) -> double { return v.m_page3.m_direction; },
     1},
    {"flags bit 6 checks automatic exit on page 2",
     3,
     {{17, 0x40}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_autoExitCheck; },
     1},
    {"flags bit 3 checks hill hold on page 2",
     3,
     {{17, 0x08}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_hillHoldCheck; },
     1},
    {"push assist 0x4000 is 50",
     4,
     {{6, 0x40}, {7, 0x00}},
     [](const ParameterValues& v) -> double { return v.m_page3.m_pushAssistSpeed; },
     50},
    {"push assist 0x7FFF is 99",
     4,
     {{6, 0x7F}, {7, 0xFF}},
     [](const ParameterValues& v) -> double { return v.m_page3.m_pushAssistSpeed; },
     99},
    {"push assist 0x8000 is -99 as unsigned",
     4,
     {{6, 0x80}, {7, 0x00}},
     [](const ParameterValues& v) -> double { return v.m_page3.m_pushAssistSpeed; },
     4294967197.0},
    {"push assist 16000 is 48",
     4,
     {{6, 0x3E}, {7, 0x80}},
     [](const ParameterValues& v) -> double { return v.m_page3.m_pushAssistSpeed; },
     48},
    {"output bit 2 clear is the Hall speedometer",
     4,
     {{5, 0x00}},
     [](const ParameterValues& v) -> double { return v.m_page3.m_outputType; },
     1},
    {"output bit 2 set is one-line",
     4,
     {{5, 0x04}},
     [](const ParameterValues& v) -> double { return v.m_page3.m_outputType; },
     0,
     [](ParameterValues& v) { v.m_page3.m_outputType = 1; }},
    {"flags bit 1 checks constant speed on page 2",
     4,
     {{5, 0x02}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_constantSpeedCheck; },
     1},
    {"flags bit 5 selects the high dual voltage",
     4,
     {{5, 0x20}},
     [](const ParameterValues& v) -> double { return v.m_page3.m_dualVoltageLevel; },
     1},
    {"max rpm on page 2",
     4,
     {{10, 0x03}, {11, 0x20}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_maxRpm; },
     800},
    {"limit phase current on page 2",
     4,
     {{17, 0x17}, {18, 0x70}},
     [](const ParameterValues& v) -> double { return v.m_page1.m_limitPhaseCurrent; },
     6000},
    {"pin word 0x0A85 selects function 5",
     5,
     {{5, 0x0A}, {6, 0x85}},
     [](const ParameterValues& v) -> double { return v.m_portPage.m_pins[0].m_functionIndex; },
     5},
    {"pin word 0x0A85 is mode U",
     5,
     {{5, 0x0A}, {6, 0x85}},
     [](const ParameterValues& v) -> double { return v.m_portPage.m_pins[0].m_pinMode; },
     1},
    {"pin word 0xFFFF selects the last function",
     6,
     {{19, 0xFF}, {20, 0xFF}},
     [](const ParameterValues& v) -> double { return v.m_portPage.m_pins[15].m_functionIndex; },
     127},
    {"pin word 0xFFFF is mode 3, no radio",
     6,
     {{19, 0xFF}, {20, 0xFF}},
     [](const ParameterValues& v) -> double { return v.m_portPage.m_pins[15].m_pinMode; },
     3},
    {"block 6 pins start at PA0",
     6,
     {{5, 0x00}, {6, 0x17}},
     [](const ParameterValues& v) -> double { return v.m_portPage.m_pins[8].m_functionIndex; },
     23},
    {"throttle byte 0 is 0.02 V",
     7,
     {{5, 0}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_throttleStart; },
     0.02f},
    {"throttle byte 76 is 1.65 V",
     7,
     {{6, 76}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_throttleEnd; },
     1.65f},
    {"throttle byte 255 is 5.52 V",
     7,
     {{7, 255}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_throttleLowProtect; },
     5.52f},
    {"throttle byte 230 is 4.98 V",
     7,
     {{8, 230}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_throttleHighProtect; },
     4.98f},
    {"start torque",
     7,
     {{11, 0x01}, {12, 0x5E}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_startTorque; },
     350},
    {"fall slope is byte 9",
     7,
     {{9, 80}, {10, 120}},
     [](const ParameterValues& v) -> double { return v.m_page0.m_fallSlope; },
     80},
};

class DecodeExamples : public ParamsTest, public ::testing::WithParamInterface<DecodeCase> {};

TEST_P(DecodeExamples, GivesTheValue) {
    const DecodeCase& c = GetParam();
    ParameterValues values;
    if (c.prior)
        c.prior(values);
    const BlockBytes block = [&] {
        BlockBytes b{};
        for (const auto& [at, value] : c.bytes)
            b[at - kBlockFirstByte] = value;
        return b;
    }();
    DecodeParameterBlock(values, c.block, block);
    EXPECT_EQ(c.get(values), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Known, DecodeExamples, ::testing::ValuesIn(kDecodeCases), CaseName());

TEST_F(ParamsTest, DecoderOutputsComeFromTheirBytes) {
    ParameterValues values;
    DecodeParameterBlock(values, 1, BlockWith({{18, 0x12}, {19, 0x34}, {20, 0x03}, {21, 0xE8}}));
    DecodeParameterBlock(values, 5, BlockWith({{21, 0xC8}}));
    DecodeParameterBlock(values, 6, BlockWith({{21, 0x9A}}));
    EXPECT_EQ(g_voltageCalib.load(), 0x1234);
    EXPECT_EQ(g_currentCalib.load(), 1000);
    EXPECT_EQ(g_fieldWeakeningCoef.load(), 200);
    EXPECT_EQ(g_canNodeIndex.load(), 10);  // clamped by the tick, not here
    EXPECT_EQ(g_canCableFlags.load(), 9);
    // Block 4 byte 21 goes into the write frame only.
    DecodeParameterBlock(values, 4, BlockWith({{21, 0x77}}));
    EXPECT_EQ(g_fieldWeakeningCoef.load(), 200);
    EXPECT_EQ(values.m_mainWindow, MainWindowValues{});
    EXPECT_EQ(g_paramWriteFrames[3][21], 0x77);
}

TEST_F(ParamsTest, CalibReceivedIsSetByBlocksOneAndSevenOnly) {
    ParameterValues values;
    for (int n = 1; n <= kBlockCount; ++n) {
        g_calibReceived = 0;
        DecodeParameterBlock(values, n, BlockBytes{});
        EXPECT_EQ(g_calibReceived.load(), n == 1 || n == 7 ? 1 : 0) << "block " << n;
    }
}

TEST_F(ParamsTest, DecodeCopiesTheBlockIntoItsWriteFrameOnly) {
    ParameterValues values;
    BlockBytes block;
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<std::uint8_t>(0xA0 + i);
    DecodeParameterBlock(values, 3, block);
    for (int n = 1; n <= kBlockCount; ++n) {
        CommandFrame expected = MakeParamWriteFrame(n);
        if (n == 3)
            std::copy(block.begin(), block.end(), expected.begin() + kBlockFirstByte);
        EXPECT_EQ(g_paramWriteFrames[n - 1], expected) << "frame " << n;
    }
}

TEST_F(ParamsTest, BlockNumbersOutsideOneToSevenChangeNothing) {
    ParameterValues values;
    BlockBytes block;
    block.fill(0x5A);
    for (int n : {0, 8, 0x52, 255}) {
        const DecodeOutcome out = DecodeParameterBlock(values, n, block);
        EXPECT_EQ(out.m_block, 0);
        EXPECT_TRUE(out.m_setAtOnce.empty());
        EXPECT_EQ(values, ParameterValues{});
        EXPECT_EQ(g_paramWriteFrames, InitialParamWriteFrames());
        EXPECT_EQ(g_paramCheckText.Get(), "");
        EXPECT_EQ(g_voltageCalib.load(), 0);
    }
}

TEST_F(ParamsTest, FrameWindowDecodeTakesByteFourAndFiveToTwentyOne) {
    // A short frame: the block is taken from the window whatever the length byte says.
    std::array<std::uint8_t, kControllerFrameMax> window{};
    window.fill(0xEE);
    window[0] = kControllerHeader;
    window[1] = 4;
    window[3] = 'R';
    window[4] = 1;
    window[5] = 30;
    window[7] = 0x02;
    window[8] = 0x60;
    ParameterValues values;
    const DecodeOutcome out = DecodeParameterBlock(values, ControllerFrameView(window));
    EXPECT_EQ(out.m_block, 1);
    EXPECT_EQ(values.m_page0.m_modelIndex, 3);
    EXPECT_EQ(values.m_page0.m_overVoltage, 60.8f);
    EXPECT_EQ(g_paramWriteFrames[0][21], 0xEE);
    EXPECT_EQ(g_voltageCalib.load(), 0xEEEE);
}

// The window shows combos and check boxes at once and the rest at the next page refresh.
TEST_F(ParamsTest, OutcomeSeparatesControlsFromFields) {
    ParameterValues values;
    const auto has = [](const std::vector<ParamField>& list, ParamField f) {
        return std::find(list.begin(), list.end(), f) != list.end();
    };
    struct Expectation {
        int block;
        BlockBytes bytes;
        std::vector<ParamField> atOnce;
        std::vector<ParamField> refresh;
        std::vector<ParamField> untouched;
    };
    const Expectation cases[] = {
        {1,
         BlockWith({{18, 1}}),
         {ParamField::kModelCombo, ParamField::kVoltageCombo, ParamField::kBrandCombo},
         {ParamField::kOverVoltage, ParamField::kUnderVoltageHysteresis},
         {ParamField::kVoltageCalibGlobal, ParamField::kVoltageCalibValue}},
        {2,
         BlockWith({{16, 0x00}, {18, 0}}),
         {ParamField::kSoftStartCheck, ParamField::kNoiseReductionCheck,
          ParamField::kSpeedLimitCheck},
         {ParamField::kThreeSpeedMode, ParamField::kMotorType, ParamField::kMtpa},
         {ParamField::kDefaultGear, ParamField::kSoftStartLevelCombo}},
        {2,
         BlockWith({{16, 0x04}, {18, 3}}),
         {ParamField::kSoftStartLevelCombo},
         {ParamField::kDefaultGear},
         {}},
        {3,
         BlockBytes{},
         {ParamField::kAutoExitCheck, ParamField::kHillHoldCheck, ParamField::kHallSwapCheck},
         {ParamField::kDirection, ParamField::kSwVersion, ParamField::kPolePairs},
         {}},
        {4,
         BlockBytes{},
         {ParamField::kPushAssistCheck, ParamField::kSafeStartCheck},
         {ParamField::kOutputType, ParamField::kDualVoltageLevel, ParamField::kPushAssistSpeed},
         {ParamField::kFieldWeakeningText}},
        {5,
         BlockBytes{},
         {ParamField::kPin0, PinField(7)},
         {ParamField::kPin0, PinField(7)},
         {PinField(8), ParamField::kFieldWeakeningCoefGlobal}},
        {7,
         BlockBytes{},
         {},
         {ParamField::kThrottleStart, ParamField::kEngageTorque},
         {ParamField::kModelCombo}},
    };
    for (const Expectation& e : cases) {
        const DecodeOutcome out = DecodeParameterBlock(values, e.block, e.bytes);
        for (ParamField f : e.atOnce)
            EXPECT_TRUE(has(out.m_setAtOnce, f)) << "block " << e.block << " field " << int(f);
        for (ParamField f : e.refresh) {
            EXPECT_TRUE(has(out.m_awaitRefresh, f)) << "block " << e.block << " field " << int(f);
            if (!IsPinField(f)) {
                EXPECT_FALSE(has(out.m_setAtOnce, f)) << "block " << e.block;
            }
        }
        for (ParamField f : e.untouched) {
            EXPECT_FALSE(has(out.m_setAtOnce, f)) << "block " << e.block << " field " << int(f);
            EXPECT_FALSE(has(out.m_awaitRefresh, f)) << "block " << e.block << " field " << int(f);
        }
        for (ParamField f : out.m_setAtOnce) {
            const ParamKind kind = FieldInfo(f).m_kind;
            EXPECT_TRUE(kind == ParamKind::kCombo || kind == ParamKind::kCheck) << int(f);
        }
    }
}

TEST_F(ParamsTest, PinWordSetsAllOfThePinsControls) {
    ParameterValues values;
    DecodeParameterBlock(values, 6, BlockWith({{13, 0xFF}, {14, 0xFF}, {15, 0x0A}, {16, 0x85}}));
    const PinValues& all = values.m_portPage.m_pins[12];
    EXPECT_EQ(all.m_functionIndex, 127);
    EXPECT_TRUE(all.m_ioCheck && all.m_swCheck && all.m_laCheck);
    const PinValues& u = values.m_portPage.m_pins[13];
    EXPECT_EQ(u.m_functionIndex, 5);
    EXPECT_TRUE(u.m_ioCheck);
    EXPECT_FALSE(u.m_swCheck);
    EXPECT_TRUE(u.m_laCheck);
    EXPECT_EQ(u.m_pinMode, 1);
    EXPECT_EQ(PinControlTable()[13].m_name, std::string("PC14"));
    EXPECT_EQ(FieldInfo(PinField(13)).m_controlId, 1145);
}

}  // namespace
