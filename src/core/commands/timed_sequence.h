#pragma once
// Common ground of the command sequences: steps scheduled on a Clock that are dropped when the
// sequence is cancelled or destroyed before they fall due.

#include <functional>
#include <memory>

#include "core/commands/clock.h"

class TimedSequence {
public:
    TimedSequence(const TimedSequence&) = delete;
    TimedSequence& operator=(const TimedSequence&) = delete;

protected:
    explicit TimedSequence(Clock& clock) : m_clock(clock) {}
    ~TimedSequence() = default;

    void After(int milliseconds, std::function<void()> step);
    // Every step scheduled so far will not run.
    void DropPendingSteps() { ++*m_generation; }

private:
    Clock& m_clock;
    // Pending steps hold it weakly: a destroyed sequence is never called back.
    std::shared_ptr<unsigned> m_generation = std::make_shared<unsigned>(0);
};
