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
    // Platforms without native codes: take a Shift or Ctrl key as the left one.
    if (key.nativeVirtualKey() == 0) {
        if (key.key() == Qt::Key_Shift) {
            return SideKey::LeftShift;
        }
        if (key.key() == Qt::Key_Control) {
            return SideKey::LeftControl;
        }
    }
    return std::nullopt;
}
