// tarvik-cli's records when what is around them fails: a file another program holds, a server
// that stops answering or a table locked on it, an outbox that cannot be used, stations in
// different time zones, and names typed to trick a spreadsheet. Each time the command ends
// within its bound, no record is lost without a word, and what it says is true.

#include <unistd.h>

#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <thread>

#include "e2e_support.h"
#include "records/postgres_cluster.h"
#include "records/sqlite_record_store.h"
#include "sim/sim_server.h"

namespace {

using namespace e2e;

class CliRecordsFaultsTest : public testing::Test {
protected:
    void SetUp() override {
        m_sim = std::make_unique<sim::SimServer>(sim::SimOptions{});
        m_port = m_sim->Start();
        ASSERT_FALSE(m_port.isEmpty());
    }

    // tarvik-cli with `env` added to the test's environment (TZ, for one).
    std::unique_ptr<QProcess> Start(const QStringList& arguments,
                                    const QStringList& env = {}) const {
        auto process = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_cli.Dir());
        environment.insert("XDG_CONFIG_HOME", m_cli.FilePath("config"));
        environment.insert("XDG_DATA_HOME", m_cli.FilePath("data"));
        for (const QString& entry : env)
            environment.insert(entry.section('=', 0, 0), entry.section('=', 1));
        process->setProcessEnvironment(environment);
        process->setWorkingDirectory(m_cli.Dir());
        process->start(QStringLiteral(TARVIK_CLI_EXE), arguments);
        return process;
    }
    CliResult Run(const QStringList& arguments, const QStringList& env = {},
                  std::chrono::milliseconds timeout = 30s) const {
        auto process = Start(arguments, env);
        return Cli::Finish(*process, timeout);
    }
    CliResult Reset(const QString& records, const QStringList& extra = {},
                    const QStringList& env = {}) const {
        QStringList args{"reset", "--port", m_port, "--lang", "en", "--records", records};
        return Run(args << extra, env);
    }
    static QStringList RecordsLines(const CliResult& r) {
        // The library's own complaints never reach the user's screen.
        EXPECT_FALSE(r.err.contains("QSql") || r.err.contains("QPSQL") ||
                     r.err.contains("QThread") || r.err.contains('\t'))
            << Describe(r);
        return r.err.split('\n', Qt::SkipEmptyParts).filter("records:");
    }
    QList<OperationRecord> Stored(const QString& file) const {
        SqliteRecordStore store(file);
        const auto records = store.Query({});
        EXPECT_TRUE(records.has_value()) << store.Error().toStdString();
        return records.value_or(QList<OperationRecord>());
    }

    Cli m_cli;
    std::unique_ptr<sim::SimServer> m_sim;
    QString m_port;
};

// Another program's connection holding the write lock of `file` until Release.
class WriteLockHolder {
public:
    explicit WriteLockHolder(const QString& file) {
        m_db = QSqlDatabase::addDatabase("QSQLITE", "holder");
        m_db.setDatabaseName(file);
        m_db.open();
        m_locked = QSqlQuery(m_db).exec("BEGIN IMMEDIATE");
    }
    ~WriteLockHolder() {
        Release();
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase("holder");
    }
    bool Locked() const { return m_locked; }
    void Release() {
        if (m_locked)
            QSqlQuery(m_db).exec("ROLLBACK");
        m_locked = false;
    }

private:
    QSqlDatabase m_db;
    bool m_locked = false;
};

TEST_F(CliRecordsFaultsTest, AFileHeldLongerThanTheCommandCanWaitLosesNoRecord) {
    const QString records = m_cli.FilePath("records.sqlite");
    ASSERT_EQ(Reset(records).exitCode, 0);
    QElapsedTimer clock;
    {
        WriteLockHolder holder(records);
        ASSERT_TRUE(holder.Locked());
        clock.start();
        const CliResult held = Reset(records);
        const qint64 took = clock.elapsed();
        EXPECT_EQ(held.exitCode, 0) << Describe(held);
        // Its end is bounded (5 s for the records after the operation), with room for a busy
        // machine.
        EXPECT_LT(took, 15000) << Describe(held);
        const QStringList lines = RecordsLines(held);
        ASSERT_EQ(lines.size(), 1) << Describe(held);
        EXPECT_TRUE(lines[0].contains("1 record(s) could not be stored")) << Describe(held);
        EXPECT_TRUE(lines[0].contains("records.sqlite.unsaved-")) << Describe(held);
        EXPECT_FALSE(lines[0].contains("LOST")) << Describe(held);
        EXPECT_EQ(QDir(m_cli.Dir()).entryList({"records.sqlite.unsaved-*.json"}).size(), 1);
    }
    // The next command takes the kept record in with its own.
    const CliResult next = Reset(records);
    EXPECT_EQ(next.exitCode, 0) << Describe(next);
    EXPECT_TRUE(RecordsLines(next).isEmpty()) << Describe(next);
    EXPECT_EQ(Stored(records).size(), 3);
    EXPECT_TRUE(QDir(m_cli.Dir()).entryList({"records.sqlite.unsaved-*.json"}).isEmpty());
}

TEST_F(CliRecordsFaultsTest, AFileHeldForAMomentIsWaitedForWithoutAFalseAlarm) {
    const QString records = m_cli.FilePath("records.sqlite");
    ASSERT_EQ(Reset(records).exitCode, 0);
    WriteLockHolder holder(records);
    ASSERT_TRUE(holder.Locked());
    auto process = Start({"reset", "--port", m_port, "--lang", "en", "--records", records});
    // The hold itself is the fault: longer than one wait for the lock (2 s), shorter than the
    // command's records budget.
    QByteArray shown;
    QElapsedTimer waited;
    waited.start();
    while (!shown.contains("sent RESET") && waited.elapsed() < 10000) {
        process->waitForReadyRead(100);
        shown += process->readAllStandardError();
    }
    ASSERT_TRUE(shown.contains("sent RESET")) << shown.toStdString();
    std::this_thread::sleep_for(2500ms);
    holder.Release();
    CliResult r = Cli::Finish(*process, 30s);
    r.err.prepend(QString::fromUtf8(shown));
    EXPECT_EQ(r.exitCode, 0) << Describe(r);
    EXPECT_TRUE(RecordsLines(r).isEmpty()) << Describe(r);
    EXPECT_EQ(Stored(records).size(), 2);
}

TEST_F(CliRecordsFaultsTest, StationsInTwoTimeZonesCountTheDaysTheirListingShows) {
    const QString records = m_cli.FilePath("records.sqlite");
    // Twenty-five hours apart: their local dates always differ.
    ASSERT_EQ(Reset(records, {"--station", "east"}, {"TZ=Pacific/Kiritimati"}).exitCode, 0);
    ASSERT_EQ(Reset(records, {"--station", "west"}, {"TZ=Pacific/Pago_Pago"}).exitCode, 0);
    const QList<OperationRecord> stored = Stored(records);
    ASSERT_EQ(stored.size(), 2);

    struct Reader {
        const char* tz;
        const char* suffix;
    };
    for (const Reader& reader : {Reader{"UTC", "Z"}, Reader{"Asia/Shanghai", "+08:00"},
                                 Reader{"America/New_York", "-0"}}) {
        SCOPED_TRACE(reader.tz);
        const QStringList env{QString("TZ=") + reader.tz};
        const CliResult all = Run({"records", "--records", records, "--format", "csv"}, env);
        ASSERT_EQ(all.exitCode, 0) << Describe(all);
        const QStringList lines = all.out.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 3) << Describe(all);
        // ISO 8601 with the reader's offset.
        const QString started = lines[1].section(',', 1, 1);
        EXPECT_TRUE(started.contains('T') && started.contains(reader.suffix)) << Describe(all);
        const QString day = started.left(10);

        const CliResult listed = Run(
            {"records", "--records", records, "--since", day, "--until", day, "--format", "csv"},
            env);
        const CliResult counted = Run({"records", "summary", "--records", records, "--since", day,
                                       "--until", day, "--format", "csv"},
                                      env);
        ASSERT_EQ(counted.exitCode, 0) << Describe(counted);
        const int listedRows =
            static_cast<int>(listed.out.split('\n', Qt::SkipEmptyParts).size()) - 1;
        const QStringList summaryRows = counted.out.split('\n', Qt::SkipEmptyParts).mid(1);
        int counts = 0;
        for (const QString& row : summaryRows) {
            EXPECT_EQ(row.section(',', 0, 0), day) << Describe(counted);
            counts += row.section(',', 4, 4).toInt();
        }
        EXPECT_EQ(counts, listedRows) << Describe(listed) << Describe(counted);
        EXPECT_GE(listedRows, 1);
    }
}

TEST_F(CliRecordsFaultsTest, NamesThatLookLikeFormulasStayTextAndTablesStayOneLinePerRecord) {
    const QString records = m_cli.FilePath("records.sqlite");
    ASSERT_EQ(
        Reset(records, {"--station", "=HYPERLINK(\"http://x\",\"y\")", "--unit", "+1"}).exitCode,
        0);
    ASSERT_EQ(Reset(records, {"--station", "@SUM(A1)", "--unit", "-2"}).exitCode, 0);
    ASSERT_EQ(Reset(records, {"--station", "线体一", "--unit", "a\nb"}).exitCode, 0);

    const CliResult csv = Run({"records", "--records", records, "--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0) << Describe(csv);
    EXPECT_TRUE(csv.out.contains(",\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\",")) << Describe(csv);
    EXPECT_TRUE(csv.out.contains(",'@SUM(A1),")) << Describe(csv);
    EXPECT_TRUE(csv.out.contains(",'+1,")) << Describe(csv);
    EXPECT_TRUE(csv.out.contains(",'-2,")) << Describe(csv);
    EXPECT_TRUE(csv.out.contains(",线体一,")) << Describe(csv);
    // The tool's own numbers stay numbers.
    EXPECT_TRUE(csv.out.contains(",9600,0,")) << Describe(csv);
    EXPECT_FALSE(csv.out.contains("'9600")) << Describe(csv);

    const CliResult summary =
        Run({"records", "summary", "--by", "station", "--records", records, "--format", "csv"});
    EXPECT_TRUE(summary.out.contains("'@SUM(A1),1,0,0,1")) << Describe(summary);

    // The table: one line per record, columns aligned as a terminal shows them.
    const CliResult table = Run({"records", "--records", records});
    const QStringList lines = table.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4) << Describe(table);
    EXPECT_TRUE(table.out.contains("a\\nb")) << Describe(table);
    const auto columnOf = [](const QString& line, const QString& word) {
        int width = 0;
        for (const QChar c : line.left(line.indexOf(word)))
            width += c.unicode() >= 0x2E80 ? 2 : 1;
        return width;
    };
    const int operation = columnOf(lines[0], "operation");
    for (const QString& line : lines.mid(1))
        EXPECT_EQ(columnOf(line, "restart"), operation) << Describe(table);
}

TEST_F(CliRecordsFaultsTest, JsonListingsAreOneArrayAndHelpNamesTheCommand) {
    const QString records = m_cli.FilePath("records.sqlite");
    const CliResult none = Run({"records", "--records", records, "--format", "json"});
    EXPECT_EQ(none.exitCode, 0) << Describe(none);
    EXPECT_TRUE(QJsonDocument::fromJson(none.out.toUtf8()).isArray()) << Describe(none);
    EXPECT_FALSE(QFile::exists(records));  // a listing makes no file
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Reset(records, {"--unit", QString("U%1").arg(i)}).exitCode, 0);
    const CliResult json = Run({"records", "--records", records, "--format", "json"});
    const QJsonDocument document = QJsonDocument::fromJson(json.out.toUtf8());
    ASSERT_TRUE(document.isArray()) << Describe(json);
    ASSERT_EQ(document.array().size(), 3);
    EXPECT_EQ(document.array()[2].toObject()["unit"].toString(), "U2");
    EXPECT_EQ(document.array()[2].toObject()["reason"].toString(), "sent RESET, not acknowledged");

    for (const QStringList& command :
         {QStringList{"records"}, QStringList{"records", "summary"}, QStringList{"reset"}}) {
        const CliResult help = Run(QStringList(command) << "--help");
        EXPECT_TRUE(help.out.startsWith("Usage: tarvik-cli " + command.join(' ') + " [options]"))
            << Describe(help);
    }
}

// A records file in a folder the user cannot write (a line's shared folder): the listing
// reads it as it lies. Run as an unprivileged user where the tests run as root.
TEST_F(CliRecordsFaultsTest, AFileInAFolderTheUserCannotWriteIsListed) {
    const QString folder = m_cli.FilePath("shared");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString records = folder + "/records.sqlite";
    ASSERT_EQ(Reset(records).exitCode, 0);
    ASSERT_EQ(Reset(records).exitCode, 0);
    const auto readOnly = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
    const auto traversable = readOnly | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(m_cli.Dir(), traversable | QFile::WriteOwner));
    ASSERT_TRUE(QFile::setPermissions(records, readOnly));
    ASSERT_TRUE(QFile::setPermissions(folder, traversable));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", "/tmp");
    environment.insert("XDG_CONFIG_HOME", "/nonexistent/config");
    environment.insert("XDG_DATA_HOME", "/nonexistent/data");
    process.setProcessEnvironment(environment);
    const QStringList args{"records", "--records", records, "--format", "csv"};
    if (::geteuid() == 0)
        process.start("runuser", QStringList{"-u", "nobody", "--", TARVIK_CLI_EXE} + args);
    else
        process.start(TARVIK_CLI_EXE, args);
    const CliResult r = Cli::Finish(process, 30s);
    QFile::setPermissions(folder, traversable | QFile::WriteOwner);
    EXPECT_EQ(r.exitCode, 0) << Describe(r);
    EXPECT_EQ(r.out.split('\n', Qt::SkipEmptyParts).size(), 3) << Describe(r);
}

// With a line's server: a throwaway PostgreSQL cluster.
class CliServerRecordsTest : public CliRecordsFaultsTest {
protected:
    void SetUp() override {
        CliRecordsFaultsTest::SetUp();
        const QString why = m_cluster.Start();
        if (!why.isEmpty())
            GTEST_SKIP() << why.toStdString();
    }
    void TearDown() override { Continue(); }
    int ServerCount() {
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "count");
        db.setHostName(m_cluster.Folder());
        db.setPort(PostgresCluster::kPort);
        db.setUserName("tarvik");
        db.setDatabaseName("records");
        int count = -1;
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec("SELECT COUNT(*) FROM operation_records") && query.next())
                count = query.value(0).toInt();
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("count");
        return count;
    }
    void Stop() { m_cluster.Freeze(); }
    void Continue() { m_cluster.Continue(); }

    PostgresCluster m_cluster;
};

TEST_F(CliServerRecordsTest, AServerThatStopsAnsweringCostsTheCommandAtMostItsBound) {
    const QString url = m_cluster.Url();
    ASSERT_EQ(Reset(url).exitCode, 0);
    ASSERT_EQ(ServerCount(), 1);
    Stop();
    QElapsedTimer clock;
    clock.start();
    const CliResult r = Reset(url);
    const qint64 took = clock.elapsed();
    std::printf("reset with the server frozen: ended after %lld ms\n",
                static_cast<long long>(took));
    EXPECT_EQ(r.exitCode, 0) << Describe(r);
    EXPECT_LT(took, 15000) << Describe(r);
    const QStringList lines = RecordsLines(r);
    ASSERT_EQ(lines.size(), 1) << Describe(r);
    EXPECT_TRUE(lines[0].contains("1 record(s) wait in the local outbox")) << Describe(r);
    Continue();
    // The next run sends what waited.
    const CliResult listed = Run({"records", "--records", url, "--format", "csv"});
    EXPECT_EQ(listed.out.split('\n', Qt::SkipEmptyParts).size(), 3) << Describe(listed);
    EXPECT_EQ(ServerCount(), 2);
}

TEST_F(CliServerRecordsTest, ALockedTableCostsTheCommandAtMostItsBound) {
    const QString url = m_cluster.Url();
    ASSERT_EQ(Reset(url).exitCode, 0);
    QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", "locker");
    db.setHostName(m_cluster.Folder());
    db.setPort(PostgresCluster::kPort);
    db.setUserName("tarvik");
    db.setDatabaseName("records");
    ASSERT_TRUE(db.open()) << db.lastError().text().toStdString();
    ASSERT_TRUE(db.transaction());
    ASSERT_TRUE(QSqlQuery(db).exec("LOCK TABLE operation_records IN ACCESS EXCLUSIVE MODE"));
    QElapsedTimer clock;
    clock.start();
    const CliResult r = Reset(url);
    const qint64 took = clock.elapsed();
    std::printf("reset with the table locked: ended after %lld ms\n", static_cast<long long>(took));
    db.rollback();
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase("locker");
    EXPECT_EQ(r.exitCode, 0) << Describe(r);
    EXPECT_LT(took, 15000) << Describe(r);
    const QStringList lines = RecordsLines(r);
    ASSERT_EQ(lines.size(), 1) << Describe(r);
    EXPECT_TRUE(lines[0].contains("wait in the local outbox")) << Describe(r);
    EXPECT_FALSE(lines[0].contains("QPSQL")) << Describe(r);
    const CliResult listed = Run({"records", "--records", url, "--format", "csv"});
    EXPECT_EQ(ServerCount(), 2) << Describe(listed);
}

struct UnusableOutboxCase {
    const char* name;
    const char* kind;  // "folder", "text" or "newer"
};

class CliUnusableOutboxTest : public CliServerRecordsTest,
                              public testing::WithParamInterface<UnusableOutboxCase> {};

TEST_P(CliUnusableOutboxTest, TheRecordGoesStraightToTheServerAndItIsSaid) {
    const QString kind = QString::fromUtf8(GetParam().kind);
    const QString outbox = m_cli.FilePath("outbox.sqlite");
    if (kind == "folder") {
        ASSERT_TRUE(QDir().mkpath(outbox));
    } else if (kind == "text") {
        ASSERT_TRUE(WriteFile(outbox, QByteArray("not a database\n").repeated(300)));
    } else {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
        db.setDatabaseName(outbox);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(
            QString("PRAGMA application_id = %1").arg(SqliteRecordStore::kApplicationId));
        QSqlQuery(db).exec("PRAGMA user_version = 99");
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("newer");
    }
    const CliResult r = Reset(m_cluster.Url(), {"--outbox", outbox, "--unit", "U7"});
    EXPECT_EQ(r.exitCode, 0) << Describe(r);
    EXPECT_EQ(ServerCount(), 1) << Describe(r);
    const QStringList lines = RecordsLines(r);
    ASSERT_EQ(lines.size(), 1) << Describe(r);
    EXPECT_TRUE(lines[0].contains("local outbox " + outbox)) << Describe(r);
    EXPECT_TRUE(lines[0].contains("straight to the server")) << Describe(r);
    EXPECT_FALSE(lines[0].contains("records: records")) << Describe(r);
}

INSTANTIATE_TEST_SUITE_P(Outboxes, CliUnusableOutboxTest,
                         testing::Values(UnusableOutboxCase{"Folder", "folder"},
                                         UnusableOutboxCase{"TextFile", "text"},
                                         UnusableOutboxCase{"NewerSchema", "newer"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
