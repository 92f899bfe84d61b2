#include "ui/key_state.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <optional>

namespace {

std::optional<SideKey> SideOf(const QKeyEvent& key) {
#ifdef Q_OS_WIN
    // Scan codes: 0x2A left Shift, 0x36 right Shift, 0x1D Ctrl (the right one is extended).
    switch (key.nativeScanCode()) {
        case 0x2A:
            return SideKey::LeftShift;
        case 0x36:
            return SideKey::RightShift;
        case 0x1D:
            return SideKey::LeftControl;
        default:
            return std::nullopt;
    }
#else
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
#endif
}

}  // namespace

NativeKeyState::NativeKeyState(QObject* parent) : QObject(parent) {
    QCoreApplication::instance()->installEventFilter(this);
}

bool NativeKeyState::IsDown(SideKey key) const {
    return m_down[static_cast<int>(key)];
}

void NativeKeyState::Observe(QEvent* event) {
    if (event->type() == QEvent::ApplicationDeactivate) {
        // Releases while another program has the keyboard never reach us.
        m_down[0] = m_down[1] = m_down[2] = false;
        return;
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease) {
        return;
    }
    const auto* key = static_cast<QKeyEvent*>(event);
    // Auto-repeat sends release and press pairs while the key stays down.
    if (event->type() == QEvent::KeyRelease && key->isAutoRepeat()) {
        return;
    }
    if (const std::optional<SideKey> side = SideOf(*key)) {
        m_down[static_cast<int>(*side)] = event->type() == QEvent::KeyPress;
    }
}

bool NativeKeyState::eventFilter(QObject* watched, QEvent* event) {
    Observe(event);
    return QObject::eventFilter(watched, event);
}
