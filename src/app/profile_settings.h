#pragma once
// The per-user settings: four integers in section "Settings". Missing or unreadable values read
// as their defaults; nothing else is validated, as the window copes with any value.

#include <QSettings>
#include <QString>

class ProfileSettings {
public:
    static constexpr const char* kLanguageKey = "language";
    static constexpr const char* kBaudRateKey = "Int";
    static constexpr const char* kCanEnableKey = "Int1";
    static constexpr const char* kFirstGenCableKey = "Int2";
    // This tool's own addition: the opt-in fast download (0 off, 1 on).
    static constexpr const char* kFastDownloadKey = "FastDownload";
    // Production records: the station's name and where its records go (a file or a
    // postgresql:// URL without a password); both texts, empty when not set.
    static constexpr const char* kStationKey = "Station";
    static constexpr const char* kRecordsKey = "Records";
    // With a server: the local outbox file every record is committed to first; empty: the
    // default file.
    static constexpr const char* kOutboxKey = "Outbox";

    // "language" values. 1024 only ever appears as the read default.
    static constexpr int kLanguageNotStored = 1024;
    static constexpr int kLanguageEnglish = 0;
    static constexpr int kLanguageChinese = 1;

    static constexpr int kDefaultBaudRate = 9600;
    static constexpr int kDefaultCanEnable = 0;
    static constexpr int kDefaultFirstGenCable = 0;

    // The user's own store (an INI file under the user's configuration directory).
    ProfileSettings();
    // A store in the given INI file, for tests and portable set-ups.
    explicit ProfileSettings(const QString& filePath);

    ProfileSettings(const ProfileSettings&) = delete;
    ProfileSettings& operator=(const ProfileSettings&) = delete;

    int ReadInt(const char* key, int defaultValue) const;
    QString ReadText(const char* key) const;
    bool WriteText(const char* key, const QString& value);
    // Writes through to the file at once (a restarted instance must see it); false when the
    // store could not be written.
    bool WriteInt(const char* key, int value);

    int Language() const { return ReadInt(kLanguageKey, kLanguageNotStored); }
    int BaudRate() const { return ReadInt(kBaudRateKey, kDefaultBaudRate); }
    int CanEnable() const { return ReadInt(kCanEnableKey, kDefaultCanEnable); }
    int FirstGenCable() const { return ReadInt(kFirstGenCableKey, kDefaultFirstGenCable); }
    bool FastDownload() const { return ReadInt(kFastDownloadKey, 0) == 1; }
    QString Station() const { return ReadText(kStationKey); }
    // The station's name as records carry it: `given` (an option), else the stored one, else
    // this computer's name.
    QString StationName(const QString& given = {}) const;
    QString Records() const { return ReadText(kRecordsKey); }
    QString Outbox() const { return ReadText(kOutboxKey); }

    bool SetLanguage(int value) { return WriteInt(kLanguageKey, value); }
    bool SetBaudRate(int value) { return WriteInt(kBaudRateKey, value); }
    bool SetCanEnable(int value) { return WriteInt(kCanEnableKey, value); }
    bool SetFirstGenCable(int value) { return WriteInt(kFirstGenCableKey, value); }
    bool SetFastDownload(bool on) { return WriteInt(kFastDownloadKey, on ? 1 : 0); }

    QString FilePath() const { return m_settings.fileName(); }

private:
    mutable QSettings m_settings;
};
