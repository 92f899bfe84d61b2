// records: the production records as a table, CSV or JSON, and their counts per outcome.

#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "cli/command_record.h"
#include "records/record_csv.h"
#include "records/recorder.h"

namespace {

// Long enough for a first connection to a distant server and a large summary.
constexpr int kAnswerTimeoutMs = 60000;

const QStringList kFormats{"table", "csv", "json"};
const QStringList kGroupings{"day", "station", "firmware"};

// The start of `text`'s day in local time as UTC ms; none when it is no date.
std::optional<qint64> DayStart(const QString& text, int addDays = 0) {
    const QDate date = text == QLatin1String("today") ? QDate::currentDate()
                                                      : QDate::fromString(text, Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return date.addDays(addDays).startOfDay().toMSecsSinceEpoch();
}

QString LocalTime(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toLocalTime().toString("yyyy-MM-dd HH:mm:ss.zzz");
}

QJsonObject Json(const OperationRecord& r) {
    QJsonObject o;
    o["uuid"] = r.uuid.toString(QUuid::WithoutBraces);
    o["started_ms"] = r.startedMs;
    o["finished_ms"] = r.finishedMs;
    o["station"] = r.station;
    o["operation"] = OperationName(r.operation);
    o["source"] = r.source;
    o["outcome"] = OutcomeName(r.outcome);
    o["reason"] = r.reason;
    o["unit"] = r.unitId;
    o["port"] = r.port;
    o["baud"] = r.baud;
    o["can"] = r.can;
    o["image"] = r.imageName;
    o["image_size"] = r.imageSize ? QJsonValue(*r.imageSize) : QJsonValue();
    o["image_sha256"] = r.imageSha256;
    o["bytes_acknowledged"] = r.bytesAcknowledged ? QJsonValue(*r.bytesAcknowledged) : QJsonValue();
    o["check_value"] = r.checkValue;
    o["software_version"] = r.softwareVersion;
    o["hardware_version"] = r.hardwareVersion;
    o["tool_version"] = r.toolVersion;
    return o;
}

// Columns padded to their widest cell; the last one (the reason) is left as it is.
void PrintTable(const QStringList& header, const QList<QStringList>& rows) {
    QList<qsizetype> widths;
    for (const QString& h : header)
        widths << h.size();
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    const auto line = [&widths](const QStringList& cells) {
        QString text;
        for (qsizetype i = 0; i < cells.size(); ++i)
            text += i + 1 == cells.size() ? cells[i] : cells[i].leftJustified(widths[i] + 2);
        return text;
    };
    PrintOut(line(header));
    for (const QStringList& row : rows)
        PrintOut(line(row));
}

void PrintRecords(const QList<OperationRecord>& records, const QString& format) {
    if (format == "json") {
        QJsonArray array;
        for (const OperationRecord& r : records)
            array.append(Json(r));
        PrintOut(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
        return;
    }
    if (format == "csv") {
        PrintOut(RecordsCsv(records).chopped(1));
        return;
    }
    if (records.isEmpty()) {
        PrintError(Text(cli_text::kNoRecords));
        return;
    }
    QList<QStringList> rows;
    for (const OperationRecord& r : records) {
        const QString what = r.operation == RecordOperation::kDownload ? r.imageName : r.checkValue;
        rows << QStringList{LocalTime(r.startedMs).left(19),     r.station,
                            OperationName(r.operation),          OutcomeName(r.outcome),
                            r.unitId.isEmpty() ? "-" : r.unitId, what.isEmpty() ? "-" : what,
                            r.reason.section('\n', 0, 0)};
    }
    PrintTable({"started", "station", "operation", "outcome", "unit", "image/check", "reason"},
               rows);
}

void PrintSummary(const QList<SummaryRow>& rows, const QString& by, const QString& format) {
    const QStringList header{by, "success", "failed", "cancelled", "total"};
    QList<QStringList> cells;
    for (const SummaryRow& r : rows) {
        cells << QStringList{r.key.isEmpty() ? "-" : r.key, QString::number(r.success),
                             QString::number(r.failed), QString::number(r.cancelled),
                             QString::number(r.Total())};
    }
    if (format == "json") {
        QJsonArray array;
        for (const SummaryRow& r : rows) {
            array.append(QJsonObject{{by, r.key},
                                     {"success", r.success},
                                     {"failed", r.failed},
                                     {"cancelled", r.cancelled},
                                     {"total", r.Total()}});
        }
        PrintOut(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
    } else if (format == "csv") {
        PrintOut(CsvLine(header));
        for (const QStringList& row : cells)
            PrintOut(CsvLine(row));
    } else {
        PrintTable(header, cells);
    }
}

}  // namespace

int RunRecords(const QStringList& arguments) {
    const bool summary = arguments.size() > 1 && arguments[1] == QLatin1String("summary");
    QStringList rest = arguments;
    if (summary)
        rest.removeAt(1);
    CommandOptions options(summary ? "records summary" : "records",
                           summary ? "Counts the production records per outcome, by day, station "
                                     "or firmware image."
                                   : "Lists the production records, oldest first.",
                           LinkUse::kNone);
    QCommandLineParser& parser = options.Parser();
    options.AddRecordOptions(false);
    parser.addOption({"since", "From this day on (yyyy-MM-dd or today).", "date"});
    parser.addOption({"until", "Up to and including this day (yyyy-MM-dd or today).", "date"});
    parser.addOption({"station", "Only this station.", "name"});
    parser.addOption({"operation",
                      "Only this operation: read, write, download, factory-restore, "
                      "factory-store, calibration-write, restart, restart-cable.",
                      "operation"});
    parser.addOption({"outcome", "Only this outcome: success, failed, cancelled.", "outcome"});
    parser.addOption({"unit", "Only this unit id.", "id"});
    parser.addOption({"format", "table, csv or json (default table).", "format", "table"});
    if (summary)
        parser.addOption({"by", "day, station or firmware (default day).", "grouping", "day"});
    if (auto code = options.Parse(rest))
        return *code;
    const auto usage = [&parser](const QString& message) {
        PrintError(message);
        PrintError(parser.helpText().trimmed());
        return kExitUsage;
    };
    if (!parser.positionalArguments().isEmpty())
        return usage(Text(cli_text::kUnknownCommand).arg(parser.positionalArguments().join(' ')));

    RecordFilter filter;
    if (parser.isSet("since")) {
        filter.sinceMs = DayStart(parser.value("since"));
        if (!filter.sinceMs)
            return usage(Text(cli_text::kBadDate).arg("--since"));
    }
    if (parser.isSet("until")) {
        filter.untilMs = DayStart(parser.value("until"), 1);
        if (!filter.untilMs)
            return usage(Text(cli_text::kBadDate).arg("--until"));
    }
    filter.station = parser.value("station");
    filter.unitId = parser.value("unit");
    if (parser.isSet("operation")) {
        filter.operation = ParseOperation(parser.value("operation"));
        if (!filter.operation) {
            return usage(Text(cli_text::kBadChoice)
                             .arg("--operation",
                                  "read, write, download, factory-restore, "
                                  "factory-store, calibration-write, restart, "
                                  "restart-cable"));
        }
    }
    if (parser.isSet("outcome")) {
        filter.outcome = ParseOutcome(parser.value("outcome"));
        if (!filter.outcome)
            return usage(Text(cli_text::kBadChoice).arg("--outcome", "success, failed, cancelled"));
    }
    const QString format = parser.value("format");
    if (!kFormats.contains(format))
        return usage(Text(cli_text::kBadChoice).arg("--format", kFormats.join(", ")));
    const QString by = summary ? parser.value("by") : QString();
    if (summary && !kGroupings.contains(by))
        return usage(Text(cli_text::kBadChoice).arg("--by", kGroupings.join(", ")));

    const RecordsLocationResult where =
        ParseRecordsLocation(RecordsSetting(parser.value("records")));
    if (!where.location) {
        PrintError(Text(cli_text::kRecordsFailed).arg(where.error));
        return kExitUsage;
    }
    RecorderOptions recorderOptions;
    recorderOptions.location = *where.location;
    Recorder recorder(recorderOptions);
    // A server gets what waits in this station's outbox first, so the answer includes it.
    recorder.Flush(kAnswerTimeoutMs);

    QEventLoop loop;
    QString error;
    bool answered = false;
    if (summary) {
        const SummaryGrouping grouping = by == "station"    ? SummaryGrouping::kStation
                                         : by == "firmware" ? SummaryGrouping::kFirmware
                                                            : SummaryGrouping::kDay;
        recorder.Summarise(filter, grouping, &loop,
                           [&](std::optional<QList<SummaryRow>> rows, QString reason) {
                               answered = true;
                               if (rows)
                                   PrintSummary(*rows, by, format);
                               error = reason;
                               loop.quit();
                           });
    } else {
        recorder.Query(filter, &loop,
                       [&](std::optional<QList<OperationRecord>> records, QString reason) {
                           answered = true;
                           if (records)
                               PrintRecords(*records, format);
                           error = reason;
                           loop.quit();
                       });
    }
    QTimer::singleShot(kAnswerTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    if (!answered || !error.isEmpty()) {
        PrintError(Text(cli_text::kRecordsFailed).arg(error));
        return where.location->IsPostgres() ? kExitNoAnswer : kExitFileError;
    }
    return kExitOk;
}
