#include "core/commands/param_write_sequence.h"

#include "core/protocol/link_flags.h"

Refusal ParamWriteSequence::Start(bool exchangeSucceeded, EncodeBlock encode, Done done) {
    if (m_running)
        return Refusal::kAlreadyRunning;
    const Refusal refusal = CheckParamWriteRefusal(m_link);
    if (refusal != Refusal::kNone)
        return refusal;

    m_done = std::move(done);
    m_running = true;
    if (!exchangeSucceeded || !encode) {
        // Fields left over from an invalid page must never reach the controller.
        Finish(WriteOutcome::kNotSent);
        return Refusal::kNone;
    }
    m_encode = std::move(encode);
    m_round = 0;
    m_steps = 0;
    g_writeAcknowledged = 0;
    WaitForTick();
    return Refusal::kNone;
}

void ParamWriteSequence::Cancel() {
    if (!m_running)
        return;
    DropPendingSteps();
    m_running = false;
    m_done = nullptr;
    m_encode = nullptr;
}

void ParamWriteSequence::WaitForTick() {
    // A request the last tick sent may still be answered; the tick is suspended meanwhile, so
    // this normally runs all 31 steps.
    if (g_statusRequestSent == 1 && m_steps < kTickWaitSteps) {
        ++m_steps;
        After(kTickWaitMs, [this] { WaitForTick(); });
        return;
    }
    BeginRound();
}

void ParamWriteSequence::BeginRound() {
    ++m_round;
    g_rxActivity = 0;
    After(kRoundStartMs, [this] { SendBlock(1); });
}

void ParamWriteSequence::SendBlock(int block) {
    // Encoded just before it goes out, so the frame holds the fields as they are now.
    CopyFrameWithChecksum(m_encode(block), g_txFrame);
    m_link.Write(g_txFrame);
    if (block < kBlocks) {
        After(kBlockIntervalMs, [this, block] { SendBlock(block + 1); });
        return;
    }
    m_steps = 0;
    PollActivity();
}

void ParamWriteSequence::PollActivity() {
    if (g_rxActivity == 0 && m_steps < kActivityPolls) {
        ++m_steps;
        After(kActivityPollMs, [this] { PollActivity(); });
        return;
    }
    After(kRoundEndMs, [this] { EndRound(); });
}

void ParamWriteSequence::EndRound() {
    if (m_round < kRounds && g_writeAcknowledged != 1) {
        BeginRound();
        return;
    }
    Finish(g_writeAcknowledged == 1 ? WriteOutcome::kAcknowledged : WriteOutcome::kNotAcknowledged);
}

void ParamWriteSequence::Finish(WriteOutcome outcome) {
    m_running = false;
    m_outcome = outcome;
    m_encode = nullptr;
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(outcome);
}
