// What --records and the stored setting accept: a file, or a PostgreSQL URL in the server's own
// form; a password anywhere in it, or a URL that is not one, is refused with a reason.

#include <gtest/gtest.h>

#include "records/records_location.h"

namespace {

struct ServerCase {
    const char* name;
    const char* url;
    const char* host;
    int port;
    const char* database;
    const char* user;
    const char* parameters;           // "key=value;..." as parsed
    const char* described = nullptr;  // the URL in messages; null: as given
};

class ServerUrlTest : public testing::TestWithParam<ServerCase> {};

TEST_P(ServerUrlTest, TakesTheServersOwnForm) {
    const ServerCase& c = GetParam();
    const RecordsLocationResult r = ParseRecordsLocation(QString::fromUtf8(c.url));
    ASSERT_TRUE(r.location.has_value()) << r.error.toStdString();
    ASSERT_TRUE(r.location->IsPostgres());
    const PostgresTarget& t = r.location->server;
    EXPECT_EQ(t.host, QString::fromUtf8(c.host));
    EXPECT_EQ(t.port, c.port);
    EXPECT_EQ(t.database, QString::fromUtf8(c.database));
    EXPECT_EQ(t.user, QString::fromUtf8(c.user));
    QStringList parameters;
    for (const auto& [key, value] : t.parameters)
        parameters << key + "=" + value;
    EXPECT_EQ(parameters.join(';'), QString::fromUtf8(c.parameters));
    // Query values are not repeated in messages, except where the server is.
    EXPECT_EQ(r.location->Describe(), QString::fromUtf8(c.described ? c.described : c.url));
}

INSTANTIATE_TEST_SUITE_P(
    Urls, ServerUrlTest,
    testing::Values(
        ServerCase{"UserHostDb", "postgresql://line@db.example/records", "db.example", -1,
                   "records", "line", ""},
        ServerCase{"Port", "postgresql://line@10.0.0.5:6543/records", "10.0.0.5", 6543, "records",
                   "line", ""},
        ServerCase{"SocketFolder", "postgresql:///records?host=/tmp/pg%20sock", "/tmp/pg sock", -1,
                   "records", "", ""},
        ServerCase{"SocketAndPort", "postgres://u@/d?host=/run/postgresql&port=5433",
                   "/run/postgresql", 5433, "d", "u", ""},
        ServerCase{"CertificateParameters",
                   "postgresql://station@db/records?sslmode=verify-full&sslcert=/etc/st.crt", "db",
                   -1, "records", "station", "sslmode=verify-full;sslcert=/etc/st.crt",
                   "postgresql://station@db/records?sslmode=...&sslcert=..."},
        ServerCase{"EncodedUser", "postgresql://line%40a@h/db", "h", -1, "db", "line@a", ""},
        ServerCase{"IPv6", "postgresql://u@[::1]:5432/db", "::1", 5432, "db", "u", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusedCase {
    const char* name;
    const char* text;
    const char* mentioned;
};

class RefusedLocationTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedLocationTest, SaysWhy) {
    const RefusedCase& c = GetParam();
    const RecordsLocationResult r = ParseRecordsLocation(QString::fromUtf8(c.text));
    EXPECT_FALSE(r.location.has_value());
    EXPECT_TRUE(r.error.contains(QString::fromUtf8(c.mentioned))) << r.error.toStdString();
    // The secret is not repeated in the message.
    EXPECT_FALSE(r.error.contains("s3cret")) << r.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RefusedLocationTest,
    testing::Values(
        RefusedCase{"PasswordInAuthority", "postgresql://line:s3cret@db/records", "password"},
        RefusedCase{"EmptyPassword", "postgresql://line:@db/records", "password"},
        RefusedCase{"PasswordParameter", "postgresql://db/records?password=s3cret", "password"},
        RefusedCase{"PortNotANumber", "postgresql://db:port/records", "not a valid"},
        RefusedCase{"PortParameterOutOfRange", "postgresql://db/records?port=70000", "not a valid"},
        RefusedCase{"TwoPathParts", "postgresql://db/records/more", "one database name"},
        RefusedCase{"UnclosedBracket", "postgresql://[::1/records", "not a valid"},
        RefusedCase{"OtherScheme", "mysql://db/records", "postgresql://"},
        // A password smuggled into another parameter's name: the key is not a parameter the
        // tool passes on, and its value is not repeated.
        RefusedCase{"PasswordInAParameterName",
                    "postgresql://user@/db?host=/tmp&application_name%3Dx%20password=s3cret",
                    "password"},
        RefusedCase{"UnknownParameterWithSecretValue",
                    "postgresql://user@/db?host=/tmp&options=-c%20x%3Ds3cret", "\"options\""},
        RefusedCase{"SslPassword", "postgresql://u@db/r?sslpassword=s3cret", "password"},
        // Typed wrongly, a URL is refused rather than taken for a file name.
        RefusedCase{"OneSlash", "postgresql:/line@dbhost/records", "postgresql://"},
        RefusedCase{"NoColon", "postgresql//line@dbhost/records", "postgresql://"},
        RefusedCase{"ShortScheme", "postgres:/line@dbhost/records", "postgresql://"},
        RefusedCase{"OtherSchemeWithoutSlashes", "sqlite:records.db", "postgresql://"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordsLocationTest, AnythingElseIsAFileAndNothingMeansTheDefaultFile) {
    const RecordsLocationResult file = ParseRecordsLocation("/var/lib/line/records.sqlite");
    ASSERT_TRUE(file.location.has_value());
    EXPECT_FALSE(file.location->IsPostgres());
    EXPECT_EQ(file.location->file, "/var/lib/line/records.sqlite");

    // A drive letter and a relative path that starts with ./ are paths.
    for (const char* path : {"C:\\line\\records.sqlite", "./postgresql:/x", "records/day.sqlite"}) {
        const RecordsLocationResult r = ParseRecordsLocation(QString::fromUtf8(path));
        ASSERT_TRUE(r.location.has_value()) << path << ": " << r.error.toStdString();
        EXPECT_EQ(r.location->file, QString::fromUtf8(path));
    }

    const RecordsLocationResult fallback = ParseRecordsLocation(QString());
    ASSERT_TRUE(fallback.location.has_value());
    EXPECT_EQ(fallback.location->file, DefaultRecordsFile());
    EXPECT_TRUE(DefaultRecordsFile().endsWith("/records.sqlite"));
}

}  // namespace
