#include "ui/key_state.h"

#include <QCoreApplication>
#include <QKeyEvent>

std::optional<SideKey> SideWithoutNativeCode(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Shift) {
        return SideKey::LeftShift;
    }
    if (key.key() == Qt::Key_Control) {
        return SideKey::LeftControl;
    }
    return std::nullopt;
}

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
    if (const std::optional<SideKey> side = NativeKeySide(*key)) {
        m_down[static_cast<int>(*side)] = event->type() == QEvent::KeyPress;
    }
}

bool NativeKeyState::eventFilter(QObject* watched, QEvent* event) {
    Observe(event);
    return QObject::eventFilter(watched, event);
}
