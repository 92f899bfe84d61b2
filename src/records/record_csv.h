#pragma once
// The records as CSV, the same from the command line and the records window, so one sheet takes
// either: stored names, local times to the millisecond in ISO 8601 with their offset
// (2026-03-04T10:15:00.250+08:00), fields quoted where they must be, and text typed by people
// that a spreadsheet would take for a formula (=, +, -, @, tab, carriage return first) kept
// text by a leading single quote. Numbers the tool writes stay numbers.

#include <QList>
#include <QString>
#include <QStringList>

#include "records/operation_record.h"

// `ms` (UTC) as local time in ISO 8601 with the offset.
QString IsoLocalTime(qint64 ms);
// `text` kept text in a spreadsheet: a leading ' where it would start a formula.
QString SafeCell(const QString& text);

// The title line's column names.
QStringList RecordCsvColumns();
// One record's fields, in the columns' order, not yet quoted.
QStringList RecordCsvFields(const OperationRecord& record);
// The fields joined into one CSV line, each quoted where it holds a comma, quote or line break.
QString CsvLine(const QStringList& fields);
// The title line and one line per record, each ended by a line break.
QString RecordsCsv(const QList<OperationRecord>& records);
