#include <QKeyEvent>

#include "ui/key_state.h"

std::optional<SideKey> NativeKeySide(const QKeyEvent& key) {
    // Scan codes: 0x2A left Shift, 0x36 right Shift, 0x1D Ctrl (the right one is extended, and
    // Qt passes the extension on as 0x11D).
    switch (key.nativeScanCode()) {
        case 0x2A:
            return SideKey::LeftShift;
        case 0x36:
            return SideKey::RightShift;
        case 0x1D:
            return SideKey::LeftControl;
        default:
            break;
    }
    // Synthesised events (tests, input methods) carry no scan code.
    return key.nativeScanCode() == 0 ? SideWithoutNativeCode(key) : std::nullopt;
}
