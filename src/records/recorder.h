#pragma once
// The program's recorder: takes a finished record from whatever thread ran the operation and
// gets it into the records without that thread waiting for any database.
//
// Threads: the writer's thread commits every record to the local SQLite file (the records, or
// the outbox when the records live on a server); with a server, the forwarder's thread sends
// the outbox on. Each has its own connections. Submit only queues and wakes the writer. Signals
// are emitted on the recorder's own thread; failures come as one message per distinct problem
// and never stop anything.
//
// A window builds a record when an operation ends and calls g_recorder->Submit(record); a live
// view connects to recordStored; a records view calls Query or Summarise, which run on the
// database threads and call back on the caller's.

#include <QObject>
#include <QString>
#include <QThread>
#include <functional>
#include <memory>
#include <optional>

#include "records/operation_record.h"
#include "records/record_filter.h"
#include "records/records_location.h"

class RecordWriter;
class RecordForwarder;
class RecordStore;

struct RecorderOptions {
    RecordsLocation location;
    // With a server: the local file every record is committed to first. Empty: the default.
    QString outboxFile;
    // First wait before sending again after a failure; doubles up to maxRetryMs.
    int retryMs = 2000;
    int maxRetryMs = 60000;
    // A listing's recorder: the file is only read (nothing created or upgraded), nothing is
    // submitted.
    bool readOnly = false;
    // What the destructor gives Close when Close was not called.
    int closeBudgetMs = 3000;
};

// How recording ended: records the store could not take, and what waits for the server.
struct RecorderEnd {
    int unsaved = 0;         // not committed to the store (or the outbox)
    QString savedTo;         // the file of unsaved records next to it; empty with unsaved: lost
    QString problem;         // why they were not committed
    qint64 waiting = 0;      // with a server: records the outbox still holds for it
    QString outboxFile;      // with a server: the outbox
    bool abandoned = false;  // a database did not answer in time and was left behind

    // One line for the user, empty when all is well.
    QString Describe() const;
};

class Recorder : public QObject {
    Q_OBJECT

public:
    explicit Recorder(RecorderOptions options, QObject* parent = nullptr);
    // Close with the options' budget, unless Close ran already.
    ~Recorder() override;

    // Commits what was handed over and stops the threads, within `budgetMs` in all: a store
    // another program holds is waited for up to then, and what it did not take is kept in a
    // file of unsaved records that the next start takes in; a database that does not answer
    // is left behind with its thread (never the outbox: what it held stays for the next
    // start). Called once, on the recorder's thread.
    RecorderEnd Close(int budgetMs);

    const RecordsLocation& Location() const { return m_options.location; }
    // The SQLite file records are committed to (the records, or the outbox).
    QString LocalFile() const { return m_localFile; }

    // Any thread; returns at once.
    void Submit(const OperationRecord& record);
    // Runs `task` on a database thread against the records (the server's when there is one),
    // for a listing that streams its rows from there; `done` runs on `context`'s thread after.
    void Run(std::function<void(RecordStore&)> task, QObject* context, std::function<void()> done);

    // Blocks the caller (the command line at its end) until every record submitted before is
    // committed locally and, with a server, the outbox was sent or a send failed. False when
    // `timeoutMs` ran out first.
    bool Flush(int timeoutMs);

    using RecordsResult = std::function<void(std::optional<QList<OperationRecord>>, QString)>;
    using SummaryResult = std::function<void(std::optional<QList<SummaryRow>>, QString)>;
    // Run on a database thread against the records (the server's when there is one); `done`
    // is called on `context`'s thread with the result, or nothing and the reason.
    void Query(const RecordFilter& filter, QObject* context, RecordsResult done);
    void Summarise(const RecordFilter& filter, SummaryGrouping grouping, QObject* context,
                   SummaryResult done);
    using YieldResult = std::function<void(std::optional<QList<YieldRow>>, QString)>;
    void Yield(const RecordFilter& filter, YieldGrouping grouping, QObject* context,
               YieldResult done);

signals:
    void recordStored(const OperationRecord& record);
    void recordsForwarded(int count);
    void failed(const QString& message);

private:
    void RunOnRecords(std::function<void(RecordStore&)> task);
    // Runs `last` as the final event of `worker`'s thread and ends the thread; false when that
    // did not happen within `timeoutMs`.
    bool Stop(QObject* worker, QThread& thread, const std::function<void()>& last, int timeoutMs);
    void WriterFailed(const QString& message);
    void ForwarderFailed(const QString& message);

    RecorderOptions m_options;
    QString m_localFile;
    // On the heap: a thread stuck in a database call is let go, not waited for.
    std::unique_ptr<QThread> m_writerThread;
    std::unique_ptr<QThread> m_forwarderThread;
    std::unique_ptr<RecordWriter> m_writer;
    std::unique_ptr<RecordForwarder> m_forwarder;
    bool m_closed = false;
    // The last message of each side; a repeat of it is not shown again.
    QString m_writerError;
    QString m_forwarderError;
};

// The recorder the front end started (null before that, and where recording is off).
extern Recorder* g_recorder;
