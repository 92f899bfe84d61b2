#include "production/production_views.h"

#include <QApplication>
#include <QPixmap>
#include <cstdio>

StationWindow* OpenStationWindow(QWidget* parent, StationWindowOptions options) {
    auto* window = new StationWindow(std::move(options), parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

bool SaveWidgetPicture(QWidget& widget, const QString& path) {
    if (!widget.isVisible())
        widget.show();
    // Layouts and the tiles' fitted fonts settle over a few turns of the event loop.
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents();
    return widget.grab().save(path, "PNG");
}

int StationWindowScreenshot(StationWindowOptions options, const QString& path) {
    StationWindow window(std::move(options));
    window.setAttribute(Qt::WA_DontShowOnScreen);
    if (!SaveWidgetPicture(window, path)) {
        std::fprintf(stderr, "Cannot write the screenshot to %s.\n", qPrintable(path));
        return 1;
    }
    return 0;
}
