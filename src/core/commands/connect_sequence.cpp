#include "core/commands/connect_sequence.h"

#include "core/protocol/command_frame.h"
#include "core/protocol/link_flags.h"

Refusal ConnectSequence::Start(Done done) {
    if (m_running)
        return Refusal::kAlreadyRunning;
    const Refusal refusal = CheckConnectRefusal(m_link);
    if (refusal != Refusal::kNone)
        return refusal;

    m_done = std::move(done);
    m_running = true;
    m_attempts = 0;
    g_connected = 0;
    g_paramFrameSeen = 0;
    SendAttempt();
    return Refusal::kNone;
}

void ConnectSequence::Cancel() {
    if (!m_running)
        return;
    DropPendingSteps();
    m_running = false;
    m_done = nullptr;
}

void ConnectSequence::SendAttempt() {
    // g_txFrame is shared with the status request; take the template afresh for every attempt.
    CopyFrameWithChecksum(g_readFrame, g_txFrame);
    m_link.Write(g_txFrame);
    After(kAttemptIntervalMs, [this] { AfterWait(); });
}

void ConnectSequence::AfterWait() {
    ++m_attempts;
    // The flag is looked at after every wait, the last one included: a block that arrives in
    // the final second still makes the connect succeed.
    if (g_paramFrameSeen != 0) {
        g_connected = 1;
        Finish(ConnectOutcome::kConnected);
    } else if (m_attempts < kAttempts) {
        SendAttempt();
    } else {
        Finish(ConnectOutcome::kNoResponse);
    }
}

void ConnectSequence::Finish(ConnectOutcome outcome) {
    m_running = false;
    m_outcome = outcome;
    // The callback may start the next sequence at once.
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(outcome);
}
