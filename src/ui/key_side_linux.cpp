#include <QKeyEvent>

#include "ui/key_state.h"

std::optional<SideKey> NativeKeySide(const QKeyEvent& key) {
    // X11 keysyms Shift_L, Shift_R, Control_L.
    switch (key.nativeVirtualKey()) {
        case 0xFFE1:
            return SideKey::LeftShift;
        case 0xFFE2:
            return SideKey::RightShift;
        case 0xFFE3:
            return SideKey::LeftControl;
        default:
            break;
    }
    // Platforms without native codes.
    return key.nativeVirtualKey() == 0 ? SideWithoutNativeCode(key) : std::nullopt;
}
