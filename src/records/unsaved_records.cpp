#include "records/unsaved_records.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QUuid>

#include "records/record_json.h"

namespace {

QString Prefix(const QString& storeFile) {
    return QFileInfo(storeFile).fileName() + QStringLiteral(".unsaved-");
}

}  // namespace

QString SaveUnsavedRecords(const QString& storeFile, const QList<OperationRecord>& records) {
    if (records.isEmpty())
        return QString();
    QJsonArray array;
    for (const OperationRecord& record : records)
        array.append(RecordToJson(record));
    const QString path = QFileInfo(storeFile).absoluteDir().filePath(
        Prefix(storeFile) + QUuid::createUuid().toString(QUuid::WithoutBraces) +
        QStringLiteral(".json"));
    // Written under a temporary name and renamed: a reader never sees half a file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write(QJsonDocument(array).toJson(QJsonDocument::Compact));
    return file.commit() ? path : QString();
}

UnsavedRecords LoadUnsavedRecords(const QString& storeFile) {
    UnsavedRecords found;
    const QDir folder = QFileInfo(storeFile).absoluteDir();
    const QStringList names =
        folder.entryList({Prefix(storeFile) + QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
        // A file that is not what this tool writes is left alone.
        if (!document.isArray())
            continue;
        for (const QJsonValue& value : document.array()) {
            if (const auto record = RecordFromJson(value.toObject()))
                found.records.append(*record);
        }
        found.files << file.fileName();
    }
    return found;
}
