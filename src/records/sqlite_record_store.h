#pragma once
// Records in an SQLite file: the embedded default, and the outbox in front of a line's server.
// WAL, so a reader (the forwarder's own connection, a listing) never waits for the writer; the
// schema version is the file's user_version.

#include <QUuid>

#include "records/sql_record_store.h"

class SqliteRecordStore : public SqlRecordStore {
public:
    // With `outbox`, every record inserted waits to be forwarded until MarkForwarded.
    explicit SqliteRecordStore(const QString& file, bool outbox = false);

    QString File() const { return m_file; }

    // Up to `limit` records still to forward, oldest first.
    std::optional<QList<OperationRecord>> Pending(int limit);
    std::optional<qint64> PendingCount();
    bool MarkForwarded(const QList<QUuid>& uuids);

    // How long a write waits for another process's write to finish.
    static constexpr int kBusyTimeoutMs = 2000;

protected:
    void Configure(QSqlDatabase& db) override;
    bool Prepare() override;
    QStringList ExtraInsertColumns() const override;
    void BindExtraInsertValues(QSqlQuery& query) const override;
    QString Where() const override;

private:
    bool Upgrade(int from);

    QString m_file;
    bool m_outbox;
};
