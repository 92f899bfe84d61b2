#include "records/postgres_record_store.h"

#include <QSqlError>
#include <QVariant>

namespace {

// Any fixed number; every station takes the same lock while it creates or upgrades the schema.
constexpr qint64 kSchemaLock = 0x7461727669;

// A value in the server's connection-string quoting.
QString Quoted(QString value) {
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    value.replace(QLatin1Char('\''), QLatin1String("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

}  // namespace

PostgresRecordStore::PostgresRecordStore(PostgresTarget target)
    : SqlRecordStore(QStringLiteral("QPSQL")), m_target(std::move(target)) {}

QString PostgresRecordStore::Where() const {
    return QStringLiteral("server %1").arg(m_target.url);
}

void PostgresRecordStore::Configure(QSqlDatabase& db) {
    db.setHostName(m_target.host);
    db.setPort(m_target.port);
    db.setDatabaseName(m_target.database);
    db.setUserName(m_target.user);
    // The driver joins these with spaces; no value holds ';' (the URL parser refuses that).
    QStringList options{QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutSeconds),
                        QStringLiteral("options=") +
                            Quoted(QStringLiteral("-c statement_timeout=%1 -c lock_timeout=%2 "
                                                  "-c client_min_messages=warning")
                                       .arg(kStatementTimeoutMs)
                                       .arg(kLockTimeoutMs))};
    bool named = false;
    for (const auto& [key, value] : m_target.parameters) {
        options << key + QLatin1Char('=') + Quoted(value);
        named = named || key == QLatin1String("application_name");
    }
    if (!named)
        options << QStringLiteral("application_name=tarvik");
    db.setConnectOptions(options.join(QLatin1Char(';')));
}

bool PostgresRecordStore::Prepare() {
    if (!Db().transaction())
        return Fail(QStringLiteral("cannot write"));
    QSqlQuery query(Db());
    const auto fail = [&](const QString& what) {
        Fail(what, &query);
        Rollback();
        return false;
    };
    if (!query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLock)) ||
        !query.exec(QStringLiteral(
            "CREATE TABLE IF NOT EXISTS tarvik_schema (version INTEGER NOT NULL)")) ||
        !query.exec(QStringLiteral("SELECT max(version) FROM tarvik_schema")) || !query.next()) {
        return fail(QStringLiteral("cannot prepare the schema"));
    }
    const int version = query.value(0).isNull() ? 0 : query.value(0).toInt();
    if (version > kSchemaVersion) {
        Fail(QStringLiteral("holds a newer schema (%1) than this version of the tool knows (%2)")
                 .arg(version)
                 .arg(kSchemaVersion));
        Rollback();
        return false;
    }
    if (version < 1) {
        const QString table = QStringLiteral(
            "CREATE TABLE IF NOT EXISTS operation_records ("
            "uuid UUID PRIMARY KEY, operation TEXT NOT NULL, source TEXT NOT NULL, "
            "outcome TEXT NOT NULL, reason TEXT NOT NULL, started_ms BIGINT NOT NULL, "
            "finished_ms BIGINT NOT NULL, day TEXT NOT NULL, station TEXT NOT NULL, "
            "tool_version TEXT NOT NULL, port TEXT NOT NULL, baud INTEGER NOT NULL, "
            "can_cable INTEGER NOT NULL, image_name TEXT NOT NULL, image_size BIGINT, "
            "image_sha256 TEXT NOT NULL, bytes_acknowledged BIGINT, check_value TEXT NOT NULL, "
            "software_version TEXT NOT NULL, hardware_version TEXT NOT NULL, "
            "unit_id TEXT NOT NULL, "
            "received_at TIMESTAMPTZ NOT NULL DEFAULT now())");
        if (!query.exec(table) ||
            !query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS operation_records_started "
                                       "ON operation_records (started_ms)")) ||
            !query.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS operation_records_day "
                                       "ON operation_records (day, station)"))) {
            return fail(QStringLiteral("cannot create the schema"));
        }
    }
    // Creating an index, even "if not exists", would lock the table against every station's
    // inserts: only those missing are made.
    if (CreateReadIndexes(query, QStringLiteral("SELECT 1 FROM pg_indexes WHERE tablename = "
                                                "'operation_records' AND indexname = '%1'")) !=
        IndexStep::kDone) {
        return fail(QStringLiteral("cannot prepare the schema"));
    }
    // Later versions add their steps here, each from the one before.
    if (version < kSchemaVersion &&
        (!query.exec(QStringLiteral("DELETE FROM tarvik_schema")) ||
         !query.exec(
             QStringLiteral("INSERT INTO tarvik_schema VALUES (%1)").arg(kSchemaVersion)))) {
        return fail(QStringLiteral("cannot upgrade the schema"));
    }
    if (!Db().commit()) {
        Fail(QStringLiteral("cannot write"));
        Rollback();
        return false;
    }
    return true;
}
