// records: the production records as a table, CSV or JSON, and their counts per outcome.

#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <atomic>

#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "cli/command_record.h"
#include "records/record_csv.h"
#include "records/record_json.h"
#include "records/record_store.h"
#include "records/recorder.h"

namespace {

// Long enough for a first connection to a distant server and a large summary.
constexpr int kAnswerTimeoutMs = 60000;
// What the records may add after the answer: the threads' end.
constexpr int kCloseBudgetMs = 3000;
// Output goes out in pieces of about this many characters, not line by line.
constexpr qsizetype kOutputChunk = 64 * 1024;

const QStringList kFormats{"table", "csv", "json"};
const QStringList kGroupings{"day", "hour", "station", "firmware", "message", "port"};
const QStringList kYieldGroupings{"station", "day"};

// The start of `text`'s day in local time as UTC ms; none when it is no date.
std::optional<qint64> DayStart(const QString& text, int addDays = 0) {
    const QDate date = text == QLatin1String("today") ? QDate::currentDate()
                                                      : QDate::fromString(text, Qt::ISODate);
    if (!date.isValid())
        return std::nullopt;
    return date.addDays(addDays).startOfDay().toMSecsSinceEpoch();
}

QString LocalTime(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms).toLocalTime().toString("yyyy-MM-dd HH:mm:ss");
}

// Columns a terminal gives a character: two for the wide scripts (Chinese among them), none
// for a combining mark.
int DisplayWidth(const QString& text) {
    int width = 0;
    for (const char32_t c : text.toUcs4()) {
        const QChar::Category category = QChar::category(c);
        if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing)
            continue;
        const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) ||
                          (c >= 0x3041 && c <= 0x33FF) || (c >= 0x3400 && c <= 0x4DBF) ||
                          (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
                          (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                          (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                          (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                          (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
        width += wide ? 2 : 1;
    }
    return width;
}

// A table cell on one line: line breaks and tabs shown as \n, \r and \t.
QString TableCell(QString text) {
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    text.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    text.replace(QLatin1Char('\t'), QLatin1String("\\t"));
    return text;
}

// Columns padded to their widest cell as a terminal shows them; the last one (the reason) is
// left as it is.
void PrintTable(const QStringList& header, const QList<QStringList>& rows) {
    QList<int> widths;
    for (const QString& h : header)
        widths << DisplayWidth(h);
    for (const QStringList& row : rows)
        for (qsizetype i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], DisplayWidth(row[i]));
    const auto line = [&widths](const QStringList& cells) {
        QString text;
        for (qsizetype i = 0; i < cells.size(); ++i) {
            text += cells[i];
            if (i + 1 < cells.size())
                text += QString(widths[i] + 2 - DisplayWidth(cells[i]), QLatin1Char(' '));
        }
        return text;
    };
    PrintOut(line(header));
    for (const QStringList& row : rows)
        PrintOut(line(row));
}

// Lines gathered into large pieces for stdout.
class ChunkedOutput {
public:
    void Line(const QString& line) {
        m_text += line;
        m_text += QLatin1Char('\n');
        if (m_text.size() >= kOutputChunk)
            Flush();
    }
    void Flush() {
        if (m_text.isEmpty())
            return;
        m_text.chop(1);  // PrintOut ends the piece's last line
        PrintOut(m_text);
        m_text.clear();
    }

private:
    QString m_text;
};

// A listing printed as its rows come, so that memory does not grow with their number; the
// table alone needs every row for its widths.
class RecordPrinter {
public:
    explicit RecordPrinter(const QString& format) : m_format(format) {}

    bool Row(const OperationRecord& r) {
        ++m_count;
        if (m_format == "json") {
            if (m_count == 1)
                m_out.Line(QStringLiteral("["));
            else
                m_out.Line(m_pending + QLatin1Char(','));
            m_pending = IndentedJson(r);
        } else if (m_format == "csv") {
            if (m_count == 1)
                m_out.Line(CsvLine(RecordCsvColumns()));
            m_out.Line(CsvLine(RecordCsvFields(r)));
        } else {
            const QString what =
                r.operation == RecordOperation::kDownload ? r.imageName : r.checkValue;
            m_rows << QStringList{LocalTime(r.startedMs),
                                  TableCell(r.station),
                                  OperationName(r.operation),
                                  OutcomeName(r.outcome),
                                  r.unitId.isEmpty() ? "-" : TableCell(r.unitId),
                                  what.isEmpty() ? "-" : TableCell(what),
                                  TableCell(r.reason)};
        }
        return true;
    }

    void End() {
        if (m_format == "json") {
            if (m_count == 0)
                m_out.Line(QStringLiteral("["));
            else
                m_out.Line(m_pending);
            m_out.Line(QStringLiteral("]"));
        } else if (m_format == "csv") {
            if (m_count == 0)
                m_out.Line(CsvLine(RecordCsvColumns()));
        } else if (m_rows.isEmpty()) {
            PrintError(Text(cli_text::kNoRecords));
        } else {
            PrintTable(
                {"started", "station", "operation", "outcome", "unit", "image/check", "reason"},
                m_rows);
        }
        m_out.Flush();
    }

private:
    static QString IndentedJson(const OperationRecord& r) {
        QString text =
            QString::fromUtf8(QJsonDocument(RecordToJson(r)).toJson(QJsonDocument::Indented))
                .trimmed();
        text.replace(QLatin1Char('\n'), QLatin1String("\n    "));
        return QStringLiteral("    ") + text;
    }

    QString m_format;
    qint64 m_count = 0;
    QString m_pending;  // the last JSON object, printed once it is known whether one follows
    QList<QStringList> m_rows;
    ChunkedOutput m_out;
};

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
        for (QStringList row : cells) {
            row[0] = SafeCell(row[0]);
            PrintOut(CsvLine(row));
        }
    } else {
        for (QStringList& row : cells)
            row[0] = TableCell(row[0]);
        PrintTable(header, cells);
    }
}

void PrintYield(const QList<YieldRow>& rows, const QString& by, const QString& format) {
    if (format == "json") {
        QJsonArray array;
        for (const YieldRow& r : rows) {
            array.append(QJsonObject{{by, r.key},
                                     {"units", r.units},
                                     {"first_pass", r.firstPassed},
                                     {"yield", r.Yield()}});
        }
        PrintOut(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
        return;
    }
    const bool csv = format == "csv";
    const QStringList header{by, "units", "first_pass", "yield"};
    QList<QStringList> cells;
    for (const YieldRow& r : rows) {
        const QString key = r.key.isEmpty() ? "-" : r.key;
        cells << QStringList{csv ? SafeCell(key) : TableCell(key), QString::number(r.units),
                             QString::number(r.firstPassed),
                             csv ? QString::number(r.Yield(), 'f', 4)
                                 : QString::number(r.Yield() * 100, 'f', 1) + " %"};
    }
    if (csv) {
        PrintOut(CsvLine(header));
        for (const QStringList& row : cells)
            PrintOut(CsvLine(row));
    } else {
        PrintTable(header, cells);
    }
}

SummaryGrouping GroupingOf(const QString& by) {
    if (by == "hour")
        return SummaryGrouping::kHour;
    if (by == "station")
        return SummaryGrouping::kStation;
    if (by == "firmware")
        return SummaryGrouping::kFirmware;
    if (by == "message")
        return SummaryGrouping::kMessage;
    if (by == "port")
        return SummaryGrouping::kPort;
    return SummaryGrouping::kDay;
}

}  // namespace

int RunRecords(const QStringList& arguments) {
    const QString sub = arguments.value(1);
    const bool summary = sub == QLatin1String("summary");
    const bool yield = sub == QLatin1String("yield");
    QStringList rest = arguments;
    if (summary || yield)
        rest.removeAt(1);
    CommandOptions options(summary ? "records summary"
                           : yield ? "records yield"
                                   : "records",
                           summary ? "Counts the production records per outcome, by day, hour, "
                                     "station, firmware image, message or port. Days and hours "
                                     "are this computer's local time."
                           : yield ? "First-pass yield: of the units seen (a unit id on a station "
                                     "on a day, this computer's local day), how many passed "
                                     "their first attempt of the day; per station or per day."
                                   : "Lists the production records, oldest first, in this "
                                     "computer's local time.",
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
        parser.addOption({"by", "day, hour, station, firmware, message or port (default day).",
                          "grouping", "day"});
    if (yield)
        parser.addOption({"by", "station or day (default station).", "grouping", "station"});
    if (auto code = options.Parse(rest))
        return *code;
    const auto usage = [&options](const QString& message) {
        PrintError(message);
        PrintError(options.HelpText());
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
    const QString by = summary || yield ? parser.value("by") : QString();
    if (summary && !kGroupings.contains(by))
        return usage(Text(cli_text::kBadChoice).arg("--by", kGroupings.join(", ")));
    if (yield && !kYieldGroupings.contains(by))
        return usage(Text(cli_text::kBadChoice).arg("--by", kYieldGroupings.join(", ")));

    const RecordsLocationResult where =
        ParseRecordsLocation(RecordsSetting(parser.value("records")));
    if (!where.location) {
        PrintError(Text(cli_text::kRecordsFailed).arg(where.error));
        return kExitUsage;
    }
    const RecordsLocation& location = *where.location;
    // A file that does not exist holds no records; it is not made for a listing.
    if (!location.IsPostgres() && !QFileInfo::exists(location.file)) {
        if (summary) {
            PrintSummary({}, by, format);
        } else if (yield) {
            PrintYield({}, by, format);
        } else {
            RecordPrinter printer(format);
            printer.End();
        }
        return kExitOk;
    }
    RecorderOptions recorderOptions;
    recorderOptions.location = location;
    recorderOptions.outboxFile = OutboxSetting(parser.value("outbox"));
    // A file is only read, so a listing works where it cannot be written.
    recorderOptions.readOnly = !location.IsPostgres();
    Recorder recorder(recorderOptions);
    QStringList problems;
    QObject::connect(&recorder, &Recorder::failed, [&problems](const QString& message) {
        if (!problems.contains(message))
            problems << message;
    });
    // A server gets what waits in this station's outbox first, so the answer includes it.
    if (location.IsPostgres())
        recorder.Flush(kAnswerTimeoutMs);

    QEventLoop loop;
    QString error;
    bool answered = false;
    if (yield) {
        recorder.Yield(filter, by == "day" ? YieldGrouping::kDay : YieldGrouping::kStation, &loop,
                       [&](std::optional<QList<YieldRow>> rows, QString reason) {
                           answered = true;
                           if (rows)
                               PrintYield(*rows, by, format);
                           error = reason;
                           loop.quit();
                       });
    } else if (summary) {
        recorder.Summarise(filter, GroupingOf(by), &loop,
                           [&](std::optional<QList<SummaryRow>> rows, QString reason) {
                               answered = true;
                               if (rows)
                                   PrintSummary(*rows, by, format);
                               error = reason;
                               loop.quit();
                           });
    } else {
        // The rows are printed on the database's thread as they are read; a long listing that
        // keeps coming is not cut off, only one that stops.
        auto printer = std::make_shared<RecordPrinter>(format);
        auto failure = std::make_shared<QString>();
        auto rows = std::make_shared<std::atomic<qint64>>(0);
        auto watchdog = new QTimer(&loop);
        qint64 seen = -1;
        QObject::connect(watchdog, &QTimer::timeout, &loop, [rows, &seen, &loop] {
            const qint64 now = rows->load();
            if (now == seen)
                loop.quit();
            seen = now;
        });
        watchdog->start(kAnswerTimeoutMs / 2);
        recorder.Run(
            [filter, printer, failure, rows](RecordStore& store) {
                if (store.QueryEach(filter, [&printer, &rows](const OperationRecord& r) {
                        rows->fetch_add(1, std::memory_order_relaxed);
                        return printer->Row(r);
                    }))
                    printer->End();
                else
                    *failure = store.Error();
            },
            &loop,
            [&, failure] {
                answered = true;
                error = *failure;
                loop.quit();
            });
    }
    if (summary || yield)
        QTimer::singleShot(kAnswerTimeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    const RecorderEnd end = recorder.Close(kCloseBudgetMs);
    if (!answered || !error.isEmpty()) {
        PrintError(
            Text(cli_text::kRecordsFailed)
                .arg(error.isEmpty() ? problems.value(0, Text(cli_text::kNoAnswer)) : error));
        return location.IsPostgres() ? kExitNoAnswer : kExitFileError;
    }
    if (const QString told = end.Describe(); !told.isEmpty())
        PrintNotice(Text(cli_text::kRecordsFailed).arg(told));
    return kExitOk;
}
