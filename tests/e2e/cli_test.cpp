// tarvik-cli as a production script runs it: the real executable against the simulated
// controller over a pseudo-terminal, judged by its exit code, its output and what the
// controller ended up holding.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <QEventLoop>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "sim/sim_live_model.h"
#include "sim/sim_server.h"

namespace {

using namespace e2e;

// The fixed text of a port that will not open; Chinese whatever the language.
constexpr char kOpenFailed[] = "无法打开端口或端口已打开!请检查是否已被占用.";

// A controller that differs from the factory set wherever the window takes something over or
// passes something through: calibration, field-weakening coefficient, the bytes no page shows.
sim::SimParameterSet VariedSet() {
    sim::SimParameterSet p = sim::SimParameterSet::Default();
    p.SetWord(1, 18, 5123);  // voltage calibration
    p.SetWord(1, 20, 321);   // current calibration
    p.SetByte(3, 18, 7);     // pole pairs
    p.SetWord(4, 10, 5100);  // maximum speed
    p.SetByte(4, 21, 99);    // whatever a controller reports here is never taken over
    p.SetByte(5, 21, 37);    // field-weakening coefficient
    p.SetByte(6, 21, 0x5A);
    for (int byte = 15; byte <= 21; ++byte) {
        p.SetByte(7, byte, static_cast<std::uint8_t>(byte * 11));
    }
    return p;
}

// What a controller holds after storing `set` as the tool writes it: block 4 byte 21 reads
// back as 0, the coefficient stays in block 5 byte 21.
sim::SimParameterSet AsStored(sim::SimParameterSet set) {
    set.SetByte(4, 21, 0);
    return set;
}

std::string DescribeDifference(const sim::SimParameterSet& a, const sim::SimParameterSet& b) {
    for (int block = 1; block <= 7; ++block) {
        for (int byte = 5; byte <= 21; ++byte) {
            if (a.Byte(block, byte) != b.Byte(block, byte)) {
                return "block " + std::to_string(block) + " byte " + std::to_string(byte) + ": " +
                       std::to_string(a.Byte(block, byte)) + " vs " +
                       std::to_string(b.Byte(block, byte));
            }
        }
    }
    return "equal";
}

class CliTest : public testing::Test {
protected:
    sim::SimServer& StartSim(const sim::SimOptions& options = {}) {
        m_sim = std::make_unique<sim::SimServer>(options);
        m_port = m_sim->Start();
        EXPECT_FALSE(m_port.isEmpty()) << m_sim->ErrorString().toStdString();
        return *m_sim;
    }
    sim::SimController& Controller() { return m_sim->Controller(); }

    QString WriteTemp(const QString& name, const QByteArray& bytes) {
        const QString path = m_cli.FilePath(name);
        EXPECT_TRUE(WriteFile(path, bytes)) << path.toStdString();
        return path;
    }

    // Sends "LDGET" of our own until the controller counts one (it is deaf for a moment after a
    // restart). The terminal keeps order, so whatever the tool wrote before has been received by
    // then. Returns the bytes it sent.
    std::uint64_t Barrier() {
        const int fd = open(m_port.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        EXPECT_GE(fd, 0) << m_port.toStdString();
        if (fd < 0) {
            return 0;
        }
        termios tio{};
        tcgetattr(fd, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
        Bytes frame(24, 0);
        const char letters[] = "LDGET";
        frame[0] = 0xC9;
        frame[1] = 0x14;
        frame[2] = 0x02;
        std::copy(letters, letters + 5, frame.begin() + 3);
        for (int i = 0; i < 22; ++i) {
            frame[22] ^= frame[static_cast<std::size_t>(i)];
        }
        frame[23] = 0x0D;
        const std::uint64_t reads = Controller().Counters().parameterReads;
        std::uint64_t sent = 0;
        bool counted = false;
        for (int attempt = 0; attempt < 6 && !counted; ++attempt) {
            if (write(fd, frame.data(), frame.size()) == 24) {
                sent += 24;
            }
            counted = Controller().WaitFor(
                [&] { return Controller().Counters().parameterReads > reads; }, 500ms);
        }
        close(fd);
        EXPECT_TRUE(counted) << "the controller never took our own request";
        return sent;
    }

    // The controller heard nothing from the tool, only the barrier's own requests.
    void ExpectNothingSent() {
        const std::uint64_t own = Barrier();
        EXPECT_EQ(Controller().Counters().bytesReceived, own);
    }

    // The controller's side of a failure, for the message.
    std::string SimState() {
        const sim::SimCounters c = Controller().Counters();
        std::string commands;
        for (const std::string& command : Controller().ReceivedCommands()) {
            commands += command + " ";
        }
        return "controller: received " + std::to_string(c.bytesReceived) + " bytes, sent " +
               std::to_string(c.bytesSent) + ", frames rejected " +
               std::to_string(c.framesRejected) + ", packets accepted " +
               std::to_string(c.transferPacketsAccepted) + ", rejected " +
               std::to_string(c.transferPacketsRejected) + ", boot loader entries " +
               std::to_string(c.bootLoaderEntries) + ", commands " + commands;
    }

    Cli m_cli;
    std::unique_ptr<sim::SimServer> m_sim;
    QString m_port;
};

// ---- read -------------------------------------------------------------------------------------

struct ReadCase {
    const char* name;
    bool varied;
    bool canCable;
    bool toStdout;
};

class CliReadTest : public CliTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(CliReadTest, SavesTheControllersSetAsTheWindowWould) {
    const ReadCase& c = GetParam();
    sim::SimOptions options;
    options.controller.canEcho = c.canCable;
    if (c.varied) {
        options.controller.parameters = VariedSet();
    }
    StartSim(options);
    const QString output = m_cli.FilePath("read.txt");

    QStringList args{"read", "--port", m_port, "--lang", "en"};
    if (c.canCable) {
        args << "--can";
    }
    if (!c.toStdout) {
        args << "-o" << output;
    }
    const CliResult r = m_cli.Run(args);

    ASSERT_EQ(r.exitCode, 0) << Describe(r);
    const std::string expected = WindowFileOf(Controller().Parameters());
    const std::string actual = c.toStdout ? r.out.toStdString() : ReadFile(output).toStdString();
    EXPECT_EQ(actual, expected);
    if (!c.toStdout) {
        EXPECT_TRUE(r.out.isEmpty()) << Describe(r);
    }
    EXPECT_EQ(Controller().Counters().parameterReads, 1u);
    EXPECT_EQ(Controller().Counters().framesRejected, 0u);
}

INSTANTIATE_TEST_SUITE_P(Sets, CliReadTest,
                         testing::Values(ReadCase{"FactorySetToFile", false, false, false},
                                         ReadCase{"VariedSetToFile", true, false, false},
                                         ReadCase{"VariedSetToStdout", true, false, true},
                                         ReadCase{"VariedSetOverCanCable", true, true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliTest, SilentControllerFailsAfterFourRequests) {
    sim::SimOptions options;
    options.controller.faults.noReadAnswer = true;
    StartSim(options);

    const CliResult r =
        m_cli.Run({"read", "--port", m_port, "--lang", "en", "-o", m_cli.FilePath("x.txt")});

    EXPECT_EQ(r.exitCode, 1) << Describe(r);
    EXPECT_TRUE(r.err.contains("Communication abnormal, no response")) << Describe(r);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_FALSE(QFile::exists(m_cli.FilePath("x.txt")));
    ASSERT_TRUE(
        Controller().WaitFor([&] { return Controller().Counters().parameterReads >= 4; }, 1s));
    EXPECT_EQ(Controller().Counters().parameterReads, 4u);
}

// A controller that answers "LDGET" with only some of its blocks: every command that reads it
// names how many arrived, and saves or sends nothing.
struct PartialReadCase {
    const char* name;
    int blocksSent;
    QStringList arguments;  // after the command name and --port
};

class CliPartialReadTest : public CliTest, public testing::WithParamInterface<PartialReadCase> {};

TEST_P(CliPartialReadTest, NamesHowManyBlocksArrived) {
    const PartialReadCase& c = GetParam();
    sim::SimOptions options;
    options.controller.faults.readBlocks = c.blocksSent;
    StartSim(options);
    const QString file = WriteTemp(
        "factory.txt", QByteArray::fromStdString(WindowFileOf(sim::SimParameterSet::Default())));
    QStringList args = c.arguments;
    args.replaceInStrings("FILE", file);
    args.replaceInStrings("OUT", m_cli.FilePath("out.txt"));
    args.insert(1, "--port");
    args.insert(2, m_port);
    args << "--lang"
         << "en";

    const CliResult r = m_cli.Run(args);

    EXPECT_EQ(r.exitCode, 1) << Describe(r);
    const QString expected =
        QString("the controller sent only %1 of the 7 parameter blocks").arg(c.blocksSent);
    EXPECT_TRUE(r.err.contains(expected)) << Describe(r);
    EXPECT_TRUE(r.out.isEmpty()) << Describe(r);
    EXPECT_FALSE(QFile::exists(m_cli.FilePath("out.txt")));
    EXPECT_EQ(Controller().Counters().parameterWriteFrames, 0u);
    EXPECT_EQ(Controller().Counters().parameterReads, 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliPartialReadTest,
    testing::Values(PartialReadCase{"ReadWithThreeBlocks", 3, {"read", "-o", "OUT"}},
                    PartialReadCase{"ReadWithOneBlock", 1, {"read", "-o", "OUT"}},
                    PartialReadCase{"WriteWithSixBlocks", 6, {"write", "FILE"}},
                    PartialReadCase{"CheckWithFiveBlocks", 5, {"check"}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- write ------------------------------------------------------------------------------------

class CliWriteTest : public CliTest, public testing::WithParamInterface<bool> {};

TEST_P(CliWriteTest, WriteThenVerifyLeavesTheFilesSetInTheController) {
    const bool canCable = GetParam();
    sim::SimOptions options;
    options.controller.canEcho = canCable;
    StartSim(options);
    const sim::SimParameterSet wanted = VariedSet();
    const QString file = WriteTemp("varied.txt", QByteArray::fromStdString(WindowFileOf(wanted)));

    QStringList args{"write", "--port", m_port, "--lang", "en", "--verify", file};
    if (canCable) {
        args << "--can";
    }
    const CliResult r = m_cli.Run(args);

    ASSERT_EQ(r.exitCode, 0) << Describe(r);
    EXPECT_TRUE(r.err.contains("Write to successful")) << Describe(r);
    EXPECT_TRUE(r.err.contains("verified")) << Describe(r);
    const sim::SimParameterSet held = Controller().Parameters();
    EXPECT_EQ(held, AsStored(wanted)) << DescribeDifference(held, AsStored(wanted));
    // Acknowledged in the first round; read once before and once to verify.
    EXPECT_EQ(Controller().Counters().writesStored, 1u);
    EXPECT_EQ(Controller().Counters().parameterReads, 2u);
}

INSTANTIATE_TEST_SUITE_P(Links, CliWriteTest, testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "CanCable" : "Direct");
});

TEST_F(CliTest, VerifyCatchesAControllerThatAcknowledgedButDidNotKeepAValue) {
    StartSim();
    const sim::SimParameterSet factory = sim::SimParameterSet::Default();
    const QString file = WriteTemp("factory.txt", QByteArray::fromStdString(WindowFileOf(factory)));

    auto process = m_cli.Start({"write", "--port", m_port, "--lang", "en", "--verify", file});
    // The tool waits 200 ms after the acknowledgement before it reads back.
    ASSERT_TRUE(
        Controller().WaitFor([&] { return Controller().Counters().writesStored == 1; }, 8s));
    sim::SimParameterSet forgetful = Controller().Parameters();
    forgetful.SetByte(3, 18, 5);  // pole pairs written as 4
    Controller().SetParameters(forgetful);
    const CliResult r = Cli::Finish(*process, 10s);

    EXPECT_EQ(r.exitCode, 1) << Describe(r);
    EXPECT_TRUE(r.err.contains(
        "verify failed: block 3 byte 18 (line 48) was written as 4 but reads back as 5"))
        << Describe(r);
    EXPECT_FALSE(r.err.contains("verified")) << Describe(r);
}

TEST_F(CliTest, UnacknowledgedWriteFailsAfterTwoRounds) {
    sim::SimOptions options;
    options.controller.faults.noWriteAck = true;
    StartSim(options);
    const QString file =
        WriteTemp("varied.txt", QByteArray::fromStdString(WindowFileOf(VariedSet())));

    const CliResult r = m_cli.Run({"write", "--port", m_port, "--lang", "en", file});

    EXPECT_EQ(r.exitCode, 1) << Describe(r);
    EXPECT_TRUE(r.err.contains("Write failed")) << Describe(r);
    EXPECT_EQ(Controller().Counters().parameterWriteFrames, 14u);
}

// ---- files refused before the port is touched ------------------------------------------------

struct RefusedCase {
    const char* name;
    const char* command;    // "write" or "flash"
    std::string content;    // the file; "<none>" for a path that does not exist
    const char* mentioned;  // part of the message
};

std::string Lines(int count, const std::string& line = "7") {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += line + "\r\n";
    }
    return text;
}

class CliRefusedFileTest : public CliTest, public testing::WithParamInterface<RefusedCase> {};

TEST_P(CliRefusedFileTest, ExitsWithFileErrorAndSendsNothing) {
    const RefusedCase& c = GetParam();
    StartSim();
    QString path = m_cli.FilePath("missing.bin");
    if (c.content != "<none>") {
        path = WriteTemp("input.bin", QByteArray::fromStdString(c.content));
    }

    const CliResult r = m_cli.Run({c.command, "--port", m_port, "--lang", "en", path});

    EXPECT_EQ(r.exitCode, 3) << Describe(r);
    EXPECT_TRUE(r.err.contains(c.mentioned)) << Describe(r);
    ExpectNothingSent();
}

std::string WithLine(int number, const std::string& line) {
    std::string text = Lines(number - 1) + line + "\r\n" + Lines(119 - number);
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Files, CliRefusedFileTest,
    testing::Values(RefusedCase{"OneLineShort", "write", Lines(118), "line 119"},
                    RefusedCase{"ValueAbove255", "write", WithLine(5, "300"), "line 5"},
                    RefusedCase{"NotANumber", "write", WithLine(60, "12a"), "line 60"},
                    RefusedCase{"EmptyLine", "write", WithLine(119, ""), "line 119"},
                    RefusedCase{"NegativeValue", "write", WithLine(1, "-1"), "line 1"},
                    RefusedCase{"EmptyFile", "write", "", "line 1"},
                    RefusedCase{"MissingParameterFile", "write", "<none>", "missing.bin"},
                    RefusedCase{"EmptyImage", "flash", "", "input.bin"},
                    RefusedCase{"ImageOneByteTooLarge", "flash", std::string(512'001, 'x'),
                                "512001"},
                    RefusedCase{"MissingImage", "flash", "<none>", "missing.bin"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- flash ------------------------------------------------------------------------------------

struct FlashCase {
    const char* name;
    std::size_t size;
    bool canCable;
    QStringList extra;
    const char* bootCommand;
};

class CliFlashTest : public CliTest, public testing::WithParamInterface<FlashCase> {};

TEST_P(CliFlashTest, ImageArrivesIntact) {
    const FlashCase& c = GetParam();
    sim::SimOptions options;
    options.controller.canEcho = c.canCable;
    StartSim(options);
    const Bytes image = RandomBytes(c.size, static_cast<std::uint32_t>(c.size));
    const QString path = WriteTemp("firmware.bin", ToQByteArray(image));

    QStringList args{"flash", "--port", m_port, "--lang", "en", path};
    args << c.extra;
    if (c.canCable) {
        args << "--can";
    }
    const CliResult r = m_cli.Run(args, 20s);

    ASSERT_EQ(r.exitCode, 0) << Describe(r) << SimState();
    EXPECT_TRUE(r.err.contains("100%")) << Describe(r);
    EXPECT_TRUE(r.err.contains(QString("download complete: %1 bytes").arg(c.size))) << Describe(r);
    const auto received = Controller().LastImage();
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->name, "firmware.bin");
    EXPECT_EQ(received->announcedSize, std::optional<std::uint64_t>(c.size));
    EXPECT_TRUE(received->data == image) << "received " << received->data.size() << " bytes";
    EXPECT_EQ(Controller().ReceivedCommands(), std::vector<std::string>{c.bootCommand});
}

INSTANTIATE_TEST_SUITE_P(
    Images, CliFlashTest,
    testing::Values(
        FlashCase{"Largest", 512'000, false, {}, "BLOOD"},
        FlashCase{"OverCanCable", 100'003, true, {}, "BLOOD"},
        FlashCase{"ShortTail", 1024 * 3 + 1, false, {}, "BLOOD"},
        FlashCase{"CalibrationSelectsBlotd", 2048, false, {"--voltage-calib", "32767"}, "BLOTD"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CliTest, FlashWaitsForTheAnnouncementBeforeEnteringTheBootLoader) {
    StartSim();
    const Bytes image = RandomBytes(5000, 5);
    const QString path = WriteTemp("firmware.bin", ToQByteArray(image));

    auto process = m_cli.Start(
        {"flash", "--port", m_port, "--lang", "en", "--wait-announce", "--timeout", "15", path});
    process->setReadChannel(QProcess::StandardError);
    // Power the controller up only once the tool listens.
    QByteArray err;
    while (!err.contains("waiting for the controller") && process->waitForReadyRead(5000)) {
        err += process->readAllStandardError();
    }
    if (!err.contains("waiting for the controller")) {
        process->kill();
        process->waitForFinished();
        FAIL() << "the tool never said it waits: " << err.toStdString();
    }
    EXPECT_EQ(Controller().Counters().bytesReceived, 0u);
    Controller().Announce();
    CliResult r = Cli::Finish(*process, 10s);
    r.err.prepend(QString::fromUtf8(err));

    ASSERT_EQ(r.exitCode, 0) << Describe(r) << SimState();
    const auto received = Controller().LastImage();
    ASSERT_TRUE(received.has_value());
    EXPECT_TRUE(received->data == image);
}

struct FlashFailureCase {
    const char* name;
    sim::YmodemFaults faults;
    QStringList extra;
    const char* message;
};

class CliFlashFailureTest : public CliTest, public testing::WithParamInterface<FlashFailureCase> {};

TEST_P(CliFlashFailureTest, FailedTransferIsNotReportedAsSuccess) {
    const FlashFailureCase& c = GetParam();
    sim::SimOptions options;
    options.controller.faults.transfer = c.faults;
    StartSim(options);
    const QString path = WriteTemp("firmware.bin", ToQByteArray(RandomBytes(20'000, 9)));

    QStringList args{"flash", "--port", m_port, "--lang", "en", path};
    args << c.extra;
    const CliResult r = m_cli.Run(args);

    EXPECT_EQ(r.exitCode, 1) << Describe(r);
    EXPECT_TRUE(r.err.contains(c.message)) << Describe(r);
    EXPECT_FALSE(r.err.contains("download complete")) << Describe(r);
    EXPECT_FALSE(r.err.contains("100%")) << Describe(r);
    EXPECT_FALSE(Controller().LastImage().has_value());
}

sim::YmodemFaults CancelAt(int block) {
    sim::YmodemFaults f;
    f.canAtBlock = block;
    return f;
}
sim::YmodemFaults SlowAcks(std::chrono::milliseconds delay) {
    sim::YmodemFaults f;
    f.slowFlash = delay;
    return f;
}

INSTANTIATE_TEST_SUITE_P(Faults, CliFlashFailureTest,
                         testing::Values(FlashFailureCase{"BootLoaderCancels",
                                                          CancelAt(3),
                                                          {},
                                                          "the boot loader cancelled the download"},
                                         FlashFailureCase{"StalledTransferTimesOut",
                                                          SlowAcks(5s),
                                                          {"--timeout", "2"},
                                                          "did not finish within 2 s"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- flash --fast -------------------------------------------------------------------------------

// The boot loader's answers reach the sender as they arrive, but what the sender makes of them
// must not change: each case runs once without and once with --fast against a fresh controller,
// and everything the user and the controller see must be the same.
struct FastFlashCase {
    const char* name;
    sim::SimConfig controller;
    QStringList extra;
    int exitCode;
    const char* message;
    bool imageStored;
};

void PrintTo(const FastFlashCase& c, std::ostream* out) {
    *out << c.name;
}

class CliFastFlashTest : public CliTest, public testing::WithParamInterface<FastFlashCase> {
protected:
    struct Outcome {
        CliResult result;
        std::optional<sim::ReceivedImage> image;
        std::uint64_t packetsAccepted = 0;
        std::uint64_t packetsRejected = 0;
    };

    Outcome Flash(const Bytes& image, bool fast) {
        sim::SimOptions options;
        options.controller = GetParam().controller;
        StartSim(options);
        const QString path = WriteTemp("firmware.bin", ToQByteArray(image));
        QStringList args{"flash", "--port", m_port, "--lang", "en", path};
        args << GetParam().extra;
        if (fast) {
            args << "--fast";
        }
        Outcome outcome;
        outcome.result = m_cli.Run(args, 15s);
        outcome.image = Controller().LastImage();
        const sim::SimCounters counters = Controller().Counters();
        outcome.packetsAccepted = counters.transferPacketsAccepted;
        outcome.packetsRejected = counters.transferPacketsRejected;
        return outcome;
    }
};

TEST_P(CliFastFlashTest, EndsExactlyAsWithoutIt) {
    const FastFlashCase& c = GetParam();
    const Bytes image = RandomBytes(20'000, 21);
    const Outcome plain = Flash(image, false);
    const Outcome fast = Flash(image, true);

    EXPECT_EQ(plain.result.exitCode, c.exitCode) << Describe(plain.result);
    EXPECT_TRUE(plain.result.err.contains(c.message)) << Describe(plain.result);
    EXPECT_EQ(plain.image.has_value(), c.imageStored);
    if (c.imageStored && plain.image) {
        EXPECT_TRUE(plain.image->data == image);
    }

    EXPECT_EQ(fast.result.exitCode, plain.result.exitCode) << Describe(fast.result);
    // Progress lines, message and verdict, word for word.
    EXPECT_EQ(fast.result.err, plain.result.err);
    EXPECT_EQ(fast.result.out, plain.result.out);
    EXPECT_EQ(fast.image, plain.image);
    EXPECT_EQ(fast.packetsAccepted, plain.packetsAccepted);
    EXPECT_EQ(fast.packetsRejected, plain.packetsRejected);
}

sim::SimConfig WithTransferFaults(sim::YmodemFaults faults, bool crcHighFirst = false) {
    sim::SimConfig config;
    config.faults.transfer = faults;
    config.crcHighFirst = crcHighFirst;
    return config;
}
sim::YmodemFaults NakAt(int block) {
    sim::YmodemFaults f;
    f.nakBlock = block;
    return f;
}
sim::YmodemFaults CFlood(int count) {
    sim::YmodemFaults f;
    f.cFloodCount = count;
    return f;
}
sim::YmodemFaults CancelAtBlock(int block) {
    sim::YmodemFaults f;
    f.canAtBlock = block;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CliFastFlashTest,
    testing::Values(
        FastFlashCase{"NoFault", {}, {}, 0, "download complete: 20000 bytes", true},
        // The controller's boot loader must acknowledge to go on: a NAK stalls the transfer.
        FastFlashCase{"NakStallsTheBootLoaderDialect",
                      WithTransferFaults(NakAt(3)),
                      {"--timeout", "3"},
                      1,
                      "did not finish within 3 s",
                      false},
        FastFlashCase{"NakRepeatsThePacketInStandardYmodem",
                      WithTransferFaults(NakAt(3), true),
                      {"--standard-crc"},
                      0,
                      "download complete: 20000 bytes",
                      true},
        FastFlashCase{"CanCancels",
                      WithTransferFaults(CancelAtBlock(3)),
                      {},
                      1,
                      "the boot loader cancelled the download",
                      false},
        // Six "C" arrive back to back, so without --fast they come in one chunk; one at a time
        // they must abort just the same.
        FastFlashCase{"SixCFloodAborts",
                      WithTransferFaults(CFlood(6)),
                      {},
                      1,
                      "the boot loader cancelled the download",
                      false},
        FastFlashCase{"ThreeCFloodIsTolerated",
                      WithTransferFaults(CFlood(3)),
                      {},
                      0,
                      "download complete: 20000 bytes",
                      true}),
    [](const auto& info) { return std::string(info.param.name); });

// Without --fast every packet waits for 15 ms of silence after the boot loader's answer; a fast
// download of the largest image must be done well before those waits alone would add up.
TEST_F(CliTest, FastFlashDoesNotWaitForSilenceAfterEachAnswer) {
    StartSim();
    constexpr std::size_t kLargestImage = 512'000;
    const Bytes image = RandomBytes(kLargestImage, 31);
    const QString path = WriteTemp("firmware.bin", ToQByteArray(image));
    const std::chrono::milliseconds silenceAlone(15 * (kLargestImage / 1024));

    auto process = m_cli.Start({"flash", "--port", m_port, "--lang", "en", "--fast", path});
    // Timed from the boot loader's first packet, so start-up and boot entry do not count.
    ASSERT_TRUE(Controller().WaitFor(
        [&] { return Controller().Counters().transferPacketsAccepted > 0; }, 10s))
        << SimState();
    const auto start = std::chrono::steady_clock::now();
    const bool stored =
        Controller().WaitFor([&] { return Controller().Counters().imagesReceived == 1; }, 30s);
    const auto took = std::chrono::steady_clock::now() - start;
    const CliResult r = Cli::Finish(*process, 10s);

    ASSERT_EQ(r.exitCode, 0) << Describe(r) << SimState();
    ASSERT_TRUE(stored);
    EXPECT_TRUE(Controller().LastImage()->data == image);
    EXPECT_LT(took, silenceAlone / 2)
        << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
}

// A standard YMODEM receiver (lrzsz "rb") stands in for a standard boot loader. It sits on the
// master side of a pseudo-terminal of our own, the tool opens the slave. rb speaks through
// pipes: a relay on this thread's event loop copies between them and the master. The relay
// plays the controller's application until the start-download command has passed, and only
// then starts rb, as the controller would jump into its boot loader. With --fast rb's answers
// reach the sender as they arrive; rb must not notice.
class CliStandardFlashTest : public CliTest, public testing::WithParamInterface<bool> {};

TEST_P(CliStandardFlashTest, StandardCrcFlashReachesAStandardYmodemReceiverIntact) {
    const QString rbPath = QStandardPaths::findExecutable("rb");
    if (rbPath.isEmpty()) {
        GTEST_SKIP() << "lrzsz rb is not installed";
    }
    int master = -1;
    int slave = -1;
    termios raw{};
    cfmakeraw(&raw);
    ASSERT_EQ(openpty(&master, &slave, nullptr, &raw, nullptr), 0);
    const QString slavePath = QString::fromLocal8Bit(ptsname(master));
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    QTemporaryDir rbDir;
    const Bytes image = RandomBytes(100'003, 3);
    const QString path = WriteTemp("standard.bin", ToQByteArray(image));

    const auto writeMaster = [master](const QByteArray& bytes) {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = write(master, bytes.constData() + done,
                                    static_cast<std::size_t>(bytes.size() - done));
            if (n > 0) {
                done += n;
            } else if (n < 0 && errno == EAGAIN) {
                pollfd p{master, POLLOUT, 0};
                poll(&p, 1, 1000);
            } else {
                return;
            }
        }
    };

    QProcess rb;
    rb.setWorkingDirectory(rbDir.path());
    QObject::connect(&rb, &QProcess::readyReadStandardOutput,
                     [&] { writeMaster(rb.readAllStandardOutput()); });
    QByteArray beforeBootLoader;
    QSocketNotifier fromTool(master, QSocketNotifier::Read);
    QObject::connect(&fromTool, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = read(master, buffer, sizeof buffer)) > 0) {
            if (rb.state() != QProcess::NotRunning) {
                rb.write(buffer, n);
                continue;
            }
            beforeBootLoader.append(buffer, n);
            const qsizetype command = beforeBootLoader.indexOf("BLOOD");
            if (command >= 3 && beforeBootLoader.size() >= command - 3 + 24) {
                // 1 s between "C" requests, as a boot loader asks.
                rb.start(rbPath, {"--ymodem", "-t", "10", "-q"});
                rb.waitForStarted();
                rb.write(beforeBootLoader.mid(command - 3 + 24));
            }
        }
    });

    QStringList args{"flash",          "--port",    slavePath, "--lang", "en",
                     "--standard-crc", "--timeout", "10",      path};
    if (GetParam()) {
        args << "--fast";
    }
    auto cli = m_cli.Start(args);
    QEventLoop loop;
    QObject::connect(cli.get(), &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(12000, &loop, &QEventLoop::quit);
    if (cli->state() != QProcess::NotRunning) {
        loop.exec();
    }
    const CliResult r = Cli::Finish(*cli, 1s);
    // rb ends on its own after the end-of-batch block; after a failed transfer it would wait on.
    const bool rbEnded =
        rb.state() == QProcess::NotRunning || (r.exitCode == 0 && rb.waitForFinished(5000));
    if (!rbEnded) {
        rb.kill();
        rb.waitForFinished();
    }
    fromTool.setEnabled(false);
    close(slave);
    close(master);

    ASSERT_EQ(r.exitCode, 0) << Describe(r) << "\n--- rb ---\n"
                             << rb.readAllStandardError().toStdString();
    EXPECT_TRUE(rbEnded);
    EXPECT_EQ(rb.exitCode(), 0) << rb.readAllStandardError().toStdString();
    const QByteArray received = ReadFile(rbDir.filePath("standard.bin"));
    EXPECT_EQ(received.size(), static_cast<qsizetype>(image.size()));
    EXPECT_TRUE(received == ToQByteArray(image));
}

INSTANTIATE_TEST_SUITE_P(Delivery, CliStandardFlashTest, testing::Bool(),
                         [](const auto& info) { return info.param ? "Fast" : "Bursts"; });

// ---- status -----------------------------------------------------------------------------------

// The CSV fields after the time, decoded here from the status frame's bytes 5..21.
QStringList ExpectedStatusFields(const sim::Payload& p, int mode) {
    const auto u16 = [&](int frameByte) {
        return static_cast<std::uint16_t>(p[frameByte - 5] << 8 | p[frameByte - 4]);
    };
    const auto text = [](const char* format, auto value) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, format, value);
        return QString::fromLatin1(buffer);
    };
    const std::uint16_t voltage = u16(5);
    const auto current = static_cast<std::int16_t>(u16(7));
    const std::uint32_t faults = static_cast<std::uint32_t>(u16(10)) << 16 | u16(12);
    const auto rpm = static_cast<std::int16_t>(u16(14));
    const std::uint8_t indicators = p[20 - 5];
    const std::uint8_t state = p[21 - 5];
    static const char* const kStates[] = {"IDLE", "INIT",  "START", "RUN",
                                          "STOP", "BRAKE", "WAIT",  "FAULT"};
    static const char* const kGears[] = {"L", "M", "H", "S"};
    static const char* const kLamps[] = {"reverse",    "park",       "brake",
                                         "anti_theft", "side_stand", "regeneration"};
    QStringList lamps;
    for (int bit = 2; bit <= 7; ++bit) {
        if (indicators & (1u << bit)) {
            lamps << kLamps[bit - 2];
        }
    }
    // Voltage and current, Q/D voltage, Q/D current: only the mode's pair is filled.
    QStringList pairs(6);
    pairs[mode * 2] = mode == 0
                          ? text("%.1f", static_cast<double>(static_cast<float>(voltage) / 10.0f))
                          : text("%d", static_cast<std::int16_t>(voltage));
    pairs[mode * 2 + 1] =
        mode == 0 ? text("%.1f", static_cast<double>(static_cast<float>(current) / 10.0f))
                  : text("%d", current);
    return QStringList{text("%d", rpm)} + pairs +
           QStringList{text("%d", p[16 - 5] - 50),
                       text("%d", p[17 - 5] - 50),
                       text("%d", u16(18)),
                       text("%08X", faults),
                       state < 8 ? QString(kStates[state]) : text("%d", state),
                       kGears[indicators & 3],
                       lamps.isEmpty() ? QString("-") : lamps.join('+')};
}

struct StatusCase {
    const char* name;
    int mode;
};

class CliStatusTest : public CliTest, public testing::WithParamInterface<StatusCase> {};

TEST_P(CliStatusTest, EightLinesWithTheControllersValues) {
    const StatusCase& c = GetParam();
    constexpr std::uint64_t kSeed = 7;
    constexpr std::uint32_t kFaults = 0x00801234;
    constexpr std::uint8_t kState = 3;
    constexpr std::uint8_t kLamps = 0x40;
    sim::SimOptions options;
    options.controller.seed = kSeed;
    StartSim(options);
    Controller().SetFaultBits(kFaults);
    Controller().SetStateCode(kState);
    Controller().SetExtraIndicatorBits(kLamps);

    const CliResult r = m_cli.Run({"status", "--port", m_port, "--lang", "en", "--count", "8",
                                   "--mode", QString::number(c.mode)});

    ASSERT_EQ(r.exitCode, 0) << Describe(r);
    QStringList lines = r.out.split('\n');
    ASSERT_EQ(lines.takeLast(), "") << Describe(r);  // the last line ends too
    ASSERT_EQ(lines.size(), 9) << Describe(r);
    // One header whatever the mode: the columns a mode does not fill stay empty.
    EXPECT_EQ(lines.front(),
              "time_s,rpm,voltage_V,current_A,q_voltage,d_voltage,q_current,"
              "d_current,controller_temp_C,external_temp_C,temp_coefficient,"
              "faults,state,gear,lamps");

    // The same model with the same seed, fed the requests the controller received, gives the
    // frames it sent.
    const std::vector<sim::StatusRequest> requests = Controller().StatusRequests();
    ASSERT_GE(requests.size(), 8u);
    sim::SimLiveModel model(kSeed);
    model.SetFaultBits(kFaults);
    model.SetStateCode(kState);
    model.SetExtraIndicatorBits(kLamps);
    const sim::SimParameterSet parameters = Controller().Parameters();
    double lastTime = -1;
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE("line " + std::to_string(i + 1));
        QStringList fields = lines[i + 1].split(',');
        ASSERT_EQ(fields.size(), 15) << lines[i + 1].toStdString();
        bool ok = false;
        const double time = fields.takeFirst().toDouble(&ok);
        EXPECT_TRUE(ok);
        EXPECT_GT(time, lastTime);
        lastTime = time;
        EXPECT_EQ(requests[static_cast<std::size_t>(i)].displayMode, c.mode);
        const sim::Payload payload =
            model.Answer(requests[static_cast<std::size_t>(i)], parameters);
        EXPECT_EQ(fields, ExpectedStatusFields(payload, c.mode));
        EXPECT_EQ(fields[10], "00801234");
        EXPECT_EQ(fields[11], "RUN");
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, CliStatusTest,
                         testing::Values(StatusCase{"VoltageAndCurrent", 0},
                                         StatusCase{"QdCurrent", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- check ------------------------------------------------------------------------------------

// The check value summed here from the block bytes it covers: block 1 bytes 5..17, block 2
// whole, block 3 without the flags byte 17, blocks 4 and 6 without byte 21, block 5 whole,
// block 7 bytes 5..14.
int CheckValueOf(const sim::SimParameterSet& set) {
    struct Range {
        int block, first, last, skip;
    };
    constexpr Range kRanges[] = {{1, 5, 17, 0}, {2, 5, 21, 0}, {3, 5, 21, 17}, {4, 5, 20, 0},
                                 {5, 5, 21, 0}, {6, 5, 20, 0}, {7, 5, 14, 0}};
    int sum = 0;
    for (const Range& r : kRanges) {
        for (int byte = r.first; byte <= r.last; ++byte) {
            sum += byte == r.skip ? 0 : set.Byte(r.block, byte);
        }
    }
    return sum;
}

class CliCheckTest : public CliTest, public testing::WithParamInterface<bool> {};

TEST_P(CliCheckTest, PrintsTheCheckValueOfTheWholeSet) {
    const bool fromPort = GetParam();
    sim::SimOptions options;
    options.controller.parameters = VariedSet();
    StartSim(options);
    QStringList args{"check", "--lang", "en"};
    if (fromPort) {
        args << "--port" << m_port;
    } else {
        args << WriteTemp("varied.txt", QByteArray::fromStdString(WindowFileOf(VariedSet())));
    }

    const CliResult r = m_cli.Run(args);

    ASSERT_EQ(r.exitCode, 0) << Describe(r);
    EXPECT_EQ(r.out, QString("%1\n").arg(CheckValueOf(VariedSet()))) << Describe(r);
}

INSTANTIATE_TEST_SUITE_P(Sources, CliCheckTest, testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "Controller" : "File");
});

// ---- one-shot commands ------------------------------------------------------------------------

struct OneShotCase {
    const char* name;
    QStringList args;
    const char* letters;
};

class CliOneShotTest : public CliTest, public testing::WithParamInterface<OneShotCase> {};

TEST_P(CliOneShotTest, SendsItsCommandOnce) {
    const OneShotCase& c = GetParam();
    StartSim();
    Controller().SetParameters(VariedSet());

    QStringList args = c.args;
    args << "--port" << m_port << "--lang"
         << "en";
    const CliResult r = m_cli.Run(args);

    ASSERT_EQ(r.exitCode, 0) << Describe(r);
    Barrier();
    EXPECT_EQ(Controller().ReceivedCommands(), std::vector<std::string>{c.letters})
        << Describe(r) << SimState();
    const bool restored = std::string(c.letters) == "RSFSE";
    EXPECT_EQ(Controller().Parameters() == sim::SimParameterSet::Default(), restored);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, CliOneShotTest,
    testing::Values(OneShotCase{"Reset", {"reset"}, "RESET"},
                    OneShotCase{"RestartCable", {"restart-cable"}, "RESTT"},
                    OneShotCase{"FactoryRestore", {"factory-restore", "--yes"}, "RSFSE"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- usage and port errors --------------------------------------------------------------------

struct UsageCase {
    const char* name;
    QStringList args;  // "PORT" stands for the simulator's path
};

class CliUsageTest : public CliTest, public testing::WithParamInterface<UsageCase> {};

TEST_P(CliUsageTest, ExitsWithUsageErrorAndSendsNothing) {
    StartSim();
    const QString image = WriteTemp("firmware.bin", QByteArray(100, 'x'));
    QStringList args;
    for (const QString& a : GetParam().args) {
        args << (a == "PORT" ? m_port : a == "IMAGE" ? image : a);
    }

    const CliResult r = m_cli.Run(args);

    EXPECT_EQ(r.exitCode, 2) << Describe(r);
    EXPECT_FALSE(r.err.isEmpty());
    ExpectNothingSent();
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, CliUsageTest,
    testing::Values(
        UsageCase{"NoCommand", {}}, UsageCase{"UnknownCommand", {"frobnicate", "--port", "PORT"}},
        UsageCase{"PortMissing", {"read"}},
        UsageCase{"BaudNotANumber", {"read", "--port", "PORT", "--baud", "fast"}},
        UsageCase{"BaudZero", {"status", "--port", "PORT", "--baud", "0"}},
        UsageCase{"UnknownOption", {"read", "--port", "PORT", "--bogus"}},
        UsageCase{"StatusModeOutOfRange", {"status", "--port", "PORT", "--mode", "3"}},
        UsageCase{"StatusCountAndSeconds",
                  {"status", "--port", "PORT", "--count", "2", "--seconds", "1"}},
        UsageCase{"StatusCountNotANumber", {"status", "--port", "PORT", "--count", "x"}},
        UsageCase{"WriteWithoutFile", {"write", "--port", "PORT"}},
        UsageCase{"FlashZeroTimeout", {"flash", "--port", "PORT", "--timeout", "0", "IMAGE"}},
        UsageCase{"FlashTwoImages", {"flash", "--port", "PORT", "IMAGE", "IMAGE"}},
        UsageCase{"FactoryRestoreWithoutYes", {"factory-restore", "--port", "PORT"}},
        UsageCase{"CheckNeitherFileNorPort", {"check"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct PortErrorCase {
    const char* name;
    QStringList args;  // "FILE" and "IMAGE" stand for valid inputs
};

class CliPortErrorTest : public CliTest, public testing::WithParamInterface<PortErrorCase> {};

TEST_P(CliPortErrorTest, MissingDeviceExitsWithPortErrorAndTheFixedMessage) {
    const QString file = WriteTemp(
        "factory.txt", QByteArray::fromStdString(WindowFileOf(sim::SimParameterSet::Default())));
    const QString image = WriteTemp("firmware.bin", QByteArray(100, 'x'));
    QStringList args;
    for (const QString& a : GetParam().args) {
        args << (a == "FILE" ? file : a == "IMAGE" ? image : a);
    }
    args << "--port" << m_cli.FilePath("no-such-tty") << "--lang"
         << "en";

    const CliResult r = m_cli.Run(args);

    EXPECT_EQ(r.exitCode, 4) << Describe(r);
    const QStringList lines = r.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 2) << Describe(r);
    EXPECT_EQ(lines[0], QString::fromUtf8(kOpenFailed)) << Describe(r);
    EXPECT_FALSE(lines[1].trimmed().isEmpty()) << Describe(r);
    EXPECT_TRUE(r.out.isEmpty()) << Describe(r);
}

INSTANTIATE_TEST_SUITE_P(Commands, CliPortErrorTest,
                         testing::Values(PortErrorCase{"Read", {"read"}},
                                         PortErrorCase{"Write", {"write", "FILE"}},
                                         PortErrorCase{"Flash", {"flash", "IMAGE"}},
                                         PortErrorCase{"Status", {"status", "--count", "1"}},
                                         PortErrorCase{"Reset", {"reset"}},
                                         PortErrorCase{"CheckPort", {"check"}}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
