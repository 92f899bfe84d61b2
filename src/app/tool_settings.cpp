#include "app/tool_settings.h"

#include <cstddef>

#include "core/protocol/link_flags.h"

std::optional<int> BaudIndexForRate(int rate) {
    for (std::size_t i = 0; i < g_baudRateTable.size(); ++i) {
        if (g_baudRateTable[i] == rate) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

bool StoreBaudRateSelection(ProfileSettings& settings, int index) {
    if (index < 0 || index >= static_cast<int>(g_baudRateTable.size())) {
        return false;
    }
    settings.SetBaudRate(g_baudRateTable[static_cast<std::size_t>(index)]);
    return true;
}

int ApplyCanEnableClick(ProfileSettings& settings, bool checked) {
    g_canEnabled = checked ? 1 : 0;
    const int index = checked ? kCanEnabledBaudIndex : kCanDisabledBaudIndex;
    settings.SetCanEnable(checked ? 1 : 0);
    StoreBaudRateSelection(settings, index);
    return index;
}

ToolSettings RestoreToolSettings(const ProfileSettings& settings) {
    ToolSettings tool;
    tool.baudIndex = BaudIndexForRate(settings.BaudRate());
    // Any non-zero value counts as on, but box 1049 wants exactly 1.
    tool.canEnableChecked = settings.CanEnable() != 0;
    tool.firstGenCableChecked = settings.FirstGenCable() == 1;
    g_canEnabled = tool.canEnableChecked ? 1 : 0;
    return tool;
}
