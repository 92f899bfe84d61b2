#include "core/commands/param_write_sequence.h"

#include <gtest/gtest.h>

#include <ostream>

#include <memory>
#include <optional>

#include "command_test_support.h"
#include "core/commands/status_request_tick.h"

namespace {

std::vector<std::int64_t> Round(std::int64_t first) {
    std::vector<std::int64_t> times;
    for (int i = 0; i < 7; ++i)
        times.push_back(first + 100 * i);
    return times;
}

std::vector<std::int64_t> Concat(std::vector<std::int64_t> a, const std::vector<std::int64_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class ParamWriteTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        g_connected = 1;
    }

    // Block n carries n in byte 5 and the number of encoder calls so far in byte 6, so a frame
    // shows which encoding it came from.
    ParamWriteSequence::EncodeBlock Encoder() {
        return [this](int block) {
            m_encodedAt.push_back(m_clock.Now());
            CommandFrame frame = MakeParamWriteFrame(block);
            frame[5] = static_cast<std::uint8_t>(block);
            frame[6] = static_cast<std::uint8_t>(m_encodedAt.size());
            frame[21] = 0xA5;
            return frame;
        };
    }

    Refusal StartWrite(bool exchangeSucceeded = true) {
        return m_write.Start(exchangeSucceeded, Encoder(), [this](WriteOutcome o) {
            m_reported = o;
            m_reportedAt = m_clock.Now();
        });
    }

    // The controller's reaction to the k-th 'P' frame (1-based over both rounds).
    void AnswerFrame(int k, int delayMs, std::vector<std::uint8_t> reply) {
        m_link.m_onWrite = [this, k, delayMs, reply](const CommandFrame&) {
            if (static_cast<int>(m_link.m_sent.size()) == k) {
                m_clock.Schedule(delayMs, [this, reply] { m_controller.Send(reply); });
            }
        };
    }

    ParamWriteSequence m_write{m_link, m_clock};
    std::vector<std::int64_t> m_encodedAt;
    std::optional<WriteOutcome> m_reported;
    std::int64_t m_reportedAt = -1;
};

TEST_F(ParamWriteTest, AcknowledgedInRoundOneSendsSevenFrames) {
    AnswerFrame(7, 30, ControllerReply('P', 'N'));
    ASSERT_EQ(StartWrite(), Refusal::kNone);
    EXPECT_EQ(g_writeAcknowledged, 0);
    m_clock.Advance(5000);

    EXPECT_EQ(m_link.SentTimes(), Round(100));
    for (int n = 1; n <= 7; ++n) {
        const CommandFrame& f = m_link.m_sent[n - 1].m_frame;
        EXPECT_TRUE(IsSealed(f)) << n;
        EXPECT_EQ(f[3], 'P');
        EXPECT_EQ(f[4], n);
        EXPECT_EQ(f[5], n);
        EXPECT_EQ(f[21], 0xA5);
    }
    // The activity wait ends with the answer at 730, then 200 ms.
    EXPECT_EQ(m_reported, WriteOutcome::kAcknowledged);
    EXPECT_EQ(m_reportedAt, 930);
    EXPECT_EQ(g_writeAcknowledged, 1);
}

TEST_F(ParamWriteTest, NeverAcknowledgedSendsTwoRoundsAndFails) {
    ASSERT_EQ(StartWrite(), Refusal::kNone);
    m_clock.Advance(5000);

    // Round one: 100 ms, blocks at 100..700, 201 ms without activity, 200 ms; round two alike.
    EXPECT_EQ(m_link.SentTimes(), Concat(Round(100), Round(1201)));
    EXPECT_EQ(m_reported, WriteOutcome::kNotAcknowledged);
    EXPECT_EQ(m_reportedAt, 2202);
    EXPECT_EQ(g_writeAcknowledged, 0) << "stays 0 until a 'PN' comes";
}

TEST_F(ParamWriteTest, EachBlockIsEncodedJustBeforeItIsSent) {
    ASSERT_EQ(StartWrite(), Refusal::kNone);
    m_clock.Advance(5000);

    ASSERT_EQ(m_link.m_sent.size(), 14u);
    EXPECT_EQ(m_encodedAt, m_link.SentTimes());
    for (std::size_t i = 0; i < 14; ++i) {
        EXPECT_EQ(m_link.m_sent[i].m_frame[4], i % 7 + 1);
        EXPECT_EQ(m_link.m_sent[i].m_frame[6], i + 1) << "encoded afresh in round two";
    }
}

struct ReplyCase {
    const char* m_name;
    int m_afterFrame;
    int m_delayMs;
    bool m_acknowledge;  // 'PN', else some other valid frame (activity only)
    std::vector<std::int64_t> m_sentAt;
    WriteOutcome m_outcome;
    std::int64_t m_doneAt;
    friend void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.m_name; }
};

class ParamWriteReplies : public ParamWriteTest, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ParamWriteReplies, Timeline) {
    const ReplyCase& c = GetParam();
    AnswerFrame(c.m_afterFrame, c.m_delayMs,
                c.m_acknowledge ? ControllerReply('P', 'N') : ControllerReply('Y', 'B'));
    ASSERT_EQ(StartWrite(), Refusal::kNone);
    m_clock.Advance(5000);

    EXPECT_EQ(m_link.SentTimes(), c.m_sentAt);
    EXPECT_EQ(m_reported, c.m_outcome);
    EXPECT_EQ(m_reportedAt, c.m_doneAt);
}

INSTANTIATE_TEST_SUITE_P(
    ParamWrite, ParamWriteReplies,
    ::testing::Values(
        // An early 'PN' counts, but the round still sends all seven blocks.
        ReplyCase{"AckDuringRoundOne", 3, 20, true, Round(100), WriteOutcome::kAcknowledged, 900},
        ReplyCase{"AckInRoundTwo", 14, 30, true, Concat(Round(100), Round(1201)),
                  WriteOutcome::kAcknowledged, 2031},
        // Activity without 'PN' only shortens the wait; a second round follows.
        ReplyCase{"OtherFrameInRoundOne", 7, 10, false, Concat(Round(100), Round(1010)),
                  WriteOutcome::kNotAcknowledged, 2011},
        // An answer after the poll gave up is still seen at the end of the round.
        ReplyCase{"AckLateInRoundOne", 7, 350, true, Round(100), WriteOutcome::kAcknowledged,
                  1101}),
    [](const auto& info) { return info.param.m_name; });

TEST_F(ParamWriteTest, WaitsOutTheRequestOfTheLastTick) {
    // The last tick sent a status request; while the write runs the tick is suspended.
    RemoteControlState state;
    ASSERT_EQ(RunStatusRequestTick(m_link, true, state, {}), TickRequest::kSent);
    ASSERT_EQ(g_statusRequestSent, 1);
    m_link.m_sent.clear();

    ASSERT_EQ(StartWrite(), Refusal::kNone);
    m_clock.Advance(5000);

    EXPECT_EQ(m_link.SentTimes(), Concat(Round(720), Round(1821)));
    EXPECT_EQ(m_reportedAt, 2822);
}

TEST_F(ParamWriteTest, TickWaitEndsWhenTheFlagClears) {
    g_statusRequestSent = 1;
    m_clock.Schedule(50, [] { g_statusRequestSent = 0; });
    ASSERT_EQ(StartWrite(), Refusal::kNone);
    m_clock.Advance(1000);
    ASSERT_FALSE(m_link.m_sent.empty());
    EXPECT_EQ(m_link.m_sent.front().m_time, 160);
}

struct WriteRefusalCase {
    const char* m_name;
    bool m_open;
    bool m_downloading;
    int m_connected;
    std::int16_t m_rpm;
    Refusal m_refusal;
    friend void PrintTo(const WriteRefusalCase& c, std::ostream* os) { *os << c.m_name; }
};

class ParamWriteRefusal : public ParamWriteTest,
                          public ::testing::WithParamInterface<WriteRefusalCase> {};

TEST_P(ParamWriteRefusal, DecidedInOrderAndTouchesNothing) {
    const WriteRefusalCase& c = GetParam();
    m_link.m_open = c.m_open;
    m_link.m_downloading = c.m_downloading;
    g_connected = c.m_connected;
    LiveStatus status;
    status.m_rpm = c.m_rpm;
    g_liveStatus.Store(status);
    g_statusRequestSent = 1;

    EXPECT_EQ(CheckParamWriteRefusal(m_link), c.m_refusal);
    EXPECT_EQ(StartWrite(), c.m_refusal);
    m_clock.Advance(5000);

    EXPECT_TRUE(m_link.m_sent.empty());
    EXPECT_TRUE(m_encodedAt.empty());
    EXPECT_FALSE(m_reported.has_value());
    EXPECT_EQ(g_writeAcknowledged, 1);
    EXPECT_EQ(g_statusRequestSent, 1);
}

INSTANTIATE_TEST_SUITE_P(
    ParamWrite, ParamWriteRefusal,
    ::testing::Values(
        WriteRefusalCase{"EverythingWrong", false, true, 0, 300, Refusal::kPortClosed},
        WriteRefusalCase{"DownloadBeforeConnection", true, true, 0, 300, Refusal::kDownloadRunning},
        WriteRefusalCase{"NotConnectedBeforeMotor", true, false, 0, 300, Refusal::kNotConnected},
        WriteRefusalCase{"MotorTurning", true, false, 1, 300, Refusal::kMotorTurning},
        WriteRefusalCase{"MotorTurningBackwards", true, false, 1, -1, Refusal::kMotorTurning},
        WriteRefusalCase{"MotorAtSpeedLimit", true, false, 1, -32768, Refusal::kMotorTurning}),
    [](const auto& info) { return info.param.m_name; });

// The display page sits between "not connected" and "motor turning": the three link refusals
// still show their message on that page, and a turning motor is never reported there.
struct DisplayPageRefusalCase {
    const char* m_name;
    bool m_open;
    bool m_downloading;
    int m_connected;
    std::int16_t m_rpm;
    Refusal m_refusal;
    friend void PrintTo(const DisplayPageRefusalCase& c, std::ostream* os) { *os << c.m_name; }
};

class ParamWriteRefusalOnDisplayPage
    : public ParamWriteTest,
      public ::testing::WithParamInterface<DisplayPageRefusalCase> {};

TEST_P(ParamWriteRefusalOnDisplayPage, LinkRefusalsComeFirst) {
    const DisplayPageRefusalCase& c = GetParam();
    m_link.m_open = c.m_open;
    m_link.m_downloading = c.m_downloading;
    g_connected = c.m_connected;
    LiveStatus status;
    status.m_rpm = c.m_rpm;
    g_liveStatus.Store(status);

    EXPECT_EQ(CheckParamWriteRefusal(m_link, true), c.m_refusal);
    // Another tab: the same link state gives the usual answer.
    const Refusal elsewhere = c.m_refusal == Refusal::kDisplayPageShown
                                  ? (c.m_rpm != 0 ? Refusal::kMotorTurning : Refusal::kNone)
                                  : c.m_refusal;
    EXPECT_EQ(CheckParamWriteRefusal(m_link, false), elsewhere);
    EXPECT_EQ(g_writeAcknowledged, 1);
}

INSTANTIATE_TEST_SUITE_P(
    ParamWrite, ParamWriteRefusalOnDisplayPage,
    ::testing::Values(
        DisplayPageRefusalCase{"PortClosed", false, false, 1, 0, Refusal::kPortClosed},
        DisplayPageRefusalCase{"DownloadRunning", true, true, 1, 0, Refusal::kDownloadRunning},
        DisplayPageRefusalCase{"NotConnected", true, false, 0, 0, Refusal::kNotConnected},
        DisplayPageRefusalCase{"BeforeMotorTurning", true, false, 1, -300,
                               Refusal::kDisplayPageShown},
        DisplayPageRefusalCase{"MotorStopped", true, false, 1, 0, Refusal::kDisplayPageShown}),
    [](const auto& info) { return info.param.m_name; });

TEST_F(ParamWriteTest, NothingIsWrittenFromInvalidPages) {
    for (const int acknowledged : {0, 1}) {
        g_writeAcknowledged = acknowledged;
        m_reported.reset();
        ASSERT_EQ(StartWrite(false), Refusal::kNone);
        // Reported before Start returned.
        EXPECT_EQ(m_reported, WriteOutcome::kNotSent);
        EXPECT_FALSE(m_write.Running());
        m_clock.Advance(5000);
        EXPECT_TRUE(m_link.m_sent.empty());
        EXPECT_TRUE(m_encodedAt.empty());
        EXPECT_EQ(g_writeAcknowledged, acknowledged);
    }
}

TEST_F(ParamWriteTest, RefusesASecondStartWhileRunning) {
    ASSERT_EQ(StartWrite(), Refusal::kNone);
    m_clock.Advance(250);
    EXPECT_EQ(StartWrite(), Refusal::kAlreadyRunning);
    m_clock.Advance(5000);
    EXPECT_EQ(m_link.m_sent.size(), 14u);
}

TEST_F(ParamWriteTest, DestroyedMidWriteSendsNoMore) {
    auto write = std::make_unique<ParamWriteSequence>(m_link, m_clock);
    bool reported = false;
    ASSERT_EQ(write->Start(true, Encoder(), [&](WriteOutcome) { reported = true; }),
              Refusal::kNone);
    m_clock.Advance(350);
    write.reset();
    m_clock.Advance(5000);
    EXPECT_EQ(m_link.m_sent.size(), 3u);
    EXPECT_FALSE(reported);
}

}  // namespace
