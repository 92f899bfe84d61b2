#include "records/records_location.h"

#include <QDir>
#include <QRegularExpression>
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

// The connection parameters a URL may set besides host, port, dbname and user. Anything else
// is refused: a parameter the tool sets itself (timeouts, options) or one that carries a secret.
const QStringList& AllowedParameters() {
    static const QStringList allowed{"application_name",
                                     "sslmode",
                                     "sslcert",
                                     "sslkey",
                                     "sslrootcert",
                                     "sslcrl",
                                     "sslcrldir",
                                     "sslsni",
                                     "requirepeer",
                                     "gssencmode",
                                     "krbsrvname",
                                     "channel_binding",
                                     "target_session_attrs",
                                     "keepalives",
                                     "keepalives_idle",
                                     "keepalives_interval",
                                     "keepalives_count",
                                     "tcp_user_timeout",
                                     "passfile",
                                     "service",
                                     "hostaddr"};
    return allowed;
}

// A word that looks like a URL scheme: two or more letters before a colon, so that a Windows
// drive ("C:") is still a path.
bool StartsLikeAScheme(const QString& text) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    static const QRegularExpression postgresTypo(QStringLiteral("^postgres(ql)?[:/\\\\]"),
                                                 QRegularExpression::CaseInsensitiveOption);
    return scheme.match(text).hasMatch() || postgresTypo.match(text).hasMatch();
}

RecordsLocationResult ParsePostgresUrl(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) {
        // QUrl's reason quotes the URL, query and all.
        return Refuse(QStringLiteral("%1 is not a valid PostgreSQL URL").arg(RedactedUrl(text)));
    }
    if (!url.password().isEmpty() || HasPasswordSeparator(text)) {
        return Refuse(QStringLiteral(
            "the records URL carries a password; give it by ~/.pgpass, PGPASSFILE or PGPASSWORD "
            "instead, never in the URL"));
    }
    PostgresTarget target;
    target.url = RedactedUrl(text);
    target.user = url.userName();
    target.host = url.host();
    target.port = url.port(-1);
    if (!url.authority().isEmpty() && url.authority().endsWith(QLatin1Char(':'))) {
        return Refuse(QStringLiteral("%1 is not a valid PostgreSQL URL: the port is missing")
                          .arg(target.url));
    }
    QString path = url.path(QUrl::FullyDecoded);
    if (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    if (path.contains(QLatin1Char('/'))) {
        return Refuse(
            QStringLiteral("%1 is not a valid PostgreSQL URL: one database name after the host")
                .arg(target.url));
    }
    target.database = path;
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key.contains(QLatin1String("password"), Qt::CaseInsensitive)) {
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
                return Refuse(QStringLiteral("%1 is not a valid PostgreSQL URL: port %2")
                                  .arg(target.url, value));
        } else if (key == QLatin1String("dbname")) {
            target.database = value;
        } else if (key == QLatin1String("user")) {
            target.user = value;
        } else if (!AllowedParameters().contains(key)) {
            return Refuse(
                QStringLiteral("%1 is not a valid PostgreSQL URL: parameter \"%2\" is not taken")
                    .arg(target.url, QString::fromUtf8(QUrl::toPercentEncoding(key))));
        } else if (value.contains(QLatin1Char(';'))) {
            // The driver turns ';' into the separator between parameters.
            return Refuse(QStringLiteral("%1 is not a valid PostgreSQL URL: parameter \"%2\"")
                              .arg(target.url, key));
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
    if (text.contains(QLatin1String("://")) || StartsLikeAScheme(text)) {
        return Refuse(QStringLiteral("%1: records go to a file or to "
                                     "postgresql://user@host/dbname (a file whose name starts "
                                     "like this: ./%1)")
                          .arg(RedactedUrl(text)));
    }
    RecordsLocation location;
    location.file = text.isEmpty() ? DefaultRecordsFile() : text;
    return RecordsLocationResult{location, QString()};
}

QString RedactedUrl(const QString& text) {
    const qsizetype question = text.indexOf(QLatin1Char('?'));
    if (question < 0)
        return text;
    QStringList items;
    for (const QString& item : text.mid(question + 1).split(QLatin1Char('&'))) {
        const QString key = item.section(QLatin1Char('='), 0, 0);
        const bool shown = key == QLatin1String("host") || key == QLatin1String("port");
        items << (shown || !item.contains(QLatin1Char('=')) ? item : key + QStringLiteral("=..."));
    }
    return text.left(question + 1) + items.join(QLatin1Char('&'));
}

QString DefaultRecordsFile() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    return QDir(folder).filePath(QStringLiteral("records.sqlite"));
}
