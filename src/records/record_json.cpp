#include "records/record_json.h"

#include <QJsonValue>

namespace {

QJsonValue Optional(const std::optional<qint64>& value) {
    return value ? QJsonValue(*value) : QJsonValue();
}

std::optional<qint64> OptionalFrom(const QJsonValue& value) {
    if (value.isNull() || value.isUndefined())
        return std::nullopt;
    return value.toInteger();
}

}  // namespace

QJsonObject RecordToJson(const OperationRecord& r) {
    QJsonObject o;
    o["uuid"] = r.uuid.toString(QUuid::WithoutBraces);
    o["started_ms"] = r.startedMs;
    o["finished_ms"] = r.finishedMs;
    o["station"] = r.station;
    o["operation"] = OperationName(r.operation);
    o["source"] = r.source;
    o["outcome"] = OutcomeName(r.outcome);
    o["reason"] = r.reason;
    o["unit"] = r.unitId;
    o["port"] = r.port;
    o["baud"] = r.baud;
    o["can"] = r.can;
    o["image"] = r.imageName;
    o["image_size"] = Optional(r.imageSize);
    o["image_sha256"] = r.imageSha256;
    o["bytes_acknowledged"] = Optional(r.bytesAcknowledged);
    o["check_value"] = r.checkValue;
    o["software_version"] = r.softwareVersion;
    o["hardware_version"] = r.hardwareVersion;
    o["tool_version"] = r.toolVersion;
    return o;
}

std::optional<OperationRecord> RecordFromJson(const QJsonObject& o) {
    OperationRecord r;
    r.uuid = QUuid::fromString(o["uuid"].toString());
    const auto operation = ParseOperation(o["operation"].toString());
    const auto outcome = ParseOutcome(o["outcome"].toString());
    if (r.uuid.isNull() || !operation || !outcome)
        return std::nullopt;
    r.operation = *operation;
    r.outcome = *outcome;
    r.startedMs = o["started_ms"].toInteger();
    r.finishedMs = o["finished_ms"].toInteger();
    r.station = o["station"].toString();
    r.source = o["source"].toString();
    r.reason = o["reason"].toString();
    r.unitId = o["unit"].toString();
    r.port = o["port"].toString();
    r.baud = o["baud"].toInt();
    r.can = o["can"].toBool();
    r.imageName = o["image"].toString();
    r.imageSize = OptionalFrom(o["image_size"]);
    r.imageSha256 = o["image_sha256"].toString();
    r.bytesAcknowledged = OptionalFrom(o["bytes_acknowledged"]);
    r.checkValue = o["check_value"].toString();
    r.softwareVersion = o["software_version"].toString();
    r.hardwareVersion = o["hardware_version"].toString();
    r.toolVersion = o["tool_version"].toString();
    return r;
}
