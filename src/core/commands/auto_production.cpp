#include "core/commands/auto_production.h"

#include "core/protocol/link_flags.h"

std::uint16_t g_autoHoldoff = 0;
std::uint16_t g_autoCompletionWait = 0;
int g_autoRunStarted = 0;

namespace {
constexpr std::uint16_t kCompletionWaitTicks = 5;
constexpr int kParameterWrite = static_cast<int>(AutoMode::kParameterWrite);
constexpr int kProgramDownload = static_cast<int>(AutoMode::kProgramDownload);
constexpr int kParameterRead = static_cast<int>(AutoMode::kParameterRead);
}  // namespace

AutoModeStep StepAutoModes(int mode, bool downloadRunning,
                           const std::function<int()>& readAutoDelay) {
    if (g_autoHoldoff > 0) {
        --g_autoHoldoff;
        if (mode == kProgramDownload)
            g_announceSeen = 0;
    }

    // A controller restarts into its application when its transfer ends and announces itself
    // then, possibly before this tick has noticed the end and started the hold-off: that is the
    // controller just programmed, not the next one.
    if (g_announceSeen == 1 && mode == kProgramDownload && g_autoRunStarted == 1)
        g_announceSeen = 0;

    if (g_announceSeen == 1) {
        if (mode == kParameterWrite && g_autoHoldoff == 0) {
            g_announceSeen = 0;
            return {AutoAction::kParamWrite, {}};
        }
        if (mode == kProgramDownload) {
            g_announceSeen = 0;
            g_autoCompletionWait = kCompletionWaitTicks;
            g_autoRunStarted = 1;
            return {AutoAction::kDownload, sound_files::kStartDownload};
        }
        if (mode == kParameterRead) {
            g_announceSeen = 0;
            return {AutoAction::kConnectAndRead, sound_files::kReadSuccess};
        }
        return {};
    }

    if (g_autoCompletionWait > 0)
        --g_autoCompletionWait;
    if (mode == kProgramDownload && g_autoCompletionWait == 0 && !downloadRunning &&
        g_autoRunStarted == 1) {
        g_autoRunStarted = 0;
        const int delay = readAutoDelay ? readAutoDelay() : 0;
        g_autoHoldoff = static_cast<std::uint16_t>(delay);
        return {AutoAction::kNone, sound_files::kDownloadSuccess};
    }
    return {};
}

std::string_view WriteOutcomeSound(bool acknowledged) {
    return acknowledged ? sound_files::kWriteSuccess : sound_files::kWriteError;
}

void ResetAutoModes() {
    g_autoHoldoff = 0;
    g_autoCompletionWait = 0;
    g_autoRunStarted = 0;
}
