#include "records/recorder.h"

#include <QPointer>
#include <QSemaphore>

#include "records/record_forwarder.h"
#include "records/record_writer.h"
#include "records/sqlite_record_store.h"

Recorder* g_recorder = nullptr;

namespace {
// Ends `thread`'s loop after the events already queued for `object` have run.
void QuitAfterQueued(QObject* object, QThread& thread, std::function<void()> last) {
    QMetaObject::invokeMethod(object, [&thread, last = std::move(last)] {
        last();
        thread.quit();
    });
    thread.wait();
}
}  // namespace

Recorder::Recorder(RecorderOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)) {
    qRegisterMetaType<OperationRecord>();
    const bool server = m_options.location.IsPostgres();
    m_localFile = !server                          ? m_options.location.file
                  : m_options.outboxFile.isEmpty() ? DefaultRecordsFile()
                                                   : m_options.outboxFile;
    m_writer = std::make_unique<RecordWriter>(m_localFile, server, m_options.retryMs);
    m_writer->moveToThread(&m_writerThread);
    connect(m_writer.get(), &RecordWriter::stored, this, [this](const OperationRecord& record) {
        m_writerError.clear();
        emit recordStored(record);
    });
    connect(m_writer.get(), &RecordWriter::failed, this, &Recorder::WriterFailed);
    m_writerThread.setObjectName(QStringLiteral("records"));
    m_writerThread.start();
    if (server) {
        m_forwarder = std::make_unique<RecordForwarder>(m_localFile, m_options.location.server,
                                                        m_options.retryMs, m_options.maxRetryMs);
        m_forwarder->moveToThread(&m_forwarderThread);
        connect(m_writer.get(), &RecordWriter::committed, m_forwarder.get(),
                &RecordForwarder::Forward);
        connect(m_forwarder.get(), &RecordForwarder::forwarded, this, [this](int count) {
            m_forwarderError.clear();
            emit recordsForwarded(count);
        });
        connect(m_forwarder.get(), &RecordForwarder::failed, this, &Recorder::ForwarderFailed);
        m_forwarderThread.setObjectName(QStringLiteral("records forwarder"));
        m_forwarderThread.start();
        // What an earlier run left in the outbox goes first.
        QMetaObject::invokeMethod(m_forwarder.get(), &RecordForwarder::Forward);
    }
}

Recorder::~Recorder() {
    RecordWriter* writer = m_writer.get();
    QuitAfterQueued(writer, m_writerThread, [writer] { writer->Shutdown(); });
    if (m_forwarder) {
        RecordForwarder* forwarder = m_forwarder.get();
        QuitAfterQueued(forwarder, m_forwarderThread, [forwarder] { forwarder->Shutdown(); });
    }
}

void Recorder::Submit(const OperationRecord& record) {
    if (m_writer->Enqueue(record))
        QMetaObject::invokeMethod(m_writer.get(), &RecordWriter::Drain, Qt::QueuedConnection);
}

bool Recorder::Flush(int timeoutMs) {
    auto done = std::make_shared<QSemaphore>();
    RecordWriter* writer = m_writer.get();
    RecordForwarder* forwarder = m_forwarder.get();
    QMetaObject::invokeMethod(writer, [writer, forwarder, done] {
        writer->Drain();
        if (forwarder == nullptr) {
            done->release();
            return;
        }
        QMetaObject::invokeMethod(forwarder, [forwarder, done] {
            forwarder->ForwardAll();
            done->release();
        });
    });
    return done->tryAcquire(1, timeoutMs);
}

void Recorder::RunOnRecords(std::function<void(RecordStore&)> task) {
    if (m_forwarder) {
        RecordForwarder* forwarder = m_forwarder.get();
        QMetaObject::invokeMethod(forwarder, [forwarder, task] { forwarder->Run(task); });
    } else {
        RecordWriter* writer = m_writer.get();
        QMetaObject::invokeMethod(writer, [writer, task] { writer->Run(task); });
    }
}

void Recorder::Query(const RecordFilter& filter, QObject* context, RecordsResult done) {
    RunOnRecords([filter, context = QPointer<QObject>(context), done](RecordStore& store) {
        auto records = store.Query(filter);
        const QString error = records ? QString() : store.Error();
        if (context)
            QMetaObject::invokeMethod(context, [done, records, error] { done(records, error); });
    });
}

void Recorder::Summarise(const RecordFilter& filter, SummaryGrouping grouping, QObject* context,
                         SummaryResult done) {
    RunOnRecords(
        [filter, grouping, context = QPointer<QObject>(context), done](RecordStore& store) {
            auto rows = store.Summarise(filter, grouping);
            const QString error = rows ? QString() : store.Error();
            if (context)
                QMetaObject::invokeMethod(context, [done, rows, error] { done(rows, error); });
        });
}

void Recorder::WriterFailed(const QString& message) {
    if (message == m_writerError)
        return;
    m_writerError = message;
    emit failed(message);
}

void Recorder::ForwarderFailed(const QString& message) {
    if (message == m_forwarderError)
        return;
    m_forwarderError = message;
    emit failed(message);
}
