#include "tarvik/tarvik_app.h"

#include <QApplication>
#include <QTabWidget>
#include <cstdio>

#include "app/language_decision.h"
#include "app/profile_settings.h"
#include "mainwindow/tarvik_dlg.h"
#include "ui/dialog_units.h"
#include "ui/key_state.h"

int CTarvikApp::InitInstance() {
    ProfileSettings settings;
    if (m_options.language) {
        SetUiLanguage(*m_options.language);
    } else {
        ApplyStartupLanguage(settings, CurrentSystemLanguage());
    }
    // Message boxes and menus in the same face as the dialogs.
    QApplication::setFont(DialogFont("MS Shell Dlg", 9));

    NativeKeyState keys;
    CTarvikDlg window(settings, keys);
    window.OnInitDialog();
    if (!m_options.screenshotPath.isEmpty()) {
        return Screenshot(window);
    }
    window.show();
    return QApplication::exec();
}

int CTarvikApp::Screenshot(CTarvikDlg& window) {
    window.Item<QTabWidget>(1034)->setCurrentIndex(m_options.screenshotTab);
    if (m_options.unfold) {
        window.OnPanelToggleClicked();
    }
    if (m_options.reveal) {
        window.RevealServiceControls(true);
    }
    window.show();
    QApplication::processEvents();
    if (!window.grab().save(m_options.screenshotPath, "PNG")) {
        std::fprintf(stderr, "Cannot write the screenshot to %s.\n",
                     qPrintable(m_options.screenshotPath));
        return 3;
    }
    return 0;
}
