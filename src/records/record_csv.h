#pragma once
// The records as CSV, the same from the command line and the records window, so one sheet takes
// either: stored names, local times to the millisecond, fields quoted where they must be.

#include <QList>
#include <QString>
#include <QStringList>

#include "records/operation_record.h"

// The title line's column names.
QStringList RecordCsvColumns();
// One record's fields, in the columns' order, not yet quoted.
QStringList RecordCsvFields(const OperationRecord& record);
// The fields joined into one CSV line, each quoted where it holds a comma, quote or line break.
QString CsvLine(const QStringList& fields);
// The title line and one line per record, each ended by a line break.
QString RecordsCsv(const QList<OperationRecord>& records);
