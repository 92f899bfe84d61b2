#pragma once
// Where the window program reaches the production views: one call each.

#include <QString>

#include "production/station_window.h"

class QWidget;

// Opens the station window (a window of its own, deleted when closed) and returns it.
StationWindow* OpenStationWindow(QWidget* parent, StationWindowOptions options);

// Renders `widget` as it stands to a PNG file (after letting its layout settle). False when the
// file could not be written.
bool SaveWidgetPicture(QWidget& widget, const QString& path);

// `tarvik --station-window --screenshot FILE`: the station window with these options, not
// started, rendered to FILE. 0, or 1 after a message on stderr.
int StationWindowScreenshot(StationWindowOptions options, const QString& path);
