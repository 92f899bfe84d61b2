// status: the display page's live values as CSV, from status requests every 250 ms.

#include <QElapsedTimer>
#include <QTimer>

#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "cli/interrupt.h"
#include "core/commands/status_request_tick.h"
#include "core/protocol/status_csv.h"
#include "core/protocol/status_request.h"

namespace {

constexpr int kTickMs = 250;
// A controller that has said nothing for this long is not there.
constexpr int kSilenceMs = 3000;

}  // namespace

int RunStatus(const QStringList& arguments) {
    CommandOptions options("status",
                           "Requests the controller's status every 250 ms and prints one CSV line "
                           "per status frame.",
                           LinkUse::kRequired);
    QCommandLineParser& parser = options.Parser();
    parser.addOption({"count", "Stop after this many status lines (default 10).", "n"});
    parser.addOption({"seconds", "Stop after this many seconds instead.", "s"});
    parser.addOption({"mode",
                      "What the controller reports: 0 voltage and current, 1 Q/D-axis voltage, "
                      "2 Q/D-axis current.",
                      "0|1|2", "0"});
    if (auto code = options.Parse(arguments))
        return *code;
    bool ok = true;
    const int mode = parser.value("mode").toInt(&ok);
    int count = 0;
    double seconds = 0;
    if (parser.isSet("count"))
        count = parser.value("count").toInt(&ok);
    if (ok && parser.isSet("seconds"))
        seconds = parser.value("seconds").toDouble(&ok);
    if (!parser.isSet("count") && !parser.isSet("seconds"))
        count = 10;
    if (!ok || mode < 0 || mode > 2 || count < 0 || seconds < 0 ||
        (parser.isSet("count") && parser.isSet("seconds"))) {
        PrintError(options.HelpText());
        return kExitUsage;
    }

    ControllerSession session(options.Link());
    if (!session.Open())
        return kExitPortError;

    QElapsedTimer clock;
    clock.start();
    qint64 lastHeard = 0;
    int lines = 0;
    PrintOut(QString::fromStdString(StatusCsvHeader()));
    session.SetStatusObserver([&](const LiveStatus& status) {
        if (count > 0 && lines >= count)
            return;
        lastHeard = clock.elapsed();
        PrintOut(QString::fromStdString(StatusCsvRow(lastHeard, status, mode)));
        ++lines;
    });

    RemoteControlState state;
    state.m_displayMode = mode;
    const auto tick = [&] { RunStatusRequestTick(session, true, state, [] {}); };
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, tick);
    ticker.start(kTickMs);
    tick();

    bool silent = false;
    const auto finished = [&] {
        if (count > 0 && lines >= count)
            return true;
        if (seconds > 0 && clock.elapsed() >= static_cast<qint64>(seconds * 1000))
            return true;
        silent = clock.elapsed() - lastHeard > kSilenceMs;
        return silent;
    };
    session.WaitUntil(finished, std::numeric_limits<int>::max());
    // Stopped by the user: the lines so far are the log, not a failure to answer.
    if (InterruptRequested())
        return InterruptExitCode();
    ticker.stop();
    if (silent) {
        PrintError(lines == 0 ? Text(cli_text::kNoStatus) : TableText(119));
        return kExitNoAnswer;
    }
    return kExitOk;
}
