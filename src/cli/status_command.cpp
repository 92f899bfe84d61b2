// status: the display page's live values as CSV, from status requests every 250 ms.

#include <QElapsedTimer>
#include <QTimer>

#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "core/commands/status_request_tick.h"
#include "core/protocol/status_request.h"

namespace {

constexpr int kTickMs = 250;
// A controller that has said nothing for this long is not there.
constexpr int kSilenceMs = 3000;

// What positions 5..8 carry in each display mode, with units.
const char* const kModeColumns[] = {"voltage_V,current_A", "q_voltage,d_voltage",
                                    "q_current,d_current"};

QString LitLamps(const DisplayPageTexts& t) {
    // Lamp radio fields are 0 when lit.
    const std::pair<int, const char*> lamps[] = {
        {t.m_reverseLamp, "reverse"},      {t.m_parkLamp, "park"},
        {t.m_brakeLamp, "brake"},          {t.m_antiTheftLamp, "anti_theft"},
        {t.m_sideStandLamp, "side_stand"}, {t.m_regenLamp, "regeneration"}};
    QStringList lit;
    for (const auto& [state, name] : lamps)
        if (state == 0)
            lit << name;
    return lit.isEmpty() ? QStringLiteral("-") : lit.join('+');
}

QString CsvLine(double seconds, const LiveStatus& status, int mode) {
    const DisplayPageTexts t = FormatDisplayPage(status, mode);
    static const char* const kGears[] = {"L", "M", "H", "S"};
    return QStringList{QString::number(seconds, 'f', 3),
                       QString::fromStdString(t.m_speed),
                       QString::fromStdString(t.m_voltage),
                       QString::fromStdString(t.m_current),
                       QString::fromStdString(t.m_controllerTemp),
                       QString::fromStdString(t.m_externalTemp),
                       QString::fromStdString(t.m_tempCoefficient),
                       QString::fromStdString(t.m_faultCode),
                       QString::fromStdString(t.m_stateName),
                       kGears[t.m_gearIndicator & 3],
                       LitLamps(t)}
        .join(',');
}

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
        PrintError(parser.helpText().trimmed());
        return kExitUsage;
    }

    ControllerSession session(options.Link());
    if (!session.Open())
        return kExitPortError;

    QElapsedTimer clock;
    clock.start();
    qint64 lastHeard = 0;
    int lines = 0;
    PrintOut(QString("time_s,rpm,%1,controller_temp_C,external_temp_C,temp_coefficient,faults,"
                     "state,gear,lamps")
                 .arg(kModeColumns[mode]));
    session.SetStatusObserver([&](const LiveStatus& status) {
        if (count > 0 && lines >= count)
            return;
        lastHeard = clock.elapsed();
        PrintOut(CsvLine(static_cast<double>(lastHeard) / 1000.0, status, mode));
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
    ticker.stop();
    if (silent) {
        PrintError(lines == 0 ? Text(cli_text::kNoStatus) : TableText(119));
        return kExitNoAnswer;
    }
    return kExitOk;
}
