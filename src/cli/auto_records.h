#pragma once
// The records of an automatic mode: one per controller handled, each with the port, committed
// before the next controller is taken (so a worker killed afterwards cannot lose it).

#include <QString>
#include <memory>

#include "records/operation_record.h"

class Recorder;

struct AutoRecordBase {
    QString records;  // as --records gave it (resolved by RecordsSetting)
    QString outbox;   // with a server (resolved by OutboxSetting)
    QString station;
    QString unitId;
    QString port;
    int baud = 0;
    bool can = false;
};

class AutoRecords {
public:
    explicit AutoRecords(AutoRecordBase base);
    ~AutoRecords();

    // A record of `operation` starting now, with the station's, unit's and port's fields.
    OperationRecord Begin(RecordOperation operation) const;
    // Finishes and commits it (bounded wait).
    void Finish(OperationRecord& record, RecordOutcome outcome, const QString& reason);

private:
    AutoRecordBase m_base;
    std::unique_ptr<Recorder> m_recorder;
};
