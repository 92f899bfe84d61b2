// The automatic production modes, ticked by hand: the pending trigger, the parameter write, the
// connect-and-read with its sound after the read's end, and a production run of program writing
// against the simulated controller with its sounds and hold-off.

#include <QSignalSpy>
#include <QtTest>

#include "download_test_support.h"

using download_test::RandomImage;
using download_test::Rig;

namespace {

// The window's tick, which skips the step while the download's wait runs.
void Tick(Rig& rig, int count = 1) {
    for (int i = 0; i < count; ++i) {
        if (!rig.control->Running())
            rig.control->StepAutoModes();
    }
}

// Program writing (mode 2) with `image` loaded and `delay` ticks of hold-off; an announcement
// starts the run. True once the download has started.
bool StartProgramWritingRun(Rig& rig, const QByteArray& image, int delay) {
    if (!rig.OpenPort() || !rig.control->LoadImage(rig.WriteFile("run.bin", image)) ||
        !rig.control->SelectMode(2))
        return false;
    rig.control->SetDelay(delay);
    g_announceSeen = 1;
    QSignalSpy started(rig.control.get(), &DownloadControl::downloadStarted);
    Tick(rig);
    return started.wait() && started.at(0).at(0).toBool();
}

}  // namespace

class DownloadAutoTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { SetUiLanguage(UiLanguage::English); }

    void stationOptions() {
        Rig rig;
        for (int mode : {-1, 4})
            QVERIFY(!rig.control->SelectMode(mode));
        for (int mode : {3, 0, 2}) {
            QVERIFY(rig.control->SelectMode(mode));
            QCOMPARE(rig.window->Item<QComboBox>(1030)->currentIndex(), mode);
        }
        rig.control->SetDelay(40);
        QCOMPARE(rig.Text(1023), QString("40"));
        QCOMPARE(rig.control->AutoDelay(), 40u);
    }

    void modeNoneKeepsTheTriggerUntilReadingIsChosen() {
        Rig rig;
        QStringList events;
        rig.control->SetCommands([&] { events << "write"; }, [&] { events << "connect"; });
        g_announceSeen = 1;
        Tick(rig, 3);
        QCOMPARE(g_announceSeen.load(), 1);
        QVERIFY(events.isEmpty());

        QVERIFY(rig.control->SelectMode(3));
        Tick(rig);
        QCOMPARE(g_announceSeen.load(), 0);
        // The port is closed: the connect refuses with its message, the sound follows at once.
        QCOMPARE(events, QStringList{"connect"});
        QCOMPARE(rig.sounds.played, QStringList{"read_success.wav"});
        Tick(rig, 3);
        QCOMPARE(events.size(), 1);
    }

    void readingPlaysItsSoundAfterTheReadsEnd() {
        Rig rig;
        QVERIFY(rig.OpenPort());
        int connects = 0;
        rig.control->SetCommands({}, [&] { ++connects; });
        QVERIFY(rig.control->SelectMode(3));
        g_announceSeen = 1;
        Tick(rig);
        QCOMPARE(connects, 1);
        QVERIFY(rig.sounds.played.isEmpty());
        // Failed or not, the read's end brings the sound, once.
        rig.control->OnConnectFinished();
        QCOMPARE(rig.sounds.played, QStringList{"read_success.wav"});
        rig.control->OnConnectFinished();
        QCOMPARE(rig.sounds.played.size(), 1);
    }

    void writingOnlyTriggersTheWriteAfterTheHoldoff() {
        Rig rig;
        int writes = 0;
        rig.control->SetCommands([&] { ++writes; }, {});
        QVERIFY(rig.control->SelectMode(1));
        g_autoHoldoff = 2;
        g_announceSeen = 1;
        Tick(rig);
        QCOMPARE(writes, 0);
        Tick(rig);
        QCOMPARE(writes, 1);
        // The write plays its own outcome sound in this mode.
        QVERIFY(rig.sounds.played.isEmpty());
    }

    // A download that did not start plays neither sound, now or later.
    void programWritingThatDoesNotStartIsSilent_data() {
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<QString>("message");
        QTest::newRow("port closed") << false << "Let's open the serial port";
        QTest::newRow("no file") << true << "Choose the controller program file first";
    }
    void programWritingThatDoesNotStartIsSilent() {
        QFETCH(bool, portOpen);
        QFETCH(QString, message);
        Rig rig;
        if (portOpen)
            QVERIFY(rig.OpenPort());
        QVERIFY(rig.control->SelectMode(2));
        g_announceSeen = 1;
        Tick(rig);
        QCOMPARE(rig.prompts.messages, QStringList{message});
        QCOMPARE(g_autoRunStarted, 0);
        Tick(rig, 8);
        QVERIFY(rig.sounds.played.isEmpty());
        QCOMPARE(g_autoHoldoff, 0);
    }

    void programWritingRunsControllerAfterController() {
        Rig rig;
        QVERIFY(rig.OpenPort());
        const QByteArray image = RandomImage(5000, 21);
        QVERIFY(rig.control->LoadImage(rig.WriteFile("station.bin", image)));
        QVERIFY(rig.control->SelectMode(2));
        rig.window->Controls().SetText(1010, "32767");

        rig.Sim().Announce();
        QTRY_COMPARE(g_announceSeen.load(), 1);
        QSignalSpy started(rig.control.get(), &DownloadControl::downloadStarted);
        Tick(rig);
        QVERIFY(rig.control->Running());
        QVERIFY(rig.sounds.played.isEmpty());
        QVERIFY(started.wait());
        QCOMPARE(started.at(0).at(0).toBool(), true);
        QCOMPARE(rig.sounds.played, QStringList{"start_download.wav"});
        QTRY_COMPARE(rig.Sim().CommandCount("BLOTD"), 1);

        QTRY_VERIFY_WITH_TIMEOUT(rig.SimImage() == image, 10000);
        QTRY_VERIFY(!rig.link->DownloadRunning());
        // Typed during the transfer, read at its end; only the low 16 bits count.
        rig.window->Controls().SetText(1023, "65540");
        Tick(rig, 4);
        QCOMPARE(rig.sounds.played.size(), 1);
        Tick(rig);
        QCOMPARE(rig.sounds.played, QStringList({"start_download.wav", "download_success.wav"}));
        QCOMPARE(g_autoHoldoff, 4);

        // The controller reboots and announces itself during the hold-off: discarded.
        QTRY_COMPARE(g_announceSeen.load(), 1);
        Tick(rig, 4);
        QCOMPARE(g_announceSeen.load(), 0);
        QCOMPARE(rig.Sim().Counters().bootLoaderEntries, 1u);

        // The next controller after the hold-off.
        rig.Sim().Announce();
        QTRY_COMPARE(g_announceSeen.load(), 1);
        Tick(rig);
        QVERIFY(started.wait());
        QCOMPARE(rig.sounds.played,
                 QStringList({"start_download.wav", "download_success.wav", "start_download.wav"}));
        QTRY_COMPARE(rig.Sim().Counters().imagesReceived, 2u);
        QVERIFY(rig.prompts.messages.isEmpty());
    }

    void cancelledTransferStillEndsTheRun() {
        sim::SimOptions options;
        options.controller.faults.transfer.canAtBlock = 2;
        Rig rig(nullptr, options);
        QVERIFY(StartProgramWritingRun(rig, RandomImage(5000, 22), 0));
        QTRY_VERIFY(!rig.link->DownloadRunning());
        const QString percent = rig.Text(1015);
        Tick(rig, 5);
        QCOMPARE(rig.sounds.played, QStringList({"start_download.wav", "download_success.wav"}));
        QCOMPARE(g_autoHoldoff, 0);
        // No message; the progress stays as it was.
        QVERIFY(rig.prompts.messages.isEmpty());
        QCOMPARE(rig.Text(1015), percent);
        QVERIFY(percent != QString("100%"));
    }

    // A port reopened mid-transfer (the cable came back) leaves the controller without its
    // program: the run ends with its hold-off, but the station says so.
    void transferCutByTheToolEndsTheRunWithTheErrorSound() {
        Rig rig;
        QVERIFY(StartProgramWritingRun(rig, RandomImage(512000, 23), 3));
        rig.link->AbandonDownload();
        QVERIFY(rig.link->TransferCut());
        Tick(rig, 5);
        QCOMPARE(rig.sounds.played, QStringList({"start_download.wav", "error.wav"}));
        QCOMPARE(g_autoHoldoff, 3);
    }

    // The boot loader refused the last packet, which its dialect takes as an answer: the
    // transfer ends normally, but the station must not hear that it succeeded.
    void lastPacketRefusedEndsTheRunWithTheErrorSound() {
        sim::SimOptions options;
        // 5000 bytes go as five packets of 1024.
        options.controller.faults.transfer.nakBlock = 5;
        Rig rig(nullptr, options);
        QVERIFY(StartProgramWritingRun(rig, RandomImage(5000, 24), 3));
        QTRY_VERIFY_WITH_TIMEOUT(!rig.link->DownloadRunning(), 10000);
        QTRY_COMPARE(rig.Text(1015), QString("100%"));
        Tick(rig, 5);
        QCOMPARE(rig.sounds.played, QStringList({"start_download.wav", "error.wav"}));
        QCOMPARE(g_autoHoldoff, 3);
        QCOMPARE(rig.Text(1001), QString("the boot loader answered the last packet with NAK: the "
                                         "program did not arrive whole"));
        QVERIFY(rig.prompts.messages.isEmpty());
    }
};

QTEST_MAIN(DownloadAutoTest)
#include "download_auto_test.moc"
