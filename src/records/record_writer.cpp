#include "records/record_writer.h"

RecordWriter::RecordWriter(QString file, bool outbox, int retryMs)
    : m_file(std::move(file)), m_outbox(outbox), m_retry(this) {
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
        m_store = std::make_unique<SqliteRecordStore>(m_file, m_outbox);
    return *m_store;
}

void RecordWriter::Drain() {
    {
        std::lock_guard lock(m_queueLock);
        m_backlog.append(m_queue);
        m_queue.clear();
    }
    if (m_backlog.isEmpty())
        return;
    if (!Store().Insert(m_backlog)) {
        emit failed(Store().Error());
        // A file that could not be opened may be fine later (a folder made, a lock released).
        Store().Close();
        if (!m_retry.isActive())
            m_retry.start();
        return;
    }
    const QList<OperationRecord> done = std::exchange(m_backlog, {});
    for (const OperationRecord& record : done)
        emit stored(record);
    emit committed();
}

void RecordWriter::Run(const std::function<void(RecordStore&)>& task) {
    task(Store());
}

void RecordWriter::Shutdown() {
    Drain();
    m_retry.stop();
    m_store.reset();
}
