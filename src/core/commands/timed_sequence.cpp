#include "core/commands/timed_sequence.h"

void TimedSequence::After(int milliseconds, std::function<void()> step) {
    std::weak_ptr<unsigned> weak = m_generation;
    const unsigned generation = *m_generation;
    m_clock.Schedule(milliseconds, [weak, generation, step = std::move(step)] {
        const std::shared_ptr<unsigned> current = weak.lock();
        if (current && *current == generation)
            step();
    });
}
