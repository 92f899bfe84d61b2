#pragma once
// A clock that moves only when told to: the tests' time, and a way to run a sequence to its end
// without an event loop.

#include <cstdint>
#include <functional>
#include <vector>

#include "core/commands/clock.h"

class ManualClock : public Clock {
public:
    void Schedule(int milliseconds, std::function<void()> step) override;

    // Moves time forward by `milliseconds`, running every step that falls due on the way at its
    // own time (steps scheduled meanwhile included).
    void Advance(std::int64_t milliseconds);
    // Runs steps one after another, jumping to each due time, until none is left or `limit`
    // milliseconds have passed. Returns true when nothing is left pending.
    bool RunUntilIdle(std::int64_t limit = 3'600'000);

    std::int64_t Now() const { return m_now; }
    bool HasPending() const { return !m_pending.empty(); }

private:
    struct Pending {
        std::int64_t m_due;
        std::uint64_t m_order;
        std::function<void()> m_step;
    };
    // Runs the earliest step due at or before `until`; false when there is none.
    bool RunNext(std::int64_t until);

    std::int64_t m_now = 0;
    std::uint64_t m_nextOrder = 0;
    std::vector<Pending> m_pending;
};
