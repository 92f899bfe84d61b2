#include "records/records_location.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

namespace {

bool IsPostgresUrl(const QString& text) {
    return text.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           text.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

// "user:@host" gives an empty password, which QUrl does not report; the user still meant one.
bool HasPasswordSeparator(const QString& text) {
    const QString authority = text.mid(text.indexOf(QLatin1String("://")) + 3).section('/', 0, 0);
    const qsizetype at = authority.lastIndexOf(QLatin1Char('@'));
    return at >= 0 && authority.left(at).contains(QLatin1Char(':'));
}

RecordsLocationResult Refuse(const QString& error) {
    return RecordsLocationResult{std::nullopt, error};
}

RecordsLocationResult ParsePostgresUrl(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        return Refuse(
            QStringLiteral("%1 is not a valid PostgreSQL URL: %2").arg(text, url.errorString()));
    }
    if (!url.password().isEmpty() || HasPasswordSeparator(text)) {
        return Refuse(QStringLiteral(
            "the records URL carries a password; give it by ~/.pgpass, PGPASSFILE or PGPASSWORD "
            "instead, never in the URL"));
    }
    PostgresTarget target;
    target.url = text;
    target.user = url.userName();
    target.host = url.host();
    target.port = url.port(-1);
    if (!url.authority().isEmpty() && url.authority().endsWith(QLatin1Char(':'))) {
        return Refuse(
            QStringLiteral("%1 is not a valid PostgreSQL URL: the port is missing").arg(text));
    }
    QString path = url.path(QUrl::FullyDecoded);
    if (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    if (path.contains(QLatin1Char('/'))) {
        return Refuse(
            QStringLiteral("%1 is not a valid PostgreSQL URL: one database name after the host")
                .arg(text));
    }
    target.database = path;
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("password")) {
            return Refuse(QStringLiteral(
                "the records URL carries a password; give it by ~/.pgpass, PGPASSFILE or "
                "PGPASSWORD instead, never in the URL"));
        }
        if (key == QLatin1String("host")) {
            target.host = value;
        } else if (key == QLatin1String("port")) {
            bool ok = false;
            target.port = value.toInt(&ok);
            if (!ok || target.port <= 0 || target.port > 65535)
                return Refuse(
                    QStringLiteral("%1 is not a valid PostgreSQL URL: port %2").arg(text, value));
        } else if (key == QLatin1String("dbname")) {
            target.database = value;
        } else if (key == QLatin1String("user")) {
            target.user = value;
        } else if (key.isEmpty() || value.contains(QLatin1Char(';'))) {
            return Refuse(QStringLiteral("%1 is not a valid PostgreSQL URL: parameter \"%2\"")
                              .arg(text, key));
        } else {
            target.parameters.append({key, value});
        }
    }
    RecordsLocation location;
    location.kind = RecordsLocation::Kind::kPostgres;
    location.server = target;
    return RecordsLocationResult{location, QString()};
}

}  // namespace

QString RecordsLocation::Describe() const {
    return IsPostgres() ? server.url : QDir::toNativeSeparators(file);
}

RecordsLocationResult ParseRecordsLocation(const QString& text) {
    if (IsPostgresUrl(text))
        return ParsePostgresUrl(text);
    if (text.contains(QLatin1String("://"))) {
        return Refuse(QStringLiteral("%1: records go to a file or to postgresql://user@host/dbname")
                          .arg(text));
    }
    RecordsLocation location;
    location.file = text.isEmpty() ? DefaultRecordsFile() : text;
    return RecordsLocationResult{location, QString()};
}

QString DefaultRecordsFile() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return QDir(folder).filePath(QStringLiteral("records.sqlite"));
}
