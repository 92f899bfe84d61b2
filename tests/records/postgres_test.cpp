// The stores and the forwarder against a real PostgreSQL server: records arrive as they were
// made; a server stopped in the middle of a station's run loses and doubles nothing, whether
// forwarding resumes by itself or at the next start; four stations at once; a refused login.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "postgres_cluster.h"
#include "records/postgres_record_store.h"
#include "records/recorder.h"
#include "records/sqlite_record_store.h"
#include "records_test_support.h"

namespace {

using records_test::FullRecord;

class PostgresTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_cluster = std::make_unique<PostgresCluster>();
        s_skip = s_cluster->Start();
    }
    static void TearDownTestSuite() { s_cluster.reset(); }
    void SetUp() override {
        if (!s_skip.isEmpty())
            GTEST_SKIP() << "PostgreSQL cases skipped: " << s_skip.toStdString();
    }

    RecorderOptions Options(const QString& outbox, const QString& user = "tarvik") const {
        RecorderOptions options;
        options.location = *ParseRecordsLocation(s_cluster->Url(user)).location;
        options.outboxFile = m_dir.filePath(outbox);
        options.retryMs = 100;
        options.maxRetryMs = 400;
        return options;
    }
    // What the server holds for `station`.
    QList<OperationRecord> OnServer(const QString& station) {
        PostgresRecordStore server(ParseRecordsLocation(s_cluster->Url()).location->server);
        RecordFilter filter;
        filter.station = station;
        const auto records = server.Query(filter);
        EXPECT_TRUE(records.has_value()) << server.Error().toStdString();
        return records.value_or(QList<OperationRecord>());
    }
    // Through a recorder with its outbox, as a station sends them; all of them on the server.
    void Send(const QList<OperationRecord>& records) {
        Recorder recorder(Options("outbox.sqlite"));
        for (const OperationRecord& r : records)
            recorder.Submit(r);
        ASSERT_TRUE(recorder.Flush(20000));
    }
    static QList<OperationRecord> Batch(const QString& station, int first, int count) {
        QList<OperationRecord> records;
        for (int n = first; n < first + count; ++n) {
            OperationRecord r = FullRecord(n);
            r.station = station;
            records << r;
        }
        return records;
    }

    static inline std::unique_ptr<PostgresCluster> s_cluster;
    static inline QString s_skip;
    QTemporaryDir m_dir;
};

TEST_F(PostgresTest, TheSameRecordsArrive) {
    const QList<OperationRecord> sent = Batch("same", 0, 8);
    ASSERT_NO_FATAL_FAILURE(Send(sent));
    const QList<OperationRecord> arrived = OnServer("same");
    ASSERT_EQ(arrived.size(), sent.size());
    for (const OperationRecord& r : sent)
        EXPECT_TRUE(arrived.contains(r)) << r.uuid.toString().toStdString();
    EXPECT_EQ(SqliteRecordStore(m_dir.filePath("outbox.sqlite"), true).PendingCount(), 0);
}

// A listing of the newest records reads the same on the server as in a file: the last ones,
// oldest first.
TEST_F(PostgresTest, TheNewestRecordsAreTheLastOnesOldestFirst) {
    const QList<OperationRecord> sent = Batch("newest", 0, 6);
    ASSERT_NO_FATAL_FAILURE(Send(sent));
    PostgresRecordStore server(ParseRecordsLocation(s_cluster->Url()).location->server);
    RecordFilter filter;
    filter.station = "newest";
    filter.newest = 4;
    const auto newest = server.Query(filter);
    ASSERT_TRUE(newest.has_value()) << server.Error().toStdString();
    EXPECT_EQ(*newest, sent.mid(2));
}

TEST_F(PostgresTest, AServerStoppedDuringARunOfTenGetsAllTenOnceItIsBack) {
    const QList<OperationRecord> run = Batch("outage", 0, 10);
    Recorder recorder(Options("outbox.sqlite"));
    QSignalSpy forwarded(&recorder, &Recorder::recordsForwarded);
    for (int n = 0; n < 4; ++n) {
        recorder.Submit(run[n]);
        ASSERT_TRUE(recorder.Flush(20000));
    }
    ASSERT_TRUE(s_cluster->Stop());
    for (int n = 4; n < 10; ++n) {
        recorder.Submit(run[n]);
        recorder.Flush(20000);
    }
    SqliteRecordStore outbox(m_dir.filePath("outbox.sqlite"), true);
    EXPECT_EQ(outbox.PendingCount(), 6);
    ASSERT_TRUE(s_cluster->Resume());
    // Nobody asks: the forwarder tries again by itself.
    QTRY_COMPARE_WITH_TIMEOUT(outbox.PendingCount(), 0, 15000);
    const QList<OperationRecord> arrived = OnServer("outage");
    EXPECT_EQ(arrived.size(), 10);
    for (const OperationRecord& r : run)
        EXPECT_TRUE(arrived.contains(r));
}

// A server that stops answering in the middle of a connection (a hung machine, a frozen
// process): closing the recorder takes no longer than its budget, the forwarder is left
// behind, and the outbox still holds what the server did not take.
TEST_F(PostgresTest, AServerThatHangsMidConnectionIsLeftBehindWithinTheBudget) {
    const QList<OperationRecord> run = Batch("hang", 0, 2);
    auto recorder = std::make_unique<Recorder>(Options("outbox.sqlite"));
    recorder->Submit(run[0]);
    ASSERT_TRUE(recorder->Flush(20000));
    s_cluster->Freeze();
    recorder->Submit(run[1]);
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(recorder->Flush(1000));
    const RecorderEnd end = recorder->Close(1500);
    const qint64 took = clock.elapsed();
    std::printf("closing with the server frozen mid-connection: %lld ms\n",
                static_cast<long long>(took));
    recorder.reset();
    s_cluster->Continue();
    EXPECT_LT(took, 8000);
    EXPECT_TRUE(end.abandoned);
    EXPECT_EQ(end.unsaved, 0);
    EXPECT_EQ(end.waiting, 1);
    EXPECT_TRUE(end.Describe().contains("1 record(s) wait in the local outbox"))
        << end.Describe().toStdString();
    // The next start sends it.
    {
        Recorder next(Options("outbox.sqlite"));
        ASSERT_TRUE(next.Flush(20000));
    }
    EXPECT_EQ(OnServer("hang").size(), 2);
}

TEST_F(PostgresTest, WhatAStoppedServerMissedIsSentAtTheNextStart) {
    const QList<OperationRecord> run = Batch("next-start", 0, 5);
    ASSERT_TRUE(s_cluster->Stop());
    {
        Recorder recorder(Options("outbox.sqlite"));
        for (const OperationRecord& r : run)
            recorder.Submit(r);
        recorder.Flush(20000);
    }
    ASSERT_TRUE(s_cluster->Resume());
    // A batch the server took although the outbox never heard so: sent again, kept once.
    PostgresRecordStore server(ParseRecordsLocation(s_cluster->Url()).location->server);
    ASSERT_TRUE(server.Insert(run.mid(0, 2))) << server.Error().toStdString();
    {
        Recorder recorder(Options("outbox.sqlite"));
        ASSERT_TRUE(recorder.Flush(20000));
    }
    EXPECT_EQ(OnServer("next-start").size(), 5);
    EXPECT_EQ(SqliteRecordStore(m_dir.filePath("outbox.sqlite"), true).PendingCount(), 0);
}

TEST_F(PostgresTest, FourStationsWritingFiveHundredEachAtOnceMakeTwoThousandRows) {
    std::vector<std::unique_ptr<QProcess>> stations;
    for (int s = 0; s < 4; ++s) {
        auto p = std::make_unique<QProcess>();
        p->start(TARVIK_RECORDS_STATION_EXE,
                 {s_cluster->Url(), m_dir.filePath(QString("outbox-%1.sqlite").arg(s)),
                  QString("crowd-%1").arg(s), "500"});
        stations.push_back(std::move(p));
    }
    for (auto& p : stations) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
        EXPECT_EQ(p->readAllStandardOutput().trimmed(), "0") << "still waiting in the outbox";
    }
    int total = 0;
    for (int s = 0; s < 4; ++s)
        total += static_cast<int>(OnServer(QString("crowd-%1").arg(s)).size());
    EXPECT_EQ(total, 2000);
}

TEST_F(PostgresTest, ARefusedLoginIsOneMessageAndTheRecordsWait) {
    Recorder recorder(Options("outbox.sqlite", "intruder"));
    QSignalSpy failed(&recorder, &Recorder::failed);
    for (const OperationRecord& r : Batch("refused", 0, 3)) {
        recorder.Submit(r);
        recorder.Flush(20000);
    }
    QTRY_COMPARE(failed.size(), 1);
    QTest::qWait(300);
    EXPECT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0][0].toString().contains("intruder"))
        << failed[0][0].toString().toStdString();
    EXPECT_EQ(SqliteRecordStore(m_dir.filePath("outbox.sqlite"), true).PendingCount(), 3);
}

}  // namespace
