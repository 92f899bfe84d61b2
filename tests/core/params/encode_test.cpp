#include <gtest/gtest.h>

#include "test_case_name.h"

#include <cctype>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "param_test_support.h"

namespace {

struct EncodeCase {
    const char* name;
    void (*set)(ParameterValues&);
    int block;
    int firstByte;
    std::vector<std::uint8_t> expected;  // from firstByte on
    std::uint8_t mask = 0xFF;            // for a single flags byte: the bits that are checked
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
    *os << c.name;
}

const EncodeCase kEncodeCases[] = {
    {"overvoltage 60.8",
     [](ParameterValues& v) { v.m_page0.m_overVoltage = 60.8f; },
     1,
     7,
     {0x02, 0x60}},
    {"undervoltage -10",
     [](ParameterValues& v) { v.m_page0.m_underVoltage = -10.0f; },
     1,
     16,
     {0xFF, 0x9C}},
    {"soft undervoltage 52.5",
     [](ParameterValues& v) { v.m_page0.m_softUnderVoltage = 52.5f; },
     1,
     9,
     {0x02, 0x0D}},
    {"hysteresis 1 in one byte",
     [](ParameterValues& v) { v.m_page0.m_underVoltageHysteresis = 1.0f; },
     1,
     11,
     {10}},
    {"phase current 70000 cut to 16 bits",
     [](ParameterValues& v) { v.m_page0.m_phaseCurrentLimit = 70000; },
     1,
     14,
     {0x11, 0x70}},
    {"model Zerth-100 is code 20",
     [](ParameterValues& v) { v.m_page0.m_modelIndex = 2; },
     1,
     5,
     {20}},
    {"model Zerth-30S is code 5",
     [](ParameterValues& v) { v.m_page0.m_modelIndex = 0; },
     1,
     5,
     {5}},
    {"voltage 2, brand 3",
     [](ParameterValues& v) {
         v.m_page0.m_voltageIndex = 2;
         v.m_page0.m_brandIndex = 3;
     },
     1,
     6,
     {0x32}},
    {"no voltage selection is 0xFF whatever the brand",
     [](ParameterValues& v) {
         v.m_page0.m_voltageIndex = kNoSelection;
         v.m_page0.m_brandIndex = 5;
     },
     1,
     6,
     {0xFF}},
    {"no brand selection is 0xF0 with the voltage",
     [](ParameterValues& v) {
         v.m_page0.m_voltageIndex = 3;
         v.m_page0.m_brandIndex = kNoSelection;
     },
     1,
     6,
     {0xF3}},
    {"calibration values from the main window",
     [](ParameterValues& v) {
         v.m_mainWindow.m_voltageCalibValue = 0x1234;
         v.m_mainWindow.m_currentCalibValue = 70000;
     },
     1,
     18,
     {0x12, 0x34, 0x11, 0x70}},
    {"default gear 1 sets only bit 2",
     [](ParameterValues& v) { v.m_page1.m_defaultGear = 1; },
     2,
     16,
     {0x04},
     0x0E},
    {"default gear 0 sets bit 3",
     [](ParameterValues& v) { v.m_page1.m_defaultGear = 0; },
     2,
     16,
     {0x08},
     0x0E},
    {"default gear 3 sets none",
     [](ParameterValues& v) { v.m_page1.m_defaultGear = 3; },
     2,
     16,
     {0x00},
     0x0E},
    {"any non-zero three-speed mode sets bit 5",
     [](ParameterValues& v) { v.m_page1.m_threeSpeedMode = 7; },
     2,
     16,
     {0x20},
     0x20},
    {"motor type 2 is not V-type",
     [](ParameterValues& v) { v.m_page3.m_motorType = 2; },
     2,
     16,
     {0x00},
     0x10},
    {"flags byte of block 2 with every box",
     [](ParameterValues& v) {
         v.m_page1.m_softStartCheck = true;
         v.m_page3.m_noiseReductionCheck = true;
         v.m_page1.m_threeSpeedMode = 1;
         v.m_page3.m_motorType = 1;
         v.m_page1.m_defaultGear = 2;
         v.m_page1.m_speedLimitCheck = true;
     },
     2,
     16,
     {0xF3}},
    {"soft start level without selection is 0",
     [](ParameterValues& v) { v.m_page1.m_softStartLevelIndex = kNoSelection; },
     2,
     18,
     {0}},
    {"soft start level item 12",
     [](ParameterValues& v) { v.m_page1.m_softStartLevelIndex = 11; },
     2,
     18,
     {12}},
    {"typed low speed ratio 150",
     [](ParameterValues& v) { v.m_page1.m_lowSpeedRatio = 150; },
     2,
     7,
     {150}},
    {"software version 1.23",
     [](ParameterValues& v) { v.m_page0.m_swVersion = 1.23f; },
     3,
     20,
     {123}},
    {"software version 0.29",
     [](ParameterValues& v) { v.m_page0.m_swVersion = 0.29f; },
     3,
     20,
     {29}},
    {"hall angle -60", [](ParameterValues& v) { v.m_page3.m_hallAngle = -60; }, 3, 5, {0xFF, 0xC4}},
    {"flags byte of block 3",
     [](ParameterValues& v) {
         v.m_page3.m_direction = 1;
         v.m_page1.m_autoExitCheck = true;
         v.m_page3.m_hallSwapCheck = true;
         v.m_page3.m_phaseSwapCheck = true;
         v.m_page1.m_hillHoldCheck = true;
     },
     3,
     17,
     {0xF8}},
    {"push assist 50",
     [](ParameterValues& v) { v.m_page3.m_pushAssistSpeed = 50; },
     4,
     6,
     {0x40, 0x00}},
    {"push assist 99",
     [](ParameterValues& v) { v.m_page3.m_pushAssistSpeed = 99; },
     4,
     6,
     {0x7E, 0xB8}},
    {"push assist 100 is the largest word",
     [](ParameterValues& v) { v.m_page3.m_pushAssistSpeed = 100; },
     4,
     6,
     {0x7F, 0xFF}},
    {"push assist 150 as typed",
     [](ParameterValues& v) { v.m_page3.m_pushAssistSpeed = 150; },
     4,
     6,
     {0xC0, 0x00}},
    {"push assist 48",
     [](ParameterValues& v) { v.m_page3.m_pushAssistSpeed = 48; },
     4,
     6,
     {0x3D, 0x70}},
    {"one-line output sets bit 2",
     [](ParameterValues& v) { v.m_page3.m_outputType = 0; },
     4,
     5,
     {0x04}},
    {"Hall speedometer clears bit 2",
     [](ParameterValues& v) { v.m_page3.m_outputType = 1; },
     4,
     5,
     {0x00}},
    {"flags byte of block 4",
     [](ParameterValues& v) {
         v.m_page3.m_pushAssistCheck = true;
         v.m_page1.m_constantSpeedCheck = true;
         v.m_page3.m_outputType = 1;
         v.m_page3.m_cruiseCheck = true;
         v.m_page3.m_dualVoltageCheck = true;
         v.m_page3.m_dualVoltageLevel = 1;
         v.m_page3.m_safeStartCheck = true;
     },
     4,
     5,
     {0x7B}},
    {"field weakening text 12.9",
     [](ParameterValues& v) { v.m_mainWindow.m_fieldWeakeningText = "12.9"; },
     4,
     21,
     {12}},
    {"field weakening text without a number",
     [](ParameterValues& v) { v.m_mainWindow.m_fieldWeakeningText = "abc"; },
     4,
     21,
     {0}},
    {"field weakening text 300",
     [](ParameterValues& v) { v.m_mainWindow.m_fieldWeakeningText = "300"; },
     4,
     21,
     {44}},
    {"field weakening text is read, not the number",
     [](ParameterValues& v) {
         v.m_mainWindow.m_fieldWeakeningValue = 9;
         v.m_mainWindow.m_fieldWeakeningText = " 17x";
     },
     4,
     21,
     {17}},
    {"ki on page 2 goes to block 4",
     [](ParameterValues& v) { v.m_page1.m_currentKi = 200; },
     4,
     15,
     {0x00, 0xC8}},
    {"pin word 0x0A85",
     [](ParameterValues& v) {
         PinValues& p = v.m_portPage.m_pins[0];
         p.m_functionIndex = 5;
         p.m_ioCheck = true;
         p.m_pinMode = 1;
         p.m_laCheck = true;
     },
     5,
     5,
     {0x0A, 0x85}},
    {"pin with everything set is written as 0x0FFF",
     [](ParameterValues& v) {
         PinValues& p = v.m_portPage.m_pins[15];
         p.m_functionIndex = 127;
         p.m_ioCheck = p.m_swCheck = p.m_laCheck = true;
         p.m_pinMode = 3;
     },
     6,
     19,
     {0x0F, 0xFF}},
    {"typed-over function box and no radio",
     [](ParameterValues& v) {
         v.m_portPage.m_pins[9].m_functionIndex = kNoSelection;
         v.m_portPage.m_pins[9].m_pinMode = kNoSelection;
     },
     6,
     7,
     {0x06, 0x7F}},
    {"throttle 1.31 V", [](ParameterValues& v) { v.m_page0.m_throttleStart = 1.31f; }, 7, 5, {60}},
    {"throttle 1.65 V", [](ParameterValues& v) { v.m_page0.m_throttleEnd = 1.65f; }, 7, 6, {76}},
    {"throttle 5.52 V",
     [](ParameterValues& v) { v.m_page0.m_throttleLowProtect = 5.52f; },
     7,
     7,
     {255}},
    {"throttle 0.02 V",
     [](ParameterValues& v) { v.m_page0.m_throttleHighProtect = 0.02f; },
     7,
     8,
     {0}},
    {"throttle 4.32 V", [](ParameterValues& v) { v.m_page0.m_throttleStart = 4.32f; }, 7, 5, {200}},
    {"throttle 6.0 V cut to 8 bits",
     [](ParameterValues& v) { v.m_page0.m_throttleStart = 6.0f; },
     7,
     5,
     {22}},
    {"start and engage torque",
     [](ParameterValues& v) {
         v.m_page0.m_startTorque = 350;
         v.m_page0.m_engageTorque = -1;
     },
     7,
     11,
     {0x01, 0x5E, 0xFF, 0xFF}},
};

class EncodeExamples : public ParamsTest, public ::testing::WithParamInterface<EncodeCase> {};

TEST_P(EncodeExamples, WritesTheBytes) {
    const EncodeCase& c = GetParam();
    ParameterValues values;
    c.set(values);
    CommandFrame frame = MakeParamWriteFrame(c.block);
    EncodeParameterBlock(c.block, values, frame);
    for (std::size_t i = 0; i < c.expected.size(); ++i) {
        const std::uint8_t mask = c.expected.size() == 1 ? c.mask : 0xFF;
        EXPECT_EQ(frame[c.firstByte + i] & mask, c.expected[i]) << "byte " << c.firstByte + i;
    }
}

INSTANTIATE_TEST_SUITE_P(Known, EncodeExamples, ::testing::ValuesIn(kEncodeCases), CaseName());

// Bytes each encoder owns; every other byte of its frame must go back as it stood.
struct Ownership {
    int block;
    int first;
    int last;
};
constexpr Ownership kOwned[] = {{1, 5, 21}, {2, 5, 21}, {3, 5, 21}, {4, 5, 21},
                                {5, 5, 20}, {6, 5, 20}, {7, 5, 14}};

TEST_F(ParamsTest, EncodersOwnExactlyTheirBytes) {
    ParameterValues values;
    values.m_page0.m_modelIndex = 1;
    for (const Ownership& own : kOwned) {
        CommandFrame frame;
        for (std::size_t i = 0; i < frame.size(); ++i)
            frame[i] = static_cast<std::uint8_t>(0xC3 ^ i);
        const CommandFrame before = frame;
        EncodeParameterBlock(own.block, values, frame);
        for (int i = 0; i < static_cast<int>(frame.size()); ++i) {
            if (i >= own.first && i <= own.last)
                continue;
            EXPECT_EQ(frame[i], before[i]) << "block " << own.block << " byte " << i;
        }
        // Each owned byte is written: an encode over a frame of different content gives the
        // same bytes.
        CommandFrame inverted = before;
        for (auto& b : inverted)
            b = static_cast<std::uint8_t>(~b);
        EncodeParameterBlock(own.block, values, inverted);
        for (int i = own.first; i <= own.last; ++i)
            EXPECT_EQ(inverted[i], frame[i]) << "block " << own.block << " byte " << i;
    }
}

TEST_F(ParamsTest, NoModelSelectionLeavesBlockOneByteFiveAsItStands) {
    ParameterValues values;  // a fresh window: no model selected
    DecodeParameterBlock(values, 1, BlockWith({{5, 25}}));
    values.m_page0.m_modelIndex = kNoSelection;
    EncodeParameterBlock1(values);
    EXPECT_EQ(g_paramWriteFrames[0][5], 25);
    values.m_page0.m_modelIndex = 4;
    EncodeParameterBlock1(values);
    EXPECT_EQ(g_paramWriteFrames[0][5], 40);
}

TEST_F(ParamsTest, PushAssistOfOneHundredReadsBackAsNinetyNine) {
    ParameterValues values;
    values.m_page3.m_pushAssistSpeed = 100;
    EncodeParameterBlock4(values);
    ParameterValues read;
    DecodeParameterBlock(read, 4, WrittenBlock(4));
    EXPECT_EQ(read.m_page3.m_pushAssistSpeed, 99u);
}

TEST_F(ParamsTest, EncodersTouchNeitherHeaderNorChecksumNorOtherFrames) {
    ParameterValues values;
    values.m_page0.m_modelIndex = 0;
    values.m_page0.m_overVoltage = 3276.7f;
    values.m_page3.m_pushAssistSpeed = 77;
    EncodeParameterBlock1(values);
    EncodeParameterBlock2(values);
    EncodeParameterBlock3(values);
    EncodeParameterBlock4(values);
    EncodeParameterBlock5(values);
    EncodeParameterBlock6(values);
    EncodeParameterBlock7(values);
    for (int n = 1; n <= kBlockCount; ++n) {
        const CommandFrame& f = g_paramWriteFrames[n - 1];
        EXPECT_EQ(f[0], 0xC9);
        EXPECT_EQ(f[1], 0x14);
        EXPECT_EQ(f[2], 0x02);
        EXPECT_EQ(f[3], 'P');
        EXPECT_EQ(f[4], n);
        EXPECT_EQ(f[22], 0x00) << "the checksum is sealed when the frame is sent";
        EXPECT_EQ(f[23], 0x0D);
    }
    EXPECT_EQ(g_paramWriteFrames[0][7], 0x7F);
    EXPECT_EQ(g_paramWriteFrames[0][8], 0xFF);
    EXPECT_EQ(g_paramWriteFrames[3][6], 0x62);
    // Encoding does not recompute the check value.
    EXPECT_EQ(g_paramCheckText.Get(), "");
}

TEST_F(ParamsTest, HugeFloatsWriteTheOriginalOutOfRangeResult) {
    ParameterValues values;
    values.m_page0.m_overVoltage = 1e30f;
    values.m_page0.m_throttleStart = -1e30f;
    values.m_page0.m_swVersion = std::numeric_limits<float>::quiet_NaN();
    values.m_mainWindow.m_fieldWeakeningText = "1e400";
    CommandFrame frame1 = MakeParamWriteFrame(1);
    CommandFrame frame3 = MakeParamWriteFrame(3);
    CommandFrame frame4 = MakeParamWriteFrame(4);
    CommandFrame frame7 = MakeParamWriteFrame(7);
    EncodeParameterBlock(1, values, frame1);
    EncodeParameterBlock(3, values, frame3);
    EncodeParameterBlock(4, values, frame4);
    EncodeParameterBlock(7, values, frame7);
    // 0x80000000 cut to its low bits.
    EXPECT_EQ(frame1[7], 0x00);
    EXPECT_EQ(frame1[8], 0x00);
    EXPECT_EQ(frame7[5], 0x00);
    EXPECT_EQ(frame3[20], 0x00);
    EXPECT_EQ(frame4[21], 0x00);
}

}  // namespace
