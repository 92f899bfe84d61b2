#pragma once
// Records with every field set, for the stores' tests.

#include <QString>

#include <ostream>

#include "records/operation_record.h"
#include "records/record_filter.h"

inline void PrintTo(const SummaryRow& r, std::ostream* out) {
    *out << r.key.toStdString() << ": " << r.success << " success, " << r.failed << " failed, "
         << r.cancelled << " cancelled";
}

namespace records_test {

inline OperationRecord FullRecord(int n, RecordOutcome outcome = RecordOutcome::kSuccess) {
    OperationRecord r =
        OperationRecord::Begin(RecordOperation::kDownload, CommandLineSource("flash"));
    r.startedMs = 1'700'000'000'000 + n * 1000;
    r.finishedMs = r.startedMs + 750;
    r.outcome = outcome;
    r.reason = QStringLiteral("download complete: 3000 bytes, \"quoted\", 中文\nsecond line");
    r.station = QStringLiteral("station-%1").arg(n % 3);
    r.port = QStringLiteral("/dev/ttyUSB0");
    r.baud = 115200;
    r.can = n % 2 == 0;
    r.imageName = QStringLiteral("fw-%1.bin").arg(n % 2);
    r.imageSize = 3000 + n;
    r.imageSha256 = QStringLiteral("%1").arg(n % 2, 64, 10, QLatin1Char('a'));
    r.bytesAcknowledged = 1024 * n;
    r.checkValue = QString::number(4000 + n);
    r.softwareVersion = QStringLiteral("1.23");
    r.hardwareVersion = QStringLiteral("0.05");
    r.unitId = QStringLiteral("U%1").arg(n);
    return r;
}

}  // namespace records_test
