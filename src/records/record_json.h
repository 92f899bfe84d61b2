#pragma once
// A record as a JSON object: the listing's --format json, and the file of records kept aside
// when the store could not take them.

#include <QJsonObject>
#include <optional>

#include "records/operation_record.h"

QJsonObject RecordToJson(const OperationRecord& record);
// None when the object is no record (no UUID, an unknown operation or outcome).
std::optional<OperationRecord> RecordFromJson(const QJsonObject& object);
