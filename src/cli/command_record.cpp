#include "cli/command_record.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "app/profile_settings.h"
#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "core/params/param_state.h"
#include "core/params/parameter_codec.h"
#include "records/recorder.h"

namespace {

// What the records may add to a command's end: long enough for a slow disk, another program
// holding the file a while, or one attempt at a distant server (connecting gives up after 3 s).
// A server that hangs costs no more than this; what it did not take waits in the outbox.
constexpr int kRecordsBudgetMs = 5000;
constexpr int kCloseShareMs = 1500;

std::optional<OperationRecord> g_record;
std::unique_ptr<Recorder> g_commandRecorder;
// Set by an interruption (Ctrl-C, a terminate request) while the command still runs.
std::mutex g_cancelLock;
std::optional<QString> g_cancelReason;
// The records' problems during this run, each once, told in one line at the end.
QStringList g_recordsProblems;

QString VersionText(float value) {
    return QString::number(static_cast<double>(value), 'g', 6);
}

}  // namespace

void CancelCommandRecord(const QString& reason) {
    std::lock_guard lock(g_cancelLock);
    g_cancelReason = reason;
}

QString OutboxSetting(const QString& option) {
    if (!option.isEmpty())
        return option;
    return ProfileSettings().Outbox();
}

QString RecordsSetting(const QString& option) {
    if (!option.isEmpty())
        return option;
    return ProfileSettings().Records();
}

QString StationName(const QString& option) {
    return ProfileSettings().StationName(option);
}

void BeginCommandRecord(const CommandOptions& options, RecordOperation operation,
                        const QString& command) {
    const QCommandLineParser& parser = options.Parser();
    g_record = OperationRecord::Begin(operation, CommandLineSource(command));
    g_record->station = StationName(parser.value("station"));
    g_record->unitId = parser.value("unit");
    g_record->port = options.Link().port;
    g_record->baud = static_cast<int>(options.Link().baud);
    g_record->can = options.Link().can;

    const RecordsLocationResult where =
        ParseRecordsLocation(RecordsSetting(parser.value("records")));
    if (!where.location) {
        PrintNotice(Text(cli_text::kRecordsRefused).arg(where.error));
        return;
    }
    RecorderOptions recorderOptions;
    recorderOptions.location = *where.location;
    recorderOptions.outboxFile = OutboxSetting(parser.value("outbox"));
    // Started now, so an outbox an earlier run left is sent while the controller is busy.
    g_commandRecorder = std::make_unique<Recorder>(recorderOptions);
    g_recorder = g_commandRecorder.get();
    QObject::connect(g_recorder, &Recorder::failed, [](const QString& message) {
        if (!g_recordsProblems.contains(message))
            g_recordsProblems << message;
    });
}

OperationRecord* CurrentCommandRecord() {
    return g_record ? &*g_record : nullptr;
}

void NoteControllerRead(const ParameterBlock& blocks) {
    if (!g_record)
        return;
    ParameterValues values;
    // The command decodes the same blocks next, so the program-wide state ends up the same.
    DecodeParameterBlocks(values, blocks);
    // A write's record keeps the check value of the set written, not of the one it replaced.
    if (g_record->operation != RecordOperation::kWrite)
        g_record->checkValue = QString::fromStdString(g_paramCheckText.Get());
    g_record->softwareVersion = VersionText(values.m_page0.m_swVersion);
    g_record->hardwareVersion = VersionText(values.m_page0.m_hwVersion);
}

void NoteParametersWritten() {
    if (g_record)
        g_record->checkValue = QString::number(ParamCheckValue(g_paramWriteFrames));
}

int FinishCommandRecord(int exitCode) {
    if (!g_record)
        return exitCode;
    std::optional<QString> cancelled;
    {
        std::lock_guard lock(g_cancelLock);
        cancelled = std::exchange(g_cancelReason, std::nullopt);
    }
    // The last message may have been the serial port's, shown from its own thread.
    if (cancelled)
        g_record->Finish(RecordOutcome::kCancelled, *cancelled);
    else
        g_record->Finish(exitCode == kExitOk ? RecordOutcome::kSuccess : RecordOutcome::kFailed,
                         LastMessage());
    // Every failure says why: where the command showed nothing, the tool's own words.
    if (g_record->outcome != RecordOutcome::kSuccess && g_record->reason.trimmed().isEmpty())
        g_record->reason = Text(cli_text::kEndedWithCode).arg(exitCode);
    // A port that could not be opened or took nothing: no controller was reached, so there
    // was no operation on one to count.
    const bool reached = cancelled || exitCode != kExitPortError;
    if (g_commandRecorder) {
        QElapsedTimer spent;
        spent.start();
        if (reached)
            g_commandRecorder->Submit(*g_record);
        // The rest of the budget is Close's: the store's last tries and the threads' end.
        g_commandRecorder->Flush(kRecordsBudgetMs - kCloseShareMs);
        QCoreApplication::sendPostedEvents(g_commandRecorder.get());
        const RecorderEnd end = g_commandRecorder->Close(
            std::max<int>(kCloseShareMs, kRecordsBudgetMs - static_cast<int>(spent.elapsed())));
        QCoreApplication::sendPostedEvents(g_commandRecorder.get());
        // One line: the problems met, then what became of the records.
        QStringList line;
        for (const QString& problem : g_recordsProblems)
            if (end.unsaved == 0 || problem != end.problem)
                line << problem;
        if (const QString told = end.Describe(); !told.isEmpty())
            line << told;
        if (!line.isEmpty())
            PrintNotice(Text(cli_text::kRecordsFailed).arg(line.join(QStringLiteral("; "))));
        g_recordsProblems.clear();
        g_recorder = nullptr;
        g_commandRecorder.reset();
    }
    g_record.reset();
    return exitCode;
}
