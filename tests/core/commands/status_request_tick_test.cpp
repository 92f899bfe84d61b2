#include "core/commands/status_request_tick.h"

#include <gtest/gtest.h>

#include <ostream>

#include "command_test_support.h"

namespace {

struct DueCase {
    const char* m_name;
    bool m_pageShown;
    std::uint16_t m_refreshTicks;
    bool m_downloading;
    int m_writeAcknowledged;
    bool m_open;
    bool m_sent;
    friend void PrintTo(const DueCase& c, std::ostream* os) { *os << c.m_name; }
};

class StatusTickDue : public CommandTest, public ::testing::WithParamInterface<DueCase> {};

TEST_P(StatusTickDue, SendsOnlyWhenEverythingAllows) {
    const DueCase& c = GetParam();
    g_refreshTicks = c.m_refreshTicks;
    g_writeAcknowledged = c.m_writeAcknowledged;
    m_link.m_downloading = c.m_downloading;
    m_link.m_open = c.m_open;
    g_statusRequestSent = c.m_sent ? 0 : 1;
    RemoteControlState state;
    state.m_calibWriteCount = 2;
    bool controlsRead = false;

    const TickRequest r =
        RunStatusRequestTick(m_link, c.m_pageShown, state, [&] { controlsRead = true; });

    EXPECT_EQ(r == TickRequest::kSent, c.m_sent);
    EXPECT_EQ(controlsRead, c.m_sent);
    EXPECT_EQ(g_statusRequestSent, c.m_sent ? 1 : 0);
    EXPECT_EQ(m_link.m_sent.size(), c.m_sent ? 1u : 0u);
    // Only a request that goes out takes one of the two calibration flags.
    EXPECT_EQ(state.m_calibWriteCount, c.m_sent ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(
    StatusTick, StatusTickDue,
    ::testing::Values(DueCase{"AllClear", true, 0, false, 1, true, true},
                      DueCase{"OtherTab", false, 0, false, 1, true, false},
                      DueCase{"RefreshingPages", true, 3, false, 1, true, false},
                      DueCase{"Downloading", true, 0, true, 1, true, false},
                      DueCase{"WriteUnacknowledged", true, 0, false, 0, true, false},
                      DueCase{"PortClosed", true, 0, false, 1, false, false}),
    [](const auto& info) { return info.param.m_name; });

TEST_F(CommandTest, StatusTickSendsTheSealedTemplate) {
    RemoteControlState state;
    state.m_remoteOn = 1;
    state.m_throttle = ThrottleFromPosition(440);
    ASSERT_EQ(RunStatusRequestTick(m_link, true, state, {}), TickRequest::kSent);
    ASSERT_EQ(m_link.m_sent.size(), 1u);
    const CommandFrame& f = m_link.m_sent[0].m_frame;
    EXPECT_TRUE(IsSealed(f));
    EXPECT_TRUE(HasLetters(f, "SH"));
    EXPECT_EQ(f[12], 0x55);
    EXPECT_EQ(f[13], 0x66);
    EXPECT_EQ(f[14], 0x30);
    EXPECT_EQ(f, g_txFrame);
    CommandFrame sealedTemplate = g_showFrame;
    SetFrameChecksum(sealedTemplate);
    EXPECT_EQ(f, sealedTemplate);
}

TEST_F(CommandTest, StatusTickTakesCableBytesBeforeReadingTheControls) {
    g_firstGenCable = 1;
    RemoteControlState state;
    state.m_canNode = 1;
    state.m_canBitRate = 0;
    ASSERT_EQ(RunStatusRequestTick(m_link, true, state,
                                   [&] {
                                       EXPECT_EQ(g_statusRequestSent, 1);
                                       state.m_canNode = 5;
                                       state.m_canBitRate = 3;
                                       state.m_gear = 2;
                                   }),
              TickRequest::kSent);
    const CommandFrame& f = m_link.m_sent.at(0).m_frame;
    EXPECT_EQ(f[5], 'P');
    EXPECT_EQ(f[6], 'W');
    EXPECT_EQ(f[15], 2) << "bytes 12..21 use the values just read";
}

TEST_F(CommandTest, StatusTickPausesEightTicksAfterAParameterFrame) {
    m_controller.Send(ControllerReply('R', 1));
    ASSERT_EQ(g_refreshTicks, 8);
    RemoteControlState state;
    for (int tick = 1; tick <= 8; ++tick) {
        EXPECT_EQ(RunStatusRequestTick(m_link, true, state, {}), TickRequest::kRefreshPages)
            << tick;
    }
    EXPECT_EQ(g_refreshTicks, 0);
    EXPECT_EQ(RunStatusRequestTick(m_link, true, state, {}), TickRequest::kSent);
    EXPECT_EQ(RunStatusRequestTick(m_link, false, state, {}), TickRequest::kIdle);
}

TEST_F(CommandTest, CalibrationFlagRidesOnExactlyTwoSentRequests) {
    RemoteControlState state;
    // Pressed twice before the next tick: still two.
    state.m_calibWriteCount = 2;
    state.m_calibWriteCount = 2;
    std::vector<std::uint8_t> flags;
    const bool pageShown[] = {false, true, false, false, true, true, true};
    for (const bool shown : pageShown) {
        if (RunStatusRequestTick(m_link, shown, state, {}) == TickRequest::kSent) {
            flags.push_back(m_link.m_sent.back().m_frame[17]);
        }
    }
    EXPECT_EQ(flags, (std::vector<std::uint8_t>{0x55, 0x55, 0xAA, 0xAA}));
}

}  // namespace
