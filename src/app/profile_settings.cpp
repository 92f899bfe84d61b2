#include "app/profile_settings.h"

#include <QSysInfo>
#include <limits>

namespace {

constexpr const char* kSection = "Settings";

QString SectionKey(const char* key) {
    return QString::fromLatin1(kSection) + QLatin1Char('/') + QString::fromLatin1(key);
}

}  // namespace

ProfileSettings::ProfileSettings()
    : m_settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarvik"),
                 QStringLiteral("Tarvik")) {}

ProfileSettings::ProfileSettings(const QString& filePath)
    : m_settings(filePath, QSettings::IniFormat) {}

int ProfileSettings::ReadInt(const char* key, int defaultValue) const {
    const QVariant value = m_settings.value(SectionKey(key));
    if (!value.isValid()) {
        return defaultValue;
    }
    // A hand-edited file may hold anything; what is no int counts as missing. (QVariant::toInt
    // would cut a large number down to 32 bits and call it fine.)
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok || number < std::numeric_limits<int>::min() ||
        number > std::numeric_limits<int>::max()) {
        return defaultValue;
    }
    return static_cast<int>(number);
}

bool ProfileSettings::WriteInt(const char* key, int value) {
    m_settings.setValue(SectionKey(key), value);
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}

QString ProfileSettings::ReadText(const char* key) const {
    const QVariant value = m_settings.value(SectionKey(key));
    return value.canConvert<QString>() ? value.toString().trimmed() : QString();
}

bool ProfileSettings::WriteText(const char* key, const QString& value) {
    m_settings.setValue(SectionKey(key), value);
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}

QString ProfileSettings::StationName(const QString& given) const {
    if (!given.isEmpty())
        return given;
    const QString stored = Station();
    return stored.isEmpty() ? QSysInfo::machineHostName() : stored;
}
