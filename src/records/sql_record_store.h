#pragma once
// What the SQLite and the PostgreSQL store share: one table of the same columns, the same
// statements, the connection's lifetime. The two differ in how they connect and how their
// schema version is kept.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>

#include "records/record_store.h"

class SqlRecordStore : public RecordStore {
public:
    ~SqlRecordStore() override;

    bool Open() override;
    bool IsOpen() const override;
    void Close() override;
    bool Insert(const QList<OperationRecord>& records) override;
    std::optional<QList<OperationRecord>> Query(const RecordFilter& filter) override;
    bool QueryEach(const RecordFilter& filter,
                   const std::function<bool(const OperationRecord&)>& row) override;
    std::optional<QList<SummaryRow>> Summarise(const RecordFilter& filter,
                                               SummaryGrouping grouping) override;
    std::optional<QList<YieldRow>> Yield(const RecordFilter& filter,
                                         YieldGrouping grouping) override;
    QString Error() const override { return m_error; }
    bool Busy() const override { return m_busy; }

    // The newest schema this build writes.
    static constexpr int kSchemaVersion = 1;
    static constexpr const char* kTable = "operation_records";
    // The index counts by time read instead of the table.
    static constexpr const char* kCountIndex = "operation_records_counts";
    // The index yields read each unit's attempts from, in order.
    static constexpr const char* kUnitIndex = "operation_records_units";

protected:
    explicit SqlRecordStore(const QString& driver);

    // The indexes counts and yields read instead of the table, each created unless
    // `existsSql` (%1 the index's name) finds it: looked up first, so that a store that has them
    // is not written to (nor a server's table locked) at every start.
    enum class IndexStep { kDone, kLookUpFailed, kCreateFailed };
    IndexStep CreateReadIndexes(QSqlQuery& query, const QString& existsSql);

    // Sets the connection's parameters before it opens.
    virtual void Configure(QSqlDatabase& db) = 0;
    // Runs once the connection is open: settings, then the schema created or upgraded.
    virtual bool Prepare() = 0;
    // Extra columns an insert sets, and their values (the outbox flag).
    virtual QStringList ExtraInsertColumns() const { return {}; }
    virtual void BindExtraInsertValues(QSqlQuery&) const {}
    // Where messages say the records are: "file X", "local outbox X", "server URL".
    virtual QString Where() const = 0;
    // Whether a driver's error code means another connection holds the database.
    virtual bool IsBusyCode(const QString&) const { return false; }

    // Records the failure (the query's, or the connection's when `query` is null) as the one
    // line Error() gives; returns false for convenience.
    bool Fail(const QString& what, const QSqlQuery* query = nullptr);
    // Prepares `sql` forward-only with `values` bound and runs it; false after Fail.
    bool RunRead(QSqlQuery& query, const QString& sql, const QVariantList& values);
    // Ends the transaction under way, if the connection still stands (a dropped one has none,
    // and the driver would complain).
    void Rollback();
    QSqlDatabase& Db() { return m_db; }
    // The columns every record has, in table order.
    static const QStringList& Columns();
    static OperationRecord FromRow(const QSqlQuery& query);

private:
    QString m_connectionName;
    QSqlDatabase m_db;
    QString m_error;
    bool m_busy = false;
};
