// The SQLite store: every field comes back as it went in, a record sent twice is kept once,
// filters and summaries count what they should, and a file it cannot use is reported, left as
// it was, and costs nothing already recorded.

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include "records/sqlite_record_store.h"
#include "records_test_support.h"

namespace {

using records_test::FullRecord;

class SqliteStoreTest : public testing::Test {
protected:
    QString File(const QString& name = "records.sqlite") const { return m_dir.filePath(name); }

    // A second connection of the test's own, as another program would have.
    QSqlDatabase Other(const QString& file) {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
        db.setDatabaseName(file);
        EXPECT_TRUE(db.open());
        return db;
    }
    void TearDown() override {
        if (QSqlDatabase::contains("other")) {
            QSqlDatabase::database("other").close();
            QSqlDatabase::removeDatabase("other");
        }
    }

    QTemporaryDir m_dir;
};

TEST_F(SqliteStoreTest, EveryFieldComesBackAndASecondSendingKeepsOne) {
    SqliteRecordStore store(File("new/folder/records.sqlite"));
    QList<OperationRecord> records;
    for (int n = 0; n < 5; ++n)
        records << FullRecord(n);
    OperationRecord sparse = OperationRecord::Begin(RecordOperation::kRestart, WindowSource());
    sparse.outcome = RecordOutcome::kCancelled;
    records << sparse;  // no image, no counts: they stay absent rather than zero

    ASSERT_TRUE(store.Insert(records)) << store.Error().toStdString();
    ASSERT_TRUE(store.Insert(records.mid(2))) << store.Error().toStdString();

    const auto back = store.Query({});
    ASSERT_TRUE(back.has_value()) << store.Error().toStdString();
    ASSERT_EQ(back->size(), records.size());
    for (const OperationRecord& r : records)
        EXPECT_TRUE(back->contains(r)) << r.uuid.toString().toStdString();
    EXPECT_FALSE(back->last().imageSize.has_value());
}

TEST_F(SqliteStoreTest, ANewFileIsWalWithTheSchemaVersion) {
    {
        SqliteRecordStore store(File());
        ASSERT_TRUE(store.Open()) << store.Error().toStdString();
    }
    QSqlDatabase db = Other(File());
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec("PRAGMA user_version") && q.next());
    EXPECT_EQ(q.value(0).toInt(), SqlRecordStore::kSchemaVersion);
    ASSERT_TRUE(q.exec("PRAGMA journal_mode") && q.next());
    EXPECT_EQ(q.value(0).toString(), "wal");
}

TEST_F(SqliteStoreTest, FiltersAndSummariesCountWhatTheyShould) {
    SqliteRecordStore store(File());
    QList<OperationRecord> records;
    for (int n = 0; n < 12; ++n) {
        OperationRecord r = FullRecord(n, n % 4 == 0   ? RecordOutcome::kFailed
                                          : n % 4 == 1 ? RecordOutcome::kCancelled
                                                       : RecordOutcome::kSuccess);
        // Days apart, so the day grouping has something to group.
        r.startedMs = QDate(2024, 3, 1 + n / 5).startOfDay().toMSecsSinceEpoch() + n * 1000;
        if (n == 7)
            r.operation = RecordOperation::kWrite;
        records << r;
    }
    ASSERT_TRUE(store.Insert(records)) << store.Error().toStdString();

    struct FilterCase {
        const char* name;
        RecordFilter filter;
        int expected;
    };
    RecordFilter station;
    station.station = "station-1";
    RecordFilter failed;
    failed.outcome = RecordOutcome::kFailed;
    RecordFilter write;
    write.operation = RecordOperation::kWrite;
    RecordFilter unit;
    unit.unitId = "U11";
    RecordFilter secondDay;
    secondDay.sinceMs = QDate(2024, 3, 2).startOfDay().toMSecsSinceEpoch();
    secondDay.untilMs = QDate(2024, 3, 3).startOfDay().toMSecsSinceEpoch();
    RecordFilter failedOnStation0 = failed;
    failedOnStation0.station = "station-0";
    RecordFilter newestFive;
    newestFive.newest = 5;
    RecordFilter newestTwoOfStation1 = station;
    newestTwoOfStation1.newest = 2;
    RecordFilter newestOfMore;
    newestOfMore.newest = 100;
    const FilterCase cases[] = {{"all", {}, 12},
                                {"station", station, 4},
                                {"outcome", failed, 3},
                                {"operation", write, 1},
                                {"unit", unit, 1},
                                {"day", secondDay, 5},
                                {"both", failedOnStation0, 1},
                                {"newest five", newestFive, 5},
                                {"newest two of a station", newestTwoOfStation1, 2},
                                {"newest of fewer", newestOfMore, 12}};
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto found = store.Query(c.filter);
        ASSERT_TRUE(found.has_value()) << store.Error().toStdString();
        EXPECT_EQ(found->size(), c.expected);
        for (qsizetype i = 1; i < found->size(); ++i)
            EXPECT_LE((*found)[i - 1].startedMs, (*found)[i].startedMs);
        // Exactly the last ones of the whole listing.
        if (c.filter.newest && !found->isEmpty()) {
            RecordFilter all = c.filter;
            all.newest.reset();
            const QList<OperationRecord> every = *store.Query(all);
            EXPECT_EQ(*found, every.mid(every.size() - found->size()));
        }
    }

    const auto byDay = store.Summarise({}, SummaryGrouping::kDay);
    ASSERT_TRUE(byDay.has_value());
    EXPECT_EQ(*byDay,
              (QList<SummaryRow>{
                  {"2024-03-01", 2, 2, 1}, {"2024-03-02", 2, 1, 2}, {"2024-03-03", 2, 0, 0}}));
    const auto byStation = store.Summarise(failed, SummaryGrouping::kStation);
    ASSERT_TRUE(byStation.has_value());
    EXPECT_EQ(*byStation,
              (QList<SummaryRow>{
                  {"station-0", 0, 1, 0}, {"station-1", 0, 1, 0}, {"station-2", 0, 1, 0}}));
    const auto byFirmware = store.Summarise({}, SummaryGrouping::kFirmware);
    ASSERT_TRUE(byFirmware.has_value());
    ASSERT_EQ(byFirmware->size(), 2);
    EXPECT_EQ(byFirmware->at(0).key, "fw-0.bin " + QString(12, 'a'));
    EXPECT_EQ(byFirmware->at(0).Total(), 6);
}

// A file the store cannot use: the reason names the file, the file is left as it was, and a
// store on a good file is not affected.
struct BadFileCase {
    const char* name;
    QByteArray content;  // "<dir>" for a folder in its place
    const char* mentioned;
};

class SqliteBadFileTest : public SqliteStoreTest,
                          public testing::WithParamInterface<BadFileCase> {};

TEST_P(SqliteBadFileTest, RefusesWithItsReasonAndLeavesTheFileAlone) {
    const BadFileCase& c = GetParam();
    const QString file = File("bad.sqlite");
    if (c.content == "<dir>") {
        ASSERT_TRUE(QDir().mkpath(file));
    } else {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(c.content);
    }
    SqliteRecordStore store(file);
    EXPECT_FALSE(store.Insert({FullRecord(1)}));
    EXPECT_TRUE(store.Error().contains(QDir::toNativeSeparators(file)))
        << store.Error().toStdString();
    EXPECT_TRUE(store.Error().contains(c.mentioned)) << store.Error().toStdString();
    if (c.content != "<dir>") {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), c.content);
    }
}

QByteArray NewerSchemaFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("newer.sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
        db.setDatabaseName(path);
        db.open();
        QSqlQuery(db).exec("PRAGMA user_version = 99");
        QSqlQuery(db).exec(
            QString("PRAGMA application_id = %1").arg(SqliteRecordStore::kApplicationId));
        db.close();
    }
    QSqlDatabase::removeDatabase("newer");
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// Another program's SQLite database, made by `statements`.
QByteArray ForeignFile(const QStringList& statements) {
    QTemporaryDir dir;
    const QString path = dir.filePath("foreign.sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "foreign");
        db.setDatabaseName(path);
        db.open();
        for (const QString& statement : statements)
            QSqlQuery(db).exec(statement);
        db.close();
    }
    QSqlDatabase::removeDatabase("foreign");
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

INSTANTIATE_TEST_SUITE_P(
    Files, SqliteBadFileTest,
    testing::Values(
        BadFileCase{"Folder", "<dir>", "cannot open"},
        BadFileCase{"NotADatabase", QByteArray(8192, 'x'), "not a database"},
        BadFileCase{"TruncatedHeader", QByteArray("SQLite format 3\0\x10\0", 20), "cannot open"},
        BadFileCase{"NewerSchema", NewerSchemaFile(), "newer version"},
        BadFileCase{
            "AnotherProgramsDatabase",
            ForeignFile({"CREATE TABLE notes (id INTEGER, text TEXT)",
                         "INSERT INTO notes VALUES (1, 'keep me')", "PRAGMA user_version = 1"}),
            "another program's database"},
        BadFileCase{"AnotherProgramsEmptyDatabase", ForeignFile({"PRAGMA application_id = 1234"}),
                    "another program's database"},
        // Same table name, but not the tool's mark nor its schema version.
        BadFileCase{"ATableOfTheSameName", ForeignFile({"CREATE TABLE operation_records (x)"}),
                    "another program's database"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SqliteStoreTest, ALockedFileFailsTheWriteAndKeepsWhatWasThere) {
    SqliteRecordStore store(File());
    ASSERT_TRUE(store.Insert({FullRecord(1)})) << store.Error().toStdString();
    QSqlDatabase other = Other(File());
    QSqlQuery lock(other);
    ASSERT_TRUE(lock.exec("BEGIN EXCLUSIVE"));

    EXPECT_FALSE(store.Insert({FullRecord(2)}));
    EXPECT_TRUE(store.Error().contains("locked")) << store.Error().toStdString();

    ASSERT_TRUE(lock.exec("ROLLBACK"));
    ASSERT_TRUE(store.Insert({FullRecord(2)})) << store.Error().toStdString();
    EXPECT_EQ(store.Query({})->size(), 2);
}

TEST_F(SqliteStoreTest, TheOutboxHandsOutWhatWaitsOldestFirstUntilMarked) {
    SqliteRecordStore outbox(File(), true);
    QList<OperationRecord> records;
    for (int n = 0; n < 7; ++n)
        records << FullRecord(6 - n);  // submitted newest-started first: order is arrival
    ASSERT_TRUE(outbox.Insert(records));
    const auto first = outbox.Pending(3);
    ASSERT_TRUE(first.has_value());
    ASSERT_EQ(first->size(), 3);
    EXPECT_EQ(first->at(0), records[0]);
    ASSERT_TRUE(outbox.MarkForwarded({first->at(0).uuid, first->at(1).uuid, first->at(2).uuid}));
    EXPECT_EQ(outbox.PendingCount(), 4);
    EXPECT_EQ(outbox.Pending(10)->at(0), records[3]);
    // Forwarded records stay in the file: the station keeps its own history.
    EXPECT_EQ(outbox.Query({})->size(), 7);
}

}  // namespace

namespace {

OperationRecord Attempt(const char* station, const char* unit, QDate day, int minute,
                        RecordOutcome outcome) {
    OperationRecord r = FullRecord(minute);
    r.uuid = QUuid::createUuid();
    r.station = QString::fromUtf8(station);
    r.unitId = QString::fromUtf8(unit);
    r.outcome = outcome;
    // Midday: the same local day in any zone from UTC-11 to UTC+11.
    r.startedMs = QDateTime(day, QTime(12, minute), Qt::UTC).toMSecsSinceEpoch();
    r.finishedMs = r.startedMs + 500;
    return r;
}

}  // namespace

// First-pass yield: a unit counts once per station and day, by its first attempt that day; a
// record without a unit id is not a unit.
TEST_F(SqliteStoreTest, FirstPassYieldCountsEachUnitsFirstAttemptOfTheDay) {
    const QDate day1(2026, 5, 4);
    const QDate day2(2026, 5, 5);
    constexpr auto kOk = RecordOutcome::kSuccess;
    constexpr auto kFail = RecordOutcome::kFailed;
    SqliteRecordStore store(File());
    ASSERT_TRUE(store.Insert({Attempt("A", "U1", day1, 1, kFail), Attempt("A", "U1", day1, 2, kOk),
                              Attempt("A", "U2", day1, 3, kOk), Attempt("A", "U1", day2, 1, kOk),
                              Attempt("B", "U3", day1, 5, kOk), Attempt("B", "U3", day1, 6, kFail),
                              Attempt("B", "", day1, 7, kFail)}))
        << store.Error().toStdString();
    const auto byStation = store.Yield({}, YieldGrouping::kStation);
    ASSERT_TRUE(byStation.has_value()) << store.Error().toStdString();
    EXPECT_EQ(*byStation, (QList<YieldRow>{{"A", 3, 2}, {"B", 1, 1}}));
    const auto byDay = store.Yield({}, YieldGrouping::kDay);
    ASSERT_TRUE(byDay.has_value());
    EXPECT_EQ(*byDay, (QList<YieldRow>{{"2026-05-04", 3, 2}, {"2026-05-05", 1, 1}}));
    RecordFilter onlyB;
    onlyB.station = "B";
    EXPECT_EQ(store.Yield(onlyB, YieldGrouping::kStation), (QList<YieldRow>{{"B", 1, 1}}));

    // Hours and messages, by the same local-time rule as days.
    const auto byHour = store.Summarise({}, SummaryGrouping::kHour);
    ASSERT_TRUE(byHour.has_value());
    qint64 total = 0;
    for (const SummaryRow& row : *byHour) {
        EXPECT_TRUE(row.key.endsWith(":00")) << row.key.toStdString();
        total += row.Total();
    }
    EXPECT_EQ(total, 7);
    EXPECT_EQ(byHour->size(), 2);
    const auto byMessage = store.Summarise({}, SummaryGrouping::kMessage);
    ASSERT_TRUE(byMessage.has_value());
    ASSERT_EQ(byMessage->size(), 1);
    EXPECT_EQ(byMessage->first().Total(), 7);
}
