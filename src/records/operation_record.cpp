#include "records/operation_record.h"

#include <array>

namespace {

struct OperationNameEntry {
    RecordOperation operation;
    const char* name;
};

constexpr std::array<OperationNameEntry, 8> kOperationNames{{
    {RecordOperation::kRead, "read"},
    {RecordOperation::kWrite, "write"},
    {RecordOperation::kDownload, "download"},
    {RecordOperation::kFactoryRestore, "factory-restore"},
    {RecordOperation::kFactoryStore, "factory-store"},
    {RecordOperation::kCalibrationWrite, "calibration-write"},
    {RecordOperation::kRestart, "restart"},
    {RecordOperation::kRestartCable, "restart-cable"},
}};

constexpr std::array<const char*, 3> kOutcomeNames{"success", "failed", "cancelled"};

}  // namespace

QString OperationName(RecordOperation operation) {
    for (const OperationNameEntry& entry : kOperationNames)
        if (entry.operation == operation)
            return QString::fromLatin1(entry.name);
    return QString();
}

std::optional<RecordOperation> ParseOperation(const QString& name) {
    for (const OperationNameEntry& entry : kOperationNames)
        if (name == QLatin1String(entry.name))
            return entry.operation;
    return std::nullopt;
}

QString OutcomeName(RecordOutcome outcome) {
    return QString::fromLatin1(kOutcomeNames[static_cast<std::size_t>(outcome)]);
}

std::optional<RecordOutcome> ParseOutcome(const QString& name) {
    for (std::size_t i = 0; i < kOutcomeNames.size(); ++i)
        if (name == QLatin1String(kOutcomeNames[i]))
            return static_cast<RecordOutcome>(i);
    return std::nullopt;
}

QString WindowSource() {
    return QStringLiteral("window");
}

QString AutomaticModeSource(int mode) {
    return QStringLiteral("window mode %1").arg(mode);
}

QString CommandLineSource(const QString& command) {
    return QStringLiteral("cli ") + command;
}

QString ToolVersion() {
    return QStringLiteral(TARVIK_VERSION);
}

OperationRecord OperationRecord::Begin(RecordOperation operation, const QString& source) {
    OperationRecord record;
    record.operation = operation;
    record.source = source;
    record.startedMs = NowUtcMs();
    record.finishedMs = record.startedMs;
    return record;
}

void OperationRecord::Finish(RecordOutcome result, const QString& shownReason) {
    outcome = result;
    reason = shownReason;
    finishedMs = NowUtcMs();
}

QString OperationRecord::Day() const {
    return QDateTime::fromMSecsSinceEpoch(startedMs).toLocalTime().date().toString(Qt::ISODate);
}

qint64 NowUtcMs() {
    return QDateTime::currentMSecsSinceEpoch();
}
