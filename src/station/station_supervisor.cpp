#include "station/station_supervisor.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <utility>

#include "link/port_source.h"
#include "records/recorder.h"
#include "serial/port_list.h"
#include "station/port_worker.h"

namespace {

// The reason of the record the supervisor writes for an operation its worker never finished.
const char kWorkerEnded[] = "worker ended";

}  // namespace

bool IsDebugCablePort(const QString& port) {
    for (const SerialPortEntry& entry : ListSerialPorts()) {
        if (entry.name == port || entry.systemLocation == port)
            return entry.isDebugCable;
    }
    return false;
}

StationSupervisor::StationSupervisor(StationOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)) {
    qRegisterMetaType<StationEvent>();
    if (m_options.program.isEmpty())
        m_options.program = QCoreApplication::applicationFilePath();
    connect(&m_portPoll, &QTimer::timeout, this, &StationSupervisor::PollPorts);
}

StationSupervisor::~StationSupervisor() {
    // Without a Stop (the program is ending): the workers are asked as Stop asks them, so their
    // operations end as cancelled records of their own, and none of their signals reaches this
    // object any more. One that has not ended in time is killed with its object, and its
    // operation recorded here; the recorder's destructor commits that.
    QDeadlineTimer deadline(m_options.stopTimeoutMs);
    for (PortWorker* worker : std::as_const(m_workers)) {
        worker->disconnect(this);
        worker->RequestStop();
    }
    for (auto it = m_workers.cbegin(); it != m_workers.cend(); ++it) {
        const int left = static_cast<int>(deadline.remainingTime());
        if (!(*it)->WaitForEnd(left) && m_operations.contains(it.key()))
            WriteWorkerEndedRecord(m_operations.value(it.key()), QString::fromLatin1(kWorkerEnded));
    }
    qDeleteAll(m_workers);
    m_workers.clear();
}

void StationSupervisor::SetPorts(const QStringList& ports) {
    m_portSource = nullptr;
    m_order.clear();
    for (const QString& port : ports) {
        if (!m_order.contains(port))
            m_order << port;
    }
}

void StationSupervisor::SetAutoPorts(PortSource& source, CableFilter isCable,
                                     PortExclusion exclude) {
    m_portSource = &source;
    // Without a filter the system's list is asked once per look, not once per port.
    m_isCable = std::move(isCable);
    m_exclude = std::move(exclude);
    m_order.clear();
}

void StationSupervisor::Start() {
    if (m_started)
        return;
    m_started = true;
    m_startedMs = NowUtcMs();
    if (m_portSource != nullptr) {
        PollPorts();
        m_portPoll.start(m_options.portPollMs);
        return;
    }
    const QStringList named = m_order;
    m_order.clear();
    for (const QString& port : named)
        AddPort(port);
}

void StationSupervisor::Stop() {
    if (m_stopping)
        return;
    m_stopping = true;
    m_portPoll.stop();
    for (PortWorker* worker : std::as_const(m_workers))
        worker->RequestStop();
    // Whatever has not ended by then is ended; its operation's record is written for it.
    QTimer::singleShot(m_options.stopTimeoutMs, this, [this] {
        for (PortWorker* worker : std::as_const(m_workers))
            worker->Kill();
    });
    CheckFinished();
}

PortStatus StationSupervisor::Status(const QString& port) const {
    return m_status.value(port);
}

void StationSupervisor::PollPorts() {
    if (m_portSource == nullptr || m_stopping)
        return;
    const std::optional<QStringList> listed = m_portSource->ListPorts();
    if (!listed)
        return;
    if (!m_isCable) {
        m_cablePorts.clear();
        for (const SerialPortEntry& entry : ListSerialPorts()) {
            if (entry.isDebugCable)
                m_cablePorts << entry.name << entry.systemLocation;
        }
    }
    QStringList cables;
    for (const QString& port : *listed) {
        if (IsCable(port))
            cables << port;
    }
    for (const QString& port : std::as_const(cables)) {
        if (!m_order.contains(port))
            AddPort(port);
    }
    const QStringList served = m_order;
    for (const QString& port : served) {
        if (!cables.contains(port))
            RemovePort(port);
    }
}

bool StationSupervisor::IsCable(const QString& port) const {
    if (m_exclude && m_exclude(port))
        return false;
    return m_isCable ? m_isCable(port) : m_cablePorts.contains(port);
}

void StationSupervisor::AddPort(const QString& port) {
    m_order << port;
    m_status.insert(port, PortStatus{});
    emit portAdded(port);
    StartWorker(port);
}

void StationSupervisor::RemovePort(const QString& port) {
    PortWorker* worker = m_workers.value(port);
    if (worker != nullptr && worker->Running()) {
        // The port goes once its worker has ended (WorkerEnded sees it is no longer listed).
        worker->RequestStop();
        return;
    }
    m_order.removeAll(port);
    m_status.remove(port);
    m_operations.remove(port);
    if (worker != nullptr) {
        m_workers.remove(port);
        worker->deleteLater();
    }
    emit portRemoved(port);
}

void StationSupervisor::StartWorker(const QString& port) {
    PortWorker* worker = m_workers.value(port);
    if (worker == nullptr) {
        QStringList arguments{"auto", "--port", port, "--events", "jsonl", "--supervised"};
        arguments += m_options.workerArguments;
        const std::pair<const char*, const QString*> recordOptions[] = {
            {"--records", &m_options.records},
            {"--outbox", &m_options.outbox},
            {"--station", &m_options.station},
            {"--unit", &m_options.unitId}};
        for (const auto& [option, value] : recordOptions) {
            if (!value->isEmpty())
                arguments << QString::fromLatin1(option) << *value;
        }
        worker = new PortWorker(port, m_options.program, arguments, this);
        connect(worker, &PortWorker::eventReceived, this, &StationSupervisor::TakeEvent);
        connect(worker, &PortWorker::ended, this,
                [this, port](bool crashed, int exitCode, const QString& lastError) {
                    WorkerEnded(port, crashed, exitCode, lastError);
                });
        m_workers.insert(port, worker);
    }
    if (m_status.value(port).state != StationState::kPortError &&
        m_status.value(port).state != StationState::kPortGone) {
        Emit(StationEvent::State(port, StationState::kStarting));
    }
    worker->Start();
}

void StationSupervisor::TakeEvent(const StationEvent& event) {
    const QString& port = event.port;
    if (!m_status.contains(port))
        return;
    if (event.type == StationEvent::Type::kState) {
        if (IsOperationState(event.state)) {
            // The first state of an operation carries what its record needs.
            if (!m_operations.contains(port) || event.state == StationState::kBootEntry ||
                event.state == StationState::kWriting || event.state == StationState::kReading)
                m_operations.insert(port, event);
        } else {
            m_operations.remove(port);
        }
    }
    Emit(event);
}

void StationSupervisor::Emit(const StationEvent& event) {
    const QString& port = event.port;
    auto found = m_status.find(port);
    if (found == m_status.end())
        return;
    PortStatus& status = *found;
    emit eventReceived(event);
    if (event.type == StationEvent::Type::kProgress) {
        if (status.percent != event.percent) {
            status.percent = event.percent;
            emit progressChanged(port, event.percent);
        }
        return;
    }
    if (!event.softwareVersion.isEmpty() && event.softwareVersion != status.softwareVersion) {
        status.softwareVersion = event.softwareVersion;
        emit softwareVersionChanged(port, status.softwareVersion);
    }
    if (event.state != StationState::kDownloading && status.percent != -1 &&
        event.state != StationState::kPassed) {
        status.percent = -1;
        emit progressChanged(port, -1);
    }
    if (event.state == StationState::kPassed || event.state == StationState::kFailed) {
        (event.state == StationState::kPassed ? status.passed : status.failed) += 1;
        (event.state == StationState::kPassed ? m_passed : m_failed) += 1;
        emit countsChanged(port, status.passed, status.failed);
    }
    if (event.state == StationState::kCancelled)
        ++status.cancelled;
    if (event.state == StationState::kRestarting)
        ++status.restarts;
    // A message stays until another replaces it: the last thing said about the port.
    if (!event.message.isEmpty() || IsOperationState(event.state)) {
        if (status.message != event.message) {
            status.message = event.message;
            emit messageChanged(port, status.message);
        }
    }
    if (status.state != event.state) {
        status.state = event.state;
        emit stateChanged(port, event.state);
    }
    if (m_options.count > 0 && m_passed + m_failed >= m_options.count)
        Stop();
}

void StationSupervisor::WorkerEnded(const QString& port, bool crashed, int exitCode,
                                    const QString& lastError) {
    if (m_operations.contains(port)) {
        const StationEvent started = m_operations.take(port);
        WriteWorkerEndedRecord(started, QString::fromLatin1(kWorkerEnded));
        StationEvent failed = StationEvent::State(port, StationState::kFailed,
                                                  QString::fromLatin1(kWorkerEnded));
        failed.controller = started.controller;
        failed.operation = started.operation;
        failed.startedMs = started.startedMs;
        failed.softwareVersion = started.softwareVersion;
        Emit(failed);
    }
    bool listed = true;
    if (m_portSource != nullptr) {
        const QStringList ports = m_portSource->ListPorts().value_or(QStringList());
        listed = ports.contains(port) && IsCable(port);
    }
    if (m_stopping || !listed) {
        if (m_status.contains(port))
            Emit(StationEvent::State(port, StationState::kStopped));
        if (!m_stopping)
            RemovePort(port);
        CheckFinished();
        return;
    }
    const StationState last = m_status.value(port).state;
    if (last != StationState::kPortError && last != StationState::kPortGone) {
        // A worker that ended by itself without saying why (refused input, a missing program)
        // said it on its error output: that is what the operator needs to see.
        QString why = crashed ? QString::fromLatin1(kWorkerEnded) : QString();
        if (!crashed && exitCode != 0 && !lastError.isEmpty())
            why = lastError;
        Emit(StationEvent::State(port, StationState::kRestarting, why));
    }
    QTimer::singleShot(m_options.restartPauseMs, this, [this, port] {
        if (!m_stopping && m_workers.contains(port) && !m_workers.value(port)->Running())
            StartWorker(port);
    });
}

void StationSupervisor::WriteWorkerEndedRecord(const StationEvent& started, const QString& reason) {
    if (!started.operation)
        return;
    if (!m_recorder) {
        const RecordsLocationResult where = ParseRecordsLocation(m_options.records);
        if (!where.location)
            return;
        RecorderOptions recorderOptions;
        recorderOptions.location = *where.location;
        recorderOptions.outboxFile = m_options.outbox;
        m_recorder = std::make_unique<Recorder>(recorderOptions);
    }
    OperationRecord record =
        OperationRecord::Begin(*started.operation, CommandLineSource(QStringLiteral("auto")));
    // The worker's own record, should it have been stored after all, stays the one kept.
    if (!started.record.isNull())
        record.uuid = started.record;
    record.startedMs = started.startedMs;
    record.station = m_options.station;
    record.unitId = m_options.unitId;
    record.port = started.port;
    record.baud = static_cast<int>(m_options.baud);
    record.can = m_options.can;
    record.softwareVersion = started.softwareVersion;
    if (*started.operation == RecordOperation::kDownload && m_options.imageSize >= 0) {
        record.imageName = m_options.imageName;
        record.imageSize = m_options.imageSize;
        record.imageSha256 = m_options.imageSha256;
    }
    record.Finish(RecordOutcome::kFailed, reason);
    m_recorder->Submit(record);
}

void StationSupervisor::CheckFinished() {
    if (!m_stopping || m_finished)
        return;
    for (PortWorker* worker : std::as_const(m_workers)) {
        if (worker->Running())
            return;
    }
    m_finished = true;
    if (m_recorder)
        m_recorder->Flush(5000);
    emit finished();
}
