#include "records/recorder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QPointer>
#include <QSemaphore>

#include "records/record_forwarder.h"
#include "records/record_writer.h"
#include "records/sqlite_record_store.h"
#include "records/unsaved_records.h"

Recorder* g_recorder = nullptr;

QString RecorderEnd::Describe() const {
    QStringList parts;
    if (unsaved > 0 && !savedTo.isEmpty()) {
        parts << QStringLiteral(
                     "%1 record(s) could not be stored (%2); kept in %3, stored at the "
                     "next start")
                     .arg(unsaved)
                     .arg(problem.isEmpty() ? QStringLiteral("no answer in time") : problem,
                          QDir::toNativeSeparators(savedTo));
    } else if (unsaved > 0) {
        parts << QStringLiteral(
                     "%1 record(s) LOST: they could not be stored (%2) nor kept in a "
                     "file next to it")
                     .arg(unsaved)
                     .arg(problem.isEmpty() ? QStringLiteral("no answer in time") : problem);
    }
    if (waiting > 0) {
        parts << QStringLiteral("%1 record(s) wait in the local outbox %2 for the server")
                     .arg(waiting)
                     .arg(QDir::toNativeSeparators(outboxFile));
    }
    return parts.join(QStringLiteral("; "));
}

Recorder::Recorder(RecorderOptions options, QObject* parent)
    : QObject(parent),
      m_options(std::move(options)),
      m_writerThread(std::make_unique<QThread>()),
      m_forwarderThread(std::make_unique<QThread>()) {
    qRegisterMetaType<OperationRecord>();
    const bool server = m_options.location.IsPostgres();
    m_localFile = !server                          ? m_options.location.file
                  : m_options.outboxFile.isEmpty() ? DefaultRecordsFile()
                                                   : m_options.outboxFile;
    m_writer = std::make_unique<RecordWriter>(
        m_localFile, server, m_options.retryMs,
        server ? std::optional<PostgresTarget>(m_options.location.server) : std::nullopt,
        m_options.readOnly && !server);
    m_writer->moveToThread(m_writerThread.get());
    connect(m_writer.get(), &RecordWriter::stored, this, [this](const OperationRecord& record) {
        m_writerError.clear();
        emit recordStored(record);
    });
    connect(m_writer.get(), &RecordWriter::failed, this, &Recorder::WriterFailed);
    m_writerThread->setObjectName(QStringLiteral("records"));
    m_writerThread->start();
    if (server) {
        m_forwarder = std::make_unique<RecordForwarder>(m_localFile, m_options.location.server,
                                                        m_options.retryMs, m_options.maxRetryMs);
        m_forwarder->moveToThread(m_forwarderThread.get());
        connect(m_writer.get(), &RecordWriter::committed, m_forwarder.get(),
                &RecordForwarder::Forward);
        connect(m_forwarder.get(), &RecordForwarder::forwarded, this, [this](int count) {
            m_forwarderError.clear();
            emit recordsForwarded(count);
        });
        connect(m_forwarder.get(), &RecordForwarder::failed, this, &Recorder::ForwarderFailed);
        m_forwarderThread->setObjectName(QStringLiteral("records forwarder"));
        m_forwarderThread->start();
        // What an earlier run left in the outbox goes first.
        if (!m_options.readOnly)
            QMetaObject::invokeMethod(m_forwarder.get(), &RecordForwarder::Forward);
    }
    // An earlier run's unsaved records are taken in now, not with the first record.
    if (!m_options.readOnly)
        QMetaObject::invokeMethod(m_writer.get(), &RecordWriter::Drain, Qt::QueuedConnection);
}

Recorder::~Recorder() {
    if (!m_closed)
        Close(m_options.closeBudgetMs);
}

bool Recorder::Stop(QObject* worker, QThread& thread, const std::function<void()>& last,
                    int timeoutMs) {
    QMetaObject::invokeMethod(worker, [&thread, last] {
        last();
        thread.quit();
    });
    return thread.wait(QDeadlineTimer(std::max(0, timeoutMs)));
}

RecorderEnd Recorder::Close(int budgetMs) {
    RecorderEnd end;
    if (m_closed)
        return end;
    m_closed = true;
    const QDeadlineTimer deadline(budgetMs);
    // The forwarder gets what is left of the budget after the writer, at least a moment.
    constexpr int kForwarderShareMs = 500;
    RecordWriter* writer = m_writer.get();
    auto writerEnd = std::make_shared<WriterEnd>();
    const int writerBudget = std::max(0, budgetMs - (m_forwarder ? kForwarderShareMs : 0));
    const bool writerDone = Stop(
        writer, *m_writerThread,
        [writer, writerEnd, writerBudget] { *writerEnd = writer->Shutdown(writerBudget); },
        writerBudget + kForwarderShareMs);
    if (writerDone) {
        end.unsaved = writerEnd->unsaved;
        end.savedTo = writerEnd->savedTo;
        end.problem = writerEnd->lastProblem;
        m_writer.reset();
        m_writerThread.reset();
    } else {
        // Stuck in a call (a direct send to a server that does not answer): its records are
        // kept from here, and the thread is let go.
        const QList<OperationRecord> left = writer->Abandon();
        end.abandoned = true;
        end.unsaved = static_cast<int>(left.size());
        end.problem = m_writerError;
        end.savedTo = SaveUnsavedRecords(m_localFile, left);
        disconnect(writer, nullptr, this, nullptr);
        (void)m_writer.release();
        (void)m_writerThread.release();
    }
    if (m_forwarder) {
        RecordForwarder* forwarder = m_forwarder.get();
        const int left = std::max<int>(static_cast<int>(deadline.remainingTime()), 100);
        if (Stop(
                forwarder, *m_forwarderThread, [forwarder] { forwarder->Shutdown(); }, left)) {
            m_forwarder.reset();
            m_forwarderThread.reset();
        } else {
            // A server that stopped answering mid-call: what it was sent stays marked
            // waiting in the outbox, and goes again at the next start.
            end.abandoned = true;
            disconnect(forwarder, nullptr, this, nullptr);
            (void)m_forwarder.release();
            (void)m_forwarderThread.release();
        }
        if (!m_options.readOnly) {
            SqliteRecordStore outbox(m_localFile, true);
            end.waiting = outbox.PendingCount().value_or(0);
            end.outboxFile = m_localFile;
        }
    } else {
        m_forwarderThread.reset();
    }
    return end;
}

void Recorder::Submit(const OperationRecord& record) {
    if (m_closed || !m_writer)
        return;
    if (m_writer->Enqueue(record))
        QMetaObject::invokeMethod(m_writer.get(), &RecordWriter::Drain, Qt::QueuedConnection);
}

bool Recorder::Flush(int timeoutMs) {
    if (m_closed)
        return false;
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
    if (m_closed)
        return;
    if (m_forwarder) {
        RecordForwarder* forwarder = m_forwarder.get();
        QMetaObject::invokeMethod(forwarder, [forwarder, task] { forwarder->Run(task); });
    } else {
        RecordWriter* writer = m_writer.get();
        QMetaObject::invokeMethod(writer, [writer, task] { writer->Run(task); });
    }
}

void Recorder::Run(std::function<void(RecordStore&)> task, QObject* context,
                   std::function<void()> done) {
    RunOnRecords([task, context = QPointer<QObject>(context), done](RecordStore& store) {
        task(store);
        if (context)
            QMetaObject::invokeMethod(context, done);
    });
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

void Recorder::Yield(const RecordFilter& filter, YieldGrouping grouping, QObject* context,
                     YieldResult done) {
    RunOnRecords(
        [filter, grouping, context = QPointer<QObject>(context), done](RecordStore& store) {
            auto rows = store.Yield(filter, grouping);
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
