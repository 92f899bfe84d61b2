#include "records/record_csv.h"

#include <QDateTime>
#include <limits>

QString IsoLocalTime(qint64 ms) {
    // With the offset, so that a sheet from two time zones still orders by the instant. The
    // zone's offset is looked up once per quarter hour (every zone's changes fall on one), as
    // a long listing's neighbouring rows mostly share it.
    constexpr qint64 kQuarterMs = 15 * 60 * 1000;
    thread_local qint64 cachedQuarter = std::numeric_limits<qint64>::min();
    thread_local int cachedOffset = 0;
    const qint64 quarter = ms >= 0 ? ms / kQuarterMs : (ms - kQuarterMs + 1) / kQuarterMs;
    if (quarter != cachedQuarter) {
        cachedQuarter = quarter;
        cachedOffset =
            QDateTime::fromMSecsSinceEpoch(quarter * kQuarterMs).toLocalTime().offsetFromUtc();
    }
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, cachedOffset)
        .toString(Qt::ISODateWithMs);
}

QString SafeCell(const QString& text) {
    // A spreadsheet takes a cell that starts like this for a formula: names and messages are
    // typed by people, so they are kept text.
    if (text.isEmpty())
        return text;
    const QChar first = text.front();
    if (first == QLatin1Char('=') || first == QLatin1Char('+') || first == QLatin1Char('-') ||
        first == QLatin1Char('@') || first == QLatin1Char('\t') || first == QLatin1Char('\r'))
        return QLatin1Char('\'') + text;
    return text;
}

namespace {

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
            IsoLocalTime(r.startedMs),
            IsoLocalTime(r.finishedMs),
            SafeCell(r.station),
            OperationName(r.operation),
            SafeCell(r.source),
            OutcomeName(r.outcome),
            SafeCell(r.reason),
            SafeCell(r.unitId),
            SafeCell(r.port),
            QString::number(r.baud),
            r.can ? QStringLiteral("1") : QStringLiteral("0"),
            SafeCell(r.imageName),
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
