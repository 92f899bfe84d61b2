// The main window's key handling: Escape and Enter never end it, and two key sequences reveal
// the service controls that ordinary users do not see. It applies while the focus is in one of
// the main window's own controls; the pages handle their keys themselves.

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>

#include "mainwindow/tarvik_dlg.h"
#include "pages/cpage0.h"
#include "pages/cpage3.h"
#include "ui/key_state.h"

namespace {

// Shown by both sequences.
constexpr std::initializer_list<int> kMainRevealBoth = {1050, 1062, 1053};
constexpr std::initializer_list<int> kPage0Reveal = {1067, 1039};
constexpr std::initializer_list<int> kPage3Reveal = {1050, 1067, 1068, 1066, 1069, 1070, 1071,
                                                     1013, 1018, 1019, 1020, 1021, 1022};
// Shown by the "~" sequence only.
constexpr std::initializer_list<int> kMainRevealTilde = {1059, 1049, 1067, 1065};

}  // namespace

bool CTarvikDlg::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // The throttle label follows the trackbar whenever the trackbar draws itself.
    if (type == QEvent::Paint && watched == Controls().Control(1061)) {
        UpdateThrottleLabel();
    }
    // The key state sees every key, also those swallowed while busy: a Shift released then
    // must not stay down.
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease ||
        type == QEvent::ApplicationDeactivate) {
        m_keys.Observe(event);
    }
    if (FilterInputWhileBusy(watched, event)) {
        return true;
    }
    if (type != QEvent::KeyPress || !watched->isWidgetType()) {
        return TemplateWidget::eventFilter(watched, event);
    }
    auto* target = static_cast<QWidget*>(watched);
    // A key goes to the focus widget first and may then travel up to its parents; look at it
    // once, where it starts.
    const QWidget* focus = QApplication::focusWidget();
    if ((focus != nullptr && focus != target) || !IsMainWindowControl(target)) {
        return TemplateWidget::eventFilter(watched, event);
    }
    if (FilterKey(*static_cast<QKeyEvent*>(event))) {
        return true;
    }
    return TemplateWidget::eventFilter(watched, event);
}

bool CTarvikDlg::IsMainWindowControl(const QWidget* widget) const {
    if (widget != this && !isAncestorOf(widget)) {
        return false;
    }
    for (int index = 0; index < 5; ++index) {
        const TemplateWidget& page = PageAt(index);
        if (widget == &page || page.isAncestorOf(widget)) {
            return false;
        }
    }
    return true;
}

bool CTarvikDlg::FilterKey(const QKeyEvent& key) {
    if (key.key() == Qt::Key_Escape) {
        return true;
    }
    if (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) {
        if (m_keys.IsDown(SideKey::LeftShift) && m_keys.IsDown(SideKey::LeftControl)) {
            Controls().Show({1050});
        } else {
            OnParamWriteClicked();
        }
        return true;
    }
    if (key.key() == Qt::Key_F12) {
        if (m_keys.IsDown(SideKey::LeftShift) && m_keys.IsDown(SideKey::RightShift)) {
            RevealServiceControls(false);
            return true;
        }
        return false;
    }
    const bool shift = m_keys.IsDown(SideKey::LeftShift) || m_keys.IsDown(SideKey::RightShift);
    if (!shift || Controls().Text(1022) != QStringLiteral("~")) {
        return false;
    }
    Controls().SetText(1022, QStringLiteral("0"));
    RevealServiceControls(true);
    if (auto* cable = Item<QAbstractButton>(1049); cable != nullptr && cable->isChecked()) {
        OnCanCableClicked();
    }
    return true;
}

void CTarvikDlg::RevealServiceControls(bool tildeSequence) {
    Controls().Show(kMainRevealBoth);
    Page0().Controls().Show(kPage0Reveal);
    Page3().Controls().Show(kPage3Reveal);
    if (tildeSequence) {
        Controls().Show(kMainRevealTilde);
    }
}

bool CTarvikDlg::FilterInputWhileBusy(QObject* watched, QEvent* event) {
    if (!m_busy) {
        return false;
    }
    // A shortcut's event goes to the shortcut object; the window it belongs to counts.
    QObject* target = watched->isWidgetType() ? watched : watched->parent();
    if (target == nullptr || !target->isWidgetType()) {
        return false;
    }
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            // While a command runs the window behaves as if asleep: nothing the user does
            // starts or changes anything. Other windows (a message box) stay usable.
            auto* widget = static_cast<QWidget*>(target);
            return widget == this || isAncestorOf(widget);
        }
        default:
            return false;
    }
}
