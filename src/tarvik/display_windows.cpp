#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <QtGlobal>

#include "tarvik/display.h"

// A Windows session always has its desktop.
bool HasDisplay() {
    return true;
}

// The offscreen platform reads font files from one folder; without it every caption of a
// screenshot is drawn as boxes.
void PrepareOffscreenFonts() {
    if (qEnvironmentVariableIsSet("QT_QPA_FONTDIR")) {
        return;
    }
    wchar_t folder[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    const QString fonts = QString::fromWCharArray(folder, static_cast<int>(length)) + "\\Fonts";
    qputenv("QT_QPA_FONTDIR", fonts.toLocal8Bit());
}

// argv holds the arguments in the ANSI code page, which loses a file name's characters outside
// it; the wide command line keeps them.
QStringList StartArguments(int, char*[]) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    QStringList arguments;
    for (int i = 0; i < count; ++i) {
        arguments << QString::fromWCharArray(wide[i]);
    }
    LocalFree(wide);
    return arguments;
}
