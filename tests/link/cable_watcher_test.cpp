// The cable watcher's states and timing against scripted samples and a manual clock.

#include <gtest/gtest.h>

#include <QObject>
#include <string>
#include <vector>

#include "core/commands/manual_clock.h"
#include "fake_port_source.h"
#include "link/cable_watcher.h"

namespace {

using link_test::FakePortSource;

// What the watcher told the window, in order: "Connected", "Disconnected", "reopen", "ended".
class WatcherRecord {
public:
    explicit WatcherRecord(CableWatcher& watcher) {
        QObject::connect(&watcher, &CableWatcher::statusText, [this](int id) {
            m_events.push_back(id == kStatusConnectedText      ? "Connected"
                               : id == kStatusDisconnectedText ? "Disconnected"
                                                               : "?");
        });
        QObject::connect(&watcher, &CableWatcher::cableReturned,
                         [this] { m_events.push_back("reopen"); });
        QObject::connect(&watcher, &CableWatcher::ended, [this] { m_events.push_back("ended"); });
    }
    const std::vector<std::string>& Events() const { return m_events; }

private:
    std::vector<std::string> m_events;
};

struct WatchCase {
    const char* name;
    // Two samples per cycle (first, 500 ms later): P present, A absent, U cannot tell.
    const char* samples;
    std::vector<std::string> events;
};

class CableWatcherCycles : public testing::TestWithParam<WatchCase> {};

TEST_P(CableWatcherCycles, ShowsEachStateOnceAndEveryChangeWithinACycle) {
    const WatchCase& c = GetParam();
    FakePortSource source;
    source.SetSamples(c.samples);
    const std::size_t samples = source.SamplesLeft();
    ManualClock clock;
    CableWatcher watcher(source, clock);
    WatcherRecord record(watcher);

    watcher.Start();
    // Cycle k samples at 501 k and 501 k + 500.
    const auto cycles = static_cast<std::int64_t>((samples + 1) / 2);
    clock.Advance(501 * (cycles - 1) + 500);

    EXPECT_EQ(record.Events(), c.events);
    EXPECT_EQ(source.SamplesLeft(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Script, CableWatcherCycles,
    testing::Values(
        WatchCase{"PresentAtStart", "PP PP PP", {"Connected"}},
        WatchCase{"AbsentAtStart", "AA AA AA", {"Disconnected"}},
        // A change seen within a cycle is shown but not marked as shown, so the next steady
        // cycle shows the same text once more.
        WatchCase{
            "UnplugWithinACycle", "PP PA AA AA", {"Connected", "Disconnected", "Disconnected"}},
        WatchCase{"ReplugWithinACycleReopens",
                  "AA AP PP PP",
                  {"Disconnected", "Connected", "reopen", "Connected"}},
        WatchCase{"ReplugOnTheFirstCycleReopens", "AP", {"Connected", "reopen"}},
        WatchCase{"ChangesBetweenCyclesShowNewTextsOnlyAndNeverReopen",
                  "PP AA PP AA PP",
                  {"Connected", "Disconnected"}},
        WatchCase{
            "ReplugBetweenCyclesAfterAnUnplugWithin", "PP PA PP", {"Connected", "Disconnected"}},
        WatchCase{"UnreadableSecondSampleKeepsTheFirst", "PU AU AA", {"Connected", "Disconnected"}},
        WatchCase{"CannotTellAtStartEndsSilently", "U", {"ended"}},
        WatchCase{"CannotTellLaterEndsSilently", "PP U", {"Connected", "ended"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CableWatcherTiming, SamplesTwice500MsApartEvery501Ms) {
    FakePortSource source;
    ManualClock clock;
    source.m_now = [&clock] { return clock.Now(); };
    source.SetSamples("", PortSource::Cable::kPresent);
    CableWatcher watcher(source, clock);
    WatcherRecord record(watcher);

    watcher.Start();
    clock.Advance(499);
    EXPECT_TRUE(record.Events().empty()) << "nothing is shown before the first cycle ends";
    clock.Advance(1);
    EXPECT_EQ(record.Events(), std::vector<std::string>{"Connected"});
    clock.Advance(1502 - 500);

    EXPECT_EQ(source.m_sampleTimes, (std::vector<std::int64_t>{0, 500, 501, 1001, 1002, 1502}));
    EXPECT_TRUE(watcher.Running());
}

TEST(CableWatcherTiming, EndedWatcherTakesNoMoreSamplesAndCanStartAgain) {
    FakePortSource source;
    ManualClock clock;
    source.SetSamples("U PP", PortSource::Cable::kPresent);
    CableWatcher watcher(source, clock);
    WatcherRecord record(watcher);

    watcher.Start();
    EXPECT_FALSE(watcher.Running());
    EXPECT_FALSE(clock.HasPending());

    watcher.Start();
    clock.Advance(500);
    EXPECT_EQ(record.Events(), (std::vector<std::string>{"ended", "Connected"}));
}

}  // namespace
