#pragma once
// The automatic production modes, stepped once per 250 ms tick after the tick's other work.
// They react to the announcement a newly connected controller sends (g_announceSeen).

#include <cstdint>
#include <functional>
#include <string_view>

// Selections of the download mode combo.
enum class AutoMode : int {
    kNone = 0,             // the trigger stays pending
    kParameterWrite = 1,   // write the parameters; the write reports by sound
    kProgramDownload = 2,  // download the program
    kParameterRead = 3,    // connect and read
};

enum class AutoAction { kNone, kParamWrite, kDownload, kConnectAndRead };

namespace sound_files {
inline constexpr std::string_view kStartDownload = "start_download.wav";
inline constexpr std::string_view kDownloadSuccess = "download_success.wav";
inline constexpr std::string_view kReadSuccess = "read_success.wav";
inline constexpr std::string_view kWriteSuccess = "success.wav";
inline constexpr std::string_view kWriteError = "error.wav";
}  // namespace sound_files

struct AutoModeStep {
    // To run now, as if its button had been pressed (with all its refusals and messages).
    AutoAction m_action = AutoAction::kNone;
    // To play once the action has run to its end whatever its outcome, a refusal and its message
    // included (at once when there is no action); empty for none. For a download the end is that
    // of its start, when the sender takes over, not that of the transfer.
    std::string_view m_sound;

    bool operator==(const AutoModeStep&) const = default;
};

// Ticks left of the hold-off after an automatic download; announcements meanwhile are dropped.
extern std::uint16_t g_autoHoldoff;
// Ticks to wait after an automatic download start before looking for its end.
extern std::uint16_t g_autoCompletionWait;
// 1 from an automatic download start until its end has been noticed.
extern int g_autoRunStarted;

// One tick. `mode` is the combo's current selection; `downloadRunning` the sender's m_busy.
// `readAutoDelay` is called only when a download's end is noticed: it reads the window's
// controls into its fields and returns m_autoDelay (ticks), whose low 16 bits become the hold-off.
AutoModeStep StepAutoModes(int mode, bool downloadRunning,
                           const std::function<int()>& readAutoDelay);

// The sound automatic mode 1 plays for the write's outcome.
std::string_view WriteOutcomeSound(bool acknowledged);

// Back to start-up values (tests).
void ResetAutoModes();
