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
};

enum class SummaryGrouping { kDay, kStation, kFirmware };

// Counts per outcome for one day, station or firmware image.
struct SummaryRow {
    QString key;  // the day, the station, or the image name and the start of its SHA-256
    qint64 success = 0;
    qint64 failed = 0;
    qint64 cancelled = 0;

    qint64 Total() const { return success + failed + cancelled; }
    bool operator==(const SummaryRow&) const = default;
};
