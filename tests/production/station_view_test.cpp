// The station window's view without any process: what each port's tile says as its reports
// arrive (an outcome stays until the next controller starts), the sounds when ports end
// together, the grid for 1 to 16 ports, and the refusals while a run goes on.

#include <QtTest>

#include "app/ui_language.h"
#include "gui/gui_test_support.h"
#include "production/production_views.h"
#include "production/station_sounds.h"
#include "production/station_tile.h"
#include "production/station_view_model.h"
#include "production/station_window.h"
#include "ui/sounds.h"

Q_DECLARE_METATYPE(StationPhase)
Q_DECLARE_METATYPE(TileState)

namespace {

class HeardSounds : public Sounds {
public:
    void Play(const QString& fileName) override { played << fileName; }
    QStringList played;
};

StationPortEvent Event(const QString& port, StationPhase phase, const QString& message = {},
                       std::optional<int> percent = std::nullopt) {
    StationPortEvent event;
    event.port = port;
    event.phase = phase;
    event.message = message;
    event.percent = percent;
    return event;
}

// A step of a port's story: a report, or one of the supervisor's own notes.
struct Step {
    enum Kind { kEvent, kWorkerEnded, kWorkerStarted, kPortError } kind = kEvent;
    StationPhase phase = StationPhase::kWaiting;
    QString message;
};

double Luminance(const QColor& colour) {
    const auto channel = [](double c) {
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace

Q_DECLARE_METATYPE(QList<Step>)

class StationViewTest : public QObject {
    Q_OBJECT

private slots:
    void init() { SetUiLanguage(UiLanguage::English); }

    void tileFollowsItsPort_data() {
        QTest::addColumn<QList<Step>>("steps");
        QTest::addColumn<TileState>("state");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("passed");
        QTest::addColumn<int>("failed");
        QTest::addColumn<int>("sounds");  // operations announced for the sounds
        using P = StationPhase;
        const Step wait{Step::kEvent, P::kWaiting, {}};
        const Step boot{Step::kEvent, P::kBootEntry, {}};
        const Step down{Step::kEvent, P::kDownloading, {}};
        const Step pass{Step::kEvent, P::kPassed, {}};
        const Step fail{Step::kEvent, P::kFailed, "no answer to the boot-entry command"};
        QTest::newRow("a pass") << QList<Step>{wait, boot, down, pass} << TileState::kPassed
                                << QString() << 1 << 0 << 1;
        QTest::newRow("a failure stays while the port waits again")
            << QList<Step>{wait, boot, down, fail, wait, wait} << TileState::kFailed
            << fail.message << 0 << 1 << 1;
        QTest::newRow("the next controller's start ends the failure")
            << QList<Step>{boot, fail, wait, boot} << TileState::kWorking << QString() << 0 << 1
            << 1;
        QTest::newRow("a pass after a failure")
            << QList<Step>{boot, fail, wait, boot, down, pass} << TileState::kPassed << QString()
            << 1 << 1 << 2;
        QTest::newRow("worker ended mid-transfer: failed, counted, once")
            << QList<Step>{boot, down, {Step::kWorkerEnded, P::kWaiting, "worker ended"},
                           {Step::kWorkerStarted, P::kWaiting, {}}, wait}
            << TileState::kFailed << "worker ended" << 0 << 1 << 1;
        QTest::newRow("worker ended while idle: says so, then waits again")
            << QList<Step>{wait, {Step::kWorkerEnded, P::kWaiting, "worker ended"}}
            << TileState::kNoWorker << "worker ended" << 0 << 0 << 0;
        QTest::newRow("and recovers")
            << QList<Step>{wait, {Step::kWorkerEnded, P::kWaiting, "worker ended"},
                           {Step::kWorkerStarted, P::kWaiting, {}}, wait}
            << TileState::kWaiting << QString() << 0 << 0 << 0;
        QTest::newRow("a worker ending after a failure keeps the failure in view")
            << QList<Step>{boot, fail, {Step::kWorkerEnded, P::kWaiting, "restarting"}}
            << TileState::kFailed << fail.message + " · restarting" << 0 << 1 << 1;
        QTest::newRow("the port failing to open after a failure keeps the failure in view")
            << QList<Step>{boot, fail, {Step::kWorkerEnded, P::kWaiting, "the port is gone"},
                           {Step::kPortError, P::kWaiting, "the port is gone"},
                           {Step::kPortError, P::kWaiting, "the port is gone"}}
            << TileState::kFailed << fail.message + " · the port is gone" << 0 << 1 << 1;
        QTest::newRow("a port that cannot be opened")
            << QList<Step>{{Step::kPortError, P::kWaiting, "busy"}} << TileState::kPortError
            << "busy" << 0 << 0 << 0;
        QTest::newRow("cancelled by Stop") << QList<Step>{boot, down,
                                                          {Step::kEvent, P::kCancelled, "stopped"}}
                                           << TileState::kCancelled << "stopped" << 0 << 0 << 0;
    }
    void tileFollowsItsPort() {
        QFETCH(QList<Step>, steps);
        StationViewModel model;
        QSignalSpy ended(&model, &StationViewModel::operationEnded);
        model.RunStarted(1);
        model.AddPort("ttyUSB0");
        model.AddPort("ttyUSB1");
        for (const Step& step : steps) {
            switch (step.kind) {
                case Step::kEvent:
                    model.Apply(Event("ttyUSB1", step.phase, step.message));
                    break;
                case Step::kWorkerEnded:
                    model.WorkerEnded("ttyUSB1", step.message);
                    break;
                case Step::kWorkerStarted:
                    model.WorkerStarted("ttyUSB1");
                    break;
                case Step::kPortError:
                    model.SetPortError("ttyUSB1", step.message);
                    break;
            }
        }
        const StationPortView* view = model.Port("ttyUSB1");
        QVERIFY(view != nullptr);
        QTEST(view->state, "state");
        QTEST(view->message, "message");
        QTEST(view->passed, "passed");
        QTEST(view->failed, "failed");
        QTEST(static_cast<int>(ended.size()), "sounds");
        // The neighbour saw none of it.
        QCOMPARE(model.Port("ttyUSB0")->state, TileState::kWaiting);
        QCOMPARE(model.Port("ttyUSB0")->failed + model.Port("ttyUSB0")->passed, 0);
    }

    void portsInTheOrderOfTheirNames() {
        StationViewModel model;
        for (const char* port : {"ttyUSB10", "ttyUSB2", "COM3", "ttyACM0", "ttyUSB1", "COM12"})
            model.AddPort(port);
        QStringList order;
        for (const StationPortView& view : model.Ports())
            order << view.port;
        QCOMPARE(order, (QStringList{"COM3", "COM12", "ttyACM0", "ttyUSB1", "ttyUSB2", "ttyUSB10"}));
    }

    void tileShowsWhatAnOperatorReads() {
        StationViewModel model;
        model.RunStarted(1);
        model.AddPort("COM7");
        model.SetCable("COM7", true);
        StationPortEvent down = Event("COM7", StationPhase::kDownloading, {}, 42);
        model.Apply(down);
        StationTile tile;
        tile.resize(300, 200);
        tile.Show(*model.Port("COM7"));
        QCOMPARE(tile.StateShown(), QString("DOWNLOADING"));
        QCOMPARE(tile.PercentShown(), 42);
        QVERIFY(tile.LampLit());
        StationPortEvent passed = Event("COM7", StationPhase::kPassed);
        passed.softwareVersion = "2.31";
        passed.timeMs = QDateTime(QDate(2026, 12, 11), QTime(10, 31, 5)).toMSecsSinceEpoch();
        model.Apply(passed);
        tile.Show(*model.Port("COM7"));
        QCOMPARE(tile.StateShown(), QString("PASSED"));
        QCOMPARE(tile.PercentShown(), 100);
        QCOMPARE(tile.FinishedShown(), QString("Last: software 2.31, finished 10:31:05"));
        QCOMPARE(tile.CountsShown(), QString("1 passed, 0 failed"));

        SetUiLanguage(UiLanguage::Chinese);
        model.Apply(Event("COM7", StationPhase::kBootEntry));
        model.Apply(Event("COM7", StationPhase::kFailed, "没有应答"));
        tile.Show(*model.Port("COM7"));
        QCOMPARE(tile.StateShown(), QString("不合格"));
        QCOMPARE(tile.MessageShown(), QString("没有应答"));
        QCOMPARE(tile.CountsShown(), QString("合格 1，不合格 1"));
    }

    void stateColoursTellApart() {
        // Passed, failed and working must differ in lightness as well as in hue.
        const QList<TileState> states{TileState::kWorking, TileState::kPassed, TileState::kFailed,
                                      TileState::kWaiting, TileState::kInUse};
        for (TileState a : states) {
            for (TileState b : states) {
                if (a != b)
                    QVERIFY(StationTile::StateColour(a) != StationTile::StateColour(b));
            }
            // Text on its colour: a contrast ratio an eye reads from a distance (4.5:1, as
            // for small print on a screen; the state is large).
            const double ratio = ContrastRatio(StationTile::StateColour(a),
                                               StationTile::StateTextColour(a));
            QVERIFY2(ratio >= 4.5, qPrintable(StationTile::StateColour(a).name() +
                                               QString(" %1").arg(ratio)));
        }
    }

    void soundsOneAtATimeFailureFirst() {
        HeardSounds heard;
        StationSounds sounds(heard, 100);
        sounds.SetMode(2);
        // Four ports end in one moment: three passed, one failed.
        sounds.OperationEnded(true);
        sounds.OperationEnded(true);
        sounds.OperationEnded(false);
        sounds.OperationEnded(true);
        QTRY_COMPARE(heard.played.size(), 1);
        QCOMPARE(heard.played[0], QString("error.wav"));
        // The passes follow as one sound, after the first had its time.
        QTRY_COMPARE(heard.played.size(), 2);
        QCOMPARE(heard.played[1], QString("download_success.wav"));
        QTest::qWait(250);
        QCOMPARE(heard.played.size(), 2);

        // A pass while a sound plays waits its turn rather than overlapping it.
        QElapsedTimer clock;
        sounds.OperationEnded(true);
        clock.start();
        QTRY_COMPARE(heard.played.size(), 3);
        sounds.OperationEnded(true);
        QTRY_COMPARE(heard.played.size(), 4);
        QVERIFY(clock.elapsed() >= 90);
    }

    void passSoundsOfTheModes_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("sound");
        QTest::newRow("write parameters") << 1 << "success.wav";
        QTest::newRow("download") << 2 << "download_success.wav";
        QTest::newRow("read parameters") << 3 << "read_success.wav";
    }
    void passSoundsOfTheModes() {
        QFETCH(int, mode);
        QTEST(StationSounds::PassSound(mode), "sound");
        QCOMPARE(StationSounds::FailSound(), QString("error.wav"));
    }

    void gridFitsOneToSixteen() {
        const int expected[] = {1, 1, 2, 2, 2, 3, 3, 3, 3, 3, 4, 4, 4, 4, 4, 4, 4};
        for (int ports = 1; ports <= 16; ++ports)
            QCOMPARE(StationWindow::GridColumns(ports), expected[ports]);

        // Sixteen tiles in a window of a station's screen: all visible, none overlapping.
        RecordingPrompts prompts;
        StationWindowOptions options;
        for (int i = 0; i < 16; ++i)
            options.ports << QString("ttyUSB%1").arg(i);
        StationWindow window(options);
        HeardSounds heard;
        window.SetSounds(heard);
        window.resize(1280, 800);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QList<QRect> rects;
        for (const QString& port : options.ports) {
            StationTile* tile = window.Tile(port);
            QVERIFY(tile != nullptr);
            QVERIFY(tile->isVisible());
            const QRect rect(tile->mapTo(&window, QPoint(0, 0)), tile->size());
            QVERIFY2(window.rect().contains(rect), qPrintable(port));
            for (const QRect& other : rects)
                QVERIFY(!rect.intersects(other));
            rects << rect;
        }
    }

    void modeAndFileRefusedDuringRun() {
        QTemporaryDir dir;
        const QString image = dir.filePath("motor-2.31.bin");
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1000, 'x'));
        file.close();
        RecordingPrompts prompts;
        StationWindowOptions options;
        options.mode = 2;
        options.file = image;
        options.ports = {"ttyUSB0"};
        StationWindow window(options);
        HeardSounds heard;
        window.SetSounds(heard);
        window.SetDetached(true);
        const QString sha = QCryptographicHash::hash(QByteArray(1000, 'x'),
                                                     QCryptographicHash::Sha256)
                                .toHex()
                                .left(12);
        QCOMPARE(window.IdentityText(),
                 "Mode 2 Download program · Image motor-2.31.bin · SHA-256 " + sha);
        QVERIFY(window.Start());
        QVERIFY(!window.SetMode(1));
        QVERIFY(!window.SetFile(dir.filePath("other.bin")));
        QCOMPARE(prompts.messages.size(), 2);
        QVERIFY(prompts.messages[0].contains("cannot change while the station runs"));
        QVERIFY(window.IdentityText().contains("motor-2.31.bin"));
        QVERIFY(window.IdentityText().startsWith("Mode 2"));
        window.Stop();
        QVERIFY(!window.Running());
        QVERIFY(window.SetMode(1));
        QVERIFY(window.IdentityText().startsWith("Mode 1"));
    }

    void startRefusesBadInput_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QByteArray>("content");  // empty: no file at all
        QTest::addColumn<QString>("message");
        QTest::newRow("no image") << 2 << QByteArray() << "Choose the image first.";
        QTest::newRow("empty image") << 2 << QByteArray("") << "empty";
        QTest::newRow("oversized image") << 2 << QByteArray(600 * 1024, 'x') << "has 614400 bytes";
        QTest::newRow("not a parameter file") << 1 << QByteArray("12\r\nabc\r\n") << "line 2";
    }
    void startRefusesBadInput() {
        QFETCH(int, mode);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QTemporaryDir dir;
        StationWindowOptions options;
        options.mode = mode;
        options.ports = {"ttyUSB0"};
        if (!content.isNull()) {
            options.file = dir.filePath("input");
            QFile file(options.file);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        RecordingPrompts prompts;
        StationWindow window(options);
        HeardSounds heard;
        window.SetSounds(heard);
        window.SetDetached(true);
        QVERIFY(!window.Start());
        QVERIFY(!window.Running());
        QCOMPARE(prompts.messages.size(), 1);
        QVERIFY2(prompts.messages[0].contains(message), qPrintable(prompts.messages[0]));
    }

    void closeAsksFirstWhileOperationsRun() {
        QTemporaryDir dir;
        StationWindowOptions options;
        options.mode = 3;
        options.ports = {"ttyUSB0", "ttyUSB1"};
        RecordingPrompts prompts;
        StationWindow window(options);
        HeardSounds heard;
        window.SetSounds(heard);
        window.SetDetached(true);
        window.show();
        QVERIFY(window.Start());
        // Running, nothing under way: closing just stops.
        window.Model().Apply(Event("ttyUSB0", StationPhase::kWaiting));
        window.Model().Apply(Event("ttyUSB1", StationPhase::kReading));
        prompts.confirmAnswer = false;
        QVERIFY(!window.close());
        QCOMPARE(prompts.confirmations.size(), 1);
        QVERIFY(window.Running());
        QVERIFY(window.isVisible());
        prompts.confirmAnswer = true;
        QSignalSpy stopped(&window, &StationWindow::stopped);
        window.close();
        QTRY_VERIFY(!window.isVisible());
        QCOMPARE(stopped.size(), 1);
        QVERIFY(!window.Running());
        QCOMPARE(prompts.confirmations.size(), 2);
    }

    // Four tiles at work, in each language, written where TARVIK_PICTURES_DIR says (to look at,
    // and for the README).
    void pictures_data() {
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<int>("ports");
        QTest::newRow("en") << false << 4;
        QTest::newRow("zh") << true << 4;
        QTest::newRow("en-16") << false << 16;
        QTest::newRow("zh-16") << true << 16;
    }
    void pictures() {
        const QString folder = qEnvironmentVariable("TARVIK_PICTURES_DIR");
        if (folder.isEmpty())
            QSKIP("TARVIK_PICTURES_DIR names no folder for the pictures");
        QFETCH(bool, chinese);
        SetUiLanguage(chinese ? UiLanguage::Chinese : UiLanguage::English);
        QTemporaryDir dir;
        const QString image = dir.filePath("motor-fw-2.31.bin");
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(512000, '\x5a'));
        file.close();
        StationWindowOptions options;
        options.mode = 2;
        options.file = image;
        QFETCH(int, ports);
        for (int i = 0; i < ports; ++i)
            options.ports << QString("ttyUSB%1").arg(i);
        StationWindow window(options);
        HeardSounds heard;
        window.SetSounds(heard);
        window.SetDetached(true);
        window.resize(1000, 640);
        QVERIFY(window.Start());
        StationViewModel& model = window.Model();
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        for (const QString& port : options.ports)
            model.SetCable(port, port != "ttyUSB3");
        for (int i = 0; i < 7; ++i) {
            for (const char* port : {"ttyUSB0", "ttyUSB1", "ttyUSB2"}) {
                model.Apply(Event(port, StationPhase::kDownloading));
                StationPortEvent passed = Event(port, StationPhase::kPassed);
                passed.softwareVersion = "2.31";
                passed.timeMs = now - 60000 + i * 5000;
                model.Apply(passed);
            }
        }
        model.Apply(Event("ttyUSB0", StationPhase::kWaiting));
        model.Apply(Event("ttyUSB1", StationPhase::kDownloading, {}, 63));
        model.Apply(Event("ttyUSB2", StationPhase::kBootEntry));
        model.Apply(Event("ttyUSB2", StationPhase::kFailed,
                          chinese ? "控制器没有回应进入引导的命令"
                                  : "the controller did not answer the boot-entry command"));
        model.Apply(Event("ttyUSB2", StationPhase::kWaiting));
        const QString path =
            QDir(folder).filePath(QString("station-window-%1-%2.png")
                                      .arg(QTest::currentDataTag())
                                      .arg(qEnvironmentVariable("QT_SCALE_FACTOR", "1")));
        QVERIFY(SaveWidgetPicture(window, path));
        window.Stop();
    }
};

QTEST_MAIN(StationViewTest)
#include "station_view_test.moc"
