#include "records/sqlite_record_store.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlError>
#include <QThread>
#include <QUrl>
#include <QVariant>

SqliteRecordStore::SqliteRecordStore(const QString& file, bool outbox, bool readOnly)
    : SqlRecordStore(QStringLiteral("QSQLITE")),
      m_file(file),
      m_outbox(outbox),
      m_readOnly(readOnly) {}

void SqliteRecordStore::Configure(QSqlDatabase& db) {
    // Created on first use, folder and all.
    if (!m_readOnly)
        QDir().mkpath(QFileInfo(m_file).absolutePath());
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs);
    if (m_readOnly)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    if (m_immutable) {
        // No one can write beside it, so SQLite is told the file does not change under it.
        QUrl uri = QUrl::fromLocalFile(QFileInfo(m_file).absoluteFilePath());
        uri.setQuery(QStringLiteral("immutable=1"));
        db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        options += QStringLiteral(";QSQLITE_OPEN_URI");
    } else {
        db.setDatabaseName(m_file);
    }
    db.setConnectOptions(options);
}

bool SqliteRecordStore::Open() {
    if (SqlRecordStore::Open())
        return true;
    // A WAL file in a folder the reader cannot write: its shared-memory file cannot be made,
    // so it is read as it lies.
    if (!m_readOnly || m_immutable || QFileInfo(QFileInfo(m_file).absolutePath()).isWritable())
        return false;
    m_immutable = true;
    return SqlRecordStore::Open();
}

QString SqliteRecordStore::Where() const {
    return (m_outbox ? QStringLiteral("local outbox %1") : QStringLiteral("file %1"))
        .arg(QDir::toNativeSeparators(m_file));
}

bool SqliteRecordStore::IsBusyCode(const QString& code) const {
    // SQLITE_BUSY and SQLITE_LOCKED, with their extended forms.
    bool ok = false;
    const int value = code.toInt(&ok) & 0xff;
    return ok && (value == 5 || value == 6);
}

bool SqliteRecordStore::Prepare() {
    QSqlQuery query(Db());
    // Only read until the file is known to be the tool's: another program's database is left
    // byte for byte as it was. One statement, so that the mark, the schema version and the
    // tables are seen as one moment's (another connection may be creating the file right now);
    // it reads the header, so a file that is no database fails here.
    if (!query.exec(QStringLiteral("SELECT (SELECT application_id FROM pragma_application_id), "
                                   "(SELECT user_version FROM pragma_user_version), COUNT(*), "
                                   "COUNT(CASE WHEN name = '%1' THEN 1 END) FROM sqlite_master")
                        .arg(QLatin1String(kTable))) ||
        !query.next()) {
        return Fail(QStringLiteral("cannot open"), &query);
    }
    const int applicationId = query.value(0).toInt();
    const int version = query.value(1).toInt();
    const bool empty = query.value(2).toInt() == 0;
    const bool hasTable = query.value(3).toInt() > 0;
    // Files from before the mark have the table and a schema version, and no id.
    const bool ours = applicationId == kApplicationId ||
                      (applicationId == 0 && (empty ? version == 0 : hasTable && version >= 1));
    if (!ours) {
        return Fail(
            QStringLiteral("is another program's database, not a records file; it was "
                           "left as it is"));
    }
    if (version > kSchemaVersion) {
        return Fail(QStringLiteral("was written by a newer version of the tool (schema %1, this "
                                   "one knows %2)")
                        .arg(version)
                        .arg(kSchemaVersion));
    }
    if (m_readOnly)
        return true;
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
    if (version != kSchemaVersion && !Upgrade(version))
        return false;
    if (applicationId != kApplicationId &&
        !query.exec(QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId))) {
        return Fail(QStringLiteral("cannot write"), &query);
    }
    switch (
        CreateReadIndexes(query, QStringLiteral("SELECT 1 FROM sqlite_master WHERE name = '%1'"))) {
        case IndexStep::kDone:
            return true;
        case IndexStep::kLookUpFailed:
            return Fail(QStringLiteral("cannot open"), &query);
        case IndexStep::kCreateFailed:
            return Fail(QStringLiteral("cannot write"), &query);
    }
    return true;
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
    if (!query.exec(QStringLiteral("PRAGMA application_id = %1").arg(kApplicationId)) ||
        !query.exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion)) ||
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
            Rollback();
            return false;
        }
    }
    if (!Db().commit()) {
        Fail(QStringLiteral("cannot write"));
        Rollback();
        return false;
    }
    return true;
}
