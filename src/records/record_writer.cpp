#include "records/record_writer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>
#include <utility>

#include "records/postgres_record_store.h"
#include "records/unsaved_records.h"

RecordWriter::RecordWriter(QString file, bool outbox, int retryMs,
                           std::optional<PostgresTarget> server, bool readOnly)
    : m_file(std::move(file)),
      m_outbox(outbox),
      m_readOnly(readOnly),
      m_server(std::move(server)),
      m_retry(this) {
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryMs);
    connect(&m_retry, &QTimer::timeout, this, &RecordWriter::Drain);
}

RecordWriter::~RecordWriter() = default;

bool RecordWriter::Enqueue(const OperationRecord& record) {
    std::lock_guard lock(m_queueLock);
    m_queue.append(record);
    return m_queue.size() == 1;
}

SqliteRecordStore& RecordWriter::Store() {
    // Made here, so the connection belongs to this thread.
    if (!m_store)
        m_store = std::make_unique<SqliteRecordStore>(m_file, m_outbox, m_readOnly);
    return *m_store;
}

void RecordWriter::TakeInUnsaved() {
    if (m_tookInUnsaved || m_readOnly)
        return;
    m_tookInUnsaved = true;
    UnsavedRecords unsaved = LoadUnsavedRecords(m_file);
    if (unsaved.files.isEmpty())
        return;
    m_unsavedFiles = unsaved.files;
    std::lock_guard lock(m_queueLock);
    m_backlog = unsaved.records + m_backlog;
}

bool RecordWriter::SendDirect(const QList<OperationRecord>& batch) {
    if (!m_server)
        return false;
    if (!m_direct)
        m_direct = std::make_unique<PostgresRecordStore>(*m_server);
    if (!m_direct->Insert(batch)) {
        m_lastProblem = m_direct->Error();
        emit failed(m_direct->Error());
        m_direct->Close();
        return false;
    }
    return true;
}

void RecordWriter::Drain() {
    if (m_readOnly)
        return;
    TakeInUnsaved();
    QList<OperationRecord> batch;
    {
        std::lock_guard lock(m_queueLock);
        if (m_abandoned)
            return;
        m_backlog.append(m_queue);
        m_queue.clear();
        batch = m_backlog;
    }
    if (batch.isEmpty())
        return;
    bool done = Store().Insert(batch);
    if (!done) {
        m_lastProblem = Store().Error();
        const bool busy = Store().Busy();
        m_lastBusy = busy;
        // A file another program holds passes: wait for it without a word. Anything else is
        // said; an outbox that cannot be used is gone round.
        if (!busy && m_outbox && m_server) {
            if (!m_outboxProblemShown) {
                emit failed(Store().Error() +
                            QStringLiteral("; records go straight to the server"));
                m_outboxProblemShown = true;
            }
            done = SendDirect(batch);
        } else if (!busy) {
            emit failed(Store().Error());
        }
        // A file that could not be opened may be fine later (a folder made, a lock released).
        Store().Close();
    }
    if (!done) {
        if (!m_retry.isActive())
            m_retry.start();
        return;
    }
    {
        std::lock_guard lock(m_queueLock);
        m_backlog.remove(0, std::min(m_backlog.size(), batch.size()));
    }
    m_lastProblem.clear();
    for (const QString& file : std::exchange(m_unsavedFiles, {}))
        QFile::remove(file);
    for (const OperationRecord& record : batch)
        emit stored(record);
    emit committed();
}

void RecordWriter::Run(const std::function<void(RecordStore&)>& task) {
    task(Store());
}

QList<OperationRecord> RecordWriter::Abandon() {
    std::lock_guard lock(m_queueLock);
    m_abandoned = true;
    return m_backlog + m_queue;
}

WriterEnd RecordWriter::Shutdown(int deadlineMs) {
    m_retry.stop();
    const QDeadlineTimer deadline(deadlineMs);
    WriterEnd end;
    if (!m_readOnly) {
        for (;;) {
            Drain();
            m_retry.stop();
            std::lock_guard lock(m_queueLock);
            if (m_abandoned)
                return end;
            if (m_backlog.isEmpty() && m_queue.isEmpty())
                break;
            // Only a file another program holds is worth waiting for; a file that cannot be
            // used stays so for the moments left.
            if (!m_lastBusy || deadline.remainingTime() < SqliteRecordStore::kBusyTimeoutMs)
                break;
            // Drain waited the busy timeout already when the file was held; a file that
            // failed at once is not tried in a tight loop.
            QThread::msleep(50);
        }
    }
    QList<OperationRecord> left;
    {
        std::lock_guard lock(m_queueLock);
        left = m_backlog + m_queue;
        m_backlog.clear();
        m_queue.clear();
    }
    if (!left.isEmpty()) {
        end.unsaved = static_cast<int>(left.size());
        end.lastProblem = m_lastProblem;
        end.savedTo = SaveUnsavedRecords(m_file, left);
        // What was taken in from earlier files is in the new one now.
        if (!end.savedTo.isEmpty()) {
            for (const QString& file : std::exchange(m_unsavedFiles, {}))
                QFile::remove(file);
        }
    }
    m_store.reset();
    m_direct.reset();
    return end;
}
