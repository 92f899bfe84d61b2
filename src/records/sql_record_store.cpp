#include "records/sql_record_store.h"

#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QSqlError>
#include <QSqlRecord>
#include <QVariant>
#include <algorithm>
#include <atomic>

namespace {

std::atomic<int> g_connectionCount{0};

// Bound parameters per statement: SQLite builds without a raised limit take 999.
constexpr int kVariableLimit = 999;

// An unset text is stored as empty, not as NULL.
QString Text(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

QVariant Optional(const std::optional<qint64>& value) {
    return value ? QVariant(*value) : QVariant(QMetaType::fromType<qint64>());
}

std::optional<qint64> OptionalValue(const QVariant& value) {
    if (value.isNull())
        return std::nullopt;
    return value.toLongLong();
}

QString WhereClause(const RecordFilter& filter, QVariantList& values) {
    QStringList terms;
    if (filter.sinceMs) {
        terms << QStringLiteral("started_ms >= ?");
        values << *filter.sinceMs;
    }
    if (filter.untilMs) {
        terms << QStringLiteral("started_ms < ?");
        values << *filter.untilMs;
    }
    if (!filter.station.isEmpty()) {
        terms << QStringLiteral("station = ?");
        values << filter.station;
    }
    if (filter.operation) {
        terms << QStringLiteral("operation = ?");
        values << OperationName(*filter.operation);
    }
    if (filter.outcome) {
        terms << QStringLiteral("outcome = ?");
        values << OutcomeName(*filter.outcome);
    }
    if (!filter.unitId.isEmpty()) {
        terms << QStringLiteral("unit_id = ?");
        values << filter.unitId;
    }
    return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(" AND ");
}

// Days and hours are counted in quarter hours of UTC, which every time zone's offset divides,
// and each quarter is then put on the reader's local calendar: the same rule on SQLite and the
// server, daylight saving included, and the database only counts.
constexpr qint64 kQuarterMs = 15 * 60 * 1000;

bool IsTimeGrouping(SummaryGrouping grouping) {
    return grouping == SummaryGrouping::kDay || grouping == SummaryGrouping::kHour;
}

QString LocalKey(qint64 quarter, SummaryGrouping grouping) {
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(quarter * kQuarterMs).toLocalTime();
    return grouping == SummaryGrouping::kDay ? local.date().toString(Qt::ISODate)
                                             : local.toString(QStringLiteral("yyyy-MM-dd HH:00"));
}

QString GroupingKey(SummaryGrouping grouping) {
    switch (grouping) {
        case SummaryGrouping::kDay:
        case SummaryGrouping::kHour:
            return QStringLiteral("started_ms / %1").arg(kQuarterMs);
        case SummaryGrouping::kStation:
            return QStringLiteral("station");
        case SummaryGrouping::kMessage:
            return QStringLiteral("reason");
        case SummaryGrouping::kPort:
            return QStringLiteral("port");
        case SummaryGrouping::kFirmware:
            break;
    }
    // An image is known by its name and the start of its hash, so two builds under one file
    // name stay apart.
    return QStringLiteral(
        "CASE WHEN image_sha256 <> '' THEN image_name || ' ' || substr(image_sha256, 1, 12) "
        "ELSE '' END");
}

}  // namespace

SqlRecordStore::SqlRecordStore(const QString& driver)
    : m_connectionName(QStringLiteral("tarvik-records-%1").arg(++g_connectionCount)) {
    m_db = QSqlDatabase::addDatabase(driver, m_connectionName);
}

SqlRecordStore::~SqlRecordStore() {
    Close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool SqlRecordStore::Open() {
    if (m_db.isOpen())
        return true;
    m_error.clear();
    if (!m_db.isValid())
        return Fail(QStringLiteral("the database driver is missing"));
    Configure(m_db);
    if (!m_db.open())
        return Fail(QStringLiteral("cannot open"));
    if (!Prepare()) {
        m_db.close();
        return false;
    }
    return true;
}

bool SqlRecordStore::IsOpen() const {
    return m_db.isOpen();
}

void SqlRecordStore::Close() {
    if (m_db.isOpen())
        m_db.close();
}

const QStringList& SqlRecordStore::Columns() {
    static const QStringList columns{"uuid",
                                     "operation",
                                     "source",
                                     "outcome",
                                     "reason",
                                     "started_ms",
                                     "finished_ms",
                                     "day",
                                     "station",
                                     "tool_version",
                                     "port",
                                     "baud",
                                     "can_cable",
                                     "image_name",
                                     "image_size",
                                     "image_sha256",
                                     "bytes_acknowledged",
                                     "check_value",
                                     "software_version",
                                     "hardware_version",
                                     "unit_id"};
    return columns;
}

bool SqlRecordStore::Insert(const QList<OperationRecord>& records) {
    if (records.isEmpty())
        return true;
    if (!Open())
        return false;
    const QStringList columns = Columns() + ExtraInsertColumns();
    const int perRow = static_cast<int>(columns.size());
    const int rowsPerStatement = kVariableLimit / perRow;
    const QString row = QStringLiteral("(") + QStringList(perRow, "?").join(',') + ')';
    if (!m_db.transaction())
        return Fail(QStringLiteral("cannot write"));
    QSqlQuery query(m_db);
    int preparedRows = 0;
    for (qsizetype first = 0; first < records.size(); first += rowsPerStatement) {
        const int rows =
            static_cast<int>(std::min<qsizetype>(rowsPerStatement, records.size() - first));
        if (rows != preparedRows) {
            const QString sql =
                QStringLiteral("INSERT INTO %1 (%2) VALUES %3 ON CONFLICT (uuid) DO NOTHING")
                    .arg(kTable, columns.join(','), QStringList(rows, row).join(','));
            if (!query.prepare(sql)) {
                Fail(QStringLiteral("cannot write"), &query);
                Rollback();
                return false;
            }
            preparedRows = rows;
        }
        for (int i = 0; i < rows; ++i) {
            const OperationRecord& r = records[first + i];
            query.addBindValue(r.uuid.toString(QUuid::WithoutBraces));
            query.addBindValue(OperationName(r.operation));
            query.addBindValue(Text(r.source));
            query.addBindValue(OutcomeName(r.outcome));
            query.addBindValue(Text(r.reason));
            query.addBindValue(r.startedMs);
            query.addBindValue(r.finishedMs);
            query.addBindValue(r.Day());
            query.addBindValue(Text(r.station));
            query.addBindValue(Text(r.toolVersion));
            query.addBindValue(Text(r.port));
            query.addBindValue(r.baud);
            query.addBindValue(r.can ? 1 : 0);
            query.addBindValue(Text(r.imageName));
            query.addBindValue(Optional(r.imageSize));
            query.addBindValue(Text(r.imageSha256));
            query.addBindValue(Optional(r.bytesAcknowledged));
            query.addBindValue(Text(r.checkValue));
            query.addBindValue(Text(r.softwareVersion));
            query.addBindValue(Text(r.hardwareVersion));
            query.addBindValue(Text(r.unitId));
            BindExtraInsertValues(query);
        }
        if (!query.exec()) {
            Fail(QStringLiteral("cannot write"), &query);
            Rollback();
            return false;
        }
    }
    if (!m_db.commit()) {
        Fail(QStringLiteral("cannot write"));
        Rollback();
        return false;
    }
    return true;
}

void SqlRecordStore::Rollback() {
    if (m_db.isOpen())
        m_db.rollback();
}

std::optional<QList<OperationRecord>> SqlRecordStore::Query(const RecordFilter& filter) {
    QList<OperationRecord> records;
    if (!QueryEach(filter, [&records](const OperationRecord& record) {
            records.append(record);
            return true;
        }))
        return std::nullopt;
    return records;
}

SqlRecordStore::IndexStep SqlRecordStore::CreateReadIndexes(QSqlQuery& query,
                                                            const QString& existsSql) {
    const struct {
        const char* name;
        const char* columns;
    } indexes[] = {{kCountIndex, "started_ms, outcome, station"},
                   {kUnitIndex, "station, unit_id, started_ms, outcome"}};
    for (const auto& index : indexes) {
        if (!query.exec(existsSql.arg(QLatin1String(index.name))))
            return IndexStep::kLookUpFailed;
        if (!query.next() && !query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2 (%3)")
                                             .arg(QLatin1String(index.name), QLatin1String(kTable),
                                                  QLatin1String(index.columns)))) {
            return IndexStep::kCreateFailed;
        }
    }
    return IndexStep::kDone;
}

bool SqlRecordStore::RunRead(QSqlQuery& query, const QString& sql, const QVariantList& values) {
    // Forward only: the rows come as they are read (the server's driver too, row by row).
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return Fail(QStringLiteral("cannot read"), &query);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
        return Fail(QStringLiteral("cannot read"), &query);
    return true;
}

bool SqlRecordStore::QueryEach(const RecordFilter& filter,
                               const std::function<bool(const OperationRecord&)>& row) {
    if (!Open())
        return false;
    QVariantList values;
    const QString columns = Columns().join(',');
    const QString where = WhereClause(filter, values);
    QString sql =
        QStringLiteral("SELECT %1 FROM %2%3 ORDER BY started_ms, uuid").arg(columns, kTable, where);
    if (filter.newest) {
        // The newest of them, read by the start-time index from its end, listed oldest first.
        sql = QStringLiteral(
                  "SELECT %1 FROM (SELECT %1 FROM %2%3 ORDER BY started_ms DESC, uuid "
                  "DESC LIMIT ?) AS newest ORDER BY started_ms, uuid")
                  .arg(columns, kTable, where);
        values.append(std::max(*filter.newest, 0));
    }
    QSqlQuery query(m_db);
    if (!RunRead(query, sql, values))
        return false;
    while (query.next()) {
        if (!row(FromRow(query)))
            return true;
    }
    if (query.lastError().isValid()) {
        Fail(QStringLiteral("cannot read"), &query);
        return false;
    }
    return true;
}

std::optional<QList<SummaryRow>> SqlRecordStore::Summarise(const RecordFilter& filter,
                                                           SummaryGrouping grouping) {
    if (!Open())
        return std::nullopt;
    QVariantList values;
    const QString sql =
        QStringLiteral("SELECT %1 AS k, outcome, COUNT(*) FROM %2%3 GROUP BY k, outcome")
            .arg(GroupingKey(grouping), kTable, WhereClause(filter, values));
    QSqlQuery query(m_db);
    if (!RunRead(query, sql, values))
        return std::nullopt;
    QMap<QString, SummaryRow> rows;
    const bool byTime = IsTimeGrouping(grouping);
    // Neighbouring quarters mostly share their day or hour: convert each only once.
    qint64 lastQuarter = -1;
    QString lastKey;
    while (query.next()) {
        QString key;
        if (byTime) {
            const qint64 quarter = query.value(0).toLongLong();
            if (quarter != lastQuarter) {
                lastQuarter = quarter;
                lastKey = LocalKey(quarter, grouping);
            }
            key = lastKey;
        } else {
            key = query.value(0).toString();
        }
        SummaryRow& row = rows[key];
        row.key = key;
        const qint64 count = query.value(2).toLongLong();
        switch (ParseOutcome(query.value(1).toString()).value_or(RecordOutcome::kFailed)) {
            case RecordOutcome::kSuccess:
                row.success += count;
                break;
            case RecordOutcome::kFailed:
                row.failed += count;
                break;
            case RecordOutcome::kCancelled:
                row.cancelled += count;
                break;
        }
    }
    if (query.lastError().isValid()) {
        Fail(QStringLiteral("cannot read"), &query);
        return std::nullopt;
    }
    return rows.values();
}

std::optional<QList<YieldRow>> SqlRecordStore::Yield(const RecordFilter& filter,
                                                     YieldGrouping grouping) {
    if (!Open())
        return std::nullopt;
    QVariantList values;
    QString where = WhereClause(filter, values);
    where += where.isEmpty() ? QStringLiteral(" WHERE unit_id <> ''")
                             : QStringLiteral(" AND unit_id <> ''");
    // Each unit's attempts together, in order: only the current unit's days are held, so
    // memory does not grow with the number of units.
    const QString sql = QStringLiteral(
                            "SELECT station, unit_id, started_ms, outcome FROM %1%2 "
                            "ORDER BY station, unit_id, started_ms")
                            .arg(kTable, where);
    QSqlQuery query(m_db);
    if (!RunRead(query, sql, values))
        return std::nullopt;
    QMap<QString, YieldRow> rows;
    QHash<qint64, QString> days;  // quarter hour -> local day
    QString station;
    QString unit;
    QStringList unitDays;  // the current unit's days seen
    while (query.next()) {
        const QString rowStation = query.value(0).toString();
        const QString rowUnit = query.value(1).toString();
        if (rowStation != station || rowUnit != unit) {
            station = rowStation;
            unit = rowUnit;
            unitDays.clear();
        }
        const qint64 quarter = query.value(2).toLongLong() / kQuarterMs;
        auto day = days.find(quarter);
        if (day == days.end())
            day = days.insert(quarter, LocalKey(quarter, SummaryGrouping::kDay));
        if (unitDays.contains(*day))
            continue;
        unitDays << *day;
        const QString key = grouping == YieldGrouping::kStation ? station : *day;
        YieldRow& row = rows[key];
        row.key = key;
        ++row.units;
        if (query.value(3).toString() == OutcomeName(RecordOutcome::kSuccess))
            ++row.firstPassed;
    }
    if (query.lastError().isValid()) {
        Fail(QStringLiteral("cannot read"), &query);
        return std::nullopt;
    }
    return rows.values();
}

bool SqlRecordStore::Fail(const QString& what, const QSqlQuery* query) {
    const QSqlError error = query != nullptr ? query->lastError() : m_db.lastError();
    // One line, the database's own words: the server's first line (not the statement it
    // quotes after it), else the driver's; never the driver's name.
    const QString database = error.databaseText().section(QLatin1Char('\n'), 0, 0).simplified();
    const QString detail = database.isEmpty() ? error.driverText().simplified() : database;
    m_busy = IsBusyCode(error.nativeErrorCode());
    m_error = QStringLiteral("%1: %2").arg(Where(), what);
    if (!detail.isEmpty())
        m_error += QStringLiteral(": ") + detail;
    return false;
}

OperationRecord SqlRecordStore::FromRow(const QSqlQuery& query) {
    OperationRecord r;
    r.uuid = QUuid::fromString(query.value(0).toString());
    r.operation = ParseOperation(query.value(1).toString()).value_or(RecordOperation::kRead);
    r.source = query.value(2).toString();
    r.outcome = ParseOutcome(query.value(3).toString()).value_or(RecordOutcome::kFailed);
    r.reason = query.value(4).toString();
    r.startedMs = query.value(5).toLongLong();
    r.finishedMs = query.value(6).toLongLong();
    r.station = query.value(8).toString();
    r.toolVersion = query.value(9).toString();
    r.port = query.value(10).toString();
    r.baud = query.value(11).toInt();
    r.can = query.value(12).toInt() != 0;
    r.imageName = query.value(13).toString();
    r.imageSize = OptionalValue(query.value(14));
    r.imageSha256 = query.value(15).toString();
    r.bytesAcknowledged = OptionalValue(query.value(16));
    r.checkValue = query.value(17).toString();
    r.softwareVersion = query.value(18).toString();
    r.hardwareVersion = query.value(19).toString();
    r.unitId = query.value(20).toString();
    return r;
}
