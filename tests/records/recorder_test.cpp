// The recorder: records handed over from several threads all land once, and each is announced;
// a file that cannot be written is one message however many records fail; with a server that
// cannot be reached every record still waits in the outbox; queries answer on the caller's
// thread.

#include <gtest/gtest.h>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "records/recorder.h"
#include "records/sqlite_record_store.h"
#include "records_test_support.h"

namespace {

using records_test::FullRecord;

RecorderOptions FileOptions(const QString& file) {
    RecorderOptions options;
    options.location.file = file;
    options.retryMs = 50;
    return options;
}

TEST(RecorderTest, RecordsFromSeveralThreadsAllLandOnceAndAreAnnounced) {
    QTemporaryDir dir;
    const QString file = dir.filePath("records.sqlite");
    QList<OperationRecord> sent;
    {
        Recorder recorder(FileOptions(file));
        QSignalSpy stored(&recorder, &Recorder::recordStored);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            QList<OperationRecord> mine;
            for (int n = 0; n < 50; ++n)
                mine << FullRecord(t * 100 + n);
            sent << mine;
            threads.emplace_back([&recorder, mine] {
                for (const OperationRecord& r : mine)
                    recorder.Submit(r);
            });
        }
        for (std::thread& t : threads)
            t.join();
        ASSERT_TRUE(recorder.Flush(10000));
        QTRY_COMPARE_WITH_TIMEOUT(stored.size(), 200, 5000);
    }
    SqliteRecordStore store(file);
    const auto back = store.Query({});
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->size(), 200);
    for (const OperationRecord& r : sent)
        EXPECT_TRUE(back->contains(r));
}

TEST(RecorderTest, AFileThatCannotBeWrittenIsOneMessage) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("records.sqlite");
    ASSERT_TRUE(QDir().mkpath(folder));
    Recorder recorder(FileOptions(folder));
    QSignalSpy failed(&recorder, &Recorder::failed);
    for (int n = 0; n < 5; ++n) {
        recorder.Submit(FullRecord(n));
        recorder.Flush(5000);
    }
    QTest::qWait(200);  // retries run meanwhile
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0][0].toString().contains(QDir::toNativeSeparators(folder)));
}

TEST(RecorderTest, WithAnUnreachableServerEveryRecordWaitsInTheOutbox) {
    QTemporaryDir dir;
    const QString outbox = dir.filePath("outbox.sqlite");
    RecorderOptions options;
    // A socket folder where no server listens: refused at once.
    options.location =
        *ParseRecordsLocation("postgresql://nobody@/records?host=" + dir.path()).location;
    options.outboxFile = outbox;
    options.retryMs = 50;
    {
        Recorder recorder(options);
        QSignalSpy failed(&recorder, &Recorder::failed);
        QSignalSpy stored(&recorder, &Recorder::recordStored);
        for (int n = 0; n < 10; ++n)
            recorder.Submit(FullRecord(n));
        EXPECT_TRUE(recorder.Flush(10000));
        QTRY_COMPARE(stored.size(), 10);
        QTest::qWait(300);  // several retries
        // One message, the server's: the outbox being made meanwhile is never taken for
        // another program's file.
        ASSERT_EQ(failed.size(), 1) << failed.value(0).value(0).toString().toStdString() << " / "
                                    << failed.value(1).value(0).toString().toStdString();
        EXPECT_TRUE(failed[0][0].toString().contains("server"))
            << failed[0][0].toString().toStdString();
    }
    SqliteRecordStore store(outbox, true);
    EXPECT_EQ(store.PendingCount(), 10);
}

TEST(RecorderTest, QueriesAnswerOnTheCallersThread) {
    QTemporaryDir dir;
    Recorder recorder(FileOptions(dir.filePath("records.sqlite")));
    for (int n = 0; n < 6; ++n)
        recorder.Submit(FullRecord(n, n < 2 ? RecordOutcome::kFailed : RecordOutcome::kSuccess));
    QObject context;
    bool answered = false;
    RecordFilter failed;
    failed.outcome = RecordOutcome::kFailed;
    recorder.Query(failed, &context, [&](std::optional<QList<OperationRecord>> records, QString) {
        EXPECT_EQ(QThread::currentThread(), context.thread());
        ASSERT_TRUE(records.has_value());
        EXPECT_EQ(records->size(), 2);
        answered = true;
    });
    QTRY_VERIFY(answered);
}

}  // namespace
