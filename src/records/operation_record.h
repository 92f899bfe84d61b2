#pragma once
// One operation on a controller as it ended: what, where, when, and the outcome the user saw.
// A plain value: made on the thread that ran the operation, handed whole to the recorder.

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QUuid>
#include <QtGlobal>
#include <optional>

enum class RecordOperation {
    kRead,
    kWrite,
    kDownload,
    kFactoryRestore,
    kFactoryStore,
    kCalibrationWrite,
    kRestart,
    kRestartCable,
};

enum class RecordOutcome { kSuccess, kFailed, kCancelled };

// The names stored and accepted on the command line: "read", "factory-restore", "success"...
QString OperationName(RecordOperation operation);
std::optional<RecordOperation> ParseOperation(const QString& name);
QString OutcomeName(RecordOutcome outcome);
std::optional<RecordOutcome> ParseOutcome(const QString& name);

// Where an operation was started from.
QString WindowSource();
QString AutomaticModeSource(int mode);  // 1, 2 or 3
QString CommandLineSource(const QString& command);

// This build's version, as the About box and the package give it.
QString ToolVersion();

struct OperationRecord {
    // Made with the record, so that a record forwarded twice is still one record.
    QUuid uuid = QUuid::createUuid();
    RecordOperation operation = RecordOperation::kRead;
    QString source;
    RecordOutcome outcome = RecordOutcome::kFailed;
    QString reason;         // exactly as the user was shown it; empty when nothing was said
    qint64 startedMs = 0;   // UTC, milliseconds since the epoch
    qint64 finishedMs = 0;  // UTC, milliseconds since the epoch
    QString station;
    QString toolVersion = ToolVersion();
    QString port;
    int baud = 0;
    bool can = false;
    // Downloads.
    QString imageName;
    std::optional<qint64> imageSize;
    QString imageSha256;  // lower-case hex
    std::optional<qint64> bytesAcknowledged;
    // Reads and writes.
    QString checkValue;  // as the window shows it
    QString softwareVersion;
    QString hardwareVersion;
    QString unitId;

    // A record of `operation` started now.
    static OperationRecord Begin(RecordOperation operation, const QString& source);
    // Sets the outcome, the reason and the finishing time (now).
    void Finish(RecordOutcome result, const QString& shownReason);

    // The station's calendar day the operation started on, "yyyy-MM-dd" in local time.
    QString Day() const;

    bool operator==(const OperationRecord&) const = default;
};

Q_DECLARE_METATYPE(OperationRecord)

// Milliseconds since the epoch, now.
qint64 NowUtcMs();
