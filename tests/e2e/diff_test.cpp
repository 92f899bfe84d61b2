// tarvik-cli diff: two parameter files, or a simulated controller and a file, compared field by
// field as the window shows them; judged by the exact lines, the exit code and what the
// controller was sent.

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "e2e_support.h"
#include "sim/sim_server.h"

namespace {

using namespace e2e;

// The factory set changed on every page, in the main window, and in bytes no control shows.
sim::SimParameterSet ChangedSet() {
    sim::SimParameterSet p = sim::SimParameterSet::Default();
    p.SetByte(1, 6, 0x23);     // 84 V, brand "lima"
    p.SetWord(1, 7, 608);      // overvoltage 60.8 V
    p.SetWord(1, 18, 5123);    // voltage calibration
    p.SetWord(4, 10, 5100);    // maximum speed
    p.SetWord(3, 5, 0xFFC4);   // Hall angle -60
    p.SetByte(3, 18, 7);       // pole pairs
    p.SetWord(5, 15, 0x0A85);  // PD1: function 5, IO, LA, mode U
    p.SetByte(5, 21, 37);      // field-weakening coefficient
    // Shown nowhere: block 4 byte 21 is written from the main window, block 6 byte 21 is the
    // cable's node and rate, block 7 bytes 15..21 and undecoded flag bits are only passed on.
    p.SetByte(4, 21, 99);
    p.SetByte(6, 21, 0x5A);
    p.SetByte(3, 17, 0x07);
    for (int byte = 15; byte <= 21; ++byte) {
        p.SetByte(7, byte, static_cast<std::uint8_t>(byte * 11));
    }
    return p;
}

// The factory set as the first, ChangedSet as the second, in the window's order.
const char kFactoryToChanged[] =
    "Battery voltage\t72V\t84V\n"
    "Overvoltage (V)\t89.5\t60.8\n"
    "Brand\tcommon\tlima\n"
    "Max limited RPM\t4200\t5100\n"
    "Hall shift angle (deg)\t30\t-60\n"
    "Pole pairs\t4\t7\n"
    "Pin PD1\t8:防盗 stealavoid / - / F\t6:拨动三档 high_speed_switch / IO LA / U\n"
    "Voltage calibration\t4950\t5123\n"
    "Field-weakening coefficient\t20\t37\n";

// The same lines with the two values swapped.
QString Reversed(const QString& lines) {
    QStringList out;
    for (const QString& line : lines.split('\n', Qt::SkipEmptyParts)) {
        const QStringList cells = line.split('\t');
        out << cells[0] + '\t' + cells[2] + '\t' + cells[1];
    }
    return out.join('\n') + '\n';
}

// Only the bytes no control shows differ from the factory set.
sim::SimParameterSet UnshownChanges() {
    sim::SimParameterSet p = sim::SimParameterSet::Default();
    p.SetByte(4, 21, 99);
    p.SetByte(6, 21, 0x5A);
    p.SetByte(3, 17, 0x07);
    p.SetByte(7, 21, 200);
    return p;
}

class DiffTest : public testing::Test {
protected:
    QString WriteSet(const QString& name, const sim::SimParameterSet& set) {
        return WriteText(name, WindowFileOf(set));
    }
    QString WriteText(const QString& name, const std::string& text) {
        const QString path = m_cli.FilePath(name);
        EXPECT_TRUE(WriteFile(path, QByteArray::fromStdString(text))) << path.toStdString();
        return path;
    }
    sim::SimController& StartSim(const sim::SimOptions& options) {
        m_sim = std::make_unique<sim::SimServer>(options);
        m_port = m_sim->Start();
        EXPECT_FALSE(m_port.isEmpty()) << m_sim->ErrorString().toStdString();
        return m_sim->Controller();
    }

    Cli m_cli;
    std::unique_ptr<sim::SimServer> m_sim;
    QString m_port;
};

// ---- two files ---------------------------------------------------------------------------------

TEST_F(DiffTest, FilesThatDifferPrintOneLinePerShownFieldAndExitFive) {
    const QString factory = WriteSet("factory.ini", sim::SimParameterSet::Default());
    const QString changed = WriteSet("changed.ini", ChangedSet());

    const CliResult forward = m_cli.Run({"diff", factory, changed, "--lang", "en"});
    const CliResult backward = m_cli.Run({"diff", changed, factory, "--lang", "en"});

    EXPECT_EQ(forward.exitCode, 5) << Describe(forward);
    EXPECT_EQ(forward.out, QString::fromUtf8(kFactoryToChanged)) << Describe(forward);
    EXPECT_EQ(backward.exitCode, 5) << Describe(backward);
    EXPECT_EQ(backward.out, Reversed(QString::fromUtf8(kFactoryToChanged))) << Describe(backward);
}

struct CountCase {
    const char* name;
    sim::SimParameterSet second;
    const char* lang;
    const char* summary;  // the last line on stderr
};

void PrintTo(const CountCase& c, std::ostream* os) {
    *os << c.name;
}

class DiffCountTest : public DiffTest, public testing::WithParamInterface<CountCase> {};

TEST_P(DiffCountTest, SummaryCountsTheFieldsInTheRightNumber) {
    const QString first = WriteSet("factory.ini", sim::SimParameterSet::Default());
    const QString second = WriteSet("second.ini", GetParam().second);

    const CliResult r = m_cli.Run({"diff", first, second, "--lang", GetParam().lang});

    EXPECT_EQ(r.exitCode, 5) << Describe(r);
    EXPECT_EQ(r.err.trimmed().split('\n').last().toStdString(), GetParam().summary) << Describe(r);
}

sim::SimParameterSet OnlyPolePairsChanged() {
    sim::SimParameterSet p = sim::SimParameterSet::Default();
    p.SetByte(3, 18, 7);
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    Summary, DiffCountTest,
    testing::Values(CountCase{"OneEnglish", OnlyPolePairsChanged(), "en", "1 field differs"},
                    CountCase{"OneChinese", OnlyPolePairsChanged(), "zh", "1 项不同"},
                    CountCase{"NineEnglish", ChangedSet(), "en", "9 fields differ"},
                    CountCase{"NineChinese", ChangedSet(), "zh", "9 项不同"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SameCase {
    const char* name;
    std::string second;
};

class DiffSameTest : public DiffTest, public testing::WithParamInterface<SameCase> {};

TEST_P(DiffSameTest, PrintsNothingAndExitsZero) {
    const QString first = WriteSet("factory.ini", sim::SimParameterSet::Default());
    const QString second = WriteText("second.ini", GetParam().second);

    const CliResult r = m_cli.Run({"diff", first, second, "--lang", "en"});

    EXPECT_EQ(r.exitCode, 0) << Describe(r);
    EXPECT_TRUE(r.out.isEmpty()) << Describe(r);
    EXPECT_TRUE(r.err.contains("no differences")) << Describe(r);
}

std::string WithLfOnlyAndBlanks(std::string text) {
    std::string out;
    for (char c : text) {
        if (c != '\r') {
            out += c == '\n' ? std::string(" \n") : std::string(1, c);
        }
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Files, DiffSameTest,
    testing::Values(SameCase{"SameFile", WindowFileOf(sim::SimParameterSet::Default())},
                    SameCase{"OnlyBytesNoControlShows", WindowFileOf(UnshownChanges())},
                    // The strict import takes LF line ends and blanks: the same numbers.
                    SameCase{"SameNumbersOtherLineEnds",
                             WithLfOnlyAndBlanks(WindowFileOf(sim::SimParameterSet::Default()))}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- file errors -------------------------------------------------------------------------------

struct FileErrorCase {
    const char* name;
    QStringList args;     // FACTORY, BAD and MISSING stand for files; NOTTY for a missing port
    const char* message;  // expected in stderr, after the file's path
};

class DiffFileErrorTest : public DiffTest, public testing::WithParamInterface<FileErrorCase> {};

TEST_P(DiffFileErrorTest, ExitsThreeNamingTheFileAndItsFirstBadLine) {
    const QString factory = WriteSet("factory.ini", sim::SimParameterSet::Default());
    std::string bad = WindowFileOf(sim::SimParameterSet::Default());
    // Line 57 (block 4 byte 11) holds a negative number, a lenient reader takes as 255.
    std::size_t at = 0;
    for (int line = 1; line < 57; ++line) {
        at = bad.find('\n', at) + 1;
    }
    bad.replace(at, bad.find('\r', at) - at, "-1");
    const QString badPath = WriteText("bad.ini", bad);
    const QString missing = m_cli.FilePath("missing.ini");
    QStringList args{"diff", "--lang", "en"};
    for (const QString& a : GetParam().args) {
        args << (a == "FACTORY"   ? factory
                 : a == "BAD"     ? badPath
                 : a == "MISSING" ? missing
                 : a == "NOTTY"   ? m_cli.FilePath("no-such-tty")
                                  : a);
    }

    const CliResult r = m_cli.Run(args);

    EXPECT_EQ(r.exitCode, 3) << Describe(r);
    const QString named = GetParam().args.contains("BAD") ? badPath : missing;
    EXPECT_TRUE(r.err.contains(named + GetParam().message)) << Describe(r);
    EXPECT_TRUE(r.out.isEmpty()) << Describe(r);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DiffFileErrorTest,
    testing::Values(
        FileErrorCase{"SecondRefused", {"FACTORY", "BAD"}, " is not a parameter file: line 57"},
        FileErrorCase{"FirstRefused", {"BAD", "FACTORY"}, " is not a parameter file: line 57"},
        FileErrorCase{"FirstUnreadable", {"MISSING", "FACTORY"}, ": "},
        // The file is looked at before the port: a refused file never reaches a port error.
        FileErrorCase{"RefusedBeforeThePort",
                      {"--port", "NOTTY", "BAD"},
                      " is not a parameter file: line 57"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- usage -------------------------------------------------------------------------------------

struct UsageCase {
    const char* name;
    QStringList args;  // FILE stands for a valid file
};

class DiffUsageTest : public DiffTest, public testing::WithParamInterface<UsageCase> {};

TEST_P(DiffUsageTest, ExitsTwoWithTheCommandsHelp) {
    const QString file = WriteSet("factory.ini", sim::SimParameterSet::Default());
    QStringList args{"diff"};
    for (const QString& a : GetParam().args) {
        args << (a == "FILE" ? file : a);
    }

    const CliResult r = m_cli.Run(args);

    EXPECT_EQ(r.exitCode, 2) << Describe(r);
    EXPECT_TRUE(r.err.contains("FILE_B")) << Describe(r);
    EXPECT_TRUE(r.out.isEmpty()) << Describe(r);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, DiffUsageTest,
    testing::Values(UsageCase{"NoFiles", {}}, UsageCase{"OneFileWithoutPort", {"FILE"}},
                    UsageCase{"ThreeFiles", {"FILE", "FILE", "FILE"}},
                    UsageCase{"PortAndTwoFiles", {"--port", "/dev/null", "FILE", "FILE"}},
                    UsageCase{"UnknownOption", {"--bogus", "FILE", "FILE"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DiffTest, UsageTextListsTheCommandAndItsExitCode) {
    const CliResult r = m_cli.Run({"--help"});
    EXPECT_EQ(r.exitCode, 0) << Describe(r);
    EXPECT_TRUE(r.out.contains("\n  diff ")) << Describe(r);
    EXPECT_TRUE(r.out.contains("5 diff found differences")) << Describe(r);
}

// ---- a controller and a file -------------------------------------------------------------------

class DiffPortTest : public DiffTest, public testing::WithParamInterface<bool> {};

TEST_P(DiffPortTest, ControllerComesFirstAndIsOnlyRead) {
    sim::SimOptions options;
    options.controller.canEcho = GetParam();
    sim::SimController& controller = StartSim(options);
    const QString changed = WriteSet("changed.ini", ChangedSet());
    QStringList args{"diff", "--port", m_port, changed, "--lang", "en"};
    if (GetParam()) {
        args << "--can";
    }

    const CliResult r = m_cli.Run(args);

    EXPECT_EQ(r.exitCode, 5) << Describe(r);
    EXPECT_EQ(r.out, QString::fromUtf8(kFactoryToChanged)) << Describe(r);
    EXPECT_EQ(controller.Counters().parameterReads, 1u);
    EXPECT_EQ(controller.Counters().parameterWriteFrames, 0u);
    EXPECT_TRUE(controller.Parameters() == sim::SimParameterSet::Default());
}

INSTANTIATE_TEST_SUITE_P(Links, DiffPortTest, testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "CanCable" : "SerialCable");
});

TEST_F(DiffTest, ControllerHoldingTheFilesSetIsTheSame) {
    sim::SimOptions options;
    options.controller.parameters = ChangedSet();
    StartSim(options);
    const QString changed = WriteSet("changed.ini", ChangedSet());

    const CliResult r = m_cli.Run({"diff", "--port", m_port, changed, "--lang", "en"});

    EXPECT_EQ(r.exitCode, 0) << Describe(r);
    EXPECT_TRUE(r.out.isEmpty()) << Describe(r);
}

TEST_F(DiffTest, SilentControllerExitsOne) {
    sim::SimOptions options;
    options.controller.faults.noReadAnswer = true;
    StartSim(options);
    const QString factory = WriteSet("factory.ini", sim::SimParameterSet::Default());

    const CliResult r = m_cli.Run({"diff", "--port", m_port, factory, "--lang", "en"});

    EXPECT_EQ(r.exitCode, 1) << Describe(r);
    EXPECT_TRUE(r.err.contains("Communication abnormal, no response")) << Describe(r);
    EXPECT_TRUE(r.out.isEmpty()) << Describe(r);
}

TEST_F(DiffTest, MissingPortExitsFour) {
    const QString factory = WriteSet("factory.ini", sim::SimParameterSet::Default());

    const CliResult r =
        m_cli.Run({"diff", "--port", m_cli.FilePath("no-such-tty"), factory, "--lang", "en"});

    EXPECT_EQ(r.exitCode, 4) << Describe(r);
    EXPECT_FALSE(r.err.isEmpty());
    EXPECT_TRUE(r.out.isEmpty()) << Describe(r);
}

}  // namespace
