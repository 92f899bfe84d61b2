// station: programs every connected controller at once, one `auto` worker process per port,
// with a live table on a terminal and one plain line per event elsewhere.

#include "cli/station_command.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <optional>

#include "cli/auto_mode_options.h"
#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "cli/command_record.h"
#include "cli/interrupt.h"
#include "cli/station_table.h"
#include "cli/station_texts.h"
#include "cli/terminal.h"
#include "link/port_source.h"
#include "station/station_supervisor.h"

namespace {

constexpr int kRedrawMs = 200;

// The port list from a file, one name a line, every one taken for the cable: how tests (and a
// line without USB ids to go by) tell the station which ports come and go.
class FilePortSource : public PortSource {
public:
    explicit FilePortSource(QString path) : m_path(std::move(path)) {}
    std::optional<QStringList> ListPorts() override {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly))
            return QStringList();
        QStringList ports;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QString name = QString::fromUtf8(line).trimmed();
            if (!name.isEmpty())
                ports << name;
        }
        return ports;
    }
    Cable CablePresence() override { return Cable::kUnknown; }

private:
    QString m_path;
};

void WriteRaw(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

// The live table: drawn on the terminal's alternate screen from its top, each line cleared to
// its end, so a redraw never flickers or leaves pieces behind; at the end the last table stays
// on the normal screen.
class TableView {
public:
    TableView(StationSupervisor& supervisor, QString what)
        : m_supervisor(supervisor), m_what(std::move(what)) {}

    void Begin() {
        // Alternate screen, cursor hidden.
        WriteRaw("\x1b[?1049h\x1b[?25l");
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { Draw(); });
        m_timer.start(kRedrawMs);
        Draw();
    }
    void End() {
        m_timer.stop();
        WriteRaw("\x1b[?25h\x1b[?1049l");
        QByteArray text;
        for (const QString& line : Lines(TerminalColumns()))
            text += line.toUtf8() + '\n';
        WriteRaw(text);
    }

private:
    QStringList Lines(int columns) const {
        QList<StationTableRow> rows;
        for (const QString& port : m_supervisor.Ports())
            rows << StationTableRow{port, m_supervisor.Status(port)};
        StationTableFooter footer;
        footer.passed = m_supervisor.Passed();
        footer.failed = m_supervisor.Failed();
        footer.elapsedHours =
            static_cast<double>(NowUtcMs() - m_supervisor.StartedMs()) / 3'600'000.0;
        footer.what = m_what;
        return RenderStationTable(rows, footer, columns);
    }
    void Draw() {
        const int rows = TerminalRows();
        QStringList lines = Lines(TerminalColumns());
        // Fewer rows than lines: the last ones are cut rather than scrolled.
        while (lines.size() > rows - 1 && !lines.isEmpty())
            lines.removeLast();
        QByteArray frame = "\x1b[H";
        for (const QString& line : lines)
            frame += line.toUtf8() + "\x1b[K\r\n";
        frame += "\x1b[J";
        WriteRaw(frame);
    }

    StationSupervisor& m_supervisor;
    QString m_what;
    QTimer m_timer;
};

// --ports as given: empty for auto, else the named ports; nullopt after the message.
std::optional<QStringList> NamedPorts(const QString& given) {
    QStringList named;
    const QString ports = given.trimmed();
    if (ports == QLatin1String("auto"))
        return named;
    for (const QString& part : ports.split(QLatin1Char(','))) {
        const QString port = part.trimmed();
        if (port.isEmpty()) {
            PrintError(Text(station_text::kBadPorts));
            return std::nullopt;
        }
        if (named.contains(port)) {
            PrintError(Text(station_text::kPortTwice).arg(port));
            return std::nullopt;
        }
        named << port;
    }
    return named;
}

// What the supervisor and each of its workers are given: the mode's options, the link's, and
// where the records go, resolved once here so that every worker records alike.
StationOptions SupervisorOptions(const QCommandLineParser& parser, const AutoModeSetup& setup,
                                 quint32 baud) {
    StationOptions station;
    station.program = QCoreApplication::applicationFilePath();
    station.workerArguments = AutoModeWorkerArguments(parser);
    station.records = RecordsSetting(parser.value("records"));
    station.station = StationName(parser.value("station"));
    station.unitId = parser.value("unit");
    station.outbox = OutboxSetting(parser.value("outbox"));
    station.workerArguments << "--baud" << QString::number(baud);
    if (parser.isSet("can"))
        station.workerArguments << "--can";
    if (parser.isSet("lang"))
        station.workerArguments << "--lang" << parser.value("lang");
    station.count = setup.count;
    station.mode = setup.mode;
    station.baud = baud;
    station.can = parser.isSet("can");
    station.restartPauseMs = std::max(0, parser.value("restart-pause").toInt());
    if (setup.mode == 2) {
        station.imageName = setup.imageName;
        station.imageSize = setup.image.size();
        station.imageSha256 = setup.imageSha256;
    }
    return station;
}

// The line under the table: the image and its short SHA-256, or the parameter file.
QString WhatIsProgrammed(const AutoModeSetup& setup) {
    if (setup.mode == 2)
        return Text(station_text::kImage).arg(setup.imageName, setup.imageSha256.left(12));
    if (setup.mode == 1)
        return Text(station_text::kParams).arg(QFileInfo(setup.paramsPath).fileName());
    if (!setup.referencePath.isEmpty())
        return Text(station_text::kParams).arg(QFileInfo(setup.referencePath).fileName());
    return {};
}

}  // namespace

int RunStation(const QStringList& arguments) {
    CommandOptions options(
        "station",
        "Programs every connected controller at once: one automatic-mode worker (tarvik-cli "
        "auto) per port, each with its own state, result and records. Runs until SIGINT or "
        "SIGTERM (Ctrl-C): operations under way end as cancelled records, then it ends with 0.",
        LinkUse::kNone);
    QCommandLineParser& parser = options.Parser();
    parser.addOption({"ports",
                      "auto (default): every port with the debugging cable's USB ids, as they "
                      "come and go; or a list such as ttyUSB0,ttyUSB1 served whatever they are.",
                      "auto|P1,P2,...", "auto"});
    parser.addOption(
        {"baud", "Baud rate (default 9600; the CAN cable uses 115200).", "rate", "9600"});
    parser.addOption({"can", "The CAN debugging cable: drop the echo of what we send."});
    AddAutoModeOptions(parser);
    parser.addOption({"events",
                      "jsonl: every worker's events as JSON lines on stdout instead of the table.",
                      "jsonl"});
    QCommandLineOption portList("port-list", "Automatic ports from this file's lines.", "file");
    portList.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(portList);
    QCommandLineOption restartPause("restart-pause", "Milliseconds before a worker restarts.",
                                    "ms", "2000");
    restartPause.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(restartPause);
    options.AddRecordOptions();
    if (auto code = options.Parse(arguments))
        return *code;
    bool baudOk = false;
    const quint32 baud = parser.value("baud").toUInt(&baudOk);
    if (!baudOk || baud == 0) {
        PrintError(Text(cli_text::kBadBaud));
        return kExitUsage;
    }
    AutoModeSetup setup;
    if (auto code = ReadAutoModeOptions(parser, setup))
        return *code;

    const std::optional<QStringList> named = NamedPorts(parser.value("ports"));
    if (!named)
        return kExitUsage;

    StationSupervisor supervisor(SupervisorOptions(parser, setup, baud));
    SystemPortSource systemPorts;
    FilePortSource filePorts(parser.value("port-list"));
    if (!named->isEmpty())
        supervisor.SetPorts(*named);
    else if (parser.isSet("port-list"))
        supervisor.SetAutoPorts(filePorts, [](const QString&) { return true; });
    else
        supervisor.SetAutoPorts(systemPorts);

    const QString what = WhatIsProgrammed(setup);
    const bool json = parser.isSet("events");
    const bool table = !json && PrepareTerminalOutput();
    PlainEventLines plain;
    QObject::connect(&supervisor, &StationSupervisor::eventReceived, &supervisor,
                     [json, table, &plain](const StationEvent& event) {
                         if (json)
                             WriteRaw(event.ToJsonLine());
                         else if (!table)
                             if (const QString line = plain.Line(event); !line.isEmpty())
                                 PrintOut(line);
                     });
    TableView view(supervisor, what);
    QEventLoop loop;
    // Queued: a stop before the loop runs (a request at start, no port yet) finishes at once,
    // and a quit before exec() would be lost.
    QObject::connect(&supervisor, &StationSupervisor::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    QObject::connect(&Interrupts(), &InterruptNotifier::requested, &supervisor,
                     [&supervisor] { supervisor.Stop(); });
    if (table)
        view.Begin();
    supervisor.Start();
    if (InterruptRequested())
        supervisor.Stop();
    loop.exec();
    if (table)
        view.End();
    return kExitOk;
}
