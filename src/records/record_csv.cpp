#include "records/record_csv.h"

#include <QDateTime>

namespace {

QString LocalTime(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toLocalTime().toString(
        QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QString OptionalNumber(const std::optional<qint64>& value) {
    return value ? QString::number(*value) : QString();
}

QString CsvField(const QString& text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
        !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace

QStringList RecordCsvColumns() {
    return {QStringLiteral("uuid"),
            QStringLiteral("started"),
            QStringLiteral("finished"),
            QStringLiteral("station"),
            QStringLiteral("operation"),
            QStringLiteral("source"),
            QStringLiteral("outcome"),
            QStringLiteral("reason"),
            QStringLiteral("unit"),
            QStringLiteral("port"),
            QStringLiteral("baud"),
            QStringLiteral("can"),
            QStringLiteral("image"),
            QStringLiteral("image_size"),
            QStringLiteral("image_sha256"),
            QStringLiteral("bytes_acknowledged"),
            QStringLiteral("check_value"),
            QStringLiteral("software_version"),
            QStringLiteral("hardware_version"),
            QStringLiteral("tool_version")};
}

QStringList RecordCsvFields(const OperationRecord& r) {
    return {r.uuid.toString(QUuid::WithoutBraces),
            LocalTime(r.startedMs),
            LocalTime(r.finishedMs),
            r.station,
            OperationName(r.operation),
            r.source,
            OutcomeName(r.outcome),
            r.reason,
            r.unitId,
            r.port,
            QString::number(r.baud),
            r.can ? QStringLiteral("1") : QStringLiteral("0"),
            r.imageName,
            OptionalNumber(r.imageSize),
            r.imageSha256,
            OptionalNumber(r.bytesAcknowledged),
            r.checkValue,
            r.softwareVersion,
            r.hardwareVersion,
            r.toolVersion};
}

QString CsvLine(const QStringList& fields) {
    QStringList quoted;
    for (const QString& field : fields)
        quoted << CsvField(field);
    return quoted.join(QLatin1Char(','));
}

QString RecordsCsv(const QList<OperationRecord>& records) {
    QString text = CsvLine(RecordCsvColumns()) + QLatin1Char('\n');
    for (const OperationRecord& record : records)
        text += CsvLine(RecordCsvFields(record)) + QLatin1Char('\n');
    return text;
}
