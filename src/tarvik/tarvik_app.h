#pragma once
// The window program's start-up: the run's language, the main window, and its run (or one
// rendering of it for --screenshot).

#include <QString>
#include <utility>

#include "tarvik/window_options.h"

class CTarvikDlg;

class CTarvikApp {
public:
    explicit CTarvikApp(WindowOptions options) : m_options(std::move(options)) {}

    // Needs the QApplication; returns the process's exit code.
    int InitInstance();

private:
    // Renders the window; with `livePort` (demo mode) after opening it and reading the
    // controller.
    int Screenshot(CTarvikDlg& window, const QString& livePort);
    int SaveScreenshot(CTarvikDlg& window);

    WindowOptions m_options;
};
