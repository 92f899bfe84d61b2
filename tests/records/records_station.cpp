// A station that makes records as fast as it can: records_station URL OUTBOX STATION COUNT.
// Prints how many are still waiting in its outbox when it ends.

#include <QCoreApplication>
#include <cstdio>

#include "records/recorder.h"
#include "records/sqlite_record_store.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 5)
        return 2;
    RecorderOptions options;
    const RecordsLocationResult where = ParseRecordsLocation(args[1]);
    if (!where.location)
        return 2;
    options.location = *where.location;
    options.outboxFile = args[2];
    options.retryMs = 100;
    {
        Recorder recorder(options);
        QObject::connect(&recorder, &Recorder::failed, [](const QString& message) {
            std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
        });
        for (int n = 0; n < args[4].toInt(); ++n) {
            OperationRecord record =
                OperationRecord::Begin(RecordOperation::kDownload, CommandLineSource("flash"));
            record.station = args[3];
            record.unitId = QString::number(n);
            record.Finish(RecordOutcome::kSuccess, "download complete: 1 bytes");
            recorder.Submit(record);
        }
        recorder.Flush(60000);
    }
    SqliteRecordStore outbox(args[2], true);
    std::printf("%lld\n", static_cast<long long>(outbox.PendingCount().value_or(-1)));
    return 0;
}
