#pragma once
// Where records are kept: an SQLite file, or a line's PostgreSQL database given as a URL in the
// server's own URI form (postgresql://user@host:port/dbname?host=/socket/folder&sslmode=...).
// A password never travels in the URL: the server's own means serve (~/.pgpass, PGPASSFILE,
// PGPASSWORD, peer or certificate authentication).

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

struct PostgresTarget {
    QString host;   // a name, an address, or a socket folder (starts with '/'); empty: default
    int port = -1;  // -1: the server's default
    QString database;
    QString user;
    // Further connection parameters from the query (sslmode, sslcert, application_name...).
    QList<QPair<QString, QString>> parameters;
    // The URL for messages: as given, but with the values of its query hidden except the
    // host and port (a value may have been meant as a secret).
    QString url;
};

struct RecordsLocation {
    enum class Kind { kSqliteFile, kPostgres };
    Kind kind = Kind::kSqliteFile;
    QString file;           // kSqliteFile
    PostgresTarget server;  // kPostgres

    bool IsPostgres() const { return kind == Kind::kPostgres; }
    // The file name or the URL, for messages.
    QString Describe() const;
};

struct RecordsLocationResult {
    std::optional<RecordsLocation> location;
    QString error;  // why `text` was refused
};

// `text` as given to --records or stored in the settings; empty means the default file.
RecordsLocationResult ParseRecordsLocation(const QString& text);

// `text` with the values of its query replaced by "..." (host and port stay), for messages.
QString RedactedUrl(const QString& text);

// The per-user default: records.sqlite in the program's local data folder.
QString DefaultRecordsFile();
