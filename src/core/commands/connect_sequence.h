#pragma once
// Connect: ask for the parameter block ("LDGET") once a second, up to four times, until a
// parameter frame has been seen.

#include <functional>
#include <optional>

#include "core/commands/clock.h"
#include "core/commands/link.h"
#include "core/commands/refusal.h"
#include "core/commands/timed_sequence.h"

enum class ConnectOutcome {
    kConnected,   // g_connected is 1
    kNoResponse,  // message 119
};

class ConnectSequence : public TimedSequence {
public:
    using Done = std::function<void(ConnectOutcome)>;

    static constexpr int kAttempts = 4;
    static constexpr int kAttemptIntervalMs = 1000;

    ConnectSequence(Link& link, Clock& clock) : TimedSequence(clock), m_link(link) {}

    // Refused (port closed 120, download running 124, or already running) without touching any
    // flag. Otherwise clears g_connected and g_paramFrameSeen, sends the first "LDGET" at once
    // and reports through `done` (and Outcome()) when it ends.
    Refusal Start(Done done = {});
    // Stops without reporting; g_connected stays 0.
    void Cancel();

    bool Running() const { return m_running; }
    // Outcome of the last sequence that ended.
    std::optional<ConnectOutcome> Outcome() const { return m_outcome; }

private:
    void SendAttempt();
    void AfterWait();
    void Finish(ConnectOutcome outcome);

    Link& m_link;
    Done m_done;
    bool m_running = false;
    int m_attempts = 0;
    std::optional<ConnectOutcome> m_outcome;
};
