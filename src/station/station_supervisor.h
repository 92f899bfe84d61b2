#pragma once
// The station's supervisor: one worker process (`tarvik-cli auto`) per port. It starts them,
// reads their events, shows each port's state through its signals, restarts a worker that ended
// on its own after a pause, and writes the failed record ("worker ended") of an operation whose
// worker died in the middle of it. It never opens a port and knows no widgets: the command
// line's table and the station window are both driven by it.
//
//   StationSupervisor supervisor(options);
//   connect(&supervisor, &StationSupervisor::stateChanged, ...);   // and the other signals
//   supervisor.SetPorts({"ttyUSB0", "ttyUSB1"});   // or SetAutoPorts(portSource)
//   supervisor.Start();
//   ...
//   supervisor.Stop();                              // finished() once every worker has ended
//
// Everything runs on the thread the supervisor lives on, from its event loop.

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <memory>

#include "station/station_event.h"
#include "station/station_options.h"

class PortSource;
class PortWorker;
class Recorder;

// What the station knows about one port, as the signals last told it.
struct PortStatus {
    StationState state = StationState::kStarting;
    int percent = -1;  // -1: no transfer under way
    QString message;
    QString softwareVersion;
    int passed = 0;
    int failed = 0;
    int cancelled = 0;
    int restarts = 0;  // workers started again after one ended on its own
};

class StationSupervisor : public QObject {
    Q_OBJECT

public:
    // Whether a listed port is the debugging cable's (USB 10C4:EA60), or one to leave alone.
    using CableFilter = std::function<bool(const QString& port)>;
    using PortExclusion = std::function<bool(const QString& port)>;

    explicit StationSupervisor(StationOptions options, QObject* parent = nullptr);
    // Asks any worker still running to stop, as Stop does, and kills those not ended in time.
    ~StationSupervisor() override;

    // Named ports, served whether or not they look like the cable, in this order. Before Start.
    void SetPorts(const QStringList& ports);
    // Every port of `source`'s list that `isCable` accepts, as they come and go (looked at
    // every portPollMs): a new one gets a worker, one gone ends its worker. `source` must
    // outlive the supervisor. Without a filter: the system's USB ids, read once per look.
    // `exclude` leaves a port alone whatever it is (one another window holds open).
    void SetAutoPorts(PortSource& source, CableFilter isCable = {}, PortExclusion exclude = {});

    void Start();
    // Tells every worker to stop; their operations end as cancelled records. finished() follows
    // once all have ended (those still running after stopTimeoutMs are killed). Idempotent.
    void Stop();
    bool Stopping() const { return m_stopping; }

    // The ports served now, in the order they were added.
    QStringList Ports() const { return m_order; }
    PortStatus Status(const QString& port) const;
    const StationOptions& Options() const { return m_options; }
    // All ports together, since Start.
    int Passed() const { return m_passed; }
    int Failed() const { return m_failed; }
    qint64 StartedMs() const { return m_startedMs; }

signals:
    void portAdded(const QString& port);
    void portRemoved(const QString& port);
    void stateChanged(const QString& port, StationState state);
    // 0..100 while a transfer runs.
    void progressChanged(const QString& port, int percent);
    void messageChanged(const QString& port, const QString& message);
    void softwareVersionChanged(const QString& port, const QString& version);
    void countsChanged(const QString& port, int passed, int failed);
    // Every event, the workers' and the supervisor's own (starting, restarting, stopped, the
    // failure of a worker that died), in order.
    void eventReceived(const StationEvent& event);
    // After Stop (or --count reached) once every worker has ended.
    void finished();

private:
    void AddPort(const QString& port);
    void RemovePort(const QString& port);
    void PollPorts();
    bool IsCable(const QString& port) const;
    void StartWorker(const QString& port);
    void TakeEvent(const StationEvent& event);
    void WorkerEnded(const QString& port, bool crashed, int exitCode, const QString& lastError);
    void WriteWorkerEndedRecord(const StationEvent& lastOperation, const QString& reason);
    void CheckFinished();
    void Emit(const StationEvent& event);

    StationOptions m_options;
    QStringList m_order;
    QHash<QString, PortStatus> m_status;
    QHash<QString, PortWorker*> m_workers;
    QHash<QString, StationEvent> m_operations;  // the operation under way on each port
    PortSource* m_portSource = nullptr;
    CableFilter m_isCable;
    PortExclusion m_exclude;
    QStringList m_cablePorts;  // the system's cable ports at the last look (no filter given)
    QTimer m_portPoll;
    std::unique_ptr<Recorder> m_recorder;
    bool m_started = false;
    bool m_stopping = false;
    bool m_finished = false;
    int m_passed = 0;
    int m_failed = 0;
    qint64 m_startedMs = 0;
};

// Whether the system lists `port` with the debugging cable's USB ids.
bool IsDebugCablePort(const QString& port);
