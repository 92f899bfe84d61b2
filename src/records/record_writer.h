#pragma once
// The local side of recording, on a thread of its own: commits the records handed over to the
// SQLite file (the records themselves, or the outbox in front of a server) and answers queries
// on its own connection. What cannot be written yet is kept and tried again.

#include <QList>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <mutex>

#include "records/operation_record.h"
#include "records/sqlite_record_store.h"

class RecordWriter : public QObject {
    Q_OBJECT

public:
    RecordWriter(QString file, bool outbox, int retryMs);
    ~RecordWriter() override;

    // Any thread: queues the record; true when the queue was empty, so that the caller posts
    // one Drain for all that follow until then.
    bool Enqueue(const OperationRecord& record);

    // On the writer's thread.
    void Drain();
    void Run(const std::function<void(RecordStore&)>& task);
    // Drains and closes the file; the last thing the thread does.
    void Shutdown();

signals:
    void stored(const OperationRecord& record);
    // Records were committed; the forwarder has work.
    void committed();
    void failed(const QString& message);

private:
    SqliteRecordStore& Store();

    QString m_file;
    bool m_outbox;
    std::unique_ptr<SqliteRecordStore> m_store;
    std::mutex m_queueLock;
    QList<OperationRecord> m_queue;
    // Taken from the queue, not yet committed.
    QList<OperationRecord> m_backlog;
    QTimer m_retry;
};
