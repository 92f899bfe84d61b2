#include "cli/command_record.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <memory>
#include <mutex>
#include <optional>

#include "app/profile_settings.h"
#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "core/params/param_state.h"
#include "core/params/parameter_codec.h"
#include "records/recorder.h"

namespace {

// Long enough for a slow disk or one attempt at a distant server; a server that hangs costs
// the command's end no more than this.
constexpr int kFlushTimeoutMs = 8000;

std::optional<OperationRecord> g_record;
std::unique_ptr<Recorder> g_commandRecorder;
// Set by an interruption (Ctrl-C, a terminate request) while the command still runs.
std::mutex g_cancelLock;
std::optional<QString> g_cancelReason;

QString VersionText(float value) {
    return QString::number(static_cast<double>(value), 'g', 6);
}

}  // namespace

void CancelCommandRecord(const QString& reason) {
    std::lock_guard lock(g_cancelLock);
    g_cancelReason = reason;
}

QString RecordsSetting(const QString& option) {
    if (!option.isEmpty())
        return option;
    return ProfileSettings().Records();
}

QString StationName(const QString& option) {
    if (!option.isEmpty())
        return option;
    const QString stored = ProfileSettings().Station();
    return stored.isEmpty() ? QSysInfo::machineHostName() : stored;
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
    // Started now, so an outbox an earlier run left is sent while the controller is busy.
    g_commandRecorder = std::make_unique<Recorder>(recorderOptions);
    g_recorder = g_commandRecorder.get();
    QObject::connect(g_recorder, &Recorder::failed, [](const QString& message) {
        // One line, the first problem; what follows from it would only repeat it.
        static bool shown = false;
        if (!shown)
            PrintNotice(Text(cli_text::kRecordsFailed).arg(message));
        shown = true;
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
    if (g_commandRecorder) {
        g_commandRecorder->Submit(*g_record);
        g_commandRecorder->Flush(kFlushTimeoutMs);
        QCoreApplication::sendPostedEvents(g_commandRecorder.get());
        g_recorder = nullptr;
        g_commandRecorder.reset();
    }
    g_record.reset();
    return exitCode;
}
