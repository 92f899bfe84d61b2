#pragma once
// Time for the command sequences: they never sleep, they ask to be called back.

#include <functional>

class Clock {
public:
    virtual ~Clock() = default;
    // Calls `step` once, `milliseconds` from now, on the thread that runs the sequences. Steps
    // due at the same moment run in the order they were scheduled.
    virtual void Schedule(int milliseconds, std::function<void()> step) = 0;
};
