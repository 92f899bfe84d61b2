// tarvik: the controller service tool's window.

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "tarvik/tarvik_app.h"
#include "tarvik/window_options.h"

int main(int argc, char* argv[]) {
    // A screenshot needs no display: render offscreen unless told otherwise.
    if (WantsScreenshot(argc, argv) && std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tarvik"));

    const WindowOptionsResult parsed = ParseWindowOptions(QApplication::arguments());
    if (!parsed.options) {
        const QByteArray text = (parsed.exitCode == 0 ? parsed.output : parsed.error).toLocal8Bit();
        std::fputs(text.constData(), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    return CTarvikApp(*parsed.options).InitInstance();
}
