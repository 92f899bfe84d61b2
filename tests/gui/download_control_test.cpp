// The download group by hand: the program file and its refusals, the boot-entry command and the
// 200 ms before the hand-over, progress and log, and whole transfers to the simulated
// controller over a pseudo-terminal.

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include "app/string_table.h"
#include "core/commands/manual_clock.h"
#include "core/commands/one_shot_commands.h"
#include "download_test_support.h"

using download_test::RandomImage;
using download_test::Rig;

namespace {

enum class Setup {
    kPortClosed,
    kDialogCancelled,
    kMissing,
    kReadOnly,
    kLockedElsewhere,
    kEmpty,
    kTooLarge
};

// Waits until the simulator has seen every frame written before: a command written after them
// has arrived.
bool Flushed(Rig& rig) {
    const int before = rig.Sim().CommandCount("RESET");
    rig.link->Write(RestartControllerFrame());
    return rig.Sim().WaitFor([&] { return rig.Sim().CommandCount("RESET") > before; },
                             std::chrono::seconds(5));
}

}  // namespace

Q_DECLARE_METATYPE(Setup)

class DownloadControlTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetUiLanguage(UiLanguage::English); }

    void manualDownloadTakesTheFileAsItIsOnDisk() {
        Rig rig;
        QVERIFY(rig.OpenPort());
        const QString path =
            rig.WriteFile("controller_program_with_a_long_name.bin", RandomImage(1000, 1));
        rig.prompts.openAnswer = path;
        rig.control->OnOpenFileClicked();
        QCOMPARE(rig.prompts.fileFilters, QStringList{"Bin Files(*.bin);;all files(*.*) (*)"});
        QCOMPARE(rig.Text(1009), path);
        QCOMPARE(rig.window->Item<QLineEdit>(1009)->cursorPosition(), path.size());
        QCOMPARE(g_modem.GetImageSize(), 1000u);

        // Changed after it was chosen, and as large as the boot loader takes.
        const QByteArray image = RandomImage(512000, 2);
        QVERIFY(!rig.WriteFile("controller_program_with_a_long_name.bin", image).isEmpty());
        QStringList logTexts;
        auto* log = rig.window->Item<QPlainTextEdit>(1001);
        connect(log, &QPlainTextEdit::textChanged, this, [&] { logTexts << log->toPlainText(); });
        QSignalSpy running(rig.control.get(), &DownloadControl::runningChanged);

        rig.control->OnDownloadClicked(0);
        QCOMPARE(running.count(), 1);
        QCOMPARE(running.at(0).at(0).toBool(), true);
        QTRY_VERIFY(!rig.control->Running());
        QCOMPARE(running.count(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(rig.SimImage().size(), image.size(), 60000);
        QVERIFY(rig.SimImage() == image);
        QCOMPARE(rig.Sim().LastImage()->name,
                 std::string("controller_program_with_a_long_name.bin"));
        QCOMPARE(rig.Sim().CommandCount("BLOOD"), 1);
        QTRY_COMPARE(rig.Text(1015), QString("100%"));
        QCOMPARE(rig.window->Item<QProgressBar>(1014)->value(), 100);
        QVERIFY(rig.prompts.messages.isEmpty());

        const qsizetype downloading = logTexts.indexOf("Downloading...");
        QVERIFY(downloading >= 0);
        QVERIFY(logTexts.indexOf("Download", downloading) > downloading);
        // The boot loader's answers, the last of them after "Download".
        QVERIFY(rig.control->LogText().contains(QChar(0x06)));
        QTRY_COMPARE(rig.Text(1001), rig.control->LogText());
    }

    void progressShowsThePercentages() {
        Rig rig;
        QVERIFY(rig.OpenPort());
        QVERIFY(rig.control->LoadImage(rig.WriteFile("p.bin", RandomImage(1124, 3))));
        QStringList shown;
        // Connected after the control, so it sees what the control has just shown.
        connect(rig.link.get(), &ControllerLink::downloadProgress, this, [&](int) {
            shown << rig.Text(1015) + " " +
                         QString::number(rig.window->Item<QProgressBar>(1014)->value());
        });
        rig.control->OnDownloadClicked(0);
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 3, 10000);
        QCOMPARE(shown, QStringList({"0% 0", "91% 91", "100% 100"}));
    }

    // The boot loader dialect takes a NAK of the last packet as its answer and ends the transfer
    // normally; the log box must then say that the program did not arrive whole, in the UI's
    // language, and keep saying it when the final answers reach the log. A hand download plays
    // no sound either way.
    void transferEndIsToldAsTheBootLoaderAnswered_data() {
        QTest::addColumn<bool>("lastRefused");
        QTest::addColumn<UiLanguage>("language");
        QTest::addColumn<QString>("told");
        QTest::newRow("whole") << false << UiLanguage::English << QString("Download");
        QTest::newRow("last packet refused")
            << true << UiLanguage::English
            << QString(
                   "the boot loader answered the last packet with NAK: the program did not "
                   "arrive whole");
        QTest::newRow("last packet refused, Chinese")
            << true << UiLanguage::Chinese
            << QString("引导程序对最后一个数据包回复了 NAK：程序没有完整接收");
    }
    void transferEndIsToldAsTheBootLoaderAnswered() {
        QFETCH(bool, lastRefused);
        QFETCH(UiLanguage, language);
        QFETCH(QString, told);
        // 5000 bytes go as five packets of 1024, blocks 1 to 5 (block 0 names the file).
        const QByteArray image = RandomImage(5000, 4);
        sim::SimOptions options;
        if (lastRefused)
            options.controller.faults.transfer.nakBlock = 5;
        Rig rig(nullptr, options, language);
        QVERIFY(rig.OpenPort());
        QVERIFY(rig.control->LoadImage(rig.WriteFile("nak.bin", image)));
        QStringList logTexts;
        auto* log = rig.window->Item<QPlainTextEdit>(1001);
        connect(log, &QPlainTextEdit::textChanged, this, [&] { logTexts << log->toPlainText(); });
        bool ended = false;
        bool answeredAfterEnd = false;
        connect(rig.link.get(), &ControllerLink::downloadProgress, this,
                [&](int percent) { ended = ended || percent == 100; });
        connect(rig.link.get(), &ControllerLink::downloadLog, this,
                [&] { answeredAfterEnd = answeredAfterEnd || ended; });

        rig.control->OnDownloadClicked(0);
        QTRY_VERIFY_WITH_TIMEOUT(answeredAfterEnd, 10000);
        QCOMPARE(rig.Text(1015), QString("100%"));
        QCOMPARE(rig.link->EndedUnacknowledged(), lastRefused);
        QCOMPARE(rig.SimImage() == image, !lastRefused);
        const qsizetype downloading = logTexts.indexOf("Downloading...");
        QVERIFY(downloading >= 0);
        QVERIFY(logTexts.indexOf(told, downloading) > downloading);
        QCOMPARE(logTexts.contains("Download"), !lastRefused);
        // The final answers are in the log; only the whole transfer lets them replace the end.
        QVERIFY(rig.control->LogText().endsWith(QChar(0x06)));
        QCOMPARE(rig.Text(1001), lastRefused ? told : rig.control->LogText());
        QCOMPARE(rig.control->UnacknowledgedEndText(), lastRefused ? told : QString());
        QVERIFY(rig.sounds.played.isEmpty());
        QVERIFY(rig.prompts.messages.isEmpty());

        // The next transfer shows its progress and the boot loader's bytes again.
        QVERIFY(rig.control->LoadImage(rig.WriteFile("nak.bin", image)));
        rig.control->OnDownloadClicked(0);
        QTRY_VERIFY_WITH_TIMEOUT(rig.Sim().Counters().imagesReceived == 2, 10000);
        QTRY_COMPARE(rig.Text(1001), rig.control->LogText());
        QVERIFY(!rig.link->EndedUnacknowledged());
    }

    void bootEntryFollowsTheCalibrationValueAndWaits200Ms_data() {
        QTest::addColumn<unsigned>("calib");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("command");
        QTest::newRow("0") << 0u << 100 << "BLOOD";
        QTest::newRow("32766") << 32766u << 100 << "BLOOD";
        QTest::newRow("32767") << 32767u << 100 << "BLOTD";
        QTest::newRow("65536 bytes count as loaded") << 32767u << 65536 << "BLOTD";
    }
    void bootEntryFollowsTheCalibrationValueAndWaits200Ms() {
        QFETCH(unsigned, calib);
        QFETCH(int, size);
        QFETCH(QString, command);
        ManualClock clock;
        Rig rig(&clock);
        QVERIFY(rig.OpenPort());
        QVERIFY(rig.control->LoadImage(rig.WriteFile("b.bin", RandomImage(size, 4))));

        rig.control->OnDownloadClicked(calib);
        QVERIFY(rig.control->Running());
        QVERIFY(
            rig.Sim().WaitFor([&] { return rig.Sim().CommandCount(command.toStdString()) == 1; },
                              std::chrono::seconds(5)));
        QCOMPARE(rig.Sim().CommandCount("BLOOD") + rig.Sim().CommandCount("BLOTD"), 1);
        clock.Advance(199);
        QVERIFY(rig.control->Running());
        QVERIFY(!rig.link->DownloadRunning());
        clock.Advance(1);
        QVERIFY(!rig.control->Running());
        QVERIFY(rig.link->DownloadRunning());
        QCOMPARE(g_modem.GetImageSize(), static_cast<std::uint32_t>(size));
    }

    void firstDownloadAfterOpeningThePortSendsNoBootEntry() {
        Rig rig;
        const QByteArray image = RandomImage(3000, 5);
        // Chosen before the port opened: the open leaves the sender without an image.
        QVERIFY(rig.control->LoadImage(rig.WriteFile("first.bin", image)));
        QVERIFY(rig.OpenPort());
        QSignalSpy running(rig.control.get(), &DownloadControl::runningChanged);

        rig.control->OnDownloadClicked(0);
        QCOMPARE(running.count(), 0);
        QVERIFY(rig.link->DownloadRunning());
        QVERIFY(rig.prompts.fileFilters.isEmpty());
        // A controller already in its boot loader.
        rig.Sim().EnterBootLoader();
        QTRY_VERIFY_WITH_TIMEOUT(rig.SimImage() == image, 10000);
        QCOMPARE(rig.Sim().CommandCount("BLOOD"), 0);
    }

    void downloadAgainDuringATransferStartsOver() {
        sim::SimOptions options;
        options.controller.faults.transfer.slowFlash = std::chrono::milliseconds(30);
        Rig rig(nullptr, options);
        QVERIFY(rig.OpenPort());
        const QByteArray image = RandomImage(20 * 1024, 6);
        QVERIFY(rig.control->LoadImage(rig.WriteFile("again.bin", image)));
        rig.control->OnDownloadClicked(0);
        QTRY_VERIFY(rig.link->LastReportedPercent() > 0);

        rig.control->OnDownloadClicked(0);
        QTRY_COMPARE(rig.Sim().CommandCount("BLOOD"), 2);
        QTRY_VERIFY_WITH_TIMEOUT(rig.SimImage() == image, 20000);
        QCOMPARE(rig.Sim().Counters().imagesReceived, 1u);
        QVERIFY(rig.prompts.messages.isEmpty());
    }

    void openFileDuringATransferAbandonsIt() {
        sim::SimOptions options;
        options.controller.faults.transfer.slowFlash = std::chrono::milliseconds(30);
        Rig rig(nullptr, options);
        QVERIFY(rig.OpenPort());
        QVERIFY(rig.control->LoadImage(rig.WriteFile("old.bin", RandomImage(20 * 1024, 7))));
        rig.control->OnDownloadClicked(0);
        QTRY_VERIFY(rig.link->LastReportedPercent() > 0);

        rig.prompts.openAnswer = rig.WriteFile("new.bin", RandomImage(777, 8));
        rig.control->OnOpenFileClicked();
        // The sender waits for the boot loader's next session with the new image.
        QCOMPARE(g_modem.State(), ModemState::kWaitStart);
        QCOMPARE(g_modem.GetImageSize(), 777u);
        QVERIFY(rig.link->DownloadRunning());
        QCOMPARE(rig.control->BinFileName(), QString("new.bin"));
    }

    void openFileCancelledKeepsPathAndImage() {
        Rig rig;
        const QString path = rig.WriteFile("kept.bin", RandomImage(10, 9));
        QVERIFY(rig.control->LoadImage(path));
        rig.control->OnOpenFileClicked();  // the dialog answers nothing: cancelled
        QCOMPARE(rig.prompts.fileFilters.size(), 1);
        QCOMPARE(rig.control->BinFilePath(), path);
        QCOMPARE(rig.Text(1009), path);
        QCOMPARE(g_modem.GetImageSize(), 10u);
        QVERIFY(rig.prompts.messages.isEmpty());
    }

    // Refused before anything is sent: no boot-entry command, nothing handed to the sender.
    void downloadRefusals_data() {
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("message");
        QTest::newRow("port closed") << Setup::kPortClosed << "Let's open the serial port";
        QTest::newRow("dialog cancelled")
            << Setup::kDialogCancelled << "Choose the controller program file first";
        QTest::newRow("missing") << Setup::kMissing << "%1 was not found.";
        QTest::newRow("read-only") << Setup::kReadOnly << "Access to %1 was denied.";
        QTest::newRow("in use elsewhere")
            << Setup::kLockedElsewhere << "Encountered a sharing violation while accessing %1.";
        QTest::newRow("empty") << Setup::kEmpty << "%1 is empty";
        QTest::newRow("over 512000 bytes")
            << Setup::kTooLarge << "%1 has 512001 bytes; the boot loader takes at most 512000";
    }
    void downloadRefusals() {
        QFETCH(Setup, setup);
        QFETCH(QString, message);
        Rig rig;
        const auto naming = [&message](const QString& path) {
            return message.contains("%1") ? message.arg(path) : message;
        };
        if (setup != Setup::kPortClosed)
            QVERIFY(rig.OpenPort());
        // An image is loaded, so a download that went ahead would send the boot-entry command.
        QVERIFY(rig.control->LoadImage(rig.WriteFile("good.bin", RandomImage(100, 10))));
        QString path = rig.FilePath("bad.bin");
        int lockFd = -1;
        switch (setup) {
            case Setup::kPortClosed:
            case Setup::kMissing:
                break;
            case Setup::kDialogCancelled:
                path.clear();
                break;
            case Setup::kReadOnly:
                rig.WriteFile("bad.bin", RandomImage(100, 11));
                QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
                break;
            case Setup::kLockedElsewhere:
                rig.WriteFile("bad.bin", RandomImage(100, 12));
                lockFd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
                QVERIFY(lockFd >= 0 && ::flock(lockFd, LOCK_EX | LOCK_NB) == 0);
                break;
            case Setup::kEmpty:
                rig.WriteFile("bad.bin", {});
                break;
            case Setup::kTooLarge:
                rig.WriteFile("bad.bin", RandomImage(512001, 13));
                break;
        }
        if (setup != Setup::kPortClosed) {
            if (path.isEmpty()) {
                // No path left, and the dialog is cancelled.
                QVERIFY(!rig.control->LoadImage(QString()));
                QVERIFY(rig.prompts.messages.isEmpty());
            } else {
                QVERIFY(!rig.control->LoadImage(path));
                QCOMPARE(rig.prompts.messages, QStringList{naming(path)});
            }
            QVERIFY(g_modem.GetImageSize() != 0);
        }
        rig.prompts.messages.clear();
        rig.prompts.fileFilters.clear();
        QSignalSpy started(rig.control.get(), &DownloadControl::downloadStarted);

        rig.control->OnDownloadClicked(0);
        if (lockFd >= 0)
            ::close(lockFd);
        QCOMPARE(rig.prompts.messages, QStringList{naming(path)});
        QCOMPARE(rig.prompts.fileFilters.size(), setup == Setup::kDialogCancelled ? 1 : 0);
        QCOMPARE(started.count(), 1);
        QCOMPARE(started.at(0).at(0).toBool(), false);
        QVERIFY(!rig.control->Running());
        QCOMPARE(g_modem.m_busy.load(), 0);
        if (setup != Setup::kPortClosed) {
            QVERIFY(Flushed(rig));
            QCOMPARE(rig.Sim().CommandCount("BLOOD"), 0);
        }
    }

    // The port goes while the user picks the file: nothing is sent and the start ends, with
    // the closed port's message.
    void portClosedDuringTheFileDialogEndsTheStart() {
        Rig rig;
        QVERIFY(rig.OpenPort());
        rig.prompts.openAnswer = rig.WriteFile("good.bin", RandomImage(100, 14));
        rig.prompts.whileOpenDialog = [&rig] { rig.link->Close(); };
        QSignalSpy started(rig.control.get(), &DownloadControl::downloadStarted);
        rig.control->OnDownloadClicked(0);
        QCOMPARE(rig.prompts.fileFilters.size(), 1);
        QCOMPARE(rig.prompts.messages, QStringList{"Let's open the serial port"});
        QCOMPARE(started.count(), 1);
        QCOMPARE(started.at(0).at(0).toBool(), false);
        QVERIFY(!rig.control->Running());
        QCOMPARE(g_modem.m_busy.load(), 0);
        QCOMPARE(rig.Sim().CommandCount("BLOOD"), 0);
    }

    void logShowsTheBootLoadersBytesOneUpdatePerChunk() {
        Rig rig;
        auto* log = rig.window->Item<QPlainTextEdit>(1001);
        // Before any port was opened the log stays shut.
        emit rig.link->downloadLog("C");
        QCOMPARE(rig.Text(1001), QString());
        QCOMPARE(rig.control->LogText(), QString());

        rig.control->ResetTransferState();
        rig.control->ResetView();
        emit rig.link->downloadProgress(0);
        QCOMPARE(rig.Text(1001), QString("Downloading..."));
        QSignalSpy changes(log, &QPlainTextEdit::textChanged);
        const QByteArray chatter = QByteArray(3000, 'C') + "\x06";
        emit rig.link->downloadLog(chatter);
        QCOMPARE(changes.count(), 1);
        QCOMPARE(rig.Text(1001), QString::fromLatin1(chatter));
        emit rig.link->downloadLog(QByteArray(500, 'x'));
        QCOMPARE(changes.count(), 2);
        QCOMPARE(rig.Text(1001), QString::fromLatin1(chatter + QByteArray(500, 'x')));
        QScrollBar* bar = log->verticalScrollBar();
        QCOMPARE(bar->value(), bar->maximum());

        // "Downloading..." once per transfer; the end shows "Download" and arms it again.
        emit rig.link->downloadProgress(50);
        QCOMPARE(changes.count(), 2);
        QCOMPARE(rig.Text(1015), QString("50%"));
        emit rig.link->downloadProgress(100);
        QCOMPARE(rig.Text(1001), QString("Download"));
        emit rig.link->downloadProgress(0);
        QCOMPARE(rig.Text(1001), QString("Downloading..."));

        rig.control->ResetView();
        QCOMPARE(rig.Text(1001), QString());
        QCOMPARE(rig.Text(1015), QString());
        QCOMPARE(rig.window->Item<QProgressBar>(1014)->value(), 0);
        QCOMPARE(rig.control->LogText(), QString());
    }
};

QTEST_MAIN(DownloadControlTest)
#include "download_control_test.moc"
