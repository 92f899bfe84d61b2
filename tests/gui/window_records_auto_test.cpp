// Production records of automatic program writing (mode 2) against the simulated controller: a
// station's run of controllers leaves one download record per controller, and under random
// transfer faults every record's outcome is what the controller really got.

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QSignalSpy>
#include <QtTest>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>

#include "core/commands/auto_production.h"
#include "core/modem/modem_sender.h"
#include "core/params/param_state.h"
#include "core/protocol/link_flags.h"
#include "download/download_control.h"
#include "download/download_texts.h"
#include "download_test_support.h"
#include "mainwindow/operation_records.h"
#include "records/recorder.h"
#include "serial/memory_line.h"
#include "window_records_fixture.h"

using namespace std::chrono_literals;

namespace {

constexpr int kProgramWriting = 2;

QString Sha256Hex(const QByteArray& bytes) {
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

bool WriteImage(const QString& path, const QByteArray& image) {
    QFile out(path);
    return out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(image) == image.size();
}

// The controller got `image` whole from a transfer that ended after it had `imagesBefore`.
bool Holds(const sim::SimController& controller, std::uint64_t imagesBefore,
           const QByteArray& image) {
    const std::optional<sim::ReceivedImage> received = controller.LastImage();
    return controller.Counters().imagesReceived > imagesBefore && received.has_value() &&
           QByteArray(reinterpret_cast<const char*>(received->data.data()),
                      static_cast<qsizetype>(received->data.size())) == image;
}

// The data packets `size` bytes go as: 1024 bytes while 128 or more remain, then one of 128.
int DataPackets(qsizetype size) {
    int packets = 0;
    for (qsizetype left = size; left > 0; left -= left >= 128 ? 1024 : 128) {
        ++packets;
    }
    return packets;
}

// What the sender writes for an image of `size` bytes: the file's header, the data packets, two
// EOTs and the empty header that closes the batch.
int TransferBytes(qsizetype size) {
    constexpr int kShortPacket = 3 + 128 + 2;
    constexpr int kLongPacket = 3 + 1024 + 2;
    int bytes = kShortPacket + 2 + kShortPacket;
    for (qsizetype left = size; left > 0; left -= left >= 128 ? 1024 : 128) {
        bytes += left >= 128 ? kLongPacket : kShortPacket;
    }
    return bytes;
}

// No transfer runs and nothing keeps the window busy.
bool Idle(Fixture& f) {
    return g_modem.m_busy.load() == 0 && !f.window->Busy();
}

// The station is ready for the next controller: the last one's end noticed, its hold-off over.
bool StationReady(Fixture& f) {
    return g_autoHoldoff == 0 && g_autoRunStarted == 0 && Idle(f);
}

// Hangs a line up once the controller has taken a number of further bytes from the tool: a cable
// pulled at a chosen point of a transfer. Watched on a thread of its own as the bytes arrive.
class LineDropper {
public:
    ~LineDropper() { Stop(); }

    void Start(sim::SimController& controller, std::shared_ptr<MemoryLine> line,
               std::uint64_t bytes) {
        Stop();
        m_stop = false;
        m_done = false;
        m_dropped = false;
        const std::uint64_t at = controller.Counters().bytesReceived + bytes;
        m_thread = std::thread([this, &controller, at, line = std::move(line)] {
            const auto reached = [&] { return controller.Counters().bytesReceived >= at; };
            while (!m_stop && !controller.WaitFor(reached, 20ms)) {
            }
            if (!m_stop) {
                line->HangUp();
                m_dropped = true;
            }
            m_done = true;
        });
    }
    // Called off unless it has come.
    void Stop() {
        m_stop = true;
        if (m_thread.joinable()) {
            m_thread.join();
        }
    }
    void Forget() {
        Stop();
        m_dropped = false;
    }
    bool Pending() const { return m_thread.joinable() && !m_done; }
    bool Dropped() const { return m_dropped; }

private:
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_dropped{false};
};

enum class Fault { kNone, kNakEarly, kNakLast, kCancel, kCFlood, kDrop, kSlow };
constexpr int kFaultKinds = 7;

const char* FaultName(Fault fault) {
    switch (fault) {
        case Fault::kNone:
            return "none";
        case Fault::kNakEarly:
            return "NAK before the last packet";
        case Fault::kNakLast:
            return "NAK of the last packet";
        case Fault::kCancel:
            return "CAN";
        case Fault::kCFlood:
            return "\"C\" flood";
        case Fault::kDrop:
            return "link dropped";
        case Fault::kSlow:
            return "slow answers";
    }
    return "?";
}

// One controller of the faults run: its image, what goes wrong and how the tool receives.
struct RunPlan {
    Fault fault = Fault::kNone;
    qsizetype size = 0;
    sim::YmodemFaults transfer;
    int dropAtByte = -1;  // of the transfer's bytes reaching the controller
    bool fastDownload = false;

    QString Describe() const {
        QString text =
            QStringLiteral("%1 bytes, %2").arg(size).arg(QString::fromUtf8(FaultName(fault)));
        if (transfer.nakBlock >= 0) {
            text += QStringLiteral(" at block %1").arg(transfer.nakBlock);
        }
        if (transfer.canAtBlock >= 0) {
            text += QStringLiteral(" at block %1").arg(transfer.canAtBlock);
        }
        if (transfer.cFloodCount > 0) {
            text += QStringLiteral(" of %1").arg(transfer.cFloodCount);
        }
        if (transfer.slowFlash.count() > 0) {
            text += QStringLiteral(" by %1 ms").arg(transfer.slowFlash.count());
        }
        if (dropAtByte >= 0) {
            text +=
                QStringLiteral(" after %1 of %2 bytes").arg(dropAtByte).arg(TransferBytes(size));
        }
        return text + (fastDownload ? QStringLiteral(", fast download") : QString());
    }
};

// Block 0 is the file's header, then the data packets from 1. The limits keep a run short: a
// slow answer stays well below the silence that counts as a stall.
RunPlan PlanRun(std::mt19937& random) {
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    RunPlan plan;
    plan.size = pick(1, 4000);
    plan.fastDownload = pick(0, 1) == 1;
    const int packets = DataPackets(plan.size);
    plan.fault = static_cast<Fault>(pick(0, kFaultKinds - 1));
    switch (plan.fault) {
        case Fault::kNone:
            break;
        case Fault::kNakEarly:
            plan.transfer.nakBlock = pick(0, packets - 1);
            break;
        case Fault::kNakLast:
            plan.transfer.nakBlock = packets;
            break;
        case Fault::kCancel:
            plan.transfer.canAtBlock = pick(0, packets);
            break;
        case Fault::kCFlood:
            plan.transfer.cFloodCount = pick(1, 8);
            break;
        case Fault::kDrop: {
            // Half of the drops fall among the last packet, the EOTs and the closing header,
            // where the controller may have the image while its answers are lost.
            const int total = TransferBytes(plan.size);
            plan.dropAtByte = pick(0, 1) == 1 ? pick(0, total) : pick(total - 140, total);
            break;
        }
        case Fault::kSlow:
            plan.transfer.slowFlash = std::chrono::milliseconds(pick(10, 100));
            break;
    }
    return plan;
}

}  // namespace

class WindowRecordsAutoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<OperationRecord>(); }
    void init() {
        ResetAutoModes();
        g_announceSeen = 0;
    }
    void cleanup() {
        g_connected = 0;
        g_writeAcknowledged = 1;
        g_modem.m_busy = 0;
        g_announceSeen = 0;
        ResetAutoModes();
    }

    // A station writing the program into three controllers in a row: mode 2 only downloads, so
    // there are three download records and nothing else, each a success with the image's
    // particulars and every byte acknowledged.
    void threeControllersInARowLeaveThreeDownloadRecords() {
        Fixture f;
        const QByteArray image = TestImage(5000);
        const QString file = f.records.dir.filePath(QStringLiteral("controller.bin"));
        QVERIFY(WriteImage(file, image));
        QVERIFY(f.window->Download().SelectMode(kProgramWriting));
        f.window->Download().SetDelay(5);
        QVERIFY(f.Open());
        QVERIFY(f.window->Download().LoadImage(file));
        // Once programmed, each controller starts so quickly that it announces itself before the
        // tick has noticed the end of its transfer: it is not programmed twice.
        f.SetFaults([](sim::SimFaults& faults) { faults.startAfterTransfer = 20ms; });
        const qint64 before = NowUtcMs();

        for (std::uint64_t controller = 1; controller <= 3; ++controller) {
            QTRY_VERIFY_WITH_TIMEOUT(StationReady(f), 10000);
            f.Sim().Announce();
            QTRY_COMPARE_WITH_TIMEOUT(f.Sim().Counters().imagesReceived, controller, 20000);
            QVERIFY(Holds(f.Sim(), controller - 1, image));
            QTRY_COMPARE_WITH_TIMEOUT(f.sounds.played.count(QStringLiteral("download_success.wav")),
                                      int(controller), 10000);
        }
        // The last controller's own announcement has come and gone with the hold-off.
        QTRY_COMPARE_WITH_TIMEOUT(f.Sim().Counters().announcements, 6u, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(StationReady(f), 10000);
        QCOMPARE(g_announceSeen.load(), 0);
        QCOMPARE(f.Sim().Counters().bootLoaderEntries, 3u);
        QCOMPARE(f.sounds.played.count(QStringLiteral("start_download.wav")), 3);
        // The station's delay held through every start, which writes the controls anew.
        QCOMPARE(f.window->Controls().Text(1023), QStringLiteral("5"));
        QCOMPARE(f.window->Download().AutoDelay(), 5u);
        QVERIFY(f.prompts.messages.isEmpty());

        RecordFilter filter;
        filter.sinceMs = before;
        QList<OperationRecord> records = f.records.Stored(filter);
        QCOMPARE(records.size(), 3);
        std::sort(records.begin(), records.end(),
                  [](const auto& a, const auto& b) { return a.startedMs < b.startedMs; });
        for (int i = 0; i < records.size(); ++i) {
            const OperationRecord& record = records.at(i);
            QCOMPARE(record.operation, RecordOperation::kDownload);
            QCOMPARE(record.outcome, RecordOutcome::kSuccess);
            QCOMPARE(record.reason, QString());
            QCOMPARE(record.source, AutomaticModeSource(kProgramWriting));
            QCOMPARE(record.imageName, QStringLiteral("controller.bin"));
            QCOMPARE(record.imageSize, std::optional<qint64>(image.size()));
            QCOMPARE(record.imageSha256, Sha256Hex(image));
            QCOMPARE(record.bytesAcknowledged, std::optional<qint64>(image.size()));
            QCOMPARE(record.station, QStringLiteral("line-1/station-4"));
            QCOMPARE(record.port, f.path);
            QCOMPARE(record.baud, 9600);
            QCOMPARE(record.can, false);
            QVERIFY(record.startedMs <= record.finishedMs);
            // One controller after the other, each its own record.
            if (i > 0) {
                QVERIFY(records.at(i - 1).finishedMs <= record.startedMs);
                QVERIFY(records.at(i - 1).uuid != record.uuid);
            }
        }
    }

    // What the user typed into the delay and calibration edits between two controllers goes
    // into their fields before a start writes the fields back: the edits keep it, and the run
    // holds off for the typed delay.
    void typedTextSurvivesADownloadStart_data() {
        QTest::addColumn<bool>("announced");
        QTest::newRow("the next controller announces itself") << true;
        QTest::newRow("the download button") << false;
    }
    void typedTextSurvivesADownloadStart() {
        QFETCH(bool, announced);
        Fixture f;
        const QByteArray image = TestImage(3000);
        const QString file = f.records.dir.filePath(QStringLiteral("controller.bin"));
        QVERIFY(WriteImage(file, image));
        QVERIFY(f.Open());
        // The controller's calibration has been read and shown: what comes later is typed.
        QVERIFY(f.Connect());
        QTRY_COMPARE(g_calibReceived.load(), 0);
        QVERIFY(f.window->Download().SelectMode(announced ? kProgramWriting : 0));
        QVERIFY(f.window->Download().LoadImage(file));
        QTRY_VERIFY_WITH_TIMEOUT(StationReady(f), 10000);
        QCOMPARE(f.window->Controls().Text(1023), QStringLiteral("12"));

        const auto type = [&f](int id, const QString& text) {
            auto* edit = f.window->Item<QLineEdit>(id);
            edit->selectAll();
            QTest::keyClicks(edit, text);
            QCOMPARE(edit->text(), text);
        };
        type(1023, QStringLiteral("40"));
        type(1011, QStringLiteral("321"));
        const std::uint64_t entries = f.Sim().Counters().bootLoaderEntries;
        if (announced) {
            f.Sim().Announce();
        } else {
            QTest::mouseClick(f.window->Item<QAbstractButton>(1006), Qt::LeftButton);
        }
        QTRY_COMPARE_WITH_TIMEOUT(f.Sim().Counters().bootLoaderEntries, entries + 1, 10000);
        QCOMPARE(f.window->Controls().Text(1023), QStringLiteral("40"));
        QCOMPARE(f.window->Controls().Text(1011), QStringLiteral("321"));
        QCOMPARE(f.window->m_autoDelay, 40u);
        QCOMPARE(f.window->m_currentCalibValue, 321u);
        QTRY_VERIFY_WITH_TIMEOUT(Holds(f.Sim(), 0, image), 20000);
        if (announced) {
            // The run's hold-off is the typed one, not the 12 the edit held before.
            QTRY_VERIFY_WITH_TIMEOUT(g_autoHoldoff > 12, 10000);
            QCOMPARE(f.window->Download().AutoDelay(), 40u);
        }
        QCOMPARE(f.window->Controls().Text(1023), QStringLiteral("40"));
        QVERIFY(f.prompts.messages.isEmpty());
    }

    // Fifty controllers, each with a transfer fault chosen at random or none. A record is a
    // success only when the controller got the whole image; it is a failure when the controller
    // did not, and also, the one allowed difference, when the controller got it but its last
    // answers never reached the tool (the link lost or the transfer cut off). The seed is
    // printed; TARVIK_FAULT_SEED replays it.
    void everyOutcomeIsTheTruthUnderRandomTransferFaults() {
        const QByteArray fixedSeed = qgetenv("TARVIK_FAULT_SEED");
        const std::uint32_t seed = fixedSeed.isEmpty()
                                       ? std::random_device{}()
                                       : static_cast<std::uint32_t>(fixedSeed.toULong());
        std::printf("fault seed %u (TARVIK_FAULT_SEED=%u replays it)\n", seed, seed);
        std::fflush(stdout);
        std::mt19937 random(seed);
        constexpr int kRuns = 50;
        // A transfer that moves nothing for this long has stalled (the boot loader dialect
        // repeats nothing, so a refused packet before the last waits for the port to reopen).
        constexpr qint64 kStallMs = 300;
        constexpr qint64 kRunLimitMs = 15000;

        // In memory, the fastest line; a pulled cable is the line hung up.
        Fixture f(std::make_unique<MemoryDemoPort>());
        const QString file = f.records.dir.filePath(QStringLiteral("controller.bin"));
        QVERIFY(WriteImage(file, QByteArray(1, 'x')));
        QVERIFY(f.window->Download().SelectMode(kProgramWriting));
        // No hold-off: each controller leaves once programmed (its own announcement on
        // restarting is lost below), and the next one announces itself.
        f.window->Download().SetDelay(0);
        QVERIFY(f.Open());
        QVERIFY(f.window->Download().LoadImage(file));

        // The operator when a transfer stands still: the port closed and opened again, and the
        // file chosen again, as opening forgets it. A pulled cable is replaced first; the old
        // controller is kept until its run has been judged.
        const auto reopen = [&f, &file]() -> bool {
            QTest::mouseClick(f.window->Item<QAbstractButton>(1032), Qt::LeftButton);
            if (!QTest::qWaitFor(
                    [&] { return !f.window->LinkToController().IsOpen() && !f.window->Busy(); },
                    5000)) {
                return false;
            }
            return f.Open() && f.window->Download().LoadImage(file);
        };
        std::unique_ptr<DemoPort> unplugged;
        const auto replug = [&f, &unplugged]() -> bool {
            unplugged = std::move(f.demo);
            f.demo = std::make_unique<MemoryDemoPort>();
            f.path = f.demo->Start();
            return !f.path.isEmpty();
        };

        // The boot loader's first "C" arrives while the tool still waits out the 200 ms after
        // the boot-entry command, and it asks again only a second later: here its session starts
        // over as soon as the sender takes over, so that fifty runs take seconds, not minutes.
        // Then the planned drop is armed.
        QObject context;
        const RunPlan* plan = nullptr;
        LineDropper dropper;
        connect(&f.window->Download(), &DownloadControl::transferBegun, &context, [&] {
            sim::SimController& controller = f.Sim();
            if (g_modem.State() == ModemState::kWaitStart) {
                controller.EnterBootLoader();
            }
            if (plan != nullptr && plan->dropAtByte >= 0) {
                dropper.Start(controller, static_cast<MemoryDemoPort&>(*f.demo).Line(),
                              static_cast<std::uint64_t>(plan->dropAtByte));
            }
        });

        const QString lastPacketRefused =
            QString::fromUtf8(download_text::kLastPacketRefused.In(UiLanguage::English));
        const qint64 started = NowUtcMs();
        QElapsedTimer elapsed;
        elapsed.start();
        int complete = 0;
        int cutOrLost = 0;
        int wholeButEndLost = 0;
        std::array<int, kFaultKinds> runsOf{};
        std::array<int, kFaultKinds> completeOf{};
        for (int run = 0; run < kRuns; ++run) {
            const RunPlan thisRun = PlanRun(random);
            const QByteArray image = download_test::RandomImage(
                thisRun.size, seed ^ static_cast<std::uint32_t>(run + 1) * 2654435761u);
            const QByteArray where = QStringLiteral("seed %1 run %2 (%3)")
                                         .arg(seed)
                                         .arg(run)
                                         .arg(thisRun.Describe())
                                         .toUtf8();
            // The next controller announces itself once the tick has noticed the end of the last
            // run; an announcement before that would be taken for the controller just programmed.
            // The records follow the sender, not the tick, so the wait after a start that covers
            // a slow sender is cut short here: fifty runs take seconds, not a minute more.
            QVERIFY2(QTest::qWaitFor([&] { return Idle(f); }, 10000), where.constData());
            g_autoCompletionWait = 0;
            QVERIFY2(QTest::qWaitFor([&] { return StationReady(f); }, 10000), where.constData());
            // The tool reads the file afresh for each controller.
            QVERIFY2(WriteImage(file, image), where.constData());
            f.window->SetFastDownload(thisRun.fastDownload, /*store=*/false);
            plan = &thisRun;
            dropper.Forget();
            unplugged.reset();
            sim::SimController* controller = &f.Sim();
            const std::uint64_t imagesBefore = controller->Counters().imagesReceived;
            QSignalSpy stored(f.records.recorder.get(), &Recorder::recordStored);

            sim::SimFaults faults;
            faults.transfer = thisRun.transfer;
            controller->SetFaults(faults);
            controller->Announce();
            // The frame after this announcement is the one it sends when it starts again.
            faults.badChecksumFrames = 1;
            controller->SetFaults(faults);

            QElapsedTimer runClock;
            runClock.start();
            QElapsedTimer quiet;
            quiet.start();
            std::uint64_t traffic = 0;
            bool cut = false;
            bool replugged = false;
            while (stored.isEmpty()) {
                static_cast<void>(stored.wait(20));
                QVERIFY2(runClock.elapsed() < kRunLimitMs, (where + " did not end").constData());
                if (dropper.Dropped() && !replugged) {
                    // The operator saw the cable go: a new one, and the port opened again.
                    replugged = true;
                    QVERIFY2(replug() && reopen(), where.constData());
                    continue;
                }
                const sim::SimCounters counters = controller->Counters();
                const std::uint64_t now = counters.bytesReceived + counters.bytesSent;
                if (now != traffic) {
                    traffic = now;
                    quiet.restart();
                } else if (!cut && g_modem.m_busy.load() == 1 && quiet.elapsed() > kStallMs &&
                           !dropper.Pending()) {
                    cut = true;
                    QVERIFY2(reopen(), where.constData());
                }
            }
            // A drop planned at the transfer's last byte may come just after the record.
            static_cast<void>(QTest::qWaitFor([&] { return !dropper.Pending(); }, 500));
            dropper.Stop();
            const bool dropped = dropper.Dropped();
            if (dropped && !replugged) {
                QVERIFY2(replug() && reopen(), where.constData());
            }
            plan = nullptr;
            QVERIFY2(QTest::qWaitFor([&] { return Idle(f); }, 10000), where.constData());
            QVERIFY2(stored.count() == 1, (where + " left more than one record").constData());

            const auto record = stored.first().first().value<OperationRecord>();
            const bool endLost = cut || dropped;
            const bool intact = Holds(*controller, imagesBefore, image);
            const bool success = record.outcome == RecordOutcome::kSuccess;
            const qint64 acknowledged = record.bytesAcknowledged.value_or(-1);
            const QByteArray said = where + ": " + OutcomeName(record.outcome).toUtf8() + ", " +
                                    QByteArray::number(acknowledged) +
                                    " bytes acknowledged, controller " +
                                    (intact ? "has" : "lacks") + " the image, reason \"" +
                                    record.reason.toUtf8() + "\"";
            QVERIFY2(record.operation == RecordOperation::kDownload, said.constData());
            QVERIFY2(record.source == AutomaticModeSource(kProgramWriting), said.constData());
            QVERIFY2(record.imageName == QStringLiteral("controller.bin"), said.constData());
            QVERIFY2(record.imageSize == std::optional<qint64>(image.size()), said.constData());
            QVERIFY2(record.imageSha256 == Sha256Hex(image), said.constData());
            QVERIFY2(record.station == QStringLiteral("line-1/station-4"), said.constData());
            QVERIFY2(record.port == f.path && record.baud == 9600,
                     said.constData());
            QVERIFY2(acknowledged >= 0 && acknowledged <= image.size(), said.constData());
            QVERIFY2(success || record.outcome == RecordOutcome::kFailed, said.constData());
            // Never a success the controller did not get, nor one short of a byte.
            QVERIFY2(!success || (intact && acknowledged == image.size()), said.constData());
            // A failure the controller did get, or one claiming every byte acknowledged, only
            // when the end of the transfer never reached the tool.
            QVERIFY2(success || !intact || endLost, said.constData());
            QVERIFY2(success || acknowledged < image.size() || endLost, said.constData());
            // A failure says why; what the log box said is true of the controller.
            QVERIFY2(success ? record.reason.isEmpty() : !record.reason.isEmpty(),
                     said.constData());
            QVERIFY2(record.reason != lastPacketRefused || !intact, said.constData());
            if (thisRun.fault == Fault::kNakLast && !endLost) {
                QVERIFY2(!success && record.reason == lastPacketRefused, said.constData());
            }

            const auto kind = static_cast<std::size_t>(thisRun.fault);
            ++runsOf[kind];
            completeOf[kind] += success ? 1 : 0;
            complete += success ? 1 : 0;
            cutOrLost += endLost ? 1 : 0;
            wholeButEndLost += intact && !success ? 1 : 0;
        }

        RecordFilter filter;
        filter.sinceMs = started;
        const QList<OperationRecord> all = f.records.Stored(filter);
        QCOMPARE(all.size(), kRuns);
        QString summary;
        for (int kind = 0; kind < kFaultKinds; ++kind) {
            summary += QStringLiteral("%1 %2/%3; ")
                           .arg(QString::fromUtf8(FaultName(static_cast<Fault>(kind))))
                           .arg(completeOf[static_cast<std::size_t>(kind)])
                           .arg(runsOf[static_cast<std::size_t>(kind)]);
        }
        std::printf(
            "%d of %d transfers complete, %d cut off or lost (%d of them after the image had "
            "arrived whole), in %lld ms (complete/runs: %s)\n",
            complete, kRuns, cutOrLost, wholeButEndLost, static_cast<long long>(elapsed.elapsed()),
            qPrintable(summary));
        // Both outcomes were seen, or the runs proved little.
        QVERIFY(complete > 0 && complete < kRuns);
    }
};

QTEST_MAIN(WindowRecordsAutoTest)
#include "window_records_auto_test.moc"
