#include "core/protocol/status_request.h"

#include <gtest/gtest.h>

#include <ostream>

#include <cmath>
#include <limits>

#include "core/protocol/link_flags.h"

namespace {

class StatusRequestTest : public ::testing::Test {
protected:
    void SetUp() override { ResetLinkFlags(); }
    void TearDown() override { ResetLinkFlags(); }
};

struct CableCase {
    const char* m_name;
    std::uint8_t m_firstGenCable;
    int m_node;
    int m_bitRate;
    bool m_autoMatch;
    std::uint8_t m_byte5;
    std::uint8_t m_byte6;
    friend void PrintTo(const CableCase& c, std::ostream* os) { *os << c.m_name; }
};

class CableSelector : public StatusRequestTest, public ::testing::WithParamInterface<CableCase> {};

TEST_P(CableSelector, Bytes5And6) {
    const CableCase& c = GetParam();
    g_firstGenCable = c.m_firstGenCable;
    RemoteControlState state;
    state.m_canNode = c.m_node;
    state.m_canBitRate = c.m_bitRate;
    state.m_autoMatchCheck = c.m_autoMatch;
    CommandFrame frame = MakeCommandFrame("SHOW");
    const CommandFrame before = frame;

    FillCableSelector(frame, state);

    EXPECT_EQ(frame[5], c.m_byte5);
    EXPECT_EQ(frame[6], c.m_byte6);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        if (i != 5 && i != 6) {
            EXPECT_EQ(frame[i], before[i]) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    StatusRequest, CableSelector,
    ::testing::Values(CableCase{"LaterCable", 0, 2, 2, false, 'O', 'W'},
                      CableCase{"LaterCableIgnoresAutoB", 0, 5, 3, true, 'O', 'W'},
                      CableCase{"NodeCAt250K", 1, 2, 2, false, 'Q', 'Y'},
                      CableCase{"AutoBWhateverTheRate", 1, 2, 2, true, 'Q', 'A'},
                      CableCase{"NodeAAt1M", 1, 0, 0, false, 'O', 'W'},
                      CableCase{"NodeHAt125K", 1, 7, 3, false, 'V', 'Z'},
                      CableCase{"NodeDAt500K", 1, 3, 1, false, 'R', 'X'}),
    [](const auto& info) { return info.param.m_name; });

struct RemoteCase {
    const char* m_name;
    RemoteControlState m_state;
    // Bytes 12..21.
    std::array<std::uint8_t, 10> m_bytes;
    friend void PrintTo(const RemoteCase& c, std::ostream* os) { *os << c.m_name; }
};

RemoteControlState State(auto&& change) {
    RemoteControlState s;
    change(s);
    return s;
}

class RemoteBytes : public StatusRequestTest, public ::testing::WithParamInterface<RemoteCase> {};

TEST_P(RemoteBytes, Bytes12To21) {
    RemoteControlState state = GetParam().m_state;
    CommandFrame frame = MakeCommandFrame("SHOW");
    frame[5] = 'Q';
    frame[6] = 'Y';
    const CommandFrame before = frame;

    FillRemoteControlBytes(frame, state);

    const std::array<std::uint8_t, 10> got{frame[12], frame[13], frame[14], frame[15], frame[16],
                                           frame[17], frame[18], frame[19], frame[20], frame[21]};
    EXPECT_EQ(got, GetParam().m_bytes);
    for (std::size_t i = 0; i < 12; ++i)
        EXPECT_EQ(frame[i], before[i]) << i;
    EXPECT_EQ(frame[22], before[22]);
    EXPECT_EQ(frame[23], before[23]);
}

INSTANTIATE_TEST_SUITE_P(
    StatusRequest, RemoteBytes,
    ::testing::Values(RemoteCase{"StartUp", {}, {0xAA, 0, 0, 0, 0, 0xAA, 0, 0, 0, 0}},
                      RemoteCase{"ThrottleTop",
                                 State([](auto& s) {
                                     s.m_remoteOn = 1;
                                     s.m_throttle = ThrottleFromPosition(440);
                                 }),
                                 {0x55, 0x66, 0x30, 0, 0, 0xAA, 0, 0, 0, 0}},
                      RemoteCase{"ThrottleRest",
                                 State([](auto& s) { s.m_throttle = ThrottleFromPosition(50); }),
                                 {0xAA, 0x0B, 0x9C, 0, 0, 0xAA, 0, 0, 0, 0}},
                      RemoteCase{"ThrottleTruncatedToLow16Bits",
                                 State([](auto& s) { s.m_throttle = 70000.9; }),
                                 {0xAA, 0x11, 0x70, 0, 0, 0xAA, 0, 0, 0, 0}},
                      RemoteCase{"NegativeThrottleTruncatesTowardZero",
                                 State([](auto& s) { s.m_throttle = -5.7; }),
                                 {0xAA, 0xFF, 0xFB, 0, 0, 0xAA, 0, 0, 0, 0}},
                      RemoteCase{"NotANumberThrottle",
                                 State([](auto& s) { s.m_throttle = std::nan(""); }),
                                 {0xAA, 0, 0, 0, 0, 0xAA, 0, 0, 0, 0}},
                      RemoteCase{"EverySwitchOnInQdVoltageMode",
                                 State([](auto& s) {
                                     s.m_gear = 3;
                                     s.m_displayMode = 1;
                                     s.m_lock = 1;
                                     s.m_reverse = 1;
                                     s.m_brake = 1;
                                 }),
                                 {0xAA, 0, 0, 0xF3, 0, 0xAA, 0, 0, 0, 0}},
                      RemoteCase{"MiddleGearInQdCurrentMode",
                                 State(
                                     [](auto& s) {
                                         s.m_gear = 1;
                                         s.m_displayMode = 2;
                                     }),
                                 {0xAA, 0, 0, 0x09, 0, 0xAA, 0, 0, 0, 0}},
                      RemoteCase{"CalibrationValues",
                                 State(
                                     [](auto& s) {
                                         s.m_fieldWeakeningValue = 0x1FF;
                                         s.m_voltageCalibValue = 0x12345;
                                         s.m_currentCalibValue = 1000;
                                         s.m_calibWriteCount = 2;
                                     }),
                                 {0xAA, 0, 0, 0, 0xFF, 0x55, 0x23, 0x45, 0x03, 0xE8}}),
    [](const auto& info) { return info.param.m_name; });

TEST_F(StatusRequestTest, CalibrationFlagOnTwoRequestsPerPress) {
    RemoteControlState state;
    state.m_calibWriteCount = 2;
    CommandFrame frame = MakeCommandFrame("SHOW");
    std::vector<std::uint8_t> flags;
    for (int i = 0; i < 4; ++i) {
        FillRemoteControlBytes(frame, state);
        flags.push_back(frame[17]);
    }
    EXPECT_EQ(flags, (std::vector<std::uint8_t>{0x55, 0x55, 0xAA, 0xAA}));
    EXPECT_EQ(state.m_calibWriteCount, 0);
}

TEST(ThrottlePosition, ScaleOfTheTrackbar) {
    EXPECT_EQ(ThrottleFromPosition(440), 26160.0);
    EXPECT_EQ(static_cast<int>(ThrottleFromPosition(50)), 2972);
}

struct RangeCase {
    const char* m_name;
    float m_lowProtect, m_start, m_end, m_highProtect;
    ThrottleRange m_range;
    friend void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.m_name; }
};

class ThrottleRangeRule : public ::testing::TestWithParam<RangeCase> {};

TEST_P(ThrottleRangeRule, SinglePrecisionMidpointsTruncated) {
    const RangeCase& c = GetParam();
    EXPECT_EQ(ComputeThrottleRange(c.m_lowProtect, c.m_start, c.m_end, c.m_highProtect), c.m_range);
}

constexpr float kHuge = std::numeric_limits<float>::max();

INSTANTIATE_TEST_SUITE_P(
    StatusRequest, ThrottleRangeRule,
    ::testing::Values(
        // In double these give 94 and 219.
        RangeCase{"SinglePrecisionRoundsUp", 0.9f, 1.0f, 3.3f, 1.1f, {95, 220}},
        RangeCase{"TruncatedNotRounded", 4.2f, 0.1f, 1.15f, 0.0f, {214, 57}},
        RangeCase{"StartUpLikeValues", 0.8f, 1.1f, 4.3f, 0.2f, {95, 225}},
        RangeCase{"Negative", -1.13f, 0.0f, 0.0f, 0.0f, {-56, 0}},
        RangeCase{"OutOfIntRange",
                  kHuge,
                  0.0f,
                  -kHuge,
                  0.0f,
                  {std::numeric_limits<int>::max(), std::numeric_limits<int>::min()}}),
    [](const auto& info) { return info.param.m_name; });

}  // namespace
