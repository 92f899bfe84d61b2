#pragma once
// The local side of recording, on a thread of its own: commits the records handed over to the
// SQLite file (the records themselves, or the outbox in front of a server) and answers queries
// on its own connection. What cannot be committed yet is kept and tried again; a file another
// program holds is waited for without a word, since it passes. An outbox that cannot take
// records at all sends them straight to the server. What is still not committed when the
// program must end goes to a file of unsaved records next to the store (unsaved_records.h),
// which the next writer there takes in.

#include <QList>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include "records/operation_record.h"
#include "records/records_location.h"
#include "records/sqlite_record_store.h"

class PostgresRecordStore;

// How the writer ended.
struct WriterEnd {
    int unsaved = 0;      // records not committed when it ended
    QString savedTo;      // the file they were kept in; empty with unsaved > 0: lost
    QString lastProblem;  // why they were not committed
};

class RecordWriter : public QObject {
    Q_OBJECT

public:
    // `server`: the line's server behind the outbox `file`, for records the outbox refuses.
    // `readOnly`: a listing's writer, which only answers queries.
    RecordWriter(QString file, bool outbox, int retryMs,
                 std::optional<PostgresTarget> server = std::nullopt, bool readOnly = false);
    ~RecordWriter() override;

    // Any thread: queues the record; true when the queue was empty, so that the caller posts
    // one Drain for all that follow until then.
    bool Enqueue(const OperationRecord& record);

    // On the writer's thread.
    void Drain();
    void Run(const std::function<void(RecordStore&)>& task);
    // Tries to commit what waits until `deadlineMs` (a QDeadlineTimer's remaining time), keeps
    // what is left in a file of unsaved records, and closes the store; the last thing the
    // thread does.
    WriterEnd Shutdown(int deadlineMs);

    // Any thread, when the writer's thread no longer answers: everything not known to be
    // committed, from now on the caller's to keep. The writer does no more with it.
    QList<OperationRecord> Abandon();

signals:
    void stored(const OperationRecord& record);
    // Records were committed; the forwarder has work.
    void committed();
    void failed(const QString& message);

private:
    SqliteRecordStore& Store();
    // The outbox could not take the batch: straight to the server. True when it took them.
    bool SendDirect(const QList<OperationRecord>& batch);
    void TakeInUnsaved();

    QString m_file;
    bool m_outbox;
    bool m_readOnly;
    std::optional<PostgresTarget> m_server;
    std::unique_ptr<SqliteRecordStore> m_store;
    std::unique_ptr<PostgresRecordStore> m_direct;
    // The queue and the backlog (taken from the queue, not yet committed), under one lock so
    // that Abandon sees both.
    std::mutex m_queueLock;
    QList<OperationRecord> m_queue;
    QList<OperationRecord> m_backlog;
    bool m_abandoned = false;
    bool m_tookInUnsaved = false;
    QStringList m_unsavedFiles;
    QString m_lastProblem;
    bool m_lastBusy = false;
    bool m_outboxProblemShown = false;
    QTimer m_retry;
};
