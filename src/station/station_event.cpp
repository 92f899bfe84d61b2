#include "station/station_event.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<StationState, const char*>, 13> kStateNames{{
    {StationState::kStarting, "starting"},
    {StationState::kWaiting, "waiting"},
    {StationState::kBootEntry, "boot-entry"},
    {StationState::kDownloading, "downloading"},
    {StationState::kWriting, "writing"},
    {StationState::kReading, "reading"},
    {StationState::kPassed, "passed"},
    {StationState::kFailed, "failed"},
    {StationState::kCancelled, "cancelled"},
    {StationState::kPortGone, "port-gone"},
    {StationState::kPortError, "port-error"},
    {StationState::kRestarting, "restarting"},
    {StationState::kStopped, "stopped"},
}};

QString TimeText(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODateWithMs);
}

std::optional<qint64> ParseTime(const QJsonValue& value) {
    const QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return time.toMSecsSinceEpoch();
}

std::optional<StationEvent> Refuse(QString* error, const QString& why) {
    if (error != nullptr)
        *error = why;
    return std::nullopt;
}

}  // namespace

QString StationStateName(StationState state) {
    for (const auto& [value, name] : kStateNames) {
        if (value == state)
            return QString::fromLatin1(name);
    }
    return {};
}

std::optional<StationState> ParseStationState(const QString& name) {
    for (const auto& [value, text] : kStateNames) {
        if (name == QLatin1String(text))
            return value;
    }
    return std::nullopt;
}

bool IsOperationState(StationState state) {
    return state == StationState::kBootEntry || state == StationState::kDownloading ||
           state == StationState::kWriting || state == StationState::kReading;
}

bool IsOutcomeState(StationState state) {
    return state == StationState::kPassed || state == StationState::kFailed ||
           state == StationState::kCancelled;
}

StationEvent StationEvent::State(const QString& port, StationState state, const QString& message) {
    StationEvent event;
    event.type = Type::kState;
    event.port = port;
    event.timeMs = NowUtcMs();
    event.state = state;
    event.message = message;
    return event;
}

StationEvent StationEvent::Progress(const QString& port, int percent) {
    StationEvent event;
    event.type = Type::kProgress;
    event.port = port;
    event.timeMs = NowUtcMs();
    event.percent = percent;
    return event;
}

QByteArray StationEvent::ToJsonLine() const {
    QJsonObject object;
    object.insert("v", kVersion);
    object.insert("event", type == Type::kState ? "state" : "progress");
    object.insert("port", port);
    object.insert("time", TimeText(timeMs));
    if (type == Type::kState)
        object.insert("state", StationStateName(state));
    else
        object.insert("percent", percent);
    if (controller > 0)
        object.insert("controller", controller);
    if (operation) {
        object.insert("operation", OperationName(*operation));
        object.insert("started", TimeText(startedMs));
    }
    if (!record.isNull())
        object.insert("record", record.toString(QUuid::WithoutBraces));
    if (!softwareVersion.isEmpty())
        object.insert("software", softwareVersion);
    if (!checkValue.isEmpty())
        object.insert("check", checkValue);
    if (!message.isEmpty())
        object.insert("message", message);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

std::optional<StationEvent> StationEvent::FromJsonLine(QByteArrayView line, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument document =
        QJsonDocument::fromJson(line.trimmed().toByteArray(), &parseError);
    if (!document.isObject())
        return Refuse(error, QStringLiteral("not a JSON object: %1").arg(parseError.errorString()));
    const QJsonObject object = document.object();
    if (object.value("v").toInt(-1) != kVersion)
        return Refuse(error, QStringLiteral("unknown event version"));
    StationEvent event;
    const QString type = object.value("event").toString();
    event.port = object.value("port").toString();
    const auto time = ParseTime(object.value("time"));
    if (event.port.isEmpty() || !time)
        return Refuse(error, QStringLiteral("an event needs its port and time"));
    event.timeMs = *time;
    if (type == QLatin1String("state")) {
        event.type = Type::kState;
        const auto state = ParseStationState(object.value("state").toString());
        if (!state)
            return Refuse(error, QStringLiteral("unknown state"));
        event.state = *state;
    } else if (type == QLatin1String("progress")) {
        event.type = Type::kProgress;
        event.percent = object.value("percent").toInt(-1);
        if (event.percent < 0 || event.percent > 100)
            return Refuse(error, QStringLiteral("progress needs a percent from 0 to 100"));
    } else {
        return Refuse(error, QStringLiteral("unknown event type"));
    }
    event.controller = object.value("controller").toInt(0);
    if (object.contains("operation")) {
        event.operation = ParseOperation(object.value("operation").toString());
        const auto started = ParseTime(object.value("started"));
        if (!event.operation || !started)
            return Refuse(error, QStringLiteral("unknown operation or start time"));
        event.startedMs = *started;
    }
    event.record = QUuid::fromString(object.value("record").toString());
    event.softwareVersion = object.value("software").toString();
    event.checkValue = object.value("check").toString();
    event.message = object.value("message").toString();
    return event;
}
