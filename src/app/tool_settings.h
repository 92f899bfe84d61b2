#pragma once
// The tool's own settings on page 1: the serial baud rate list and the "CAN enable" box, and
// how they are restored at start. The widgets call these with their state and apply the result.

#include <array>
#include <optional>

#include "app/profile_settings.h"

// Baud rates by index of the page-1 list, whose items are these numbers as text.
inline constexpr std::array<int, 4> g_baudRateTable{9600, 19200, 115200, 256000};

// The CAN cable runs at 115200, the serial adapter at 9600.
inline constexpr int kCanEnabledBaudIndex = 2;
inline constexpr int kCanDisabledBaudIndex = 0;

// The list index showing `rate`; none for a rate that is not in the list.
std::optional<int> BaudIndexForRate(int rate);

// A baud rate was picked from the list: stores its rate. An index outside the list (no
// selection) stores nothing and returns false.
bool StoreBaudRateSelection(ProfileSettings& settings, int index);

// The "CAN enable" box was clicked to `checked`: sets g_canEnabled, stores "Int1" and the rate
// of the list item to select, and returns that item's index.
int ApplyCanEnableClick(ProfileSettings& settings, bool checked);

struct ToolSettings {
    std::optional<int> baudIndex;  // none: the list starts without a selection
    bool canEnableChecked = false;
    bool firstGenCableChecked = false;  // main-window box 1049
};

// What the window shows at start; also sets g_canEnabled from "Int1".
ToolSettings RestoreToolSettings(const ProfileSettings& settings);
