#include "mainwindow/port_name.h"

QString PortNameForPath(const QString& path) {
    // Only a device straight in /dev is listed and typed by its name; a deeper one (a
    // pseudo-terminal) is typed whole.
    const QString folder = QStringLiteral("/dev/");
    if (path.startsWith(folder) && !path.mid(folder.size()).contains(QLatin1Char('/')) &&
        path.size() > folder.size()) {
        return path.mid(folder.size());
    }
    return path;
}
