#include "core/commands/boot_entry_sequence.h"

#include "core/commands/one_shot_commands.h"

Refusal BootEntrySequence::Start(bool imageLoaded, unsigned voltageCalibValue, Done done) {
    if (m_running)
        return Refusal::kAlreadyRunning;
    if (!m_link.IsOpen())
        return Refusal::kPortClosed;
    m_done = std::move(done);
    m_running = true;
    if (!imageLoaded) {
        Finish();
        return Refusal::kNone;
    }
    m_link.Write(BootEntryFrame(voltageCalibValue));
    After(kSettleMs, [this] { Finish(); });
    return Refusal::kNone;
}

void BootEntrySequence::Cancel() {
    if (!m_running)
        return;
    DropPendingSteps();
    m_running = false;
    m_done = nullptr;
}

void BootEntrySequence::Finish() {
    m_running = false;
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done();
}
