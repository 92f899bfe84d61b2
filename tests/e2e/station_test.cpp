// The production station and its pieces against simulated controllers, one pseudo-terminal
// each: `tarvik-cli auto` and `tarvik-cli station` as a line runs them, interrupted commands,
// isolation between ports, a worker killed mid-transfer, and the truth of every record under
// random transfer faults.

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <random>
#include <thread>

#include "e2e_support.h"
#include "records/sqlite_record_store.h"
#include "sim/sim_server.h"
#include "station/station_event.h"

namespace {

using namespace e2e;

// A running tarvik-cli whose stdout carries event lines; read as they come.
class EventReader {
public:
    explicit EventReader(std::unique_ptr<QProcess> process) : m_process(std::move(process)) {}

    QProcess& Process() { return *m_process; }

    // Reads what has come; false once the process has ended and everything was read.
    void Read() {
        m_process->waitForReadyRead(50);
        m_buffer += m_process->readAllStandardOutput();
        m_err += QString::fromUtf8(m_process->readAllStandardError());
        qsizetype start = 0;
        for (qsizetype end = m_buffer.indexOf('\n'); end >= 0;
             end = m_buffer.indexOf('\n', start)) {
            const QByteArray line = m_buffer.mid(start, end - start);
            start = end + 1;
            m_lines << line;
            if (auto event = StationEvent::FromJsonLine(line))
                m_events.push_back(*event);
        }
        m_buffer.remove(0, start);
    }

    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > timeout.count())
                return false;
            Read();
            if (m_process->state() == QProcess::NotRunning) {
                Read();
                return done();
            }
        }
        return true;
    }

    int Count(const QString& port, StationState state) const {
        int n = 0;
        for (const StationEvent& e : m_events)
            n += (e.type == StationEvent::Type::kState && e.port == port && e.state == state);
        return n;
    }
    int CountAll(StationState state) const {
        int n = 0;
        for (const StationEvent& e : m_events)
            n += (e.type == StationEvent::Type::kState && e.state == state);
        return n;
    }
    // The percent of the last progress event of `port`; -1 none.
    int Percent(const QString& port) const {
        for (auto it = m_events.rbegin(); it != m_events.rend(); ++it) {
            if (it->port == port && it->type == StationEvent::Type::kProgress)
                return it->percent;
            if (it->port == port && it->type == StationEvent::Type::kState &&
                it->state != StationState::kDownloading)
                return -1;
        }
        return -1;
    }
    // The outcome states of `port`'s controllers, in order.
    std::vector<StationEvent> Outcomes(const QString& port) const {
        std::vector<StationEvent> out;
        for (const StationEvent& e : m_events) {
            if (e.port == port && e.type == StationEvent::Type::kState && IsOutcomeState(e.state))
                out.push_back(e);
        }
        return out;
    }

    CliResult Finish(std::chrono::milliseconds timeout) {
        CliResult r = Cli::Finish(*m_process, timeout);
        m_buffer += r.out.toUtf8();
        Read();
        r.err = m_err + r.err;
        r.out = QString::fromUtf8(m_lines.join('\n'));
        return r;
    }
    void Signal(int signal) { ::kill(static_cast<pid_t>(m_process->processId()), signal); }

    std::string Dump() const {
        return "--- events ---\n" + m_lines.join('\n').toStdString() + "\n--- stderr ---\n" +
               m_err.toStdString();
    }

    const std::vector<StationEvent>& Events() const { return m_events; }

private:
    std::unique_ptr<QProcess> m_process;
    QByteArray m_buffer;
    QList<QByteArray> m_lines;
    QString m_err;
    std::vector<StationEvent> m_events;
};

class StationTest : public testing::Test {
protected:
    // `count` simulated controllers, each on its own pseudo-terminal.
    void StartSims(int count, const sim::SimOptions& options = {}) {
        for (int i = 0; i < count; ++i) {
            auto server = std::make_unique<sim::SimServer>(options);
            const QString port = server->Start();
            ASSERT_FALSE(port.isEmpty()) << server->ErrorString().toStdString();
            m_ports << port;
            m_sims.push_back(std::move(server));
        }
    }
    sim::SimController& Sim(int i) { return m_sims[static_cast<std::size_t>(i)]->Controller(); }
    QString Records() const { return m_cli.FilePath("records.sqlite"); }
    QList<OperationRecord> StoredRecords() {
        SqliteRecordStore store(Records());
        const auto records = store.Query({});
        EXPECT_TRUE(records.has_value()) << store.Error().toStdString();
        QList<OperationRecord> list = records.value_or(QList<OperationRecord>());
        std::sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
            return a.startedMs < b.startedMs;
        });
        return list;
    }
    QString WriteImage(const Bytes& image, const QString& name = "fw.bin") {
        const QString path = m_cli.FilePath(name);
        EXPECT_TRUE(WriteFile(path, ToQByteArray(image)));
        return path;
    }
    std::unique_ptr<EventReader> Station(const QStringList& extra) {
        QStringList arguments{"station", "--ports", m_ports.join(','), "--events", "jsonl",
                              "--lang",  "en",      "--records",       Records(), "--station",
                              "line-1",  "--unit",  "U-7",   "--restart-pause", "200"};
        return std::make_unique<EventReader>(m_cli.Start(arguments + extra));
    }
    bool Intact(int i, const Bytes& image) {
        const auto received = Sim(i).LastImage();
        return received.has_value() && received->data == image;
    }

    Cli m_cli;
    QStringList m_ports;
    std::vector<std::unique_ptr<sim::SimServer>> m_sims;
};

// ---- interrupted commands ----

struct InterruptCase {
    const char* name;
    const char* command;  // flash or auto
    int signal;
    int exitCode;
};

class InterruptTest : public StationTest, public testing::WithParamInterface<InterruptCase> {};

// Mid-transfer, a signal abandons the transfer on the wire and leaves a cancelled record.
TEST_P(InterruptTest, TheTransferEndsAsACancelledRecord) {
    const InterruptCase& c = GetParam();
    sim::SimOptions options;
    options.controller.faults.transfer.slowFlash = std::chrono::milliseconds(30);
    StartSims(1, options);
    const Bytes image = RandomBytes(40 * 128, 7);
    const QString path = WriteImage(image);
    QStringList arguments{c.command, "--port", m_ports[0], "--lang", "en", "--records", Records()};
    if (QString(c.command) == "flash")
        arguments << path;
    else
        arguments << "--mode" << "2" << "--image" << path << "--events" << "jsonl";
    EventReader run(m_cli.Start(arguments));
    if (QString(c.command) == "auto") {
        ASSERT_TRUE(run.WaitFor([&] { return run.Count(m_ports[0], StationState::kWaiting) > 0; },
                                10s))
            << run.Dump();
        Sim(0).Announce();
    }
    // Some packets in, most still to go.
    ASSERT_TRUE(Sim(0).WaitFor([&] { return Sim(0).Counters().transferPacketsAccepted >= 5; },
                               15s))
        << run.Dump();
    run.Signal(c.signal);
    const CliResult r = run.Finish(10s);
    EXPECT_EQ(r.exitCode, c.exitCode) << Describe(r);

    const QList<OperationRecord> records = StoredRecords();
    ASSERT_EQ(records.size(), 1) << Describe(r);
    EXPECT_EQ(records[0].outcome, RecordOutcome::kCancelled);
    EXPECT_TRUE(records[0].reason.startsWith("interrupted (SIG")) << records[0].reason.toStdString();
    EXPECT_EQ(records[0].port, m_ports[0]);
    ASSERT_TRUE(records[0].bytesAcknowledged.has_value());
    EXPECT_LT(*records[0].bytesAcknowledged, static_cast<qint64>(image.size()));
    // Abandoned on the wire: the boot loader never got the rest.
    const std::uint64_t packets = Sim(0).Counters().transferPacketsAccepted;
    EXPECT_FALSE(Sim(0).WaitFor([&] { return Sim(0).Counters().transferPacketsAccepted > packets + 1; },
                                1500ms));
    EXPECT_FALSE(Sim(0).LastImage().has_value());
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptTest,
                         testing::Values(InterruptCase{"FlashSigint", "flash", SIGINT, 130},
                                         InterruptCase{"FlashSigterm", "flash", SIGTERM, 143},
                                         InterruptCase{"AutoSigint", "auto", SIGINT, 0},
                                         InterruptCase{"AutoSigterm", "auto", SIGTERM, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

// A port that vanishes while auto waits ends it with the port-error exit code, even when its
// name is given to another device at once: a pseudo-terminal's number is free again as soon as
// the worker has let go of the dead device, and the next one made takes it (so may an adapter's
// name be taken).
TEST_F(StationTest, AutoEndsWhenItsPortVanishes) {
    StartSims(1);
    EventReader run(m_cli.Start({"auto", "--port", m_ports[0], "--mode", "3", "--events", "jsonl",
                                 "--lang", "en", "--records", Records()}));
    ASSERT_TRUE(run.WaitFor([&] { return run.Count(m_ports[0], StationState::kWaiting) == 1; }, 10s))
        << run.Dump();
    m_sims[0]->DropLink();
    std::this_thread::sleep_for(200ms);
    StartSims(1);
    const CliResult r = run.Finish(15s);
    EXPECT_EQ(r.exitCode, 4) << run.Dump();
    EXPECT_EQ(run.Count(m_ports[0], StationState::kPortGone), 1) << run.Dump();
    // Nothing was under way: no record.
    EXPECT_TRUE(StoredRecords().isEmpty());
}

// A port that vanishes while a write waits for its acknowledgement: the wait ends at once, the
// write's record says the port is gone, and auto ends with the port-error exit code.
TEST_F(StationTest, AutoEndsAWriteUnderWayWhenItsPortVanishes) {
    sim::SimOptions options;
    options.controller.faults.noWriteAck = true;
    StartSims(1, options);
    const QString file = m_cli.FilePath("line.txt");
    ASSERT_TRUE(
        WriteFile(file, QByteArray::fromStdString(WindowFileOf(sim::SimParameterSet::Default()))));
    EventReader run(m_cli.Start({"auto", "--port", m_ports[0], "--mode", "1", "--params", file,
                                 "--events", "jsonl", "--lang", "en", "--records", Records()}));
    ASSERT_TRUE(
        run.WaitFor([&] { return run.Count(m_ports[0], StationState::kWaiting) == 1; }, 10s))
        << run.Dump();
    Sim(0).Announce();
    ASSERT_TRUE(Sim(0).WaitFor([&] { return Sim(0).Counters().writesStored >= 1; }, 15s))
        << run.Dump();
    m_sims[0]->DropLink();
    // Well before the unanswered write's own wait (10 s) would end.
    const CliResult r = run.Finish(5s);
    EXPECT_EQ(r.exitCode, 4) << run.Dump();
    EXPECT_EQ(run.Count(m_ports[0], StationState::kPortGone), 1) << run.Dump();
    const QList<OperationRecord> records = StoredRecords();
    ASSERT_EQ(records.size(), 1) << run.Dump();
    EXPECT_EQ(records[0].operation, RecordOperation::kWrite);
    EXPECT_EQ(records[0].outcome, RecordOutcome::kFailed);
    EXPECT_EQ(records[0].reason, "the port is gone");
}

// ---- the station ----

// Four ports, two controllers each in a row: every image intact, eight success records with
// their ports; the freshly programmed controller's own announcement is never taken for the next.
TEST_F(StationTest, FourPortsProgramTwoControllersEach) {
    StartSims(4);
    const Bytes image = RandomBytes(3000, 11);
    // The hold-off after each download outlasts the controller's own announcement on starting
    // its new program; "waiting" says it is over.
    auto run = Station({"--mode", "2", "--image", WriteImage(image), "--delay", "4"});
    ASSERT_TRUE(run->WaitFor([&] { return run->CountAll(StationState::kWaiting) == 4; }, 15s))
        << run->Dump();
    for (int i = 0; i < 4; ++i)
        Sim(i).Announce();
    ASSERT_TRUE(run->WaitFor([&] { return run->CountAll(StationState::kWaiting) == 8; }, 30s))
        << run->Dump();
    EXPECT_EQ(run->CountAll(StationState::kPassed), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(Intact(i, image)) << i;
        Sim(i).Announce();
    }
    ASSERT_TRUE(run->WaitFor([&] { return run->CountAll(StationState::kWaiting) == 12; }, 30s))
        << run->Dump();
    EXPECT_EQ(run->CountAll(StationState::kPassed), 8);
    run->Signal(SIGINT);
    const CliResult r = run->Finish(15s);
    EXPECT_EQ(r.exitCode, 0) << run->Dump();
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(Intact(i, image)) << i;
        EXPECT_EQ(Sim(i).Counters().imagesReceived, 2u) << i;
        EXPECT_EQ(run->Count(m_ports[i], StationState::kStopped), 1) << run->Dump();
    }
    EXPECT_EQ(run->CountAll(StationState::kFailed), 0) << run->Dump();

    const QList<OperationRecord> records = StoredRecords();
    ASSERT_EQ(records.size(), 8);
    std::map<QString, int> perPort;
    for (const OperationRecord& rec : records) {
        EXPECT_EQ(rec.outcome, RecordOutcome::kSuccess);
        EXPECT_EQ(rec.operation, RecordOperation::kDownload);
        EXPECT_EQ(rec.station, "line-1");
        EXPECT_EQ(rec.unitId, "U-7");
        EXPECT_EQ(rec.imageSize, static_cast<qint64>(image.size()));
        ++perPort[rec.port];
    }
    for (const QString& port : m_ports)
        EXPECT_EQ(perPort[port], 2) << port.toStdString();
}

// The event lines as a script reads them: versioned, with the port and time of each.
TEST_F(StationTest, EventLinesCarryVersionPortAndTime) {
    StartSims(1);
    EventReader run(m_cli.Start({"auto", "--port", m_ports[0], "--mode", "3", "--events", "jsonl",
                                 "--lang", "en", "--records", Records(), "--count", "1"}));
    ASSERT_TRUE(run.WaitFor([&] { return run.Count(m_ports[0], StationState::kWaiting) > 0; }, 10s));
    Sim(0).Announce();
    const CliResult r = run.Finish(15s);
    EXPECT_EQ(r.exitCode, 0) << Describe(r);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3) << Describe(r);
    for (const QString& line : lines) {
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
        EXPECT_EQ(o.value("v").toInt(), 1) << line.toStdString();
        EXPECT_EQ(o.value("port").toString(), m_ports[0]);
        EXPECT_TRUE(o.value("time").toString().endsWith('Z')) << line.toStdString();
    }
    const QJsonObject last = QJsonDocument::fromJson(lines.last().toUtf8()).object();
    EXPECT_EQ(last.value("state").toString(), "passed");
    EXPECT_EQ(last.value("operation").toString(), "read");
    EXPECT_FALSE(last.value("software").toString().isEmpty());
    EXPECT_FALSE(last.value("check").toString().isEmpty());
}

// Mode 1 writes the file to each controller; mode 3 compares with a reference.
TEST_F(StationTest, ModeOneWritesTheFileToEveryPort) {
    StartSims(2);
    sim::SimParameterSet set = sim::SimParameterSet::Default();
    set.SetByte(3, 18, 7);
    const QString file = m_cli.FilePath("line.txt");
    ASSERT_TRUE(WriteFile(file, QByteArray::fromStdString(WindowFileOf(set))));
    auto run = Station({"--mode", "1", "--params", file});
    ASSERT_TRUE(run->WaitFor([&] { return run->CountAll(StationState::kWaiting) == 2; }, 15s))
        << run->Dump();
    Sim(0).Announce();
    Sim(1).Announce();
    ASSERT_TRUE(run->WaitFor([&] { return run->CountAll(StationState::kPassed) == 2; }, 30s))
        << run->Dump();
    run->Signal(SIGTERM);
    EXPECT_EQ(run->Finish(15s).exitCode, 0);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(Sim(i).Parameters().Byte(3, 18), 7) << i;
        EXPECT_EQ(Sim(i).Counters().writesStored, 1u);
    }
    const QList<OperationRecord> records = StoredRecords();
    ASSERT_EQ(records.size(), 2);
    for (const OperationRecord& rec : records) {
        EXPECT_EQ(rec.operation, RecordOperation::kWrite);
        EXPECT_EQ(rec.outcome, RecordOutcome::kSuccess);
        EXPECT_FALSE(rec.checkValue.isEmpty());
    }
}

TEST_F(StationTest, ModeThreeComparesWithTheReference) {
    StartSims(2);
    sim::SimParameterSet other = sim::SimParameterSet::Default();
    other.SetByte(3, 18, 7);
    Sim(1).SetParameters(other);
    const QString reference = m_cli.FilePath("reference.txt");
    ASSERT_TRUE(WriteFile(reference,
                          QByteArray::fromStdString(WindowFileOf(sim::SimParameterSet::Default()))));
    const QString saved = m_cli.FilePath("saved");
    ASSERT_TRUE(QDir().mkpath(saved));
    auto run = Station({"--mode", "3", "--reference", reference, "--save-dir", saved});
    ASSERT_TRUE(run->WaitFor([&] { return run->CountAll(StationState::kWaiting) == 2; }, 15s))
        << run->Dump();
    Sim(0).Announce();
    Sim(1).Announce();
    ASSERT_TRUE(run->WaitFor(
        [&] { return run->Outcomes(m_ports[0]).size() == 1 && run->Outcomes(m_ports[1]).size() == 1; },
        30s))
        << run->Dump();
    run->Signal(SIGINT);
    EXPECT_EQ(run->Finish(15s).exitCode, 0);
    const StationEvent same = run->Outcomes(m_ports[0])[0];
    const StationEvent differs = run->Outcomes(m_ports[1])[0];
    EXPECT_EQ(same.state, StationState::kPassed) << run->Dump();
    EXPECT_EQ(differs.state, StationState::kFailed) << run->Dump();
    EXPECT_TRUE(differs.message.contains("1 field differs")) << differs.message.toStdString();
    EXPECT_NE(same.checkValue, differs.checkValue);
    // Each set read is saved under its port's name.
    EXPECT_EQ(QDir(saved).entryList(QDir::Files).size(), 2);
    const QList<OperationRecord> records = StoredRecords();
    ASSERT_EQ(records.size(), 2);
    for (const OperationRecord& rec : records)
        EXPECT_EQ(rec.operation, RecordOperation::kRead);
}

// One controller's link drops mid-transfer: that port fails with the reason, the other three
// complete with intact images.
TEST_F(StationTest, ALinkThatDropsTouchesNoOtherPort) {
    sim::SimOptions options;
    options.controller.faults.transfer.slowFlash = std::chrono::milliseconds(10);
    StartSims(4, options);
    const Bytes image = RandomBytes(60 * 128, 12);
    auto run = Station({"--mode", "2", "--image", WriteImage(image), "--delay", "4"});
    ASSERT_TRUE(run->WaitFor([&] { return run->CountAll(StationState::kWaiting) == 4; }, 15s))
        << run->Dump();
    for (int i = 0; i < 4; ++i)
        Sim(i).Announce();
    ASSERT_TRUE(run->WaitFor([&] { return run->Percent(m_ports[2]) >= 10; }, 20s)) << run->Dump();
    m_sims[2]->DropLink();
    ASSERT_TRUE(run->WaitFor(
        [&] {
            return run->CountAll(StationState::kPassed) == 3 &&
                   run->Count(m_ports[2], StationState::kFailed) == 1;
        },
        40s))
        << run->Dump();
    run->Signal(SIGINT);
    EXPECT_EQ(run->Finish(15s).exitCode, 0);
    for (int i : {0, 1, 3})
        EXPECT_TRUE(Intact(i, image)) << i;
    EXPECT_FALSE(Intact(2, image));
    EXPECT_EQ(run->Outcomes(m_ports[2])[0].message, "the port is gone") << run->Dump();
    const QList<OperationRecord> records = StoredRecords();
    ASSERT_EQ(records.size(), 4);
    for (const OperationRecord& rec : records) {
        EXPECT_EQ(rec.outcome,
                  rec.port == m_ports[2] ? RecordOutcome::kFailed : RecordOutcome::kSuccess);
    }
}

// The pid of the station's worker for `port`, from the process table.
pid_t WorkerPid(qint64 station, const QString& port) {
    const QDir proc("/proc");
    for (const QString& entry : proc.entryList(QDir::Dirs)) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (!ok)
            continue;
        const QByteArray stat = ReadFile(proc.filePath(entry + "/stat"));
        const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
        if (fields.size() < 2 || fields[1].toLongLong() != station)
            continue;
        const QList<QByteArray> cmdline = ReadFile(proc.filePath(entry + "/cmdline")).split('\0');
        const int at = static_cast<int>(cmdline.indexOf("--port"));
        if (at >= 0 && at + 1 < cmdline.size() && QString::fromUtf8(cmdline[at + 1]) == port)
            return pid;
    }
    return 0;
}

// A worker killed mid-transfer: the supervisor writes the failed record, starts another worker,
// and the next controller on that port is programmed.
TEST_F(StationTest, AKilledWorkerLeavesARecordAndIsReplaced) {
    sim::SimOptions options;
    options.controller.faults.transfer.slowFlash = std::chrono::milliseconds(10);
    StartSims(2, options);
    const Bytes image = RandomBytes(60 * 128, 13);
    auto run = Station({"--mode", "2", "--image", WriteImage(image), "--delay", "4"});
    ASSERT_TRUE(run->WaitFor([&] { return run->CountAll(StationState::kWaiting) == 2; }, 15s))
        << run->Dump();
    Sim(0).Announce();
    ASSERT_TRUE(run->WaitFor([&] { return run->Percent(m_ports[0]) >= 10; }, 20s)) << run->Dump();
    const pid_t worker = WorkerPid(run->Process().processId(), m_ports[0]);
    ASSERT_NE(worker, 0);
    ::kill(worker, SIGKILL);
    ASSERT_TRUE(run->WaitFor([&] { return run->Count(m_ports[0], StationState::kWaiting) == 2; },
                             20s))
        << run->Dump();
    const auto outcomes = run->Outcomes(m_ports[0]);
    ASSERT_EQ(outcomes.size(), 1u) << run->Dump();
    EXPECT_EQ(outcomes[0].state, StationState::kFailed);
    EXPECT_EQ(outcomes[0].message, "worker ended");
    EXPECT_EQ(run->Count(m_ports[0], StationState::kRestarting), 1);
    EXPECT_EQ(run->Count(m_ports[1], StationState::kRestarting), 0);

    Sim(0).Announce();
    ASSERT_TRUE(run->WaitFor([&] { return run->Count(m_ports[0], StationState::kPassed) == 1; },
                             30s))
        << run->Dump();
    EXPECT_TRUE(Intact(0, image));
    run->Signal(SIGINT);
    EXPECT_EQ(run->Finish(15s).exitCode, 0);
    const QList<OperationRecord> records = StoredRecords();
    ASSERT_EQ(records.size(), 2) << run->Dump();
    EXPECT_EQ(records[0].outcome, RecordOutcome::kFailed);
    EXPECT_EQ(records[0].reason, "worker ended");
    EXPECT_EQ(records[0].port, m_ports[0]);
    EXPECT_EQ(records[0].imageSha256.size(), 64);
    EXPECT_EQ(records[1].outcome, RecordOutcome::kSuccess);
}

// Random transfer faults on four ports, many controllers each: on every port a record says
// success exactly when that controller holds the whole image. The seed is printed for replay.
TEST_F(StationTest, UnderRandomFaultsEveryRecordIsTheTruth) {
    const char* fixed = std::getenv("TARVIK_FAULT_SEED");
    const std::uint32_t seed =
        fixed != nullptr ? static_cast<std::uint32_t>(std::atoll(fixed)) : std::random_device{}();
    std::printf("fault seed %u (TARVIK_FAULT_SEED=%u replays it)\n", seed, seed);
    std::mt19937 random(seed);
    constexpr int kPorts = 4;
    constexpr int kPerPort = 13;  // 52 controllers
    StartSims(kPorts);
    const Bytes image = RandomBytes(1500, seed);
    const int blocks = static_cast<int>((image.size() + 1023) / 1024) + 1;
    auto run = Station({"--mode", "2", "--image", WriteImage(image), "--delay", "3", "--fast"});

    const auto randomFaults = [&] {
        sim::SimFaults faults;
        sim::YmodemFaults& f = faults.transfer;
        switch (std::uniform_int_distribution<int>(0, 4)(random)) {
            case 0:
                break;
            case 1:
                f.nakBlock = std::uniform_int_distribution<int>(0, blocks + 1)(random);
                break;
            case 2:
                f.canAtBlock = std::uniform_int_distribution<int>(1, blocks)(random);
                break;
            case 3:
                f.cFloodCount = std::uniform_int_distribution<int>(1, 8)(random);
                break;
            case 4:
                f.slowFlash =
                    std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 100)(random));
                break;
        }
        return faults;
    };
    std::vector<int> started(kPorts, 0);
    std::vector<int> ready(kPorts, 0);  // "waiting" events taken so far
    std::vector<std::uint64_t> imagesBefore(kPorts, 0);
    std::vector<std::vector<bool>> truth(kPorts);
    QElapsedTimer clock;
    clock.start();
    bool allDone = false;
    while (!allDone && clock.elapsed() < 240000) {
        run->Read();
        allDone = true;
        for (int i = 0; i < kPorts; ++i) {
            const auto u = static_cast<std::size_t>(i);
            // Each "waiting" follows the end of the last controller (and its hold-off): did
            // that controller get the whole image? Then the next one comes.
            if (run->Count(m_ports[i], StationState::kWaiting) > ready[u]) {
                ++ready[u];
                if (started[u] > 0) {
                    const bool received = Sim(i).Counters().imagesReceived > imagesBefore[u];
                    truth[u].push_back(received && Intact(i, image));
                }
                if (started[u] < kPerPort) {
                    Sim(i).SetFaults(randomFaults());
                    imagesBefore[u] = Sim(i).Counters().imagesReceived;
                    ++started[u];
                    Sim(i).Announce();
                }
            }
            allDone = allDone && truth[u].size() == static_cast<std::size_t>(kPerPort);
        }
        ASSERT_EQ(run->Process().state(), QProcess::Running) << run->Dump();
    }
    ASSERT_TRUE(allDone) << "seed " << seed << "\n" << run->Dump();
    run->Signal(SIGINT);
    EXPECT_EQ(run->Finish(15s).exitCode, 0);

    std::map<QString, std::vector<bool>> recorded;
    for (const OperationRecord& rec : StoredRecords())
        recorded[rec.port].push_back(rec.outcome == RecordOutcome::kSuccess);
    int complete = 0;
    for (int i = 0; i < kPorts; ++i) {
        const auto u = static_cast<std::size_t>(i);
        const auto outcomes = run->Outcomes(m_ports[i]);
        ASSERT_EQ(recorded[m_ports[i]].size(), static_cast<std::size_t>(kPerPort));
        for (int n = 0; n < kPerPort; ++n) {
            const auto k = static_cast<std::size_t>(n);
            EXPECT_EQ(recorded[m_ports[i]][k], truth[u][k])
                << "seed " << seed << " port " << i << " controller " << n + 1;
            EXPECT_EQ(outcomes[k].state == StationState::kPassed, truth[u][k]);
            complete += truth[u][k] ? 1 : 0;
        }
    }
    std::printf("%d of %d transfers complete\n", complete, kPorts * kPerPort);
}

// ---- input refused before any worker starts ----

struct BadInputCase {
    const char* name;
    QStringList arguments;  // after "station"; IMAGE, EMPTY, HUGE, MISSING are files made here
    int exitCode;
};

class StationBadInputTest : public StationTest, public testing::WithParamInterface<BadInputCase> {};

TEST_P(StationBadInputTest, RefusedBeforeAnyWorker) {
    const BadInputCase& c = GetParam();
    ASSERT_TRUE(WriteFile(m_cli.FilePath("image.bin"), QByteArray(100, 'x')));
    ASSERT_TRUE(WriteFile(m_cli.FilePath("empty.bin"), QByteArray()));
    ASSERT_TRUE(WriteFile(m_cli.FilePath("huge.bin"), QByteArray(512001, 'x')));
    ASSERT_TRUE(WriteFile(m_cli.FilePath("bad.txt"), QByteArray("1\r\n2\r\n")));
    QStringList arguments{"station", "--lang", "en", "--events", "jsonl"};
    for (QString a : c.arguments) {
        a.replace("IMAGE", m_cli.FilePath("image.bin"));
        a.replace("EMPTY", m_cli.FilePath("empty.bin"));
        a.replace("HUGE", m_cli.FilePath("huge.bin"));
        a.replace("MISSING", m_cli.FilePath("missing.bin"));
        a.replace("BADPARAMS", m_cli.FilePath("bad.txt"));
        arguments << a;
    }
    const CliResult r = m_cli.Run(arguments);
    EXPECT_EQ(r.exitCode, c.exitCode) << Describe(r);
    EXPECT_TRUE(r.out.isEmpty()) << Describe(r);
    EXPECT_FALSE(r.err.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StationBadInputTest,
    testing::Values(
        BadInputCase{"NoMode", {"--ports", "a"}, 2},
        BadInputCase{"UnknownMode", {"--ports", "a", "--mode", "4"}, 2},
        BadInputCase{"ModeTwoWithoutImage", {"--ports", "a", "--mode", "2"}, 2},
        BadInputCase{"ModeOneWithoutParams", {"--ports", "a", "--mode", "1"}, 2},
        BadInputCase{"MissingImage", {"--ports", "a", "--mode", "2", "--image", "MISSING"}, 3},
        BadInputCase{"EmptyImage", {"--ports", "a", "--mode", "2", "--image", "EMPTY"}, 3},
        BadInputCase{"OversizedImage", {"--ports", "a", "--mode", "2", "--image", "HUGE"}, 3},
        BadInputCase{
            "BadParameterFile", {"--ports", "a", "--mode", "1", "--params", "BADPARAMS"}, 3},
        BadInputCase{
            "BadReference", {"--ports", "a", "--mode", "3", "--reference", "BADPARAMS"}, 3},
        BadInputCase{"UnknownPortOption", {"--port", "a", "--mode", "2", "--image", "IMAGE"}, 2},
        BadInputCase{"PortNamedTwice", {"--ports", "a,b,a", "--mode", "2", "--image", "IMAGE"}, 2},
        BadInputCase{"EmptyPortName", {"--ports", "a,,b", "--mode", "2", "--image", "IMAGE"}, 2},
        BadInputCase{
            "BadDelay", {"--ports", "a", "--mode", "2", "--image", "IMAGE", "--delay", "x"}, 2},
        BadInputCase{
            "StrayArgument", {"--ports", "a", "--mode", "2", "--image", "IMAGE", "COM9"}, 2},
        BadInputCase{"EventsNotJsonl",
                     {"--ports", "a", "--mode", "2", "--image", "IMAGE", "--events", "xml"},
                     2}),
    [](const auto& info) { return std::string(info.param.name); });

// A named port that does not exist shows so on its row and is retried; the other port runs.
TEST_F(StationTest, AMissingPortIsShownAndRetriedWhileTheOthersRun) {
    StartSims(1);
    const Bytes image = RandomBytes(1000, 14);
    m_ports << m_cli.FilePath("no-such-port");
    auto run = Station({"--mode", "2", "--image", WriteImage(image), "--delay", "4"});
    ASSERT_TRUE(run->WaitFor([&] { return run->Count(m_ports[1], StationState::kPortError) >= 2; },
                             20s))
        << run->Dump();
    ASSERT_TRUE(run->WaitFor([&] { return run->Count(m_ports[0], StationState::kWaiting) == 1; }, 10s));
    Sim(0).Announce();
    ASSERT_TRUE(run->WaitFor([&] { return run->Count(m_ports[0], StationState::kPassed) == 1; }, 20s))
        << run->Dump();
    run->Signal(SIGINT);
    EXPECT_EQ(run->Finish(15s).exitCode, 0);
    EXPECT_TRUE(Intact(0, image));
}

// Two stations on one machine never drive the same port: the second one's row says it is busy.
TEST_F(StationTest, ASecondStationFindsThePortInUse) {
    StartSims(1);
    const QString image = WriteImage(RandomBytes(1000, 15));
    auto first = Station({"--mode", "2", "--image", image});
    ASSERT_TRUE(first->WaitFor([&] { return first->CountAll(StationState::kWaiting) == 1; }, 15s));
    auto second = Station({"--mode", "2", "--image", image});
    ASSERT_TRUE(second->WaitFor([&] { return second->CountAll(StationState::kPortError) >= 1; }, 15s))
        << second->Dump();
    EXPECT_EQ(second->CountAll(StationState::kWaiting), 0);
    second->Signal(SIGINT);
    first->Signal(SIGINT);
    EXPECT_EQ(second->Finish(15s).exitCode, 0);
    EXPECT_EQ(first->Finish(15s).exitCode, 0);
}

// --ports auto: cables that come and go start and end their workers.
TEST_F(StationTest, AutomaticPortsFollowThePortList) {
    StartSims(2);
    const QString list = m_cli.FilePath("ports.txt");
    ASSERT_TRUE(WriteFile(list, m_ports[0].toUtf8() + "\n"));
    QStringList arguments{"station", "--events", "jsonl", "--lang", "en", "--records", Records(),
                          "--mode", "3", "--port-list", list};
    EventReader run(m_cli.Start(arguments));
    ASSERT_TRUE(run.WaitFor([&] { return run.Count(m_ports[0], StationState::kWaiting) == 1; }, 15s))
        << run.Dump();
    ASSERT_TRUE(WriteFile(list, m_ports[0].toUtf8() + "\n" + m_ports[1].toUtf8() + "\n"));
    ASSERT_TRUE(run.WaitFor([&] { return run.Count(m_ports[1], StationState::kWaiting) == 1; }, 15s))
        << run.Dump();
    ASSERT_TRUE(WriteFile(list, m_ports[1].toUtf8() + "\n"));
    ASSERT_TRUE(run.WaitFor([&] { return run.Count(m_ports[0], StationState::kStopped) == 1; }, 15s))
        << run.Dump();
    Sim(1).Announce();
    ASSERT_TRUE(run.WaitFor([&] { return run.Count(m_ports[1], StationState::kPassed) == 1; }, 15s))
        << run.Dump();
    EXPECT_EQ(Sim(0).Counters().parameterReads, 0u);
    run.Signal(SIGINT);
    EXPECT_EQ(run.Finish(15s).exitCode, 0);
}

}  // namespace
