// read, write and check: the parameter block as the window reads, writes and compares it.

#include <QSaveFile>

#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "cli/command_record.h"
#include "cli/interrupt.h"
#include "core/commands/param_write_sequence.h"
#include "core/commands/refusal.h"
#include "core/params/config_file.h"
#include "core/params/param_state.h"
#include "core/params/parameter_codec.h"
#include "core/params/window_save.h"

namespace {

// Prints why the controller's block could not be had; kExitOk when it was.
int ReportRead(ReadOutcome outcome, int blocksSeen) {
    switch (outcome) {
        case ReadOutcome::kRead:
            return kExitOk;
        case ReadOutcome::kNoResponse:
            PrintError(TableText(119));
            return kExitNoAnswer;
        case ReadOutcome::kIncomplete:
            PrintError(Text(cli_text::kIncompleteBlock).arg(blocksSeen));
            return kExitNoAnswer;
    }
    return kExitNoAnswer;
}

// Opens the port if need be, connects and collects the seven blocks.
std::optional<ParameterBlock> ReadController(ControllerSession& session, int* exitCode) {
    if (!session.IsOpen() && !session.Open()) {
        *exitCode = kExitPortError;
        return std::nullopt;
    }
    ParameterBlock blocks{};
    int seen = 0;
    // Read first: the count only means something once the read has run.
    const ReadOutcome outcome = session.ConnectAndRead(blocks, &seen);
    if (InterruptRequested()) {
        *exitCode = InterruptExitCode();
        return std::nullopt;
    }
    *exitCode = ReportRead(outcome, seen);
    if (*exitCode != kExitOk)
        return std::nullopt;
    NoteControllerRead(blocks);
    return blocks;
}

int ReportFileRefused(const QString& path, const ImportFailure& failure) {
    PrintError(Text(cli_text::kFileRefused)
                   .arg(path, QString::fromStdString(DescribeImportFailure(failure))));
    return kExitFileError;
}

int ReportSaveRefusal(const WindowSave& save, const QString& source) {
    if (save.m_importRefused) {
        return ReportFileRefused(source, *save.m_importRefused);
    } else if (save.m_pageRefused) {
        PrintError(Text(cli_text::kPagesRefused)
                       .arg(source, QString::fromStdString(save.m_pageRefused->m_message)));
    }
    return kExitFileError;
}

int WriteOutput(const QString& path, const std::string& text) {
    if (path.isEmpty() || path == "-") {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return kExitOk;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) !=
            static_cast<qint64>(text.size()) ||
        !file.commit()) {
        PrintError(Text(cli_text::kCannotWrite).arg(path, file.errorString()));
        return kExitFileError;
    }
    PrintError(Text(cli_text::kSaved).arg(path));
    return kExitOk;
}

// The first line where two configuration files differ, as block, byte and the two values.
bool ReportFirstDifference(const std::string& written, const std::string& readBack) {
    const ConfigParseResult a = ParseConfiguration(std::string_view(written));
    const ConfigParseResult b = ParseConfiguration(std::string_view(readBack));
    for (int block = 0; block < kBlockCount; ++block) {
        for (std::size_t i = 0; i < kBlockSize; ++i) {
            if (a.m_blocks[block][i] == b.m_blocks[block][i])
                continue;
            const int line = block * static_cast<int>(kBlockSize) + static_cast<int>(i) + 1;
            PrintError(Text(cli_text::kVerifyDiffers)
                           .arg(block + 1)
                           .arg(kCommandPayloadFirst + i)
                           .arg(line)
                           .arg(a.m_blocks[block][i])
                           .arg(b.m_blocks[block][i]));
            return true;
        }
    }
    return false;
}

}  // namespace

int RunRead(const QStringList& arguments) {
    CommandOptions options("read",
                           "Reads the controller's parameters and saves them as the window would "
                           "right after connecting.",
                           LinkUse::kRequired);
    options.Parser().addOption({{"o", "output"}, "File to write (default: stdout).", "file"});
    options.AddRecordOptions();
    if (auto code = options.Parse(arguments))
        return *code;
    BeginCommandRecord(options, RecordOperation::kRead, "read");

    ControllerSession session(options.Link());
    int code = kExitOk;
    const auto blocks = ReadController(session, &code);
    if (!blocks)
        return code;

    ParameterValues values;
    const WindowSave save = SaveAfterConnect(values, *blocks);
    if (!save.Saved())
        return ReportSaveRefusal(save, options.Link().port);
    return WriteOutput(options.Parser().value("output"), save.m_file);
}

int RunWrite(const QStringList& arguments) {
    CommandOptions options("write",
                           "Writes a parameter file to the controller as the window does after "
                           "importing it; --verify reads it back.",
                           LinkUse::kRequired);
    options.Parser().addOption(
        {"verify", "Read the controller back and compare with what was written."});
    options.Parser().addPositionalArgument("file", "Parameter file (119 lines).");
    options.AddRecordOptions();
    if (auto code = options.Parse(arguments))
        return *code;
    const QStringList files = options.Parser().positionalArguments();
    if (files.size() != 1) {
        PrintError(options.HelpText());
        return kExitUsage;
    }

    // A file that would be refused sends nothing, so it is checked before the port is touched.
    const auto bytes = ReadWholeFile(files.first());
    if (!bytes)
        return kExitFileError;
    const std::string text = bytes->toStdString();
    const ConfigParseResult parsed = ParseConfiguration(std::string_view(text));
    if (!parsed.m_ok)
        return ReportFileRefused(files.first(), parsed.m_failure);

    BeginCommandRecord(options, RecordOperation::kWrite, "write");
    ControllerSession session(options.Link());
    int code = kExitOk;
    const auto current = ReadController(session, &code);
    if (!current)
        return code;

    // What the window holds after connecting, then after importing the file.
    ParameterValues values;
    DecodeParameterBlocks(values, *current);
    TakeOverCalibrationIfReceived(values.m_mainWindow);
    const WindowSave expected = SaveAfterImport(values, text);
    if (!expected.Saved())
        return ReportSaveRefusal(expected, files.first());

    if (const Refusal refusal = CheckParamWriteRefusal(session); refusal != Refusal::kNone) {
        PrintError(TableText(static_cast<int>(refusal)));
        return kExitNoAnswer;
    }
    ParamWriteSequence write(session, session);
    write.Start(true, [&values](int block) {
        CommandFrame& frame = g_paramWriteFrames[block - 1];
        EncodeParameterBlock(block, values, frame);
        return frame;
    });
    session.WaitUntil([&] { return !write.Running(); }, 10000);
    NoteParametersWritten();
    if (InterruptRequested()) {
        write.Cancel();
        return InterruptExitCode();
    }
    if (write.Outcome() != WriteOutcome::kAcknowledged) {
        PrintError(TableText(122));
        return kExitNoAnswer;
    }
    PrintError(TableText(121));

    if (!options.Parser().isSet("verify"))
        return kExitOk;
    const auto readBack = ReadController(session, &code);
    if (!readBack)
        return code;
    ParameterValues fresh;
    const WindowSave actual = SaveAfterConnect(fresh, *readBack);
    if (!actual.Saved())
        return ReportSaveRefusal(actual, options.Link().port);
    if (ReportFirstDifference(expected.m_file, actual.m_file))
        return kExitNoAnswer;
    PrintError(Text(cli_text::kVerified));
    return kExitOk;
}

int RunCheck(const QStringList& arguments) {
    CommandOptions options("check",
                           "Prints the parameter check value of a file, or of a controller with "
                           "--port, as the window shows it.",
                           LinkUse::kOptional);
    QCommandLineParser& parser = options.Parser();
    parser.addPositionalArgument("file", "Parameter file (or use --port).");
    options.AddRecordOptions();
    if (auto code = options.Parse(arguments))
        return *code;
    const QStringList files = parser.positionalArguments();
    const bool fromPort = !options.Link().port.isEmpty();
    if (fromPort == (files.size() == 1) || files.size() > 1) {
        PrintError(options.HelpText());
        return kExitUsage;
    }

    ParameterValues values;
    if (fromPort) {
        BeginCommandRecord(options, RecordOperation::kRead, "check");
        ControllerSession session(options.Link());
        int code = kExitOk;
        const auto blocks = ReadController(session, &code);
        if (!blocks)
            return code;
        DecodeParameterBlocks(values, *blocks);
    } else {
        const auto bytes = ReadWholeFile(files.first());
        if (!bytes)
            return kExitFileError;
        const ImportResult imported = ImportConfiguration(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes->data()),
                                          static_cast<std::size_t>(bytes->size())),
            values);
        if (!imported.m_imported)
            return ReportFileRefused(files.first(), imported.m_failure);
    }
    PrintOut(QString::fromStdString(g_paramCheckText.Get()));
    return kExitOk;
}
