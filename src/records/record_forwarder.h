#pragma once
// Sends what waits in the outbox to the line's server, on a thread of its own with its own two
// connections. Each batch goes in one transaction under the records' own UUIDs and is marked
// sent only after the server committed it, so an outage at any moment loses nothing and a
// batch sent twice is stored once. After a failure it tries again by itself, waiting longer
// each time up to a limit.

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "records/postgres_record_store.h"
#include "records/sqlite_record_store.h"

class RecordForwarder : public QObject {
    Q_OBJECT

public:
    RecordForwarder(QString outboxFile, PostgresTarget server, int retryMs, int maxRetryMs);
    ~RecordForwarder() override;

    // Records per transaction on the server.
    static constexpr int kBatch = 500;

    // On the forwarder's thread. Forward sends one batch and posts itself again while more wait.
    void Forward();
    // Sends until the outbox is empty or a send fails; true when it is empty.
    bool ForwardAll();
    void Run(const std::function<void(RecordStore&)>& task);
    void Shutdown();

signals:
    void forwarded(int count);
    void failed(const QString& message);

private:
    // Sends one batch: the number sent (0: nothing waited), or -1 after a failure.
    int SendBatch();
    void ScheduleRetry();
    SqliteRecordStore& Outbox();
    PostgresRecordStore& Server();

    QString m_outboxFile;
    PostgresTarget m_target;
    std::unique_ptr<SqliteRecordStore> m_outbox;
    std::unique_ptr<PostgresRecordStore> m_server;
    int m_firstRetryMs;
    int m_maxRetryMs;
    QTimer m_retry;
};
