// diff: what differs between two parameter sets, field by field, as the window shows them.

#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "core/params/config_file.h"
#include "core/params/parameter_fields.h"

namespace {

constexpr CliText kNoDifference{"no differences", "没有差异"};
constexpr CliText kOneDifference{"1 field differs", "1 项不同"};
constexpr CliText kDifferences{"%1 fields differ", "%1 项不同"};

// The file's seven blocks, or the exit code after the message.
std::optional<ParameterBlock> ReadParameterFile(const QString& path, int* exitCode) {
    *exitCode = kExitFileError;
    const auto bytes = ReadWholeFile(path);
    if (!bytes)
        return std::nullopt;
    const ConfigParseResult parsed = ParseConfiguration(
        std::string_view(bytes->constData(), static_cast<std::size_t>(bytes->size())));
    if (!parsed.m_ok) {
        PrintError(Text(cli_text::kFileRefused)
                       .arg(path, QString::fromStdString(DescribeImportFailure(parsed.m_failure))));
        return std::nullopt;
    }
    *exitCode = kExitOk;
    return parsed.m_blocks;
}

std::optional<ParameterBlock> ReadControllerSet(const LinkOptions& link, int* exitCode) {
    ControllerSession session(link);
    if (!session.Open()) {
        *exitCode = kExitPortError;
        return std::nullopt;
    }
    ParameterBlock blocks{};
    int seen = 0;
    switch (session.ConnectAndRead(blocks, &seen)) {
        case ReadOutcome::kRead:
            *exitCode = kExitOk;
            return blocks;
        case ReadOutcome::kNoResponse:
            PrintError(TableText(119));
            break;
        case ReadOutcome::kIncomplete:
            PrintError(Text(cli_text::kIncompleteBlock).arg(seen));
            break;
    }
    *exitCode = kExitNoAnswer;
    return std::nullopt;
}

}  // namespace

int RunDiff(const QStringList& arguments) {
    CommandOptions options(
        "diff",
        "Lists the fields whose shown value differs between two parameter files, or between a "
        "controller (--port) and a file: one line per field, in the window's order, with the "
        "field's English name, the first set's value and the second set's value, separated by "
        "tabs. With --port the controller's set is the first, so each line reads as what "
        "writing FILE would change. Bytes that no page shows are not compared.\n"
        "Exit codes: 0 the same, 5 different, 1 no answer, 2 usage, 3 file error, 4 port error.",
        LinkUse::kOptional);
    QCommandLineParser& parser = options.Parser();
    parser.addPositionalArgument("FILE_A", "The first parameter file (not with --port).",
                                 "[FILE_A]");
    parser.addPositionalArgument("FILE_B", "The parameter file to compare with.", "FILE_B");
    if (auto code = options.Parse(arguments))
        return *code;
    const QStringList files = parser.positionalArguments();
    const bool fromPort = !options.Link().port.isEmpty();
    if (files.size() != (fromPort ? 1 : 2)) {
        PrintError(options.HelpText());
        return kExitUsage;
    }

    // The file before the port: a refused file needs no controller.
    int code = kExitOk;
    std::optional<ParameterBlock> first;
    std::optional<ParameterBlock> second;
    if (fromPort) {
        if (!(second = ReadParameterFile(files[0], &code)))
            return code;
        first = ReadControllerSet(options.Link(), &code);
    } else if ((first = ReadParameterFile(files[0], &code))) {
        second = ReadParameterFile(files[1], &code);
    }
    if (!first || !second)
        return code;

    const std::vector<FieldDifference> differences = DiffParameterBlocks(*first, *second);
    for (const FieldDifference& d : differences) {
        PrintOut(QString::fromUtf8(d.m_field->m_name.data(),
                                   static_cast<qsizetype>(d.m_field->m_name.size())) +
                 '\t' + QString::fromStdString(d.m_first) + '\t' +
                 QString::fromStdString(d.m_second));
    }
    if (differences.empty()) {
        PrintError(Text(kNoDifference));
        return kExitOk;
    }
    PrintError(differences.size() == 1 ? Text(kOneDifference)
                                       : Text(kDifferences).arg(differences.size()));
    return kExitDifferent;
}
