#include "core/commands/manual_clock.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ManualClock, RunsStepsInTimeThenScheduleOrder) {
    ManualClock clock;
    std::string order;
    clock.Schedule(20, [&] { order += 'c'; });
    clock.Schedule(10, [&] { order += 'a'; });
    clock.Schedule(10, [&] { order += 'b'; });
    clock.Schedule(10, [&] {
        order += '(';
        // Scheduled from inside a step, due at once: still runs within this advance.
        clock.Schedule(0, [&] { order += ')'; });
        clock.Schedule(5, [&] { order += 'd'; });
    });
    clock.Advance(9);
    EXPECT_EQ(order, "");
    clock.Advance(11);
    EXPECT_EQ(order, "ab()dc");
    EXPECT_EQ(clock.Now(), 20);
    EXPECT_FALSE(clock.HasPending());
}

TEST(ManualClock, StepsSeeTheirOwnTime) {
    ManualClock clock;
    std::vector<std::int64_t> seen;
    for (int ms : {300, 100, 200})
        clock.Schedule(ms, [&] { seen.push_back(clock.Now()); });
    clock.Advance(1000);
    EXPECT_EQ(seen, (std::vector<std::int64_t>{100, 200, 300}));
    EXPECT_EQ(clock.Now(), 1000);
}

TEST(ManualClock, RunUntilIdleStopsAtItsLimit) {
    ManualClock clock;
    std::function<void()> forever = [&] { clock.Schedule(1000, forever); };
    clock.Schedule(0, forever);
    EXPECT_FALSE(clock.RunUntilIdle(10'500));
    EXPECT_EQ(clock.Now(), 10'000);
    int ran = 0;
    ManualClock finite;
    finite.Schedule(5000, [&] { ++ran; });
    EXPECT_TRUE(finite.RunUntilIdle());
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(finite.Now(), 5000);
}

}  // namespace
