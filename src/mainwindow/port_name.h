#pragma once
// The name a port is recorded under: as the user sees it in the list and types it, not the
// device path the window opened ("COM5", not "\\.\COM5"; "ttyUSB0", not "/dev/ttyUSB0"), so that
// the window and the command line name one port one way.

#include <QString>

// The inverse of PortPathForName for the paths it makes; any other path stays as it is.
QString PortNameForPath(const QString& path);
