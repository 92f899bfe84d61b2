#include "core/commands/auto_production.h"

#include <gtest/gtest.h>

#include <ostream>

#include <optional>

#include "command_test_support.h"
#include "core/commands/connect_sequence.h"

namespace {

constexpr int kNoOps = 0;
constexpr int kWrite = 1;
constexpr int kDownload = 2;
constexpr int kRead = 3;

const AutoModeStep kNothing{};
const AutoModeStep kStartDownload{AutoAction::kDownload, sound_files::kStartDownload};
const AutoModeStep kDownloadDone{AutoAction::kNone, sound_files::kDownloadSuccess};

class AutoModesTest : public CommandTest {
protected:
    AutoModeStep Tick(int mode, bool busy = false) {
        return StepAutoModes(mode, busy, [this] {
            ++m_delayReads;
            return m_delay;
        });
    }
    // A mode-2 run that ends at once: start, then the five ticks of the completion wait.
    void RunDownload() {
        g_announceSeen = 1;
        ASSERT_EQ(Tick(kDownload), kStartDownload);
        for (int i = 0; i < 4; ++i)
            ASSERT_EQ(Tick(kDownload), kNothing);
        ASSERT_EQ(Tick(kDownload), kDownloadDone);
    }

    int m_delay = 12;
    int m_delayReads = 0;
};

TEST_F(AutoModesTest, NoOpsKeepsTheTriggerUntilReadIsChosen) {
    g_announceSeen = 1;
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Tick(kNoOps), kNothing);
    EXPECT_EQ(g_announceSeen, 1);

    EXPECT_EQ(Tick(kRead), (AutoModeStep{AutoAction::kConnectAndRead, sound_files::kReadSuccess}));
    EXPECT_EQ(g_announceSeen, 0);
    EXPECT_EQ(Tick(kRead), kNothing);
}

TEST_F(AutoModesTest, DownloadEndIsNoticedFiveTicksAfterTheStartAtTheEarliest) {
    g_announceSeen = 1;
    EXPECT_EQ(Tick(kDownload), kStartDownload);
    EXPECT_EQ(g_autoRunStarted, 1);
    EXPECT_EQ(g_autoCompletionWait, 5);
    // The transfer runs for ten ticks.
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(Tick(kDownload, true), kNothing) << i;
    EXPECT_EQ(m_delayReads, 0);
    EXPECT_EQ(Tick(kDownload, false), kDownloadDone);
    EXPECT_EQ(m_delayReads, 1) << "the delay is read when the end is noticed";
    EXPECT_EQ(g_autoRunStarted, 0);
    EXPECT_EQ(g_autoHoldoff, 12);
    EXPECT_EQ(Tick(kDownload), kNothing);
}

struct HoldoffCase {
    const char* m_name;
    int m_delay;
    std::uint16_t m_holdoff;
    friend void PrintTo(const HoldoffCase& c, std::ostream* os) { *os << c.m_name; }
};

class AutoDownloadHoldoff : public AutoModesTest,
                            public ::testing::WithParamInterface<HoldoffCase> {};

TEST_P(AutoDownloadHoldoff, AnnouncementsDuringTheHoldoffAreDropped) {
    m_delay = GetParam().m_delay;
    RunDownload();
    EXPECT_EQ(g_autoHoldoff, GetParam().m_holdoff);

    for (int tick = 1; tick <= GetParam().m_holdoff; ++tick) {
        g_announceSeen = 1;  // a controller announces itself during every hold-off tick
        EXPECT_EQ(Tick(kDownload), kNothing) << tick;
        EXPECT_EQ(g_announceSeen, 0) << tick;
    }
    EXPECT_EQ(g_autoHoldoff, 0);
    g_announceSeen = 1;
    EXPECT_EQ(Tick(kDownload), kStartDownload);
}

INSTANTIATE_TEST_SUITE_P(AutoModes, AutoDownloadHoldoff,
                         ::testing::Values(HoldoffCase{"NoDelay", 0, 0},
                                           HoldoffCase{"TenSeconds", 40, 40},
                                           HoldoffCase{"Low16Bits", 65536 + 3, 3},
                                           HoldoffCase{"NegativeWraps", -1, 65535}),
                         [](const auto& info) { return info.param.m_name; });

TEST_F(AutoModesTest, ParameterWriteWaitsForTheHoldoffToEnd) {
    m_delay = 4;
    RunDownload();
    g_announceSeen = 1;
    for (int tick = 1; tick <= 3; ++tick) {
        EXPECT_EQ(Tick(kWrite), kNothing) << tick;
        EXPECT_EQ(g_announceSeen, 1) << "kept pending in mode 1";
    }
    // The tick that ends the hold-off acts on the pending trigger.
    EXPECT_EQ(Tick(kWrite), (AutoModeStep{AutoAction::kParamWrite, {}}));
    EXPECT_EQ(g_announceSeen, 0);
    EXPECT_EQ(g_autoHoldoff, 0);
}

// The controller just programmed announces itself when it restarts, which may be before the
// tick that notices the end: it must not be programmed again, and the hold-off still follows.
TEST_F(AutoModesTest, AnnouncementBeforeTheEndIsNoticedIsTheSameController) {
    m_delay = 8;
    g_announceSeen = 1;
    ASSERT_EQ(Tick(kDownload), kStartDownload);
    for (int i = 0; i < 6; ++i)
        ASSERT_EQ(Tick(kDownload, true), kNothing);
    // The transfer ended and the controller announced itself between two ticks.
    g_announceSeen = 1;
    EXPECT_EQ(Tick(kDownload, false), kDownloadDone);
    EXPECT_EQ(g_announceSeen, 0);
    EXPECT_EQ(g_autoHoldoff, 8);

    // Within the completion wait too.
    ResetAutoModes();
    g_announceSeen = 1;
    ASSERT_EQ(Tick(kDownload), kStartDownload);
    g_announceSeen = 1;
    EXPECT_EQ(Tick(kDownload, false), kNothing);
    EXPECT_EQ(g_announceSeen, 0);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Tick(kDownload), kNothing);
    EXPECT_EQ(Tick(kDownload), kDownloadDone);
}

TEST_F(AutoModesTest, CompletionWaitPausesWhileATriggerIsPending) {
    g_announceSeen = 1;
    ASSERT_EQ(Tick(kDownload), kStartDownload);
    g_announceSeen = 1;
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Tick(kNoOps), kNothing);
    EXPECT_EQ(g_autoCompletionWait, 5);
    // Without download mode the end of the run is not noticed.
    g_announceSeen = 0;
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Tick(kNoOps), kNothing);
    EXPECT_EQ(g_autoCompletionWait, 0);
    EXPECT_EQ(g_autoRunStarted, 1);
    EXPECT_EQ(Tick(kDownload), kDownloadDone);
}

TEST_F(AutoModesTest, ReadPlaysItsSoundEvenWhenTheReadFails) {
    // Wired as the window does it: run the action, then play the sound when it has ended.
    ConnectSequence connect(m_link, m_clock);
    std::optional<ConnectOutcome> outcome;
    std::vector<std::pair<std::int64_t, std::string_view>> played;

    g_announceSeen = 1;
    const AutoModeStep step = Tick(kRead);
    ASSERT_EQ(step.m_action, AutoAction::kConnectAndRead);
    ASSERT_EQ(connect.Start([&](ConnectOutcome o) {
        outcome = o;
        played.emplace_back(m_clock.Now(), step.m_sound);
    }),
              Refusal::kNone);
    m_clock.Advance(10'000);

    EXPECT_EQ(outcome, ConnectOutcome::kNoResponse);
    ASSERT_EQ(played.size(), 1u);
    EXPECT_EQ(played[0].first, 4000);
    EXPECT_EQ(played[0].second, "read_success.wav");
}

TEST_F(AutoModesTest, ModesIgnoreAnUnknownSelection) {
    g_announceSeen = 1;
    EXPECT_EQ(Tick(-1), kNothing);
    EXPECT_EQ(Tick(4), kNothing);
    EXPECT_EQ(g_announceSeen, 1);
}

}  // namespace
