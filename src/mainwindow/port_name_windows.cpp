#include "mainwindow/port_name.h"

QString PortNameForPath(const QString& path) {
    // Every name is opened through the device namespace; the user knows it without.
    const QString space = QStringLiteral("\\\\.\\");
    if (path.startsWith(space) && path.size() > space.size()) {
        return path.mid(space.size());
    }
    return path;
}
