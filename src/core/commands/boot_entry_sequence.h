#pragma once
// The start of a download: the boot-entry command, then 200 ms for the controller to reach its
// boot loader before the sender takes over the receive path.

#include <functional>

#include "core/commands/clock.h"
#include "core/commands/link.h"
#include "core/commands/refusal.h"
#include "core/commands/timed_sequence.h"

class BootEntrySequence : public TimedSequence {
public:
    using Done = std::function<void()>;
    static constexpr int kSettleMs = 200;

    BootEntrySequence(Link& link, Clock& clock) : TimedSequence(clock), m_link(link) {}

    // Port closed: kPortClosed (message 120). With an image loaded the boot-entry command goes
    // out and `done` follows 200 ms later; without one nothing is sent and `done` runs before
    // Start returns (a controller already in its boot loader needs no command). The caller then
    // re-initialises the sender, loads the file and hands it the receive path.
    Refusal Start(bool imageLoaded, unsigned voltageCalibValue, Done done);
    void Cancel();
    bool Running() const { return m_running; }

private:
    void Finish();

    Link& m_link;
    Done m_done;
    bool m_running = false;
};
