#include "records/sqlite_record_store.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QFileInfo>
#include <QSqlError>
#include <QVariant>

SqliteRecordStore::SqliteRecordStore(const QString& file, bool outbox)
    : SqlRecordStore(QStringLiteral("QSQLITE")), m_file(file), m_outbox(outbox) {}

void SqliteRecordStore::Configure(QSqlDatabase& db) {
    // Created on first use, folder and all.
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    db.setDatabaseName(m_file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
}

QString SqliteRecordStore::Where() const {
    return QStringLiteral("file %1").arg(QDir::toNativeSeparators(m_file));
}

bool SqliteRecordStore::Prepare() {
    QSqlQuery query(Db());
    // The first statement reads the header: a file that is no database fails here.
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return Fail(QStringLiteral("cannot open"), &query);
    const int version = query.value(0).toInt();
    if (version > kSchemaVersion) {
        return Fail(QStringLiteral("was written by a newer version of the tool (schema %1, this "
                                   "one knows %2)")
                        .arg(version)
                        .arg(kSchemaVersion));
    }
    // Switching to WAL takes the file for a moment and does not wait for another connection
    // opening it at the same time (the forwarder's), so it is tried again for a while.
    QElapsedTimer waited;
    waited.start();
    while (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        if (waited.elapsed() > kBusyTimeoutMs)
            return Fail(QStringLiteral("cannot open"), &query);
        QThread::msleep(5);
    }
    // A record the tool said was stored survives a power cut.
    if (!query.exec(QStringLiteral("PRAGMA synchronous=FULL")))
        return Fail(QStringLiteral("cannot open"), &query);
    return version == kSchemaVersion || Upgrade(version);
}

bool SqliteRecordStore::Upgrade(int from) {
    QSqlQuery query(Db());
    // IMMEDIATE: two programs opening a new file at once take turns instead of both failing.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return Fail(QStringLiteral("cannot write"), &query);
    const auto fail = [&] {
        Fail(QStringLiteral("cannot upgrade"), &query);
        QSqlQuery(Db()).exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    // Another program may have upgraded it while we waited.
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return fail();
    from = query.value(0).toInt();
    if (from < 1) {
        const QString table = QStringLiteral(
            "CREATE TABLE IF NOT EXISTS operation_records ("
            "uuid TEXT PRIMARY KEY NOT NULL, operation TEXT NOT NULL, source TEXT NOT NULL, "
            "outcome TEXT NOT NULL, reason TEXT NOT NULL, started_ms INTEGER NOT NULL, "
            "finished_ms INTEGER NOT NULL, day TEXT NOT NULL, station TEXT NOT NULL, "
            "tool_version TEXT NOT NULL, port TEXT NOT NULL, baud INTEGER NOT NULL, "
            "can_cable INTEGER NOT NULL, image_name TEXT NOT NULL, image_size INTEGER, "
            "image_sha256 TEXT NOT NULL, bytes_acknowledged INTEGER, check_value TEXT NOT NULL, "
            "software_version TEXT NOT NULL, hardware_version TEXT NOT NULL, "
            "unit_id TEXT NOT NULL, pending INTEGER NOT NULL DEFAULT 0)");
        if (!query.exec(table) ||
            !query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS operation_records_started "
                                       "ON operation_records (started_ms)")) ||
            !query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS operation_records_pending "
                                       "ON operation_records (pending) WHERE pending = 1"))) {
            return fail();
        }
    }
    // Later versions add their steps here, each from the one before.
    if (!query.exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion)) ||
        !query.exec(QStringLiteral("COMMIT"))) {
        return fail();
    }
    return true;
}

QStringList SqliteRecordStore::ExtraInsertColumns() const {
    return {QStringLiteral("pending")};
}

void SqliteRecordStore::BindExtraInsertValues(QSqlQuery& query) const {
    query.addBindValue(m_outbox ? 1 : 0);
}

std::optional<QList<OperationRecord>> SqliteRecordStore::Pending(int limit) {
    if (!Open())
        return std::nullopt;
    QSqlQuery query(Db());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM %2 WHERE pending = 1 ORDER BY rowid LIMIT ?")
                      .arg(Columns().join(','), kTable));
    query.addBindValue(limit);
    if (!query.exec()) {
        Fail(QStringLiteral("cannot read"), &query);
        return std::nullopt;
    }
    QList<OperationRecord> records;
    while (query.next())
        records.append(FromRow(query));
    return records;
}

std::optional<qint64> SqliteRecordStore::PendingCount() {
    if (!Open())
        return std::nullopt;
    QSqlQuery query(Db());
    if (!query.exec(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE pending = 1").arg(kTable)) ||
        !query.next()) {
        Fail(QStringLiteral("cannot read"), &query);
        return std::nullopt;
    }
    return query.value(0).toLongLong();
}

bool SqliteRecordStore::MarkForwarded(const QList<QUuid>& uuids) {
    if (uuids.isEmpty())
        return true;
    if (!Open())
        return false;
    if (!Db().transaction())
        return Fail(QStringLiteral("cannot write"));
    QSqlQuery query(Db());
    query.prepare(QStringLiteral("UPDATE %1 SET pending = 0 WHERE uuid = ?").arg(kTable));
    for (const QUuid& uuid : uuids) {
        query.addBindValue(uuid.toString(QUuid::WithoutBraces));
        if (!query.exec()) {
            Fail(QStringLiteral("cannot write"), &query);
            Db().rollback();
            return false;
        }
    }
    if (!Db().commit()) {
        Fail(QStringLiteral("cannot write"));
        Db().rollback();
        return false;
    }
    return true;
}
