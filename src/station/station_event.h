#pragma once
// What a station worker tells its supervisor, and what `tarvik-cli auto --events jsonl` prints:
// one JSON object per line. Written and read here only, so the worker and the supervisor (and
// any script that follows the README) agree by construction.
//
//   {"v":1,"event":"state","port":"ttyUSB0","time":"2026-12-11T09:58:01.250Z",
//    "state":"downloading","operation":"download","started":"2026-12-11T09:57:59.010Z",
//    "controller":3,"software":"2.31","message":"..."}
//   {"v":1,"event":"progress","port":"ttyUSB0","time":"...","percent":42,"controller":3}
//
// A reader ignores members it does not know; a line whose "v" it does not know is refused.

#include <QByteArray>
#include <QByteArrayView>
#include <QMetaType>
#include <QString>
#include <QUuid>
#include <QtGlobal>
#include <optional>

#include "records/operation_record.h"

// A port's state as the station shows it. The worker reports the middle ones; kStarting,
// kRestarting and kStopped are the supervisor's own.
enum class StationState {
    kStarting,     // the worker process is starting
    kWaiting,      // the port is open; waiting for a controller to announce itself
    kBootEntry,    // boot-entry command sent; the controller is entering its boot loader
    kDownloading,  // the program is on its way
    kWriting,      // parameters are being written
    kReading,      // parameters are being read
    kPassed,       // the controller just handled passed (the next one is waited for)
    kFailed,       // ... failed; the message says why
    kCancelled,    // the operation was abandoned because the worker was told to stop
    kPortGone,     // the port vanished (cable pulled); the worker ends
    kPortError,    // the port cannot be opened (missing, busy, refused); the worker ends
    kRestarting,   // the worker ended; another starts after a pause
    kStopped,      // the worker ended and none follows
};

// "starting", "waiting", "boot-entry", "downloading", "writing", "reading", "passed", "failed",
// "cancelled", "port-gone", "port-error", "restarting", "stopped".
QString StationStateName(StationState state);
std::optional<StationState> ParseStationState(const QString& name);
// An operation on a controller is under way: it must end in a record.
bool IsOperationState(StationState state);
// A controller's operation ended (with a record).
bool IsOutcomeState(StationState state);

struct StationEvent {
    static constexpr int kVersion = 1;
    enum class Type { kState, kProgress };

    Type type = Type::kState;
    QString port;
    qint64 timeMs = 0;  // UTC, milliseconds since the epoch
    StationState state = StationState::kWaiting;  // kState
    int percent = -1;                              // kProgress: 0..100
    // 1 for the first controller this worker handled, 2 for the next...; 0 outside operations.
    int controller = 0;
    std::optional<RecordOperation> operation;  // with operation and outcome states
    qint64 startedMs = 0;                      // when that operation began (UTC ms)
    // That operation's record: a record written for it by the supervisor (its worker died) is
    // the same record, so a store never holds two for one operation.
    QUuid record;
    QString softwareVersion;                   // the controller's, where known
    QString checkValue;                        // reads and writes, where known
    QString message;                           // what a person would be told; may be empty

    static StationEvent State(const QString& port, StationState state,
                              const QString& message = {});
    static StationEvent Progress(const QString& port, int percent);

    // One line, '\n' included.
    QByteArray ToJsonLine() const;
    // A line as ToJsonLine wrote it (with or without its '\n'); nothing, and why, when it is not
    // one.
    static std::optional<StationEvent> FromJsonLine(QByteArrayView line, QString* error = nullptr);

    bool operator==(const StationEvent&) const = default;
};

Q_DECLARE_METATYPE(StationEvent)
