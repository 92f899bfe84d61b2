// The supervisor against a scripted fake worker: a worker that dies mid-operation leaves a
// failed record and is restarted; one that ends between controllers is restarted without one;
// stop ends every worker and then the supervisor; --count stops it; automatic ports follow the
// port list.

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "link/fake_port_source.h"
#include "records/sqlite_record_store.h"
#include "station/station_supervisor.h"

namespace {

class SupervisorTest : public testing::Test {
protected:
    SupervisorTest() {
        m_options.program = STATION_FAKE_WORKER_EXE;
        m_options.workerArguments = {"--script", m_dir.filePath("script")};
        m_options.restartPauseMs = 50;
        m_options.stopTimeoutMs = 3000;
        m_options.portPollMs = 50;
        m_options.records = m_dir.filePath("records.sqlite");
        m_options.station = "line-2";
        m_options.imageName = "fw.bin";
        m_options.imageSize = 1234;
        m_options.imageSha256 = QString(64, 'a');
    }
    void Script(const QByteArray& text) {
        QFile file(m_dir.filePath("script"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    std::unique_ptr<StationSupervisor> Make() {
        auto supervisor = std::make_unique<StationSupervisor>(m_options);
        QObject::connect(supervisor.get(), &StationSupervisor::eventReceived,
                         [this](const StationEvent& e) { m_events.push_back(e); });
        return supervisor;
    }
    // A supervisor serving these named ports, started.
    std::unique_ptr<StationSupervisor> Started(const QStringList& ports) {
        auto supervisor = Make();
        supervisor->SetPorts(ports);
        supervisor->Start();
        return supervisor;
    }
    int Count(const QString& port, StationState state) const {
        int n = 0;
        for (const StationEvent& e : m_events)
            n += e.type == StationEvent::Type::kState && e.port == port && e.state == state;
        return n;
    }
    QList<OperationRecord> Records() {
        SqliteRecordStore store(m_dir.filePath("records.sqlite"));
        return store.Query({}).value_or(QList<OperationRecord>());
    }
    static bool StopAndWait(StationSupervisor& supervisor) {
        QSignalSpy finished(&supervisor, &StationSupervisor::finished);
        supervisor.Stop();
        return finished.count() > 0 || finished.wait(10000);
    }

    QTemporaryDir m_dir;
    StationOptions m_options;
    std::vector<StationEvent> m_events;
};

TEST_F(SupervisorTest, AWorkerThatDiesMidOperationLeavesAFailedRecordAndIsRestarted) {
    Script("A 1 state waiting\n"
           "A 1 state boot-entry download\n"
           "A 1 progress 30\n"
           "A 1 abort\n"
           "A 2 state waiting\n"
           "A 2 stdin\n"
           "B 1 state waiting\n"
           "B 1 stdin\n");
    auto supervisor = Make();
    QSignalSpy counts(supervisor.get(), &StationSupervisor::countsChanged);
    supervisor->SetPorts({"A", "B"});
    supervisor->Start();
    QTRY_COMPARE_WITH_TIMEOUT(Count("A", StationState::kWaiting), 2, 10000);
    EXPECT_EQ(Count("A", StationState::kFailed), 1);
    EXPECT_EQ(Count("A", StationState::kRestarting), 1);
    EXPECT_EQ(Count("B", StationState::kRestarting), 0);
    EXPECT_EQ(supervisor->Status("A").failed, 1);
    EXPECT_EQ(supervisor->Status("A").restarts, 1);
    EXPECT_EQ(supervisor->Status("A").message, "worker ended");
    ASSERT_EQ(counts.count(), 1);
    EXPECT_EQ(counts[0][0].toString(), "A");
    ASSERT_TRUE(StopAndWait(*supervisor));
    supervisor.reset();

    const QList<OperationRecord> records = Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].outcome, RecordOutcome::kFailed);
    EXPECT_EQ(records[0].reason, "worker ended");
    EXPECT_EQ(records[0].operation, RecordOperation::kDownload);
    EXPECT_EQ(records[0].port, "A");
    EXPECT_EQ(records[0].station, "line-2");
    EXPECT_EQ(records[0].imageName, "fw.bin");
    EXPECT_EQ(records[0].imageSize, 1234);
}

// A worker that stored its record and died before saying so: the record the supervisor writes
// for it is the same record (its uuid came with the operation's first event), so the store keeps
// the worker's own and never two for one controller.
TEST_F(SupervisorTest, AWorkerThatDiesAfterStoringItsRecordKeepsThatRecordOnly) {
    OperationRecord stored =
        OperationRecord::Begin(RecordOperation::kDownload, CommandLineSource("auto"));
    stored.station = "line-2";
    stored.port = "A";
    stored.Finish(RecordOutcome::kSuccess, "download complete: 1234 bytes");
    {
        SqliteRecordStore store(m_dir.filePath("records.sqlite"));
        ASSERT_TRUE(store.Insert({stored})) << store.Error().toStdString();
    }
    Script("A 1 state downloading download " + stored.uuid.toString(QUuid::WithoutBraces).toUtf8() +
           "\n"
           "A 1 abort\n"
           "A 2 state waiting\n"
           "A 2 stdin\n");
    auto supervisor = Started({"A"});
    QTRY_COMPARE_WITH_TIMEOUT(Count("A", StationState::kWaiting), 1, 10000);
    ASSERT_TRUE(StopAndWait(*supervisor));
    supervisor.reset();
    const QList<OperationRecord> records = Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].uuid, stored.uuid);
    EXPECT_EQ(records[0].outcome, RecordOutcome::kSuccess);
}

// Between controllers there is no operation to record: a restart, and nothing else.
TEST_F(SupervisorTest, AWorkerThatEndsBetweenControllersLeavesNoRecord) {
    Script("A 1 state waiting\n"
           "A 1 state writing write\n"
           "A 1 state passed write\n"
           "A 1 exit 1\n"
           "A 2 state waiting\n"
           "A 2 stdin\n");
    auto supervisor = Started({"A"});
    QTRY_COMPARE_WITH_TIMEOUT(Count("A", StationState::kWaiting), 2, 10000);
    EXPECT_EQ(Count("A", StationState::kFailed), 0);
    EXPECT_EQ(supervisor->Status("A").passed, 1);
    ASSERT_TRUE(StopAndWait(*supervisor));
    supervisor.reset();
    EXPECT_TRUE(Records().isEmpty());
}

// Stop: every worker is told (its input closed), ends its operation itself, and the
// supervisor finishes once all have ended; nothing is restarted.
TEST_F(SupervisorTest, StopEndsEveryWorkerThenTheSupervisor) {
    Script("A 1 state waiting\n"
           "A 1 state downloading download\n"
           "A 1 stdin\n"
           "A 1 state cancelled download\n"
           "B 1 state waiting\n"
           "B 1 garbage\n"
           "B 1 stdin\n");
    auto supervisor = Started({"A", "B"});
    QTRY_VERIFY_WITH_TIMEOUT(Count("A", StationState::kDownloading) == 1 &&
                                 Count("B", StationState::kWaiting) == 1,
                             10000);
    ASSERT_TRUE(StopAndWait(*supervisor));
    EXPECT_EQ(Count("A", StationState::kCancelled), 1);
    EXPECT_EQ(Count("A", StationState::kStopped), 1);
    EXPECT_EQ(Count("B", StationState::kStopped), 1);
    EXPECT_EQ(Count("A", StationState::kRestarting) + Count("B", StationState::kRestarting), 0);
    EXPECT_EQ(supervisor->Status("A").cancelled, 1);
    supervisor.reset();
    // The worker recorded its own cancelled operation; the supervisor adds nothing.
    EXPECT_TRUE(Records().isEmpty());
}

// A worker that does not end when told is killed after the bound, and its operation recorded.
TEST_F(SupervisorTest, AWorkerThatIgnoresStopIsKilledAndRecorded) {
    m_options.stopTimeoutMs = 300;
    Script("A 1 state reading read\n"
           "A 1 hang\n");
    auto supervisor = Started({"A"});
    QTRY_COMPARE_WITH_TIMEOUT(Count("A", StationState::kReading), 1, 10000);
    ASSERT_TRUE(StopAndWait(*supervisor));
    EXPECT_EQ(Count("A", StationState::kFailed), 1);
    supervisor.reset();
    const QList<OperationRecord> records = Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].operation, RecordOperation::kRead);
    EXPECT_EQ(records[0].reason, "worker ended");
}

// Destroyed without a Stop (its window went with the program): the workers are asked to stop as
// Stop asks them. One that ends records its own cancelled operation, so the supervisor adds
// nothing for it; one that does not end in time is killed and recorded.
TEST_F(SupervisorTest, DestroyedWithoutStopEndsTheWorkersAsAStopWould) {
    m_options.stopTimeoutMs = 500;
    Script(
        "A 1 state downloading download\n"
        "A 1 stdin\n"
        "B 1 state writing write\n"
        "B 1 hang\n");
    auto supervisor = Started({"A", "B"});
    QTRY_VERIFY_WITH_TIMEOUT(
        Count("A", StationState::kDownloading) == 1 && Count("B", StationState::kWriting) == 1,
        10000);
    supervisor.reset();
    const QList<OperationRecord> records = Records();
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].port, "B");
    EXPECT_EQ(records[0].operation, RecordOperation::kWrite);
    EXPECT_EQ(records[0].reason, "worker ended");
}

// A worker that refuses to run says why on its error output; the restart shows that reason.
TEST_F(SupervisorTest, ARestartSaysWhyTheWorkerEnded) {
    Script(
        "A 1 say cannot read fw.bin: No such file or directory\n"
        "A 1 exit 3\n"
        "A 2 state waiting\n"
        "A 2 stdin\n");
    auto supervisor = Started({"A"});
    QTRY_COMPARE_WITH_TIMEOUT(Count("A", StationState::kWaiting), 1, 10000);
    QString said;
    for (const StationEvent& e : m_events) {
        if (e.type == StationEvent::Type::kState && e.state == StationState::kRestarting)
            said = e.message;
    }
    EXPECT_EQ(said, "cannot read fw.bin: No such file or directory");
    ASSERT_TRUE(StopAndWait(*supervisor));
}

TEST_F(SupervisorTest, CountStopsTheStation) {
    m_options.count = 3;
    Script("A 1 state passed download\n"
           "A 1 state failed download\n"
           "A 1 stdin\n"
           "B 1 state passed download\n"
           "B 1 stdin\n");
    auto supervisor = Make();
    QSignalSpy finished(supervisor.get(), &StationSupervisor::finished);
    supervisor->SetPorts({"A", "B"});
    supervisor->Start();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(supervisor->Passed(), 2);
    EXPECT_EQ(supervisor->Failed(), 1);
}

// Automatic ports: only the cable's ports of the list, started as they appear and ended as they
// go.
TEST_F(SupervisorTest, AutomaticPortsFollowTheList) {
    Script("");
    link_test::FakePortSource ports;
    ports.m_ports = QStringList{"ttyS0", "ttyUSB0"};
    auto supervisor = Make();
    QSignalSpy added(supervisor.get(), &StationSupervisor::portAdded);
    QSignalSpy removed(supervisor.get(), &StationSupervisor::portRemoved);
    supervisor->SetAutoPorts(ports, [](const QString& port) { return port.startsWith("ttyUSB"); });
    supervisor->Start();
    QTRY_COMPARE_WITH_TIMEOUT(added.count(), 1, 5000);
    EXPECT_EQ(supervisor->Ports(), QStringList{"ttyUSB0"});
    ports.m_ports = QStringList{"ttyS0", "ttyUSB0", "ttyUSB1"};
    QTRY_COMPARE_WITH_TIMEOUT(added.count(), 2, 5000);
    ports.m_ports = QStringList{"ttyS0", "ttyUSB1"};
    QTRY_COMPARE_WITH_TIMEOUT(removed.count(), 1, 10000);
    EXPECT_EQ(removed[0][0].toString(), "ttyUSB0");
    EXPECT_EQ(supervisor->Ports(), QStringList{"ttyUSB1"});
    // A list that cannot be read is no port gone.
    ports.m_ports = std::nullopt;
    QTest::qWait(200);
    EXPECT_EQ(supervisor->Ports(), QStringList{"ttyUSB1"});
    ASSERT_TRUE(StopAndWait(*supervisor));
}

// A cable another window holds open is left alone while it holds it, and served once it lets go.
TEST_F(SupervisorTest, AnExcludedCableIsLeftAloneUntilLetGo) {
    Script("");
    link_test::FakePortSource ports;
    ports.m_ports = QStringList{"ttyUSB0", "ttyUSB1"};
    QString held = "ttyUSB1";
    auto supervisor = Make();
    supervisor->SetAutoPorts(
        ports, [](const QString& port) { return port.startsWith("ttyUSB"); },
        [&held](const QString& port) { return port == held; });
    supervisor->Start();
    QTRY_COMPARE_WITH_TIMEOUT(supervisor->Ports(), QStringList{"ttyUSB0"}, 5000);
    QTest::qWait(200);
    EXPECT_EQ(supervisor->Ports(), QStringList{"ttyUSB0"});
    held.clear();
    QTRY_COMPARE_WITH_TIMEOUT(supervisor->Ports(), (QStringList{"ttyUSB0", "ttyUSB1"}), 5000);
    ASSERT_TRUE(StopAndWait(*supervisor));
}

}  // namespace
