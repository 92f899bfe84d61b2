#include "records/record_forwarder.h"

RecordForwarder::RecordForwarder(QString outboxFile, PostgresTarget server, int retryMs,
                                 int maxRetryMs)
    : m_outboxFile(std::move(outboxFile)),
      m_target(std::move(server)),
      m_firstRetryMs(retryMs),
      m_maxRetryMs(maxRetryMs),
      m_retry(this) {
    m_retry.setSingleShot(true);
    m_retry.setInterval(retryMs);
    connect(&m_retry, &QTimer::timeout, this, &RecordForwarder::Forward);
}

RecordForwarder::~RecordForwarder() = default;

SqliteRecordStore& RecordForwarder::Outbox() {
    if (!m_outbox)
        m_outbox = std::make_unique<SqliteRecordStore>(m_outboxFile, true);
    return *m_outbox;
}

PostgresRecordStore& RecordForwarder::Server() {
    if (!m_server)
        m_server = std::make_unique<PostgresRecordStore>(m_target);
    return *m_server;
}

int RecordForwarder::SendBatch() {
    const auto pending = Outbox().Pending(kBatch);
    if (!pending) {
        emit failed(Outbox().Error());
        Outbox().Close();
        return -1;
    }
    if (pending->isEmpty())
        return 0;
    if (!Server().Open()) {
        emit failed(Server().Error());
        return -1;
    }
    if (!Server().Insert(*pending)) {
        emit failed(Server().Error());
        // A connection the server dropped is not reused.
        Server().Close();
        return -1;
    }
    QList<QUuid> sent;
    sent.reserve(pending->size());
    for (const OperationRecord& record : *pending)
        sent.append(record.uuid);
    // Should this fail, the batch is sent again later and the server keeps one of each.
    if (!Outbox().MarkForwarded(sent)) {
        emit failed(Outbox().Error());
        return -1;
    }
    emit forwarded(static_cast<int>(sent.size()));
    return static_cast<int>(sent.size());
}

void RecordForwarder::ScheduleRetry() {
    if (m_retry.isActive())
        return;
    m_retry.start();
    m_retry.setInterval(std::min(m_maxRetryMs, m_retry.interval() * 2));
}

void RecordForwarder::Forward() {
    const int sent = SendBatch();
    if (sent < 0) {
        ScheduleRetry();
        return;
    }
    m_retry.stop();
    m_retry.setInterval(m_firstRetryMs);
    // One batch per turn, so queries and shutdown are not kept waiting behind a long backlog.
    if (sent == kBatch)
        QMetaObject::invokeMethod(this, &RecordForwarder::Forward, Qt::QueuedConnection);
}

bool RecordForwarder::ForwardAll() {
    int sent = 0;
    while ((sent = SendBatch()) > 0) {
    }
    if (sent < 0) {
        ScheduleRetry();
        return false;
    }
    return true;
}

void RecordForwarder::Run(const std::function<void(RecordStore&)>& task) {
    task(Server());
}

void RecordForwarder::Shutdown() {
    m_retry.stop();
    m_server.reset();
    m_outbox.reset();
}
