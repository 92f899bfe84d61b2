#pragma once
// Records in a line's PostgreSQL database, shared by its stations. The schema version lives in
// a table of its own; stations starting together take turns creating or upgrading the schema.

#include "records/records_location.h"
#include "records/sql_record_store.h"

class PostgresRecordStore : public SqlRecordStore {
public:
    explicit PostgresRecordStore(PostgresTarget target);

    // How long a connection attempt may take before the server counts as unreachable.
    static constexpr int kConnectTimeoutSeconds = 3;
    // How long one statement may run on a busy server.
    static constexpr int kStatementTimeoutMs = 20000;
    // How long a statement waits for a lock another session holds (a table locked by hand).
    static constexpr int kLockTimeoutMs = 3000;

protected:
    void Configure(QSqlDatabase& db) override;
    bool Prepare() override;
    QString Where() const override;

private:
    PostgresTarget m_target;
};
