// What recording costs: the calling thread's time to hand over one record, `records summary`
// over 1,000,000 SQLite records, and forwarding 10,000 queued records to a local PostgreSQL
// (a throwaway server in a temporary folder, or the URL given as the first argument).
//
// `records_timing --fill FILE N` only writes N sample records to FILE, for timing tarvik-cli's
// listings and summaries on it (memory: /usr/bin/time -v tarvik-cli records --format csv ...).

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "postgres_cluster.h"
#include "records/recorder.h"
#include "records/sqlite_record_store.h"

namespace {

OperationRecord Sample(int n) {
    OperationRecord r = OperationRecord::Begin(RecordOperation::kDownload, AutomaticModeSource(2));
    r.startedMs -= static_cast<qint64>(n % 30) * 86'400'000;  // a month of days
    r.station = QStringLiteral("station-%1").arg(n % 8);
    r.imageName = QStringLiteral("fw-%1.bin").arg(n % 5);
    r.imageSha256 = QString(64, QChar('a' + n % 5));
    r.imageSize = 512000;
    r.bytesAcknowledged = 512000;
    r.unitId = QString::number(n);
    r.Finish(n % 10 == 0 ? RecordOutcome::kFailed : RecordOutcome::kSuccess,
             QStringLiteral("download complete: 512000 bytes"));
    return r;
}

}  // namespace

// Writes `count` sample records to `file` in large transactions.
bool Fill(const QString& file, int count) {
    SqliteRecordStore store(file);
    constexpr int kChunk = 20000;
    for (int first = 0; first < count; first += kChunk) {
        QList<OperationRecord> chunk;
        for (int n = first; n < std::min(count, first + kChunk); ++n)
            chunk << Sample(n);
        if (!store.Insert(chunk)) {
            std::printf("%s\n", store.Error().toLocal8Bit().constData());
            return false;
        }
    }
    return true;
}

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (argc == 4 && QByteArray(argv[1]) == "--fill")
        return Fill(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt()) ? 0 : 1;

    {
        // Submit is all the window's thread does per operation.
        RecorderOptions options;
        options.location = *ParseRecordsLocation(dir.filePath("submit.sqlite")).location;
        Recorder recorder(options);
        std::vector<qint64> ns;
        for (int n = 0; n < 2000; ++n) {
            const OperationRecord r = Sample(n);
            QElapsedTimer t;
            t.start();
            recorder.Submit(r);
            ns.push_back(t.nsecsElapsed());
        }
        recorder.Flush(60000);
        std::sort(ns.begin(), ns.end());
        std::printf("hand-over on the calling thread: median %.1f us, 99th %.1f us, max %.1f us\n",
                    ns[ns.size() / 2] / 1000.0, ns[ns.size() * 99 / 100] / 1000.0,
                    ns.back() / 1000.0);
    }

    {
        constexpr int kRecords = 1000000;
        const QString file = dir.filePath("summary.sqlite");
        Fill(file, kRecords);
        SqliteRecordStore store(file);
        const struct {
            SummaryGrouping grouping;
            const char* name;
        } groupings[] = {
            {SummaryGrouping::kDay, "day"},         {SummaryGrouping::kHour, "hour"},
            {SummaryGrouping::kStation, "station"}, {SummaryGrouping::kFirmware, "firmware"},
            {SummaryGrouping::kMessage, "message"}, {SummaryGrouping::kPort, "port"}};
        for (const auto& g : groupings) {
            QElapsedTimer t;
            t.start();
            const auto rows = store.Summarise({}, g.grouping);
            std::printf("summary over %d SQLite records by %s: %lld ms, %lld rows\n", kRecords,
                        g.name, static_cast<long long>(t.elapsed()),
                        static_cast<long long>(rows ? rows->size() : -1));
        }
    }

    PostgresCluster cluster;
    QString url = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (url.isEmpty()) {
        const QString why = cluster.Start();
        if (!why.isEmpty()) {
            std::printf("forwarding skipped: %s\n", why.toLocal8Bit().constData());
            return 0;
        }
        url = cluster.Url();
    }
    {
        const QString outbox = dir.filePath("outbox.sqlite");
        SqliteRecordStore queued(outbox, true);
        QList<OperationRecord> all;
        for (int n = 0; n < 10000; ++n)
            all << Sample(n);
        queued.Insert(all);
        queued.Close();
        RecorderOptions options;
        options.location = *ParseRecordsLocation(url).location;
        options.outboxFile = outbox;
        QElapsedTimer t;
        t.start();
        Recorder recorder(options);  // sends what waits at start
        recorder.Flush(120000);
        std::printf(
            "forwarding 10000 queued records: %lld ms, %lld left\n",
            static_cast<long long>(t.elapsed()),
            static_cast<long long>(SqliteRecordStore(outbox, true).PendingCount().value_or(-1)));
    }
    return 0;
}
