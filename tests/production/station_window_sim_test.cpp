// The station window driving real workers (tarvik-cli auto, through the station's supervisor)
// against simulated controllers, one pseudo-terminal each: three ports programmed in mode 2 with
// their tiles and counts; a dropped link fails its own tile only; a killed worker is said and
// replaced; closing with operations under way asks, stops them and leaves cancelled records;
// a port the main window holds is shown in use and never taken.

#include <signal.h>

#include <QtTest>
#include <memory>
#include <random>

#include "app/ui_language.h"
#include "gui/gui_test_support.h"
#include "link/fake_port_source.h"
#include "production/production_views.h"
#include "production/station_tile.h"
#include "production/station_window.h"
#include "records/sqlite_record_store.h"
#include "sim/sim_server.h"
#include "station/station_supervisor.h"
#include "ui/sounds.h"

namespace {

class HeardSounds : public Sounds {
public:
    void Play(const QString& fileName) override { played << fileName; }
    QStringList played;
};

QByteArray RandomImage(int size, unsigned seed) {
    std::mt19937 generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& b : bytes)
        b = static_cast<char>(generator() & 0xff);
    return bytes;
}

// The pid of this process's worker for `port`, from the process table.
pid_t WorkerPid(const QString& port) {
    const qint64 self = QCoreApplication::applicationPid();
    const QDir proc("/proc");
    for (const QString& entry : proc.entryList(QDir::Dirs)) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (!ok)
            continue;
        QFile statFile(proc.filePath(entry + "/stat"));
        QFile cmdFile(proc.filePath(entry + "/cmdline"));
        if (!statFile.open(QIODevice::ReadOnly) || !cmdFile.open(QIODevice::ReadOnly))
            continue;
        const QByteArray stat = statFile.readAll();
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || fields[1].toLongLong() != self)
            continue;
        const QList<QByteArray> cmdline = cmdFile.readAll().split('\0');
        const int at = static_cast<int>(cmdline.indexOf("--port"));
        if (at >= 0 && at + 1 < cmdline.size() && QString::fromUtf8(cmdline[at + 1]) == port)
            return pid;
    }
    return 0;
}

}  // namespace

class StationWindowSimTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (QString(TARVIK_CLI_EXE).isEmpty())
            QSKIP("tarvik-cli is not built");
        SetUiLanguage(UiLanguage::English);
        // The workers read no setting of the user running the tests.
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", m_home.filePath("config").toUtf8());
        qputenv("XDG_DATA_HOME", m_home.filePath("data").toUtf8());
    }

    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_sims.clear();
        m_ports.clear();
    }
    void cleanup() {
        m_window.reset();
        m_sims.clear();
    }

    void threePortsProgrammed() {
        StartSims(3);
        const QByteArray image = RandomImage(3000, 21);
        Open(image);
        QVERIFY(m_window->Start());
        QVERIFY(WaitAllWaiting());
        for (int i = 0; i < 3; ++i)
            Sim(i).Announce();
        for (const QString& port : m_ports)
            QTRY_COMPARE_WITH_TIMEOUT(State(port), TileState::kPassed, 30000);
        for (int i = 0; i < 3; ++i) {
            const StationPortView* view = m_window->Model().Port(m_ports[i]);
            QCOMPARE(view->passed, 1);
            QCOMPARE(view->failed, 0);
            QVERIFY(view->cable);
            QCOMPARE(m_window->Tile(m_ports[i])->StateShown(), QString("PASSED"));
            QCOMPARE(m_window->Tile(m_ports[i])->PercentShown(), 100);
            QVERIFY(Intact(i, image));
        }
        QCOMPARE(m_window->Model().TotalPassed(), 3);
        QCOMPARE(m_window->Model().TotalFailed(), 0);
        // The passes ending close together make one sound, never the failure's.
        QTRY_VERIFY(!m_sounds.played.isEmpty());
        QVERIFY(!m_sounds.played.contains("error.wav"));
        QVERIFY(m_sounds.played.size() <= 3);
        QVERIFY(StopAndWait());
        QCOMPARE(Records(RecordOutcome::kSuccess), 3);
    }

    void aDroppedLinkFailsOnlyItsTile() {
        sim::SimOptions options;
        options.controller.faults.transfer.slowFlash = std::chrono::milliseconds(10);
        StartSims(3, options);
        const QByteArray image = RandomImage(60 * 128, 22);
        Open(image);
        QVERIFY(m_window->Start());
        QVERIFY(WaitAllWaiting());
        for (int i = 0; i < 3; ++i)
            Sim(i).Announce();
        QTRY_VERIFY_WITH_TIMEOUT(m_window->Model().Port(m_ports[1])->percent >= 10, 20000);
        m_sims[1]->DropLink();
        QTRY_COMPARE_WITH_TIMEOUT(State(m_ports[1]), TileState::kFailed, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(State(m_ports[0]), TileState::kPassed, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(State(m_ports[2]), TileState::kPassed, 30000);
        QVERIFY2(m_window->Tile(m_ports[1])->MessageShown().startsWith("the port is gone"),
                 qPrintable(m_window->Tile(m_ports[1])->MessageShown()));
        // The port is tried again and is still gone: the failure stays in view.
        QTRY_VERIFY_WITH_TIMEOUT(
            m_window->Supervisor()->Status(m_ports[1]).state == StationState::kPortError, 20000);
        QCOMPARE(State(m_ports[1]), TileState::kFailed);
        QCOMPARE(m_window->Tile(m_ports[1])->StateShown(), QString("FAILED"));
        QVERIFY(!m_window->Model().Port(m_ports[1])->cable);
        QCOMPARE(m_window->Model().TotalPassed(), 2);
        QCOMPARE(m_window->Model().TotalFailed(), 1);
        QTRY_VERIFY(m_sounds.played.contains("error.wav"));
        QVERIFY(Intact(0, image));
        QVERIFY(Intact(2, image));
        QVERIFY(StopAndWait());
    }

    void aKilledWorkerIsSaidAndReplaced() {
        sim::SimOptions options;
        options.controller.faults.transfer.slowFlash = std::chrono::milliseconds(10);
        StartSims(2, options);
        const QByteArray image = RandomImage(60 * 128, 23);
        Open(image);
        QVERIFY(m_window->Start());
        QVERIFY(WaitAllWaiting());
        Sim(0).Announce();
        QTRY_VERIFY_WITH_TIMEOUT(m_window->Model().Port(m_ports[0])->percent >= 10, 20000);
        const pid_t worker = WorkerPid(m_ports[0]);
        QVERIFY(worker != 0);
        ::kill(worker, SIGKILL);
        QTRY_COMPARE_WITH_TIMEOUT(State(m_ports[0]), TileState::kFailed, 20000);
        QCOMPARE(m_window->Tile(m_ports[0])->MessageShown(), QString("worker ended"));
        QCOMPARE(State(m_ports[1]), TileState::kWaiting);
        // Replaced: the next controller on that port is programmed.
        QTRY_VERIFY_WITH_TIMEOUT(
            m_window->Supervisor()->Status(m_ports[0]).state == StationState::kWaiting, 20000);
        Sim(0).Announce();
        QTRY_COMPARE_WITH_TIMEOUT(State(m_ports[0]), TileState::kPassed, 30000);
        QVERIFY(Intact(0, image));
        const StationPortView* view = m_window->Model().Port(m_ports[0]);
        QCOMPARE(view->failed, 1);
        QCOMPARE(view->passed, 1);
        QVERIFY(StopAndWait());
        QCOMPARE(Records(RecordOutcome::kFailed), 1);
        QCOMPARE(Records(RecordOutcome::kSuccess), 1);
    }

    void closingWithOperationsUnderWayCancelsThem() {
        sim::SimOptions options;
        options.controller.faults.transfer.slowFlash = std::chrono::milliseconds(30);
        StartSims(2, options);
        const QByteArray image = RandomImage(60 * 128, 24);
        Open(image);
        m_window->show();
        QVERIFY(m_window->Start());
        QVERIFY(WaitAllWaiting());
        Sim(0).Announce();
        Sim(1).Announce();
        for (const QString& port : m_ports)
            QTRY_VERIFY_WITH_TIMEOUT(m_window->Model().Port(port)->percent >= 5, 20000);
        RecordingPrompts prompts;
        prompts.confirmAnswer = true;
        QSignalSpy stopped(m_window.get(), &StationWindow::stopped);
        m_window->close();
        QCOMPARE(prompts.confirmations.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(stopped.size(), 1, 20000);
        QTRY_VERIFY(!m_window->isVisible());
        for (const QString& port : m_ports)
            QCOMPARE(State(port), TileState::kCancelled);
        QCOMPARE(Records(RecordOutcome::kCancelled), 2);
        QCOMPARE(Records(RecordOutcome::kFailed) + Records(RecordOutcome::kSuccess), 0);
    }

    void aPortTheMainWindowHoldsIsShownInUse() {
        StartSims(2);
        const QByteArray image = RandomImage(3000, 25);
        const QString held = m_ports[1];
        Open(image, [held] { return held; });
        QVERIFY(m_window->Start());
        QTRY_VERIFY_WITH_TIMEOUT(
            m_window->Supervisor()->Status(m_ports[0]).state == StationState::kWaiting, 20000);
        QCOMPARE(State(held), TileState::kInUse);
        QCOMPARE(m_window->Tile(held)->StateShown(), QString("IN USE"));
        QVERIFY(!m_window->Supervisor()->Ports().contains(held));
        Sim(0).Announce();
        Sim(1).Announce();
        QTRY_COMPARE_WITH_TIMEOUT(State(m_ports[0]), TileState::kPassed, 30000);
        QCOMPARE(State(held), TileState::kInUse);
        QCOMPARE(Sim(1).Counters().imagesReceived, 0u);
        QVERIFY(StopAndWait());
    }

    void automaticPortsFollowTheCables() {
        StartSims(2);
        link_test::FakePortSource cables;
        cables.m_ports = QStringList{m_ports[0], "ttyS0"};
        const QByteArray image = RandomImage(3000, 27);
        Open(image, {}, &cables);
        QVERIFY(m_window->Start());
        QTRY_VERIFY_WITH_TIMEOUT(
            m_window->Supervisor()->Status(m_ports[0]).state == StationState::kWaiting, 20000);
        QCOMPARE(m_window->Model().Ports().size(), 1);
        QVERIFY(m_window->Model().Port("ttyS0") == nullptr);
        // A cable plugged in gets its tile and its worker.
        cables.m_ports = QStringList{m_ports[0], m_ports[1], "ttyS0"};
        QTRY_VERIFY_WITH_TIMEOUT(m_window->Tile(m_ports[1]) != nullptr, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_window->Supervisor()->Status(m_ports[1]).state == StationState::kWaiting, 20000);
        Sim(1).Announce();
        QTRY_COMPARE_WITH_TIMEOUT(State(m_ports[1]), TileState::kPassed, 30000);
        QVERIFY(Intact(1, image));
        // A cable pulled: its lamp goes out; the other port is untouched.
        cables.m_ports = QStringList{m_ports[1], "ttyS0"};
        m_sims[0]->DropLink();
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->Model().Port(m_ports[0])->cable, 20000);
        QVERIFY(!m_window->Tile(m_ports[0])->LampLit());
        QCOMPARE(State(m_ports[1]), TileState::kPassed);
        QVERIFY(StopAndWait());
    }

    // Four tiles at work in a real run, written where TARVIK_PICTURES_DIR says (the README's
    // picture): two passed, one downloading, one whose link dropped.
    void picture() {
        const QString folder = qEnvironmentVariable("TARVIK_PICTURES_DIR");
        if (folder.isEmpty())
            QSKIP("TARVIK_PICTURES_DIR names no folder for the pictures");
        StartSims(2);
        sim::SimOptions slower;
        slower.controller.faults.transfer.slowFlash = std::chrono::milliseconds(80);
        StartSims(1, slower);
        sim::SimOptions slow;
        slow.controller.faults.transfer.slowFlash = std::chrono::milliseconds(20);
        StartSims(1, slow);
        const QByteArray image = RandomImage(120 * 128, 26);
        Open(image);
        m_window->resize(1000, 640);
        QVERIFY(m_window->Start());
        QVERIFY(WaitAllWaiting());
        for (int i = 0; i < 4; ++i)
            Sim(i).Announce();
        QTRY_COMPARE_WITH_TIMEOUT(State(m_ports[0]), TileState::kPassed, 30000);
        QTRY_COMPARE_WITH_TIMEOUT(State(m_ports[1]), TileState::kPassed, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(m_window->Model().Port(m_ports[3])->percent >= 20, 30000);
        m_sims[3]->DropLink();
        QTRY_COMPARE_WITH_TIMEOUT(State(m_ports[3]), TileState::kFailed, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(m_window->Model().Port(m_ports[2])->percent >= 50, 30000);
        QVERIFY(SaveWidgetPicture(*m_window, QDir(folder).filePath("station-window-run-en.png")));
        QVERIFY(StopAndWait());
    }

private:
    void StartSims(int count, const sim::SimOptions& options = {}) {
        for (int i = 0; i < count; ++i) {
            auto server = std::make_unique<sim::SimServer>(options);
            const QString port = server->Start();
            QVERIFY2(!port.isEmpty(), qPrintable(server->ErrorString()));
            m_ports << port;
            m_sims.push_back(std::move(server));
        }
    }
    sim::SimController& Sim(int i) { return m_sims[static_cast<std::size_t>(i)]->Controller(); }
    bool Intact(int i, const QByteArray& image) {
        const auto received = Sim(i).LastImage();
        return received.has_value() &&
               QByteArray(reinterpret_cast<const char*>(received->data.data()),
                          static_cast<qsizetype>(received->data.size())) == image;
    }
    QString RecordsFile() const { return m_dir->filePath("records.sqlite"); }

    void Open(const QByteArray& image, std::function<QString()> heldPort = {},
              PortSource* automaticPorts = nullptr) {
        const QString path = m_dir->filePath("fw.bin");
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(image);
        file.close();
        StationWindowOptions options;
        options.mode = 2;
        options.file = path;
        if (automaticPorts == nullptr) {
            options.ports = m_ports;
        } else {
            options.portSource = automaticPorts;
            // Every listed port but the built-in serial port counts as the cable.
            options.isCable = [](const QString& port) { return port != "ttyS0"; };
        }
        options.delayTicks = 4;
        options.workerProgram = TARVIK_CLI_EXE;
        options.records = RecordsFile();
        options.station = "line-1";
        options.restartPauseMs = 200;
        options.heldPort = std::move(heldPort);
        m_window = std::make_unique<StationWindow>(options);
        m_window->SetSounds(m_sounds);
        m_window->resize(900, 600);
    }
    TileState State(const QString& port) const {
        const StationPortView* view = m_window->Model().Port(port);
        return view != nullptr ? view->state : TileState::kStopped;
    }
    // Every worker has its port open and waits for a controller.
    bool WaitAllWaiting() {
        return QTest::qWaitFor(
            [this] {
                for (const QString& port : m_window->Supervisor()->Ports()) {
                    if (m_window->Supervisor()->Status(port).state != StationState::kWaiting)
                        return false;
                }
                return !m_window->Supervisor()->Ports().isEmpty();
            },
            20000);
    }
    bool StopAndWait() {
        QSignalSpy stopped(m_window.get(), &StationWindow::stopped);
        m_window->Stop();
        return stopped.wait(20000) || !m_window->Running();
    }
    int Records(RecordOutcome outcome) {
        SqliteRecordStore store(RecordsFile());
        RecordFilter filter;
        filter.outcome = outcome;
        const auto records = store.Query(filter);
        return records ? static_cast<int>(records->size()) : -1;
    }

    QTemporaryDir m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<std::unique_ptr<sim::SimServer>> m_sims;
    QStringList m_ports;
    HeardSounds m_sounds;
    std::unique_ptr<StationWindow> m_window;
};

QTEST_MAIN(StationWindowSimTest)
#include "station_window_sim_test.moc"
