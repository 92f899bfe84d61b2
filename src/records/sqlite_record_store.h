#pragma once
// Records in an SQLite file: the embedded default, and the outbox in front of a line's server.
// WAL, so a reader (the forwarder's own connection, a listing) never waits for the writer; the
// schema version is the file's user_version.

#include <QUuid>

#include "records/sql_record_store.h"

class SqliteRecordStore : public SqlRecordStore {
public:
    // With `outbox`, every record inserted waits to be forwarded until MarkForwarded. With
    // `readOnly`, the file is only read (a listing): nothing is created, switched or upgraded,
    // so a file in a folder the user cannot write can still be listed.
    explicit SqliteRecordStore(const QString& file, bool outbox = false, bool readOnly = false);

    QString File() const { return m_file; }
    bool Open() override;

    // Up to `limit` records still to forward, oldest first.
    std::optional<QList<OperationRecord>> Pending(int limit);
    std::optional<qint64> PendingCount();
    bool MarkForwarded(const QList<QUuid>& uuids);

    // How long a write waits for another process's write to finish.
    static constexpr int kBusyTimeoutMs = 2000;
    // The file header's application id ("Tarv"): marks the tool's own files, so that another
    // program's database is never taken for one.
    static constexpr int kApplicationId = 0x54617276;

protected:
    void Configure(QSqlDatabase& db) override;
    bool Prepare() override;
    QStringList ExtraInsertColumns() const override;
    void BindExtraInsertValues(QSqlQuery& query) const override;
    QString Where() const override;
    bool IsBusyCode(const QString& code) const override;

private:
    bool Upgrade(int from);

    QString m_file;
    bool m_outbox;
    bool m_readOnly;
    bool m_immutable = false;
};
