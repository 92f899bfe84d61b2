#pragma once
// What the station window shows of each port, fed by the supervisor's reports. It keeps the
// rules an operator relies on in one place: an outcome stays on its port until the next
// controller there starts (a failure is still red after the operator looked away), counts are
// per port, and every operation that ends is announced once for the sounds.

#include <QList>
#include <QObject>
#include <QString>
#include <QtGlobal>
#include <optional>

// The steps a worker reports for the controller on its port.
enum class StationPhase {
    kWaiting,
    kBootEntry,
    kDownloading,
    kWriting,
    kReading,
    kPassed,
    kFailed,
    kCancelled,
};

struct StationPortEvent {
    QString port;
    StationPhase phase = StationPhase::kWaiting;
    std::optional<int> percent;  // 0..100 when the worker said
    QString message;             // the failure's reason, or what the worker said last
    QString softwareVersion;     // the controller's, when known
    qint64 timeMs = 0;           // UTC ms; 0: now
};

// The tile's state in large letters.
enum class TileState {
    kWaiting,    // no controller yet, or the last one was taken away without an outcome
    kWorking,    // a controller is being programmed, written or read
    kPassed,
    kFailed,
    kCancelled,  // stopped by the operator in the middle
    kInUse,      // the main window holds the port; the station leaves it alone
    kPortError,  // the port cannot be opened (missing, busy); the station tries again
    kNoWorker,   // the port's worker ended; the supervisor starts it again
    kStopped,    // the station is not running
};

struct StationPortView {
    QString port;
    bool cable = false;
    TileState state = TileState::kStopped;
    StationPhase phase = StationPhase::kWaiting;
    int percent = 0;
    QString message;
    QString softwareVersion;  // of the last controller that finished
    qint64 finishedMs = 0;    // when it finished (UTC ms), 0: none yet
    int passed = 0;
    int failed = 0;
};

class StationViewModel : public QObject {
    Q_OBJECT

public:
    explicit StationViewModel(QObject* parent = nullptr);

    const QList<StationPortView>& Ports() const { return m_ports; }
    int IndexOf(const QString& port) const;
    const StationPortView* Port(const QString& port) const;

    // A run starts: every known port waits, the counts and the rate start afresh.
    void RunStarted(qint64 nowMs);
    // The run ended: ports show stopped unless an outcome is still to be seen.
    void RunStopped();
    bool Running() const { return m_running; }

    // A port the station serves (an existing one is kept, with its counts).
    int AddPort(const QString& port);
    void RemovePort(const QString& port);
    void SetCable(const QString& port, bool present);
    void Apply(const StationPortEvent& event);
    // The port is held elsewhere; the station retries it. `message` says by what, if known.
    void SetInUse(const QString& port, const QString& message);
    // The port's worker ended unexpectedly. In the middle of an operation that operation
    // failed with `message` (the supervisor records it so); otherwise the tile just says so.
    void WorkerEnded(const QString& port, const QString& message);
    // The port could not be opened; the message says why.
    void SetPortError(const QString& port, const QString& message);
    // A worker (re)started for the port: the tile waits again unless it shows an outcome.
    void WorkerStarted(const QString& port);

    // True while any port is in the middle of an operation.
    bool OperationsRunning() const;
    int TotalPassed() const;
    int TotalFailed() const;
    // Controllers finished per hour since the run started; 0 before a minute has passed.
    int ControllersPerHour(qint64 nowMs) const;

signals:
    void portAdded(int index);
    void portRemoved(int index);
    void portChanged(int index);
    // An operation ended on `port`: once per controller.
    void operationEnded(const QString& port, bool passed);

private:
    StationPortView* Find(const QString& port);
    void SetUnavailable(const QString& port, TileState state, const QString& message);
    static void AddNote(StationPortView& view, const QString& note);
    void Changed(const StationPortView& view);
    static bool ShowsOutcome(TileState state);

    QList<StationPortView> m_ports;
    bool m_running = false;
    qint64 m_startedMs = 0;
};
