#include "app/string_table.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtDebug>
#include <algorithm>

namespace {

const char* const kResourcePath = ":/tarvik/strings.json";

std::optional<StringTable> Fail(QString* error, const QString& why) {
    if (error != nullptr) {
        *error = why;
    }
    return std::nullopt;
}

StringTable LoadBuiltIn() {
    QFile file(QString::fromLatin1(kResourcePath));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("string table %s: %s", kResourcePath, qPrintable(file.errorString()));
        return {};
    }
    QString error;
    std::optional<StringTable> table = StringTable::FromJson(file.readAll(), &error);
    if (!table) {
        qWarning("string table %s: %s", kResourcePath, qPrintable(error));
        return {};
    }
    return *table;
}

}  // namespace

const StringTable& StringTable::Instance() {
    static const StringTable table = LoadBuiltIn();
    return table;
}

std::optional<StringTable> StringTable::FromJson(const QByteArray& json, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (document.isNull()) {
        return Fail(error, parseError.errorString());
    }
    const QJsonValue strings = document.object().value(QLatin1String("strings"));
    if (!strings.isArray()) {
        return Fail(error, QStringLiteral("no \"strings\" array"));
    }
    StringTable table;
    for (const QJsonValue& item : strings.toArray()) {
        const QJsonObject entry = item.toObject();
        const QJsonValue id = entry.value(QLatin1String("id"));
        const QJsonValue chinese = entry.value(QLatin1String("zh"));
        const QJsonValue english = entry.value(QLatin1String("en"));
        // toInt(-1) also rejects fractions and numbers beyond int.
        const int number = id.toInt(-1);
        if (number < 0 || !chinese.isString() || !english.isString()) {
            return Fail(error, QStringLiteral("malformed entry near id %1").arg(number));
        }
        if (table.m_entries.contains(number)) {
            return Fail(error, QStringLiteral("id %1 appears twice").arg(number));
        }
        table.m_entries.insert(number, Entry{chinese.toString(), english.toString()});
    }
    return table;
}

QString StringTable::Text(int id, UiLanguage language) const {
    const auto it = m_entries.constFind(id);
    if (it == m_entries.constEnd()) {
        return {};
    }
    return language == UiLanguage::Chinese ? it->chinese : it->english;
}

QList<int> StringTable::Ids() const {
    QList<int> ids = m_entries.keys();
    std::sort(ids.begin(), ids.end());
    return ids;
}

QString Tr(int id) {
    return StringTable::Instance().Text(id, CurrentUiLanguage());
}
