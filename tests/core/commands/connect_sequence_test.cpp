#include "core/commands/connect_sequence.h"

#include <gtest/gtest.h>

#include <ostream>

#include <memory>
#include <optional>

#include "command_test_support.h"

namespace {

struct ConnectCase {
    const char* m_name;
    int m_answeredAttempt;  // which "LDGET" the controller answers (1..4), 0 for none
    int m_answerDelayMs;
    std::vector<std::int64_t> m_sentAt;
    ConnectOutcome m_outcome;
    std::int64_t m_doneAt;
    friend void PrintTo(const ConnectCase& c, std::ostream* os) { *os << c.m_name; }
};

class ConnectTimeline : public CommandTest, public ::testing::WithParamInterface<ConnectCase> {};

TEST_P(ConnectTimeline, FramesOutcomeAndFlags) {
    const ConnectCase& c = GetParam();
    // Left over from an earlier connect: must not count for this one.
    g_paramFrameSeen = 1;
    g_connected = 1;

    int requests = 0;
    m_link.m_onWrite = [&](const CommandFrame&) {
        if (++requests == c.m_answeredAttempt) {
            m_clock.Schedule(c.m_answerDelayMs, [&] { m_controller.SendParameterBlocks(); });
        }
    };
    ConnectSequence connect(m_link, m_clock);
    std::optional<ConnectOutcome> reported;
    std::int64_t reportedAt = -1;
    ASSERT_EQ(connect.Start([&](ConnectOutcome o) {
        reported = o;
        reportedAt = m_clock.Now();
    }),
              Refusal::kNone);
    EXPECT_EQ(g_connected, 0) << "cleared as soon as the connect starts";

    m_clock.Advance(10'000);

    EXPECT_EQ(m_link.SentTimes(), c.m_sentAt);
    for (const SentFrame& s : m_link.m_sent)
        EXPECT_EQ(s.m_frame, MakeSealedCommand("LDGET"));
    ASSERT_TRUE(reported.has_value());
    EXPECT_EQ(*reported, c.m_outcome);
    EXPECT_EQ(connect.Outcome(), c.m_outcome);
    EXPECT_EQ(reportedAt, c.m_doneAt);
    EXPECT_FALSE(connect.Running());
    EXPECT_EQ(g_connected, c.m_outcome == ConnectOutcome::kConnected ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Connect, ConnectTimeline,
    ::testing::Values(
        ConnectCase{"AnsweredAtOnce", 1, 40, {0}, ConnectOutcome::kConnected, 1000},
        ConnectCase{"AnsweredSecond", 2, 999, {0, 1000}, ConnectOutcome::kConnected, 2000},
        ConnectCase{
            "NeverAnswered", 0, 0, {0, 1000, 2000, 3000}, ConnectOutcome::kNoResponse, 4000},
        // A block that arrives while the last attempt waits still connects.
        ConnectCase{"AnsweredDuringFourthWait",
                    4,
                    700,
                    {0, 1000, 2000, 3000},
                    ConnectOutcome::kConnected,
                    4000},
        // An answer after the last wait is too late.
        ConnectCase{"AnsweredAfterLastWait",
                    4,
                    1001,
                    {0, 1000, 2000, 3000},
                    ConnectOutcome::kNoResponse,
                    4000}),
    [](const auto& info) { return info.param.m_name; });

struct RefusalCase {
    const char* m_name;
    bool m_open;
    bool m_downloading;
    Refusal m_refusal;
    friend void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.m_name; }
};

class ConnectRefusal : public CommandTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ConnectRefusal, SendsNothingAndKeepsFlags) {
    const RefusalCase& c = GetParam();
    m_link.m_open = c.m_open;
    m_link.m_downloading = c.m_downloading;
    g_connected = 1;
    g_paramFrameSeen = 1;
    bool reported = false;

    ConnectSequence connect(m_link, m_clock);
    EXPECT_EQ(connect.Start([&](ConnectOutcome) { reported = true; }), c.m_refusal);
    m_clock.Advance(5000);

    EXPECT_TRUE(m_link.m_sent.empty());
    EXPECT_FALSE(reported);
    EXPECT_FALSE(connect.Running());
    EXPECT_EQ(g_connected, 1);
    EXPECT_EQ(g_paramFrameSeen, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Connect, ConnectRefusal,
    ::testing::Values(RefusalCase{"PortClosed", false, false, Refusal::kPortClosed},
                      RefusalCase{"PortClosedBeforeDownload", false, true, Refusal::kPortClosed},
                      RefusalCase{"DownloadRunning", true, true, Refusal::kDownloadRunning}),
    [](const auto& info) { return info.param.m_name; });

TEST_F(CommandTest, ConnectRefusesASecondStartWhileRunning) {
    ConnectSequence connect(m_link, m_clock);
    ASSERT_EQ(connect.Start(), Refusal::kNone);
    m_clock.Advance(500);
    EXPECT_EQ(connect.Start(), Refusal::kAlreadyRunning);
    m_clock.Advance(5000);
    EXPECT_EQ(m_link.m_sent.size(), 4u);
    EXPECT_EQ(connect.Outcome(), ConnectOutcome::kNoResponse);
}

TEST_F(CommandTest, ConnectCanRunAgainFromItsOwnCompletion) {
    ConnectSequence connect(m_link, m_clock);
    int runs = 0;
    std::function<void(ConnectOutcome)> again = [&](ConnectOutcome) {
        if (++runs < 2) {
            EXPECT_EQ(connect.Start(again), Refusal::kNone);
        }
    };
    ASSERT_EQ(connect.Start(again), Refusal::kNone);
    m_clock.Advance(20'000);
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(m_link.m_sent.size(), 8u);
    EXPECT_EQ(m_link.m_sent[4].m_time, 4000);
}

TEST_F(CommandTest, ConnectStoppedEarlyNeitherSendsNorReports) {
    bool reported = false;
    {
        auto connect = std::make_unique<ConnectSequence>(m_link, m_clock);
        ASSERT_EQ(connect->Start([&](ConnectOutcome) { reported = true; }), Refusal::kNone);
        m_clock.Advance(1500);
        connect->Cancel();
        EXPECT_FALSE(connect->Running());
        m_clock.Advance(1000);
        EXPECT_EQ(m_link.m_sent.size(), 2u);

        ASSERT_EQ(connect->Start([&](ConnectOutcome) { reported = true; }), Refusal::kNone);
        m_clock.Advance(500);
    }
    // Destroyed with a step pending: the step must not reach it.
    m_clock.Advance(10'000);
    EXPECT_EQ(m_link.m_sent.size(), 3u);
    EXPECT_FALSE(reported);
}

}  // namespace
