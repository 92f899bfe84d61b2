#pragma once
// What a listing or a summary of records asks for.

#include <QString>
#include <QtGlobal>
#include <optional>

#include "records/operation_record.h"

struct RecordFilter {
    std::optional<qint64> sinceMs;  // started at or after (UTC ms)
    std::optional<qint64> untilMs;  // started before (UTC ms)
    QString station;                // empty: any
    std::optional<RecordOperation> operation;
    std::optional<RecordOutcome> outcome;
    QString unitId;  // empty: any
    // Listings only: the newest this many of the matching records (still oldest first).
    std::optional<int> newest;
};

// Days and hours are the reader's: counted in this program's local time from the records' UTC
// start times, the same rule as --since/--until and the listings' times.
enum class SummaryGrouping { kDay, kStation, kFirmware, kHour, kMessage, kPort };

// Counts per outcome for one day, hour, station, firmware image, message or port.
struct SummaryRow {
    // The day (yyyy-MM-dd), the hour (yyyy-MM-dd HH:00), the station, the image name and the
    // start of its SHA-256, the reason, or the port.
    QString key;
    qint64 success = 0;
    qint64 failed = 0;
    qint64 cancelled = 0;

    qint64 Total() const { return success + failed + cancelled; }
    bool operator==(const SummaryRow&) const = default;
};

enum class YieldGrouping { kStation, kDay };

// First-pass yield for one station or day: of the units seen (a unit id on a station on a day,
// the reader's local day), how many passed their first attempt of that day. Records without a
// unit id are not counted.
struct YieldRow {
    QString key;  // the station, or the day (yyyy-MM-dd)
    qint64 units = 0;
    qint64 firstPassed = 0;

    double Yield() const { return units == 0 ? 0.0 : static_cast<double>(firstPassed) / units; }
    bool operator==(const YieldRow&) const = default;
};
