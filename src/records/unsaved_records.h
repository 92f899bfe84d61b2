#pragma once
// Records the store could not take before the program had to end (another program held the
// file longer than the program could wait, the disk refused): kept in small files next to the
// store, each written whole, and taken in by the next program that writes there. A record
// taken in twice is still stored once (its UUID), so two programs starting at once may both
// take the same file.

#include <QList>
#include <QString>
#include <QStringList>

#include "records/operation_record.h"

// Writes `records` to a new file next to `storeFile`; its path, or empty when it could not be
// written (the records are then lost, and the caller says so).
QString SaveUnsavedRecords(const QString& storeFile, const QList<OperationRecord>& records);

struct UnsavedRecords {
    QList<OperationRecord> records;
    QStringList files;  // to remove once the records are committed
};
// What earlier runs left next to `storeFile`.
UnsavedRecords LoadUnsavedRecords(const QString& storeFile);
