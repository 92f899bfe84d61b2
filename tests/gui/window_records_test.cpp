// Production records from the window: each operation against the simulated controller leaves
// exactly one record with the outcome the user saw, and the records window lists, filters,
// counts, follows and exports them. The records live in a temporary SQLite file.

#include <QAbstractButton>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

#include "app/string_table.h"
#include "core/modem/modem_sender.h"
#include "core/protocol/link_flags.h"
#include "download/download_control.h"
#include "link/port_source.h"
#include "mainwindow/operation_records.h"
#include "mainwindow/port_name.h"
#include "production/records_table_model.h"
#include "production/records_window.h"
#include "records/recorder.h"
#include "ui/controls.h"
#include "window_records_fixture.h"

Q_DECLARE_METATYPE(std::optional<RecordOperation>)
Q_DECLARE_METATYPE(std::optional<RecordOutcome>)

using namespace std::chrono_literals;

namespace {

enum class Action {
    kRead,
    kReadUnanswered,
    kWrite,
    kWriteUnacknowledged,
    kFactoryRestore,
    kFactoryRestoreDeclined,
    kDownload,
    kDownloadCancelledByController,
    kDownloadLastPacketRefused,
};

// Refused before anything went to the controller.
enum class Refused {
    kReadPortClosed,
    kWritePortClosed,
    kDownloadPortClosed,
    kDownloadEmptyFile,
    kReadWhileDownloading,
};

// The reason as a whole: `text` exactly.
QString Exactly(const QString& text) {
    return QLatin1Char('^') + QRegularExpression::escape(text) + QLatin1Char('$');
}
// The tool's words on a transfer that ended short, with how far it got.
QString TransferWords(const char* words, qsizetype size) {
    return QStringLiteral("^%1 \\(\\d+ of %2 bytes acknowledged\\)$").arg(QLatin1String(words)).arg(size);
}

// What ends an operation before its own end comes.
enum class Interruption { kWindowClosed, kPortButton, kLinkClosed };

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile out(path);
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(bytes) == bytes.size();
}

bool ControllerHolds(sim::SimController& controller, const QByteArray& image) {
    const auto received = controller.LastImage();
    return received && received->data == std::vector<std::uint8_t>(image.begin(), image.end());
}

OperationRecord Made(const QString& station, RecordOperation operation, RecordOutcome outcome,
                     int daysAgo, const QString& reason = {}) {
    OperationRecord record = OperationRecord::Begin(operation, WindowSource());
    record.station = station;
    record.startedMs -= qint64(daysAgo) * 24 * 3600 * 1000;
    record.Finish(outcome, reason);
    record.finishedMs = record.startedMs + 1500;
    record.port = QStringLiteral("ttyUSB0");
    record.baud = 9600;
    if (operation == RecordOperation::kDownload) {
        record.imageName = QStringLiteral("ctl_v2.31.bin");
        record.imageSize = 61440;
        record.imageSha256 = QStringLiteral("9f2c41d07a");
        record.bytesAcknowledged = outcome == RecordOutcome::kSuccess ? 61440 : 8192;
    } else if (operation == RecordOperation::kWrite || operation == RecordOperation::kRead) {
        record.checkValue = QStringLiteral("52731");
        record.softwareVersion = QStringLiteral("2.31");
        record.hardwareVersion = QStringLiteral("1.2");
    }
    return record;
}

}  // namespace

class WindowRecordsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<OperationRecord>(); }
    void cleanup() {
        g_connected = 0;
        g_writeAcknowledged = 1;
        g_modem.m_busy = 0;
    }

    void eachOperationLeavesOneRecord_data() {
        QTest::addColumn<Action>("action");
        QTest::addColumn<RecordOperation>("operation");
        QTest::addColumn<RecordOutcome>("outcome");
        QTest::addColumn<QString>("reason");
        const auto op = [](const char* name, Action action, RecordOperation operation,
                           RecordOutcome outcome, const QString& reason) {
            QTest::newRow(name) << action << operation << outcome << reason;
        };
        using O = RecordOperation;
        using R = RecordOutcome;
        // Every failure and every cancellation says why: what the user was shown, else the
        // tool's own words.
        op("read", Action::kRead, O::kRead, R::kSuccess, Exactly({}));
        op("read unanswered", Action::kReadUnanswered, O::kRead, R::kFailed, Exactly(Tr(119)));
        op("write acknowledged", Action::kWrite, O::kWrite, R::kSuccess, Exactly(Tr(121)));
        op("write not acknowledged", Action::kWriteUnacknowledged, O::kWrite, R::kFailed,
           Exactly(Tr(122)));
        op("factory restore", Action::kFactoryRestore, O::kFactoryRestore, R::kSuccess,
           Exactly({}));
        op("factory restore declined", Action::kFactoryRestoreDeclined, O::kFactoryRestore,
           R::kCancelled, Exactly(QStringLiteral("cancelled at the confirmation")));
        op("download by hand", Action::kDownload, O::kDownload, R::kSuccess, Exactly({}));
        op("download cancelled by the boot loader", Action::kDownloadCancelledByController,
           O::kDownload, R::kFailed, TransferWords("the transfer stopped", 20000));
        // The transfer ends as usual, but the controller lacks the last packet.
        op("download whose last packet the boot loader refused", Action::kDownloadLastPacketRefused,
           O::kDownload, R::kFailed,
           Exactly(QStringLiteral("the boot loader answered the last packet with NAK: the "
                                  "program did not arrive whole")));
    }
    void eachOperationLeavesOneRecord() {
        QFETCH(Action, action);
        QFETCH(RecordOperation, operation);
        QFETCH(RecordOutcome, outcome);
        QFETCH(QString, reason);
        Fixture f;
        const QByteArray image = TestImage(20000);
        const QString file = f.records.dir.filePath(QStringLiteral("controller.bin"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(image) == image.size());
        out.close();

        QVERIFY(f.Open());
        const bool needsRead = action == Action::kWrite || action == Action::kWriteUnacknowledged;
        if (needsRead) {
            QVERIFY(f.Connect());
        }
        // The read before a write is recorded too; its signal must not count below.
        QVERIFY(f.records.recorder->Flush(5000));
        QCoreApplication::processEvents();
        QSignalSpy stored(f.records.recorder.get(), &Recorder::recordStored);
        const qint64 before = NowUtcMs();
        f.prompts.messages.clear();
        switch (action) {
            case Action::kReadUnanswered:
                f.SetFaults([](sim::SimFaults& faults) { faults.noReadAnswer = true; });
                [[fallthrough]];
            case Action::kRead:
                QTest::mouseClick(f.window->Item<QAbstractButton>(1033), Qt::LeftButton);
                break;
            case Action::kWriteUnacknowledged:
                f.SetFaults([](sim::SimFaults& faults) { faults.noWriteAck = true; });
                [[fallthrough]];
            case Action::kWrite:
                QTest::mouseClick(f.window->Item<QAbstractButton>(1036), Qt::LeftButton);
                break;
            case Action::kFactoryRestoreDeclined:
                f.prompts.confirmAnswer = false;
                [[fallthrough]];
            case Action::kFactoryRestore:
                f.window->OnFactoryRestoreClicked();
                break;
            case Action::kDownloadCancelledByController:
                f.SetFaults([](sim::SimFaults& faults) { faults.transfer.canAtBlock = 4; });
                [[fallthrough]];
            case Action::kDownloadLastPacketRefused:
                // 20000 bytes go as twenty packets of 1024.
                if (action == Action::kDownloadLastPacketRefused) {
                    f.SetFaults([](sim::SimFaults& faults) { faults.transfer.nakBlock = 20; });
                }
                [[fallthrough]];
            case Action::kDownload:
                f.window->Download().LoadImage(file);
                QTest::mouseClick(f.window->Item<QAbstractButton>(1006), Qt::LeftButton);
                break;
        }
        QVERIFY(stored.wait(20000) || stored.count() == 1);
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->Busy(), 8000);

        RecordFilter filter;
        filter.sinceMs = before;
        const QList<OperationRecord> all = f.records.Stored(filter);
        QCOMPARE(all.size(), 1);
        QCOMPARE(stored.count(), 1);
        const OperationRecord& record = all.first();
        QCOMPARE(record.operation, operation);
        QCOMPARE(record.outcome, outcome);
        QVERIFY2(QRegularExpression(reason).match(record.reason).hasMatch(),
                 qPrintable(record.reason));
        // What the record says was shown is what the user saw: a message, or the end of a
        // transfer in the log box.
        if (action == Action::kDownloadLastPacketRefused) {
            QTRY_COMPARE(f.window->Controls().Text(1001), record.reason);
            QVERIFY(f.prompts.messages.isEmpty());
        } else if (outcome == RecordOutcome::kSuccess && !record.reason.isEmpty()) {
            QVERIFY(f.prompts.messages.contains(record.reason));
        } else if (outcome != RecordOutcome::kSuccess &&
                   (operation == RecordOperation::kRead || operation == RecordOperation::kWrite)) {
            QVERIFY(f.prompts.messages.contains(record.reason));
        }
        QCOMPARE(record.source, WindowSource());
        QCOMPARE(record.station, QStringLiteral("line-1/station-4"));
        QCOMPARE(record.toolVersion, ToolVersion());
        QVERIFY(record.startedMs >= before);
        QVERIFY(record.finishedMs >= record.startedMs);
        QCOMPARE(record.port, f.path);
        QCOMPARE(record.baud, 9600);
        QCOMPARE(record.can, false);

        if (operation == RecordOperation::kRead && outcome == RecordOutcome::kSuccess) {
            QTRY_COMPARE(f.window->Controls().Text(1016), record.checkValue);
            QVERIFY(!record.checkValue.isEmpty());
            QVERIFY(!record.softwareVersion.isEmpty());
        }
        if (operation == RecordOperation::kWrite) {
            QVERIFY(!record.checkValue.isEmpty());
            QVERIFY(!record.hardwareVersion.isEmpty());
        }
        if (action == Action::kDownload || action == Action::kDownloadCancelledByController ||
            action == Action::kDownloadLastPacketRefused) {
            QCOMPARE(record.imageName, QStringLiteral("controller.bin"));
            QCOMPARE(record.imageSize, std::optional<qint64>(image.size()));
            QCOMPARE(record.imageSha256,
                     QString::fromLatin1(
                         QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex()));
            QVERIFY(record.bytesAcknowledged.has_value());
            // The truth: a success only when the controller got the whole image.
            const auto received = f.Sim().LastImage();
            const bool whole =
                f.Sim().Counters().imagesReceived == 1 && received &&
                received->data == std::vector<std::uint8_t>(image.begin(), image.end());
            QCOMPARE(outcome == RecordOutcome::kSuccess, whole);
            if (whole) {
                QCOMPARE(*record.bytesAcknowledged, qint64(image.size()));
            } else {
                QVERIFY(*record.bytesAcknowledged < image.size());
            }
        }
    }

    // An operation cut short still ends in exactly one record, at once and with nobody told
    // anything: a transfer cut off did not program the controller; a read the closing window
    // ended changed nothing.
    void interruptedOperationLeavesOneRecord_data() {
        QTest::addColumn<RecordOperation>("operation");
        QTest::addColumn<Interruption>("interruption");
        QTest::addColumn<RecordOutcome>("outcome");
        QTest::addColumn<QString>("reason");
        QTest::newRow("download, window closed")
            << RecordOperation::kDownload << Interruption::kWindowClosed << RecordOutcome::kFailed
            << TransferWords("the window was closed during the transfer", 20000);
        QTest::newRow("download, port closed with the button")
            << RecordOperation::kDownload << Interruption::kPortButton << RecordOutcome::kFailed
            << TransferWords("the port was closed during the transfer", 20000);
        QTest::newRow("download, link closed")
            << RecordOperation::kDownload << Interruption::kLinkClosed << RecordOutcome::kFailed
            << TransferWords("the port was closed during the transfer", 20000);
        QTest::newRow("read, window closed")
            << RecordOperation::kRead << Interruption::kWindowClosed << RecordOutcome::kCancelled
            << Exactly(QStringLiteral("the window was closed while the operation ran"));
    }
    void interruptedOperationLeavesOneRecord() {
        QFETCH(RecordOperation, operation);
        QFETCH(Interruption, interruption);
        QFETCH(RecordOutcome, outcome);
        QFETCH(QString, reason);
        Fixture f;
        const QByteArray image = TestImage(20000);
        const QString file = f.records.dir.filePath(QStringLiteral("controller.bin"));
        QVERIFY(WriteFile(file, image));
        QVERIFY(f.Open());
        QVERIFY(f.records.recorder->Flush(5000));
        QCoreApplication::processEvents();
        QSignalSpy stored(f.records.recorder.get(), &Recorder::recordStored);
        const qint64 before = NowUtcMs();
        f.prompts.messages.clear();

        if (operation == RecordOperation::kDownload) {
            // Twenty packets, each acknowledged late: time enough to cut the transfer off.
            f.SetFaults([](sim::SimFaults& faults) { faults.transfer.slowFlash = 80ms; });
            QVERIFY(f.window->Download().LoadImage(file));
            QTest::mouseClick(f.window->Item<QAbstractButton>(1006), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(g_modem.AcknowledgedBytes() >= 2048, 10000);
            QVERIFY(f.window->LinkToController().DownloadRunning());
        } else {
            f.SetFaults([](sim::SimFaults& faults) { faults.noReadAnswer = true; });
            QTest::mouseClick(f.window->Item<QAbstractButton>(1033), Qt::LeftButton);
            QVERIFY(f.window->Busy());
        }
        QCOMPARE(stored.count(), 0);
        switch (interruption) {
            case Interruption::kWindowClosed:
                f.window.reset();
                break;
            case Interruption::kPortButton:
                QTest::mouseClick(f.window->Item<QAbstractButton>(1032), Qt::LeftButton);
                break;
            case Interruption::kLinkClosed:
                f.window->LinkToController().Close();
                break;
        }
        // Without the port being opened again.
        QTRY_COMPARE_WITH_TIMEOUT(stored.count(), 1, 5000);
        QTest::qWait(3 * OperationRecords::kTransferPollMs);
        QCOMPARE(stored.count(), 1);

        RecordFilter filter;
        filter.sinceMs = before;
        const QList<OperationRecord> all = f.records.Stored(filter);
        QCOMPARE(all.size(), 1);
        const OperationRecord& record = all.first();
        QCOMPARE(record.operation, operation);
        QCOMPARE(record.outcome, outcome);
        // Nothing was shown: the tool's own words.
        QVERIFY2(QRegularExpression(reason).match(record.reason).hasMatch(),
                 qPrintable(record.reason));
        QVERIFY(f.prompts.messages.isEmpty());
        QCOMPARE(record.port, f.path);
        if (operation == RecordOperation::kDownload) {
            QCOMPARE(record.imageName, QStringLiteral("controller.bin"));
            QCOMPARE(record.imageSize, std::optional<qint64>(image.size()));
            QVERIFY(record.bytesAcknowledged.has_value());
            QVERIFY(*record.bytesAcknowledged >= 2048);
            QVERIFY(*record.bytesAcknowledged < image.size());
            QVERIFY(!ControllerHolds(f.Sim(), image));
        }
    }

    // Download pressed again while a transfer runs: the first attempt keeps its own record,
    // ended when the second transfer replaced it, and the second record tells the second
    // transfer's outcome, not the first's.
    void downloadPressedAgainMidTransferLeavesTwoRecords() {
        Fixture f;
        const QByteArray first = TestImage(20000);
        QByteArray second = TestImage(3000);
        second[0] = '\x5A';
        const QString file = f.records.dir.filePath(QStringLiteral("controller.bin"));
        QVERIFY(WriteFile(file, first));
        QVERIFY(f.Open());
        QVERIFY(f.records.recorder->Flush(5000));
        QCoreApplication::processEvents();
        QSignalSpy stored(f.records.recorder.get(), &Recorder::recordStored);
        const qint64 before = NowUtcMs();

        f.SetFaults([](sim::SimFaults& faults) { faults.transfer.slowFlash = 80ms; });
        QVERIFY(f.window->Download().LoadImage(file));
        QTest::mouseClick(f.window->Item<QAbstractButton>(1006), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(g_modem.AcknowledgedBytes() >= 2048, 10000);
        f.SetFaults([](sim::SimFaults& faults) { faults.transfer.slowFlash = 0ms; });
        // The file is read again for the second transfer.
        QVERIFY(WriteFile(file, second));
        QTest::mouseClick(f.window->Item<QAbstractButton>(1006), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(stored.count(), 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->Busy(), 8000);
        QTest::qWait(3 * OperationRecords::kTransferPollMs);
        QCOMPARE(stored.count(), 2);

        RecordFilter filter;
        filter.sinceMs = before;
        QList<OperationRecord> all = f.records.Stored(filter);
        QCOMPARE(all.size(), 2);
        std::sort(all.begin(), all.end(),
                  [](const auto& a, const auto& b) { return a.startedMs < b.startedMs; });
        const OperationRecord& cut = all.at(0);
        const OperationRecord& replacing = all.at(1);
        QVERIFY(cut.uuid != replacing.uuid);
        QCOMPARE(cut.operation, RecordOperation::kDownload);
        QCOMPARE(cut.outcome, RecordOutcome::kFailed);
        QVERIFY2(QRegularExpression(TransferWords(
                                        "a new download began before this transfer ended", 20000))
                     .match(cut.reason)
                     .hasMatch(),
                 qPrintable(cut.reason));
        QCOMPARE(cut.imageSize, std::optional<qint64>(first.size()));
        QCOMPARE(cut.imageSha256,
                 QString::fromLatin1(
                     QCryptographicHash::hash(first, QCryptographicHash::Sha256).toHex()));
        QVERIFY(cut.bytesAcknowledged.value_or(0) < first.size());
        QVERIFY(cut.finishedMs <= replacing.finishedMs);

        QCOMPARE(replacing.operation, RecordOperation::kDownload);
        QCOMPARE(replacing.imageSize, std::optional<qint64>(second.size()));
        QCOMPARE(replacing.imageSha256,
                 QString::fromLatin1(
                     QCryptographicHash::hash(second, QCryptographicHash::Sha256).toHex()));
        QVERIFY(ControllerHolds(f.Sim(), second));
        QCOMPARE(replacing.outcome, RecordOutcome::kSuccess);
        QCOMPARE(replacing.bytesAcknowledged, std::optional<qint64>(second.size()));
    }

    // An action refused before anything went to the controller is no operation on one: it
    // leaves no record, so the day's counts count controllers. Its message is shown all the
    // same.
    void refusalsLeaveNoRecord_data() {
        QTest::addColumn<Refused>("refused");
        QTest::addColumn<QString>("message");
        QTest::newRow("read, port closed") << Refused::kReadPortClosed << Tr(120);
        QTest::newRow("write, port closed") << Refused::kWritePortClosed << Tr(120);
        QTest::newRow("download, port closed") << Refused::kDownloadPortClosed << Tr(120);
        QTest::newRow("download, empty file")
            << Refused::kDownloadEmptyFile << QStringLiteral("%1 is empty");
        QTest::newRow("read while a download runs") << Refused::kReadWhileDownloading << Tr(124);
    }
    void refusalsLeaveNoRecord() {
        QFETCH(Refused, refused);
        QFETCH(QString, message);
        Fixture f;
        const QString file = f.records.dir.filePath(QStringLiteral("controller.bin"));
        const bool emptyFile = refused == Refused::kDownloadEmptyFile;
        QVERIFY(WriteFile(file, emptyFile ? QByteArray() : TestImage(20000)));
        const bool open = refused == Refused::kDownloadEmptyFile ||
                          refused == Refused::kReadWhileDownloading;
        if (open) {
            QVERIFY(f.Open());
        }
        if (refused == Refused::kReadWhileDownloading) {
            f.SetFaults([](sim::SimFaults& faults) { faults.transfer.slowFlash = 80ms; });
            QVERIFY(f.window->Download().LoadImage(file));
            QTest::mouseClick(f.window->Item<QAbstractButton>(1006), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(g_modem.AcknowledgedBytes() >= 1024, 10000);
        }
        QVERIFY(f.records.recorder->Flush(5000));
        QCoreApplication::processEvents();
        QSignalSpy stored(f.records.recorder.get(), &Recorder::recordStored);
        const qint64 before = NowUtcMs();
        f.prompts.messages.clear();
        switch (refused) {
            case Refused::kReadPortClosed:
            case Refused::kReadWhileDownloading:
                QTest::mouseClick(f.window->Item<QAbstractButton>(1033), Qt::LeftButton);
                break;
            case Refused::kWritePortClosed:
                QTest::mouseClick(f.window->Item<QAbstractButton>(1036), Qt::LeftButton);
                break;
            case Refused::kDownloadPortClosed:
                f.window->Download().LoadImage(file);
                f.prompts.messages.clear();
                QTest::mouseClick(f.window->Item<QAbstractButton>(1006), Qt::LeftButton);
                break;
            case Refused::kDownloadEmptyFile:
                f.window->Download().LoadImage(file);
                f.prompts.messages.clear();
                QTest::mouseClick(f.window->Item<QAbstractButton>(1006), Qt::LeftButton);
                break;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!f.prompts.messages.isEmpty(), 5000);
        QCOMPARE(f.prompts.messages.first(),
                 emptyFile ? message.arg(QDir::toNativeSeparators(file)) : message);
        // The refused action's end has passed through the records (a download's start ends at
        // once when refused).
        QVERIFY(f.records.recorder->Flush(5000));
        QCoreApplication::processEvents();
        RecordFilter filter;
        filter.sinceMs = before;
        QList<OperationRecord> all = f.records.Stored(filter);
        if (refused == Refused::kReadWhileDownloading) {
            // Only the transfer, which began before and which the window's end cuts off, is an
            // operation.
            f.window.reset();
            all = f.records.Stored();
            QCOMPARE(all.size(), 1);
            QCOMPARE(all.first().operation, RecordOperation::kDownload);
        } else {
            QCOMPARE(all.size(), 0);
            QCOMPARE(stored.count(), 0);
        }
        for (const OperationRecord& record : all) {
            QVERIFY(record.reason != message);
        }
    }

    // A port is recorded as the user sees it in the list and types it, not as the device path
    // the window opened: on the in-memory line Windows uses, the name without any device
    // folder; on Linux a device straight in /dev by its name.
    void portIsRecordedAsTheUserKnowsIt() {
        Fixture f(std::make_unique<MemoryDemoPort>());
        QVERIFY(!f.path.contains(QLatin1Char('/')) && !f.path.contains(QLatin1Char('\\')));
        QVERIFY(f.Open());
        QVERIFY(f.Connect());
        QTRY_COMPARE(f.records.Stored().size(), 1);
        QCOMPARE(f.records.Stored().first().port, f.path);
    }
    void portNamesMapBackToWhatWasTyped_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("recorded");
        QTest::newRow("listed name") << "ttyUSB0" << "ttyUSB0";
        QTest::newRow("device path") << "/dev/ttyS1" << "ttyS1";
        QTest::newRow("pseudo-terminal") << "/dev/pts/3" << "/dev/pts/3";
        QTest::newRow("elsewhere") << "/tmp/line" << "/tmp/line";
        QTest::newRow("empty") << "" << "";
    }
    void portNamesMapBackToWhatWasTyped() {
        QFETCH(QString, typed);
        QFETCH(QString, recorded);
        QCOMPARE(PortNameForPath(PortPathForName(typed)), recorded);
    }

    // The automatic modes name themselves as the source.
    void automaticReadNamesItsMode() {
        Fixture f;
        QVERIFY(f.Open());
        QSignalSpy stored(f.records.recorder.get(), &Recorder::recordStored);
        f.window->Download().SelectMode(3);
        f.Sim().Announce();
        QVERIFY(stored.wait(10000));
        const auto record = stored.first().first().value<OperationRecord>();
        QCOMPARE(record.operation, RecordOperation::kRead);
        QCOMPARE(record.source, AutomaticModeSource(3));
        QCOMPARE(record.outcome, RecordOutcome::kSuccess);
    }

    void recordsWindowFilters_data() {
        QTest::addColumn<bool>("today");
        QTest::addColumn<QString>("station");
        QTest::addColumn<std::optional<RecordOperation>>("operation");
        QTest::addColumn<std::optional<RecordOutcome>>("outcome");
        QTest::addColumn<int>("rows");
        const std::optional<RecordOperation> anyOperation;
        const std::optional<RecordOutcome> anyOutcome;
        QTest::newRow("today, every station")
            << true << QString() << anyOperation << anyOutcome << 5;
        QTest::newRow("every day") << false << QString() << anyOperation << anyOutcome << 7;
        QTest::newRow("today, this station")
            << true << QStringLiteral("st-A") << anyOperation << anyOutcome << 4;
        QTest::newRow("downloads")
            << false << QString() << std::optional(RecordOperation::kDownload) << anyOutcome << 3;
        QTest::newRow("failed downloads")
            << false << QString() << std::optional(RecordOperation::kDownload)
            << std::optional(RecordOutcome::kFailed) << 2;
        QTest::newRow("cancelled today")
            << true << QString() << anyOperation << std::optional(RecordOutcome::kCancelled) << 1;
        QTest::newRow("nothing") << true << QStringLiteral("st-Z") << anyOperation << anyOutcome
                                 << 0;
    }
    void recordsWindowFilters() {
        QFETCH(bool, today);
        QFETCH(QString, station);
        QFETCH(std::optional<RecordOperation>, operation);
        QFETCH(std::optional<RecordOutcome>, outcome);
        QFETCH(int, rows);
        RecordingPrompts prompts;
        TempRecorder records;
        SubmitSample(*records.recorder);
        RecordsWindow window(records.recorder.get(), QStringLiteral("st-A"));
        QSignalSpy listed(&window, &RecordsWindow::listed);
        window.SetDay(today ? std::optional(QDate::currentDate()) : std::nullopt);
        window.SetStationFilter(station);
        window.SetOperationFilter(operation);
        window.SetOutcomeFilter(outcome);
        QTRY_VERIFY(listed.count() >= 1);
        QTRY_COMPARE(window.Model().rowCount(), rows);
        for (const OperationRecord& record : window.Model().Records()) {
            QVERIFY(station.isEmpty() || record.station == station);
            QVERIFY(!operation || record.operation == *operation);
            QVERIFY(!outcome || record.outcome == *outcome);
        }
    }

    // Without a day the list holds only the newest records (a line's server holds millions)
    // and says so; a day lists all of its own.
    void recordsWindowListsTheNewestWithoutADay() {
        TempRecorder records;
        SubmitSample(*records.recorder);
        RecordsWindow window(records.recorder.get(), QStringLiteral("st-A"));
        QSignalSpy listed(&window, &RecordsWindow::listed);
        window.SetListLimit(3);
        window.SetStationFilter(QString());
        window.SetDay(std::nullopt);
        QTRY_VERIFY(listed.count() >= 1);
        QTRY_COMPARE(window.Model().rowCount(), 3);
        QVERIFY(window.ListCut());
        // The newest first, as the list always shows them: today's.
        for (const OperationRecord& record : window.Model().Records())
            QCOMPARE(QDateTime::fromMSecsSinceEpoch(record.startedMs).date(), QDate::currentDate());

        window.SetListLimit(RecordsWindow::kListLimit);
        window.Refresh();
        QTRY_COMPARE(window.Model().rowCount(), 7);
        QVERIFY(!window.ListCut());
        window.SetListLimit(3);
        window.SetDay(QDate::currentDate());
        QTRY_COMPARE(window.Model().rowCount(), 5);
        QVERIFY(!window.ListCut());
    }

    void recordsWindowCountsFollowsAndExports() {
        RecordingPrompts prompts;
        TempRecorder records;
        SubmitSample(*records.recorder);
        RecordsWindow window(records.recorder.get(), QStringLiteral("st-A"));
        // It opens on this station's day.
        QTRY_COMPARE(window.Model().rowCount(), 4);
        // Today at st-A: two passed, one failed, one cancelled (not counted either way).
        QTRY_COMPARE(window.PassedToday(), 2);
        QCOMPARE(window.FailedToday(), 1);
        QCOMPARE(window.SummaryText(), QStringLiteral("Today at st-A: 2 passed, 1 failed"));

        // A record that arrives while the window is open joins the list and the counts.
        records.recorder->Submit(Made(QStringLiteral("st-A"), RecordOperation::kWrite,
                                      RecordOutcome::kFailed, 0,
                                      QStringLiteral("Write failed, \"check\" the cable")));
        QTRY_COMPARE(window.Model().rowCount(), 5);
        QTRY_COMPARE(window.FailedToday(), 2);
        QCOMPARE(window.Model().Records().first().operation, RecordOperation::kWrite);
        // Another station's record for another day changes neither.
        records.recorder->Submit(
            Made(QStringLiteral("st-B"), RecordOperation::kRead, RecordOutcome::kSuccess, 3));
        records.recorder->Flush(5000);
        QCoreApplication::processEvents();
        QCOMPARE(window.Model().rowCount(), 5);
        QCOMPARE(window.PassedToday(), 2);

        prompts.saveAnswer = records.dir.filePath(QStringLiteral("export.csv"));
        QVERIFY(window.ExportCsv());
        QFile csv(prompts.saveAnswer);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList lines =
            QString::fromUtf8(csv.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 6);
        QVERIFY(lines.first().startsWith(QStringLiteral("uuid,started,finished,station,")));
        QVERIFY(
            lines.at(1).contains(QStringLiteral(",write,window,failed,"
                                                "\"Write failed, \"\"check\"\" the cable\",")));
        QCOMPARE(prompts.fileFilters.last(), QStringLiteral("CSV files (*.csv)"));

        // Cancelled dialog: nothing written, nothing said.
        prompts.saveAnswer.clear();
        QVERIFY(!window.ExportCsv());
        QVERIFY(prompts.messages.isEmpty());
    }

    // A window opened empty (a fresh station, the start of a day) sizes its columns to the
    // rows that arrive afterwards, the reason column taking the rest; a width the user set
    // stays.
    void recordsWindowSizesColumnsForRowsThatArrive() {
        SetUiLanguage(UiLanguage::English);
        TempRecorder records;
        RecordsWindow window(records.recorder.get(), QStringLiteral("st-A"));
        window.show();
        QSignalSpy listed(&window, &RecordsWindow::listed);
        QVERIFY(listed.wait(5000) || listed.count() > 0);
        QCOMPARE(window.Model().rowCount(), 0);
        auto* table = window.findChild<QTableView*>();
        QVERIFY(table != nullptr);

        const auto fits = [&](int column) {
            const QString text =
                window.Model().data(window.Model().index(0, column)).toString();
            return table->columnWidth(column) >=
                   std::min(table->fontMetrics().horizontalAdvance(text),
                            RecordsWindow::kMaxColumnWidth - 16);
        };
        records.recorder->Submit(Made(QStringLiteral("st-A"), RecordOperation::kDownload,
                                      RecordOutcome::kCancelled, 0,
                                      QStringLiteral("cancelled at the confirmation")));
        QTRY_COMPARE(window.Model().rowCount(), 1);
        for (int column : {RecordsTableModel::kStarted, RecordsTableModel::kStation,
                           RecordsTableModel::kSource, RecordsTableModel::kOutcome,
                           RecordsTableModel::kReason, RecordsTableModel::kImage}) {
            QVERIFY2(fits(column), qPrintable(QString::number(column)));
        }
        QVERIFY(table->horizontalHeader()->stretchLastSection());
        for (int column = 0; column < RecordsTableModel::kColumnCount - 1; ++column) {
            QVERIFY(table->columnWidth(column) <= (column == RecordsTableModel::kReason
                                                       ? RecordsWindow::kMaxReasonWidth
                                                       : RecordsWindow::kMaxColumnWidth));
        }

        // The user narrows a column: the next row leaves it as set.
        table->horizontalHeader()->resizeSection(RecordsTableModel::kStation, 30);
        QVERIFY(window.UserSizedColumns());
        records.recorder->Submit(Made(QStringLiteral("st-A"), RecordOperation::kRead,
                                      RecordOutcome::kSuccess, 0));
        QTRY_COMPARE(window.Model().rowCount(), 2);
        QCOMPARE(table->columnWidth(RecordsTableModel::kStation), 30);
    }

    // The records window's first size is the designed one where it fits, and never more than
    // the screen it opens on.
    void recordsWindowOpensWithinItsScreen() {
        SetUiLanguage(UiLanguage::English);
        TempRecorder records;
        QWidget owner;
        owner.resize(300, 200);
        owner.show();
        const QRect room = owner.screen()->availableGeometry();
        owner.move(room.right() - 320, room.top() + 10);
        RecordsWindow window(records.recorder.get(), QStringLiteral("st-A"), &owner);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY2(room.contains(window.frameGeometry()),
                 qPrintable(QStringLiteral("%1,%2 %3x%4 in %5x%6")
                                .arg(window.frameGeometry().x())
                                .arg(window.frameGeometry().y())
                                .arg(window.frameGeometry().width())
                                .arg(window.frameGeometry().height())
                                .arg(room.width())
                                .arg(room.height())));
    }

    void recordsWindowWithoutRecorderSaysSo() {
        SetUiLanguage(UiLanguage::English);
        RecordsWindow window(nullptr, QStringLiteral("st-A"));
        QCOMPARE(window.Model().rowCount(), 0);
        QVERIFY(window.findChild<QLabel*>() != nullptr);
    }

    // Pictures of the window with its data in both languages; written where
    // TARVIK_RECORDS_PICTURES points (the README's picture is made so).
    void picturesInBothLanguages_data() {
        QTest::addColumn<UiLanguage>("language");
        QTest::addColumn<QString>("name");
        QTest::newRow("zh") << UiLanguage::Chinese << QStringLiteral("records-zh.png");
        QTest::newRow("en") << UiLanguage::English << QStringLiteral("records-en.png");
    }
    void picturesInBothLanguages() {
        QFETCH(UiLanguage, language);
        QFETCH(QString, name);
        SetUiLanguage(language);
        RecordingPrompts prompts;
        TempRecorder records;
        SubmitSample(*records.recorder);
        RecordsWindow window(records.recorder.get(), QStringLiteral("st-A"));
        // The line's day: every station.
        window.SetStationFilter(QString());
        QTRY_COMPARE(window.Model().rowCount(), 5);
        QTRY_COMPARE(window.PassedToday(), 2);
        window.show();
        // As on a station's screen, wider than the test's.
        window.resize(1000, 520);
        const QPixmap picture = window.grab();
        QVERIFY(!picture.isNull());
        const QString folder = qEnvironmentVariable("TARVIK_RECORDS_PICTURES");
        if (!folder.isEmpty()) {
            QVERIFY(picture.save(QDir(folder).filePath(name), "PNG"));
        }
        SetUiLanguage(UiLanguage::English);
    }

private:
    // Today: st-A two passes, a failure and a cancel; st-B one pass. Earlier: two at st-A.
    static void SubmitSample(Recorder& recorder) {
        using O = RecordOperation;
        using R = RecordOutcome;
        const QString a = QStringLiteral("st-A");
        recorder.Submit(Made(a, O::kDownload, R::kSuccess, 2));
        const QString stopped =
            QStringLiteral("the transfer stopped (8192 of 61440 bytes acknowledged)");
        recorder.Submit(Made(a, O::kDownload, R::kFailed, 1, stopped));
        recorder.Submit(Made(a, O::kRead, R::kSuccess, 0));
        recorder.Submit(Made(a, O::kWrite, R::kSuccess, 0, Tr(121)));
        recorder.Submit(Made(a, O::kDownload, R::kFailed, 0, stopped));
        recorder.Submit(Made(a, O::kFactoryRestore, R::kCancelled, 0,
                             QStringLiteral("cancelled at the confirmation")));
        recorder.Submit(Made(QStringLiteral("st-B"), O::kWrite, R::kSuccess, 0, Tr(121)));
        QVERIFY(recorder.Flush(5000));
    }
};

QTEST_MAIN(WindowRecordsTest)
#include "window_records_test.moc"
