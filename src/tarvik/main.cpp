// tarvik: the controller service tool's window.

#include <QApplication>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

#include "app/console_text.h"
#include "app/process_end.h"
#include "tarvik/display.h"
#include "tarvik/tarvik_app.h"
#include "tarvik/window_options.h"

int main(int argc, char* argv[]) {
    // The options are checked before any window system is needed, so that --help and usage
    // errors work anywhere.
    const WindowOptionsResult parsed = ParseWindowOptions(StartArguments(argc, argv));
    if (!parsed.options) {
        WriteConsoleText(parsed.exitCode == 0 ? stdout : stderr,
                         parsed.exitCode == 0 ? parsed.output : parsed.error);
        return parsed.exitCode;
    }
    if (!parsed.options->screenshotPath.isEmpty() && std::getenv("QT_QPA_PLATFORM") == nullptr) {
        // A screenshot needs no display.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else if (!HasDisplay()) {
        std::fputs(
            "tarvik: no display to show the window on. Start it in a desktop session, "
            "render it with --screenshot FILE, or use tarvik-cli.\n",
            stderr);
        return 1;
    }
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen")) {
        PrepareOffscreenFonts();
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarvik"));
    const int code = CTarvikApp(*parsed.options).InitInstance();
    return EndProcess(code);
}
