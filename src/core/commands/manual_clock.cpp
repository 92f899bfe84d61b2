#include "core/commands/manual_clock.h"

#include <algorithm>

void ManualClock::Schedule(int milliseconds, std::function<void()> step) {
    const std::int64_t delay = milliseconds < 0 ? 0 : milliseconds;
    m_pending.push_back({m_now + delay, m_nextOrder++, std::move(step)});
}

bool ManualClock::RunNext(std::int64_t until) {
    const auto earliest = std::min_element(
        m_pending.begin(), m_pending.end(), [](const Pending& a, const Pending& b) {
            return a.m_due != b.m_due ? a.m_due < b.m_due : a.m_order < b.m_order;
        });
    if (earliest == m_pending.end() || earliest->m_due > until)
        return false;
    std::function<void()> step = std::move(earliest->m_step);
    m_now = std::max(m_now, earliest->m_due);
    m_pending.erase(earliest);
    step();
    return true;
}

void ManualClock::Advance(std::int64_t milliseconds) {
    const std::int64_t until = m_now + std::max<std::int64_t>(milliseconds, 0);
    while (RunNext(until)) {
    }
    m_now = until;
}

bool ManualClock::RunUntilIdle(std::int64_t limit) {
    const std::int64_t until = m_now + limit;
    while (RunNext(until)) {
    }
    return m_pending.empty();
}
