// auto: one port's automatic mode, as the window's download group runs it, as a command that
// keeps running: every controller that announces itself is written (mode 1), programmed
// (mode 2) or read (mode 3), and each ends in one record with the port. The step that decides
// when (announcement, hold-off, completion) is the core's, the window's own.

#include "cli/auto_command.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTimer>
#include <cstdio>
#include <thread>

#include "cli/auto_mode_options.h"
#include "cli/auto_records.h"
#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "cli/command_record.h"
#include "cli/interrupt.h"
#include "cli/station_texts.h"
#include "core/commands/auto_production.h"
#include "core/commands/boot_entry_sequence.h"
#include "core/commands/param_write_sequence.h"
#include "core/commands/refusal.h"
#include "core/modem/modem_sender.h"
#include "core/params/config_file.h"
#include "core/params/param_state.h"
#include "core/params/parameter_codec.h"
#include "core/params/parameter_fields.h"
#include "core/params/window_save.h"
#include "core/protocol/link_flags.h"
#include "link/port_source.h"
#include "station/station_event.h"

namespace {

constexpr int kTickMs = 250;
constexpr int kPortCheckMs = 1000;
// A transfer that has not moved for this long is abandoned: the boot loader is gone.
constexpr qint64 kStallMs = 20000;
constexpr int kWriteWaitMs = 10000;

QString VersionText(float value) {
    return QString::number(static_cast<double>(value), 'g', 6);
}

// Events as JSON lines on stdout (for a supervisor or a script), or as lines for a person.
class EventOutput {
public:
    explicit EventOutput(bool json) : m_json(json) {}

    void Emit(const StationEvent& event) {
        if (m_json) {
            const QByteArray line = event.ToJsonLine();
            std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
            std::fflush(stdout);
            return;
        }
        if (const QString line = m_plain.Line(event); !line.isEmpty())
            PrintOut(line);
    }

private:
    bool m_json;
    PlainEventLines m_plain;
};

// Whether the port is there: its device file, else the system's port list. A port found by
// neither when it was opened (a system that lists no such ports) cannot be watched this way.
bool PortPresent(const QString& port) {
    if (QFileInfo::exists(PortPathForName(port)))
        return true;
    return SerialPortNames().contains(port);
}

class AutoRunner {
public:
    AutoRunner(const AutoModeSetup& setup, const LinkOptions& link, AutoRecordBase base,
               bool json)
        : m_setup(setup),
          m_port(link.port),
          m_session(link),
          m_records(std::move(base)),
          m_output(json),
          m_boot(m_session, m_session) {}

    int Run();

private:
    void Tick();
    void CheckPort();
    // The port is gone: the operation under way fails with that, and the command ends.
    void EndWithPortGone();
    void Interrupted();
    void StartDownload();
    void HandOver();
    void EndDownload();
    void WriteParameters();
    void ReadParameters();
    void Begin(RecordOperation operation, StationState state);
    void End(RecordOutcome outcome, const QString& message);
    void Emit(StationEvent event);
    void Done(int exitCode) {
        m_done = true;
        m_exitCode = exitCode;
    }

    const AutoModeSetup& m_setup;
    QString m_port;
    ControllerSession m_session;
    AutoRecords m_records;
    EventOutput m_output;
    BootEntrySequence m_boot;
    QTimer m_tick;
    QTimer m_portCheck;
    ParameterValues m_values;

    std::optional<OperationRecord> m_record;
    StationState m_state = StationState::kWaiting;
    int m_controller = 0;
    int m_handled = 0;
    bool m_booting = false;
    bool m_inStep = false;
    // The port went while a step waited: the step stops at its wait, the end is told after it.
    bool m_portGoneInStep = false;
    int m_lastPercent = -1;
    QElapsedTimer m_sinceProgress;
    QString m_cutReason;
    bool m_watchPort = false;
    bool m_done = false;
    int m_exitCode = kExitOk;
};

int AutoRunner::Run() {
    if (!m_session.Open()) {
        Emit(StationEvent::State(m_port, StationState::kPortError, LastMessage()));
        return kExitPortError;
    }
    ResetAutoModes();
    g_announceSeen = 0;
    m_watchPort = PortPresent(m_port);

    ControllerLink& link = m_session.Controller();
    QObject::connect(&link, &ControllerLink::downloadProgress, &link, [this](int percent) {
        if (!m_record || percent == m_lastPercent)
            return;
        m_lastPercent = percent;
        m_sinceProgress.restart();
        Emit(StationEvent::Progress(m_port, percent));
    });
    QEventLoop loop;
    QObject::connect(&m_tick, &QTimer::timeout, &loop, [this, &loop] {
        Tick();
        if (m_done)
            loop.quit();
    });
    QObject::connect(&m_portCheck, &QTimer::timeout, &loop, [this, &loop] {
        CheckPort();
        if (m_done)
            loop.quit();
    });
    QObject::connect(&Interrupts(), &InterruptNotifier::requested, &loop, [this, &loop] {
        Interrupted();
        if (m_done)
            loop.quit();
    });
    Emit(StationEvent::State(m_port, StationState::kWaiting));
    m_tick.start(kTickMs);
    m_portCheck.start(kPortCheckMs);
    if (InterruptRequested())
        Interrupted();
    if (!m_done)
        loop.exec();
    m_tick.stop();
    m_portCheck.stop();
    return m_exitCode;
}

void AutoRunner::Emit(StationEvent event) {
    if (m_record || IsOutcomeState(event.state)) {
        event.controller = m_controller;
        if (m_record) {
            event.operation = m_record->operation;
            event.startedMs = m_record->startedMs;
            event.record = m_record->uuid;
            event.softwareVersion = m_record->softwareVersion;
            event.checkValue = m_record->checkValue;
        }
    }
    if (event.type == StationEvent::Type::kState)
        m_state = event.state;
    m_output.Emit(event);
}

void AutoRunner::Begin(RecordOperation operation, StationState state) {
    ++m_controller;
    m_record = m_records.Begin(operation);
    m_lastPercent = -1;
    m_cutReason.clear();
    Emit(StationEvent::State(m_port, state));
}

void AutoRunner::End(RecordOutcome outcome, const QString& message) {
    if (!m_record)
        return;
    // The record first: once the event says so, the record is there.
    m_records.Finish(*m_record, outcome, message);
    const StationState state = outcome == RecordOutcome::kSuccess  ? StationState::kPassed
                               : outcome == RecordOutcome::kFailed ? StationState::kFailed
                                                                   : StationState::kCancelled;
    Emit(StationEvent::State(m_port, state, message));
    m_record.reset();
    if (outcome != RecordOutcome::kCancelled)
        ++m_handled;
    if (m_setup.count > 0 && m_handled >= m_setup.count)
        Done(kExitOk);
}

void AutoRunner::Tick() {
    if (m_booting || m_inStep || m_done)
        return;
    ControllerLink& link = m_session.Controller();
    if (m_record && m_record->operation == RecordOperation::kDownload && link.DownloadRunning() &&
        m_sinceProgress.isValid() && m_sinceProgress.elapsed() > kStallMs) {
        m_cutReason = Text(station_text::kStalled);
        link.AbandonDownload();
    }
    const AutoModeStep step = StepAutoModes(m_setup.mode, link.DownloadRunning(), [this] {
        return static_cast<int>(m_setup.delayTicks);
    });
    m_inStep = true;
    switch (step.m_action) {
        case AutoAction::kNone:
            if (step.m_sound == sound_files::kDownloadSuccess)
                EndDownload();
            break;
        case AutoAction::kParamWrite:
            WriteParameters();
            break;
        case AutoAction::kDownload:
            StartDownload();
            break;
        case AutoAction::kConnectAndRead:
            ReadParameters();
            break;
    }
    m_inStep = false;
    if (m_portGoneInStep) {
        EndWithPortGone();
        return;
    }
    // Ready for the next controller once the last one's hold-off is over: said once.
    if (!m_done && !m_record && !m_booting && IsOutcomeState(m_state) && g_autoHoldoff == 0 &&
        g_autoRunStarted == 0)
        Emit(StationEvent::State(m_port, StationState::kWaiting));
}

void AutoRunner::CheckPort() {
    // The device behind the open port tells first; the name alone may be back already (a
    // re-plugged adapter, a pseudo-terminal number given out again).
    const bool gone = m_session.Controller().PortLost() || (m_watchPort && !PortPresent(m_port));
    if (!gone || m_portGoneInStep)
        return;
    if (m_inStep) {
        // Only from inside a step's wait: ending the record here would leave the step writing
        // into a record that is gone.
        m_portGoneInStep = true;
        m_session.CutWaits();
        return;
    }
    EndWithPortGone();
}

void AutoRunner::EndWithPortGone() {
    ControllerLink& link = m_session.Controller();
    const QString gone = Text(station_text::kPortGone);
    if (m_record) {
        m_boot.Cancel();
        m_booting = false;
        link.AbandonDownload();
        if (m_record->operation == RecordOperation::kDownload)
            m_record->bytesAcknowledged = g_modem.AcknowledgedBytes();
        End(RecordOutcome::kFailed, gone);
    }
    Emit(StationEvent::State(m_port, StationState::kPortGone, gone));
    Done(kExitPortError);
}

void AutoRunner::Interrupted() {
    // A write or read under way sees the request in its own wait and ends there.
    if (m_inStep)
        return;
    if (m_record) {
        m_boot.Cancel();
        m_booting = false;
        ControllerLink& link = m_session.Controller();
        // Abandoned on the wire, as closing the window does.
        link.AbandonDownload();
        m_record->bytesAcknowledged = g_modem.AcknowledgedBytes();
        End(RecordOutcome::kCancelled, InterruptReason());
    }
    Done(kExitOk);
}

void AutoRunner::StartDownload() {
    Begin(RecordOperation::kDownload, StationState::kBootEntry);
    m_record->imageName = m_setup.imageName;
    m_record->imageSize = m_setup.image.size();
    m_record->imageSha256 = m_setup.imageSha256;
    m_record->bytesAcknowledged = 0;
    const Refusal refusal = m_boot.Start(true, m_setup.voltageCalib, [this] { HandOver(); });
    if (refusal != Refusal::kNone) {
        g_autoRunStarted = 0;
        End(RecordOutcome::kFailed, TableText(static_cast<int>(refusal)));
        return;
    }
    m_booting = m_boot.Running();
}

void AutoRunner::HandOver() {
    m_booting = false;
    if (!m_record)
        return;
    ControllerLink& link = m_session.Controller();
    link.ReinitialiseSender();
    link.SetFastDownload(m_setup.fast);
    const QByteArray name = m_setup.imageName.toUtf8();
    const ModemLoad load = link.StartDownload(
        std::string_view(name.constData(), static_cast<std::size_t>(name.size())),
        std::span(reinterpret_cast<const std::uint8_t*>(m_setup.image.constData()),
                  static_cast<std::size_t>(m_setup.image.size())),
        ModemDialect::kBootLoader);
    if (load != ModemLoad::kOk) {
        g_autoRunStarted = 0;
        End(RecordOutcome::kFailed, Text(station_text::kNotStarted));
        return;
    }
    m_sinceProgress.start();
    Emit(StationEvent::State(m_port, StationState::kDownloading));
}

void AutoRunner::EndDownload() {
    if (!m_record)
        return;
    ControllerLink& link = m_session.Controller();
    // The last reports may still be on their way.
    QCoreApplication::sendPostedEvents(&link);
    const std::uint32_t acknowledged = g_modem.AcknowledgedBytes();
    m_record->bytesAcknowledged = acknowledged;
    if (link.TransferCut()) {
        End(RecordOutcome::kFailed,
            m_cutReason.isEmpty() ? Text(cli_text::kFlashAborted) : m_cutReason);
    } else if (link.LastReportedPercent() != 100) {
        End(RecordOutcome::kFailed, Text(cli_text::kFlashAborted));
    } else if (link.EndedUnacknowledged() ||
               acknowledged != static_cast<std::uint32_t>(m_setup.image.size())) {
        End(RecordOutcome::kFailed, Text(cli_text::kFlashLastNotAcknowledged));
    } else {
        End(RecordOutcome::kSuccess, Text(station_text::kDownloadPassed).arg(m_setup.image.size()));
    }
}

void AutoRunner::WriteParameters() {
    Begin(RecordOperation::kWrite, StationState::kWriting);
    // As `write` does: connect and read first (a write goes only to a connected controller),
    // then the file imported over what was read, so the controller keeps its calibration.
    ParameterBlock current{};
    int seen = 0;
    const ReadOutcome read = m_session.ConnectAndRead(current, &seen);
    if (m_portGoneInStep)
        return;
    if (InterruptRequested()) {
        End(RecordOutcome::kCancelled, InterruptReason());
        Done(kExitOk);
        return;
    }
    if (read != ReadOutcome::kRead) {
        End(RecordOutcome::kFailed, read == ReadOutcome::kNoResponse
                                        ? TableText(119)
                                        : Text(cli_text::kIncompleteBlock).arg(seen));
        return;
    }
    m_values = ParameterValues();
    DecodeParameterBlocks(m_values, current);
    m_record->softwareVersion = VersionText(m_values.m_page0.m_swVersion);
    m_record->hardwareVersion = VersionText(m_values.m_page0.m_hwVersion);
    TakeOverCalibrationIfReceived(m_values.m_mainWindow);
    const WindowSave expected = SaveAfterImport(m_values, m_setup.paramsText);
    if (!expected.Saved()) {
        End(RecordOutcome::kFailed,
            expected.m_pageRefused
                ? Text(cli_text::kPagesRefused)
                      .arg(m_setup.paramsPath,
                           QString::fromStdString(expected.m_pageRefused->m_message))
                : Text(cli_text::kFileRefused).arg(m_setup.paramsPath, QString()));
        return;
    }
    if (const Refusal refusal = CheckParamWriteRefusal(m_session); refusal != Refusal::kNone) {
        End(RecordOutcome::kFailed, TableText(static_cast<int>(refusal)));
        return;
    }
    ParamWriteSequence write(m_session, m_session);
    write.Start(true, [this](int block) {
        CommandFrame& frame = g_paramWriteFrames[block - 1];
        EncodeParameterBlock(block, m_values, frame);
        return frame;
    });
    m_session.WaitUntil([&] { return !write.Running(); }, kWriteWaitMs);
    if (m_portGoneInStep) {
        write.Cancel();
        return;
    }
    m_record->checkValue = QString::number(ParamCheckValue(g_paramWriteFrames));
    if (InterruptRequested()) {
        write.Cancel();
        End(RecordOutcome::kCancelled, InterruptReason());
        Done(kExitOk);
        return;
    }
    if (write.Outcome() == WriteOutcome::kAcknowledged)
        End(RecordOutcome::kSuccess, TableText(121));
    else
        End(RecordOutcome::kFailed, TableText(122));
}

void AutoRunner::ReadParameters() {
    Begin(RecordOperation::kRead, StationState::kReading);
    if (const Refusal refusal = CheckConnectRefusal(m_session); refusal != Refusal::kNone) {
        End(RecordOutcome::kFailed, TableText(static_cast<int>(refusal)));
        return;
    }
    ParameterBlock blocks{};
    int seen = 0;
    const ReadOutcome outcome = m_session.ConnectAndRead(blocks, &seen);
    if (m_portGoneInStep)
        return;
    if (InterruptRequested()) {
        End(RecordOutcome::kCancelled, InterruptReason());
        Done(kExitOk);
        return;
    }
    if (outcome == ReadOutcome::kNoResponse) {
        End(RecordOutcome::kFailed, TableText(119));
        return;
    }
    if (outcome == ReadOutcome::kIncomplete) {
        End(RecordOutcome::kFailed, Text(cli_text::kIncompleteBlock).arg(seen));
        return;
    }
    ParameterValues values;
    DecodeParameterBlocks(values, blocks);
    const QString check = QString::fromStdString(g_paramCheckText.Get());
    m_record->checkValue = check;
    m_record->softwareVersion = VersionText(values.m_page0.m_swVersion);
    m_record->hardwareVersion = VersionText(values.m_page0.m_hwVersion);

    QString saved;
    if (!m_setup.saveDir.isEmpty()) {
        ParameterValues fresh;
        const WindowSave save = SaveAfterConnect(fresh, blocks);
        QString name = m_port;
        name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]")), QStringLiteral("_"));
        const QString path = QDir(m_setup.saveDir).filePath(
            QStringLiteral("%1-%2.txt")
                .arg(name, QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss-zzz")));
        QSaveFile file(path);
        if (save.Saved() && file.open(QIODevice::WriteOnly) &&
            file.write(save.m_file.data(), static_cast<qint64>(save.m_file.size())) ==
                static_cast<qint64>(save.m_file.size()) &&
            file.commit()) {
            saved = QStringLiteral("; ") + Text(cli_text::kSaved).arg(path);
        } else {
            End(RecordOutcome::kFailed, Text(cli_text::kCannotWrite).arg(path, file.errorString()));
            return;
        }
    }
    if (!m_setup.referenceBlocks) {
        End(RecordOutcome::kSuccess, Text(station_text::kCheckValue).arg(check) + saved);
        return;
    }
    if (check == m_setup.referenceCheck) {
        End(RecordOutcome::kSuccess, Text(station_text::kCheckMatches).arg(check) + saved);
        return;
    }
    const std::size_t differing = DiffParameterBlocks(blocks, *m_setup.referenceBlocks).size();
    const QString message =
        differing == 1
            ? Text(station_text::kCheckDiffersOne).arg(check, m_setup.referenceCheck)
            : Text(station_text::kCheckDiffers).arg(check, m_setup.referenceCheck).arg(differing);
    End(RecordOutcome::kFailed, message + saved);
}

// Under a supervisor: its closing our input is the request to stop (any platform, and also
// when the supervisor itself died).
void StopWhenInputEnds() {
    std::thread([] {
        char buffer[256];
        while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
        }
        RequestInterrupt(15);
    }).detach();
}

}  // namespace

int RunAuto(const QStringList& arguments) {
    CommandOptions options(
        "auto",
        "One port's automatic mode, as the window's download group runs it: each controller that "
        "announces itself is written (mode 1), programmed (mode 2) or read (mode 3), with one "
        "record each. Runs until SIGINT or SIGTERM (Ctrl-C), which abandons the operation under "
        "way as cancelled and ends with 0; a port that vanishes ends it with 4.",
        LinkUse::kRequired);
    QCommandLineParser& parser = options.Parser();
    AddAutoModeOptions(parser);
    parser.addOption({"events",
                      "jsonl: one JSON object per line on stdout for every state change and "
                      "progress percent (versioned, \"v\": 1).",
                      "jsonl"});
    QCommandLineOption supervised("supervised", "Run by a station: stop when stdin ends.");
    supervised.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(supervised);
    options.AddRecordOptions();
    if (auto code = options.Parse(arguments))
        return *code;
    AutoModeSetup setup;
    if (auto code = ReadAutoModeOptions(parser, setup))
        return *code;
    if (parser.isSet("supervised"))
        StopWhenInputEnds();

    AutoRecordBase base;
    base.records = RecordsSetting(parser.value("records"));
    base.outbox = OutboxSetting(parser.value("outbox"));
    base.station = StationName(parser.value("station"));
    base.unitId = parser.value("unit");
    base.port = options.Link().port;
    base.baud = static_cast<int>(options.Link().baud);
    base.can = options.Link().can;
    AutoRunner runner(setup, options.Link(), base, parser.isSet("events"));
    return runner.Run();
}
