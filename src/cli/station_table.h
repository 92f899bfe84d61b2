#pragma once
// The station's table as text: one row per port (port, state, a progress bar with percent,
// passed and failed counts, the last message), then the totals, controllers per hour and what
// is being written. Every line fits `columns` by display width (a Chinese character takes two),
// so a narrow or resized terminal never wraps it.

#include <QList>
#include <QString>
#include <QStringList>

#include "station/station_supervisor.h"

struct StationTableRow {
    QString port;
    PortStatus status;
};

struct StationTableFooter {
    int passed = 0;
    int failed = 0;
    double elapsedHours = 0;
    QString what;  // "image NAME  sha256 SHORT" or the parameter file
};

// The columns `text` takes on a terminal.
int DisplayWidth(const QString& text);
// `text` cut to at most `columns` display columns.
QString FitToWidth(const QString& text, int columns);

QStringList RenderStationTable(const QList<StationTableRow>& rows,
                               const StationTableFooter& footer, int columns);
