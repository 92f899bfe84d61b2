#pragma once
// One CSV line per status frame, shared by the command line's `status` and the chart window's
// recording so that both files read the same. Each value kind has its own column; the columns
// a frame does not carry in its display mode stay empty, so a mode switch keeps one header.

#include <cstdint>
#include <string>

#include "core/protocol/live_status.h"

// The header line, without a line end.
std::string StatusCsvHeader();

// One row, without a line end. `elapsedMs` becomes seconds with three decimals; `displayMode`
// is the mode of the request the frame answered (0 voltage/current, 1 Q/D voltage, 2 Q/D
// current; any other mode fills none of the six).
std::string StatusCsvRow(std::int64_t elapsedMs, const LiveStatus& status, int displayMode);
