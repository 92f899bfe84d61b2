#pragma once
// A place where records are kept. Each store holds its own database connection and belongs to
// the thread that opened it (Qt SQL's rule: one connection per thread).

#include <QList>
#include <QString>
#include <functional>
#include <optional>

#include "records/operation_record.h"
#include "records/record_filter.h"

class RecordStore {
public:
    virtual ~RecordStore() = default;

    // Connects, creating the schema on first use or upgrading an older one in place. False with
    // Error() set.
    virtual bool Open() = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;

    // Stores the records in one transaction; a record whose UUID is there already is skipped,
    // so sending one twice keeps one. False (nothing stored) with Error() set.
    virtual bool Insert(const QList<OperationRecord>& records) = 0;
    // Oldest first.
    virtual std::optional<QList<OperationRecord>> Query(const RecordFilter& filter) = 0;
    // Oldest first, one record at a time without holding them all; `row` returns false to
    // stop. False with Error() set when the query failed.
    virtual bool QueryEach(const RecordFilter& filter,
                           const std::function<bool(const OperationRecord&)>& row) = 0;
    // Ordered by key.
    virtual std::optional<QList<SummaryRow>> Summarise(const RecordFilter& filter,
                                                       SummaryGrouping grouping) = 0;

    // Ordered by key.
    virtual std::optional<QList<YieldRow>> Yield(const RecordFilter& filter,
                                                 YieldGrouping grouping) = 0;

    // The last failure, as one line for the user.
    virtual QString Error() const = 0;
    // Whether the last failure was another connection holding the database (it passes).
    virtual bool Busy() const = 0;
};
