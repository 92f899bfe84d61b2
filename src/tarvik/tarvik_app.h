#pragma once
// The window program's start-up: the run's language, the main window, and its run (or one
// rendering of it for --screenshot).

#include <QString>
#include <functional>
#include <memory>
#include <utility>

#include "tarvik/demo_port.h"
#include "tarvik/window_options.h"

class CTarvikDlg;
class ProfileSettings;
struct StationWindowOptions;

class CTarvikApp {
public:
    using DemoPortFactory = std::function<std::unique_ptr<DemoPort>()>;

    // `demoPorts` makes --demo's port: the platform's, or the one a test wants to run.
    explicit CTarvikApp(WindowOptions options, DemoPortFactory demoPorts = CreateDemoPort)
        : m_options(std::move(options)), m_demoPorts(std::move(demoPorts)) {}

    // Needs the QApplication; returns the process's exit code.
    int InitInstance();

    // The station window's options: the command line's, else the settings'.
    StationWindowOptions StationOptions(const ProfileSettings& settings) const;

private:
    // --station-window: the station window alone (or its picture).
    int StationWindowRun(const ProfileSettings& settings);
    // Renders the window; with `livePort` (demo mode) after opening it and reading the
    // controller.
    int Screenshot(CTarvikDlg& window, const QString& livePort);
    int SaveScreenshot(CTarvikDlg& window);

    WindowOptions m_options;
    DemoPortFactory m_demoPorts;
};
