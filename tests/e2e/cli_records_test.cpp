// tarvik-cli's records against the simulated controller: each command that reaches the
// controller leaves one record whose outcome is what the controller really got, with the reason
// the user was shown; a records store that cannot be used costs one line and nothing else.

#include <QCryptographicHash>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

#include <random>

#include "e2e_support.h"
#include "records/sqlite_record_store.h"
#include "sim/sim_server.h"

namespace {

using namespace e2e;

class CliRecordsTest : public testing::Test {
protected:
    QString StartSim(const sim::SimOptions& options = {}) {
        m_sim = std::make_unique<sim::SimServer>(options);
        const QString port = m_sim->Start();
        EXPECT_FALSE(port.isEmpty());
        return port;
    }
    QList<OperationRecord> Records() {
        SqliteRecordStore store(m_cli.FilePath("records.sqlite"));
        const auto records = store.Query({});
        EXPECT_TRUE(records.has_value()) << store.Error().toStdString();
        return records.value_or(QList<OperationRecord>());
    }
    // The message the command ended with: its last stderr line that is no progress.
    static QString LastMessage(const CliResult& r) {
        QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
        while (!lines.isEmpty() && lines.last().endsWith('%'))
            lines.removeLast();
        return lines.isEmpty() ? QString() : lines.last();
    }

    Cli m_cli;
    std::unique_ptr<sim::SimServer> m_sim;
};

struct FlashRecordCase {
    const char* name;
    sim::SimOptions sim;
    QStringList extra;
    int exitCode;
    bool wholeImage;
};

sim::SimOptions WithFaults(sim::YmodemFaults faults, int dropAfterMs = -1) {
    sim::SimOptions o;
    o.controller.faults.transfer = faults;
    o.dropLinkAfter = std::chrono::milliseconds(dropAfterMs);
    return o;
}
sim::YmodemFaults Nak(int block) {
    sim::YmodemFaults f;
    f.nakBlock = block;
    return f;
}
sim::YmodemFaults Can(int block) {
    sim::YmodemFaults f;
    f.canAtBlock = block;
    return f;
}
sim::YmodemFaults Slow(int ms) {
    sim::YmodemFaults f;
    f.slowFlash = std::chrono::milliseconds(ms);
    return f;
}

class CliFlashRecordTest : public CliRecordsTest,
                           public testing::WithParamInterface<FlashRecordCase> {};

TEST_P(CliFlashRecordTest, TheRecordSaysWhatTheControllerGot) {
    const FlashRecordCase& c = GetParam();
    const QString port = StartSim(c.sim);
    const Bytes image = RandomBytes(6000, 4);
    const QString path = m_cli.FilePath("fw.bin");
    ASSERT_TRUE(WriteFile(path, ToQByteArray(image)));
    QStringList args{"flash",
                     "--port",
                     port,
                     "--lang",
                     "en",
                     "--station",
                     "line-1",
                     "--unit",
                     "SN-42",
                     "--records",
                     m_cli.FilePath("records.sqlite"),
                     path};
    const CliResult r = m_cli.Run(args << c.extra, 20s);
    EXPECT_EQ(r.exitCode, c.exitCode) << Describe(r);

    const QList<OperationRecord> records = Records();
    ASSERT_EQ(records.size(), 1) << Describe(r);
    const OperationRecord& rec = records[0];
    EXPECT_EQ(rec.operation, RecordOperation::kDownload);
    EXPECT_EQ(rec.source, "cli flash");
    EXPECT_EQ(rec.outcome, c.wholeImage ? RecordOutcome::kSuccess : RecordOutcome::kFailed);
    EXPECT_EQ(rec.reason, LastMessage(r)) << Describe(r);
    EXPECT_EQ(rec.station, "line-1");
    EXPECT_EQ(rec.unitId, "SN-42");
    EXPECT_EQ(rec.port, port);
    EXPECT_EQ(rec.baud, 9600);
    EXPECT_EQ(rec.imageName, "fw.bin");
    EXPECT_EQ(rec.imageSize, 6000);
    EXPECT_EQ(rec.imageSha256,
              QCryptographicHash::hash(ToQByteArray(image), QCryptographicHash::Sha256).toHex());
    ASSERT_TRUE(rec.bytesAcknowledged.has_value());
    EXPECT_EQ(*rec.bytesAcknowledged == 6000, c.wholeImage);
    EXPECT_LE(rec.startedMs, rec.finishedMs);
    const auto received = m_sim->Controller().LastImage();
    EXPECT_EQ(received.has_value() && received->data == image, c.wholeImage);
}

INSTANTIATE_TEST_SUITE_P(
    Transfers, CliFlashRecordTest,
    testing::Values(FlashRecordCase{"Success", {}, {}, 0, true},
                    FlashRecordCase{"Nak", WithFaults(Nak(2)), {"--timeout", "2"}, 1, false},
                    FlashRecordCase{"Can", WithFaults(Can(3)), {}, 1, false},
                    FlashRecordCase{
                        "Silence", WithFaults(Slow(5000)), {"--timeout", "2"}, 1, false},
                    FlashRecordCase{"PortGone", WithFaults({}, 400), {"--timeout", "3"}, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct ParamsRecordCase {
    const char* name;
    QStringList args;  // FILE: a parameter file
    bool noWriteAck;
    RecordOperation operation;
    bool success;
    const char* reason;
    bool checkValue;
};

class CliParamsRecordTest : public CliRecordsTest,
                            public testing::WithParamInterface<ParamsRecordCase> {};

TEST_P(CliParamsRecordTest, RecordsTheOperationWithTheControllersSet) {
    const ParamsRecordCase& c = GetParam();
    sim::SimOptions options;
    options.controller.faults.noWriteAck = c.noWriteAck;
    const QString port = StartSim(options);
    const QString file = m_cli.FilePath("set.txt");
    ASSERT_TRUE(
        WriteFile(file, QByteArray::fromStdString(WindowFileOf(sim::SimParameterSet::Default()))));
    QStringList args = c.args;
    args.replaceInStrings("FILE", file);
    args << "--port" << port << "--lang"
         << "en"
         << "--records" << m_cli.FilePath("records.sqlite");
    const CliResult r = m_cli.Run(args);

    const QList<OperationRecord> records = Records();
    ASSERT_EQ(records.size(), 1) << Describe(r);
    const OperationRecord& rec = records[0];
    EXPECT_EQ(rec.operation, c.operation);
    EXPECT_EQ(rec.outcome, c.success ? RecordOutcome::kSuccess : RecordOutcome::kFailed);
    EXPECT_EQ(r.exitCode == 0, c.success) << Describe(r);
    EXPECT_EQ(rec.reason, QString::fromUtf8(c.reason)) << Describe(r);
    EXPECT_EQ(rec.source, "cli " + c.args.first());
    if (c.checkValue) {
        EXPECT_FALSE(rec.checkValue.isEmpty());
        const sim::SimParameterSet set = sim::SimParameterSet::Default();
        EXPECT_EQ(rec.softwareVersion, QString::number(set.Byte(3, 20) / 100.0f, 'g', 6));
        EXPECT_EQ(rec.hardwareVersion, QString::number(set.Byte(3, 21) / 100.0f, 'g', 6));
    }
    EXPECT_FALSE(rec.station.isEmpty());  // the host name when nothing is set
}

INSTANTIATE_TEST_SUITE_P(Commands, CliParamsRecordTest,
                         testing::Values(ParamsRecordCase{"Read",
                                                          {"read", "-o", "out.txt"},
                                                          false,
                                                          RecordOperation::kRead,
                                                          true,
                                                          "saved out.txt",
                                                          true},
                                         ParamsRecordCase{"WriteAcknowledged",
                                                          {"write", "FILE"},
                                                          false,
                                                          RecordOperation::kWrite,
                                                          true,
                                                          "Write to successful",
                                                          true},
                                         ParamsRecordCase{"WriteNotAcknowledged",
                                                          {"write", "FILE"},
                                                          true,
                                                          RecordOperation::kWrite,
                                                          false,
                                                          "Write failed",
                                                          true},
                                         ParamsRecordCase{"FactoryRestore",
                                                          {"factory-restore", "--yes"},
                                                          false,
                                                          RecordOperation::kFactoryRestore,
                                                          true,
                                                          "sent RSFSE, not acknowledged",
                                                          false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Random transfer faults, each run a fresh controller: every record's outcome is whether the
// controller holds the whole image. The seed is printed so that a failure can be replayed.
TEST_F(CliRecordsTest, UnderRandomFaultsEveryOutcomeIsTheTruth) {
    const char* fixed = std::getenv("TARVIK_FAULT_SEED");
    const std::uint32_t seed =
        fixed != nullptr ? static_cast<std::uint32_t>(std::atoll(fixed)) : std::random_device{}();
    std::printf("fault seed %u (TARVIK_FAULT_SEED=%u replays it)\n", seed, seed);
    std::mt19937 random(seed);
    constexpr int kRuns = 50;
    // Five controllers at a time: a transfer mostly waits for the boot loader.
    constexpr int kParallel = 5;
    int successes = 0;
    for (int first = 0; first < kRuns; first += kParallel) {
        struct Run {
            std::unique_ptr<sim::SimServer> sim;
            Bytes image;
            QString records;
            std::unique_ptr<QProcess> process;
        };
        std::vector<Run> runs(kParallel);
        for (int i = 0; i < kParallel; ++i) {
            const int run = first + i;
            sim::SimOptions options;
            sim::YmodemFaults& f = options.controller.faults.transfer;
            const std::size_t size = std::uniform_int_distribution<std::size_t>(1, 2600)(random);
            const int blocks = static_cast<int>((size + 1023) / 1024) + 1;
            switch (std::uniform_int_distribution<int>(0, 5)(random)) {
                case 0:
                    break;
                case 1:
                    f.nakBlock = std::uniform_int_distribution<int>(1, blocks)(random);
                    break;
                case 2:
                    f.canAtBlock = std::uniform_int_distribution<int>(1, blocks)(random);
                    break;
                case 3:
                    f.cFloodCount = std::uniform_int_distribution<int>(1, 8)(random);
                    break;
                case 4:
                    options.dropLinkAfter = std::chrono::milliseconds(
                        std::uniform_int_distribution<int>(200, 1500)(random));
                    break;
                case 5:
                    f.slowFlash = std::chrono::milliseconds(
                        std::uniform_int_distribution<int>(0, 400)(random));
                    break;
            }
            Run& r = runs[static_cast<std::size_t>(i)];
            r.sim = std::make_unique<sim::SimServer>(options);
            const QString port = r.sim->Start();
            ASSERT_FALSE(port.isEmpty());
            r.image = RandomBytes(size, seed + static_cast<std::uint32_t>(run));
            const QString path = m_cli.FilePath(QString("fw-%1.bin").arg(i));
            ASSERT_TRUE(WriteFile(path, ToQByteArray(r.image)));
            r.records = m_cli.FilePath(QString("records-%1.sqlite").arg(run));
            r.process = m_cli.Start({"flash", "--port", port, "--lang", "en", "--fast", "--timeout",
                                     "3", "--records", r.records, path});
        }
        for (int i = 0; i < kParallel; ++i) {
            Run& r = runs[static_cast<std::size_t>(i)];
            const CliResult result = Cli::Finish(*r.process, 20s);
            const auto received = r.sim->Controller().LastImage();
            const bool intact = received.has_value() && received->data == r.image;
            successes += intact ? 1 : 0;
            SqliteRecordStore store(r.records);
            const auto records = store.Query({});
            ASSERT_TRUE(records.has_value() && records->size() == 1) << Describe(result);
            const bool success = records->first().outcome == RecordOutcome::kSuccess;
            // Never a success the controller did not get. The one failure it may have got: the
            // tool gave up (and said so) while the last acknowledgements were on their way.
            const bool gaveUpAtTheEnd = result.err.contains("did not finish within");
            EXPECT_TRUE(success == intact || (intact && gaveUpAtTheEnd))
                << "seed " << seed << " run " << first + i << ": " << Describe(result);
            EXPECT_EQ(records->first().outcome == RecordOutcome::kSuccess, result.exitCode == 0);
        }
    }
    std::printf("%d of %d transfers complete\n", successes, kRuns);
}

// A records store that cannot be used: one line says so, and the command runs and ends as it
// would without records.
struct BadStoreCase {
    const char* name;
    const char* records;  // DIR: a folder; CORRUPT: a file that is no database
    const char* mentioned;
};

class CliBadStoreTest : public CliRecordsTest, public testing::WithParamInterface<BadStoreCase> {};

TEST_P(CliBadStoreTest, OneLineAndTheCommandStillRuns) {
    const BadStoreCase& c = GetParam();
    const QString port = StartSim();
    QString records = QString::fromUtf8(c.records);
    QByteArray corrupt(4096, 'z');
    if (records == "DIR") {
        records = m_cli.FilePath("folder.sqlite");
        QDir().mkpath(records);
    } else if (records == "CORRUPT") {
        records = m_cli.FilePath("corrupt.sqlite");
        ASSERT_TRUE(WriteFile(records, corrupt));
    } else if (records == "FOREIGN") {
        records = m_cli.FilePath("other.sqlite");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "foreign");
            db.setDatabaseName(records);
            ASSERT_TRUE(db.open());
            QSqlQuery(db).exec("CREATE TABLE inventory (part TEXT, count INTEGER)");
            QSqlQuery(db).exec("INSERT INTO inventory VALUES ('M5 screw', 400)");
            db.close();
        }
        QSqlDatabase::removeDatabase("foreign");
        corrupt = ReadFile(records);
    }
    const CliResult r = m_cli.Run({"reset", "--port", port, "--lang", "en", "--records", records});

    EXPECT_EQ(r.exitCode, 0) << Describe(r);
    const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(lines.filter("records:").size(), 1) << Describe(r);
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.mentioned))) << Describe(r);
    EXPECT_TRUE(r.err.contains("sent RESET")) << Describe(r);
    EXPECT_TRUE(m_sim->Controller().WaitFor(
        [&] { return m_sim->Controller().CommandCount("RESET") == 1; }, 2s));
    EXPECT_FALSE(r.err.contains("s3cret")) << Describe(r);
    if (QString::fromUtf8(c.records) == "CORRUPT" || QString::fromUtf8(c.records) == "FOREIGN") {
        EXPECT_EQ(ReadFile(records), corrupt);
    }
    // No file made of a URL in the working folder.
    EXPECT_TRUE(QDir(m_cli.Dir()).entryList({"postgres*"}, QDir::AllEntries).isEmpty())
        << Describe(r);
}

INSTANTIATE_TEST_SUITE_P(
    Stores, CliBadStoreTest,
    testing::Values(
        BadStoreCase{"Folder", "DIR", "cannot open"},
        BadStoreCase{"CorruptFile", "CORRUPT", "not a database"},
        BadStoreCase{"MalformedUrl", "postgresql://db:port/records", "not a valid"},
        BadStoreCase{"PasswordInUrl", "postgresql://line:pw@db/records", "password"},
        BadStoreCase{"NoServer", "postgresql://line@/records?host=/nonexistent", "server"},
        // A password smuggled into a parameter's name never reaches the server, and
        // the URL's values are not echoed.
        BadStoreCase{"SmuggledPassword",
                     "postgresql://user@/db?host=/nonexistent&application_name%3Dx"
                     "%20password=s3cret",
                     "password"},
        // A mistyped URL is refused, not made into a file of that name.
        BadStoreCase{"SchemeTypo", "postgresql:/line@dbhost/records", "postgresql://"},
        BadStoreCase{"SchemeWithoutColon", "postgresql//line@dbhost/records", "postgresql://"},
        // Another program's database is refused and left byte for byte.
        BadStoreCase{"ForeignDatabase", "FOREIGN", "another program's database"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliRecordsTest, ListsAndCountsWhatWasRecorded) {
    const QString port = StartSim();
    const QString records = m_cli.FilePath("records.sqlite");
    for (const char* station : {"a", "b", "a"})
        m_cli.Run({"reset", "--port", port, "--station", station, "--records", records});
    // A port that cannot be opened reached no controller: no record, nothing counted.
    const CliResult refused =
        m_cli.Run({"read", "--port", "/nonexistent", "--station", "b", "--records", records});
    EXPECT_EQ(refused.exitCode, 4) << Describe(refused);
    m_cli.Run({"read", "--port", port, "--station", "b", "--records", records});

    const CliResult csv = m_cli.Run(
        {"records", "--records", records, "--since", "today", "--station", "a", "--format", "csv"});
    ASSERT_EQ(csv.exitCode, 0) << Describe(csv);
    EXPECT_EQ(csv.out.split('\n', Qt::SkipEmptyParts).size(), 3) << Describe(csv);

    const CliResult summary = m_cli.Run(
        {"records", "summary", "--by", "station", "--records", records, "--format", "csv"});
    ASSERT_EQ(summary.exitCode, 0) << Describe(summary);
    EXPECT_EQ(summary.out, "station,success,failed,cancelled,total\na,2,0,0,2\nb,2,0,0,2\n");

    const CliResult bad = m_cli.Run({"records", "--records", records, "--outcome", "maybe"});
    EXPECT_EQ(bad.exitCode, 2);
}

}  // namespace
