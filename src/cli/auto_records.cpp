#include "cli/auto_records.h"

#include <QCoreApplication>

#include "cli/cli_texts.h"
#include "records/recorder.h"

namespace {
// Local commits take milliseconds; a server that hangs must not hold the next controller up.
constexpr int kFlushTimeoutMs = 3000;
}  // namespace

AutoRecords::AutoRecords(AutoRecordBase base) : m_base(std::move(base)) {
    const RecordsLocationResult where = ParseRecordsLocation(m_base.records);
    if (!where.location) {
        PrintNotice(Text(cli_text::kRecordsRefused).arg(where.error));
        return;
    }
    RecorderOptions options;
    options.location = *where.location;
    options.outboxFile = m_base.outbox;
    m_recorder = std::make_unique<Recorder>(options);
    QObject::connect(m_recorder.get(), &Recorder::failed, [](const QString& message) {
        PrintNotice(Text(cli_text::kRecordsFailed).arg(message));
    });
}

AutoRecords::~AutoRecords() {
    if (m_recorder) {
        m_recorder->Flush(kFlushTimeoutMs);
        QCoreApplication::sendPostedEvents(m_recorder.get());
    }
}

OperationRecord AutoRecords::Begin(RecordOperation operation) const {
    OperationRecord record = OperationRecord::Begin(operation, CommandLineSource("auto"));
    record.station = m_base.station;
    record.unitId = m_base.unitId;
    record.port = m_base.port;
    record.baud = m_base.baud;
    record.can = m_base.can;
    return record;
}

void AutoRecords::Finish(OperationRecord& record, RecordOutcome outcome, const QString& reason) {
    record.Finish(outcome, reason);
    if (!m_recorder)
        return;
    m_recorder->Submit(record);
    m_recorder->Flush(kFlushTimeoutMs);
}
