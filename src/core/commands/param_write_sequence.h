#pragma once
// Parameter write: the seven 'P' frames 100 ms apart, in up to two rounds, until the controller
// acknowledges with 'PN'.

#include <functional>
#include <optional>

#include "core/commands/clock.h"
#include "core/commands/link.h"
#include "core/commands/refusal.h"
#include "core/commands/timed_sequence.h"
#include "core/protocol/command_frame.h"

enum class WriteOutcome {
    kAcknowledged,     // message 121, or "success.wav" in automatic mode 1
    kNotAcknowledged,  // message 122, or "error.wav"
    kNotSent,          // the pages could not be read: nothing went out
};

class ParamWriteSequence : public TimedSequence {
public:
    // Encodes block n (1..7) into its write frame and returns that frame (unsealed is fine).
    using EncodeBlock = std::function<CommandFrame(int block)>;
    using Done = std::function<void(WriteOutcome)>;

    static constexpr int kBlocks = 7;
    static constexpr int kRounds = 2;
    static constexpr int kTickWaitMs = 20;
    static constexpr int kTickWaitSteps = 31;
    static constexpr int kRoundStartMs = 100;
    static constexpr int kBlockIntervalMs = 100;
    static constexpr int kActivityPollMs = 1;
    static constexpr int kActivityPolls = 201;
    static constexpr int kRoundEndMs = 200;

    ParamWriteSequence(Link& link, Clock& clock) : TimedSequence(clock), m_link(link) {}

    // Refusals as CheckParamWriteRefusal gives them for another tab, or kAlreadyRunning; a refused
    // write touches no flag. The window asks CheckParamWriteRefusal(link, displayPageShown) first,
    // reads the pages only when that gives kNone, and then starts. `exchangeSucceeded` says that
    // every page was read into its fields: when false nothing is sent, g_writeAcknowledged keeps
    // its value, and kNotSent is reported at once, before Start returns. Otherwise
    // g_writeAcknowledged goes to 0 and the outcome comes through `done` and Outcome().
    Refusal Start(bool exchangeSucceeded, EncodeBlock encode, Done done = {});
    // Stops without reporting; g_writeAcknowledged keeps whatever value it has.
    void Cancel();

    bool Running() const { return m_running; }
    std::optional<WriteOutcome> Outcome() const { return m_outcome; }

private:
    void WaitForTick();
    void BeginRound();
    void SendBlock(int block);
    void PollActivity();
    void EndRound();
    void Finish(WriteOutcome outcome);

    Link& m_link;
    EncodeBlock m_encode;
    Done m_done;
    bool m_running = false;
    int m_steps = 0;
    int m_round = 0;
    std::optional<WriteOutcome> m_outcome;
};
