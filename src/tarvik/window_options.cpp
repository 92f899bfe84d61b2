#include "tarvik/window_options.h"

#include <QCommandLineParser>

WindowOptionsResult ParseWindowOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Tarvik: service tool for the motor controller of light electric vehicles."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption lang(QStringLiteral("lang"),
                                  QStringLiteral("Run in this language (zh or en) without "
                                                 "storing it."),
                                  QStringLiteral("zh|en"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Render the main window (or the station window) to a PNG file and exit; "
                       "needs no display."),
        QStringLiteral("FILE"));
    const QCommandLineOption tab(QStringLiteral("tab"),
                                 QStringLiteral("With --screenshot: the tab to show, 0..4."),
                                 QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption unfold(QStringLiteral("unfold"),
                                    QStringLiteral("With --screenshot: unfold the right panel."));
    const QCommandLineOption reveal(
        QStringLiteral("reveal"),
        QStringLiteral("With --screenshot: show the hidden service controls."));
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QStringLiteral("Run against a simulated controller: its port is listed first and opened "
                       "at start, its cable reported present."));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Put this port first in the list, selected "
                                                 "(a name such as ttyUSB0, or a device path)."),
                                  QStringLiteral("NAME"));
    const QCommandLineOption open(QStringLiteral("open"),
                                  QStringLiteral("Open the selected port at start, as the open "
                                                 "button does."));
    const QCommandLineOption mode(
        QStringLiteral("mode"),
        QStringLiteral("Download mode at start: 0 none, 1 automatic parameter writing, 2 "
                       "automatic program writing, 3 automatic parameter reading. With "
                       "--station-window: 1, 2 or 3 (default 2)."),
        QStringLiteral("N"));
    const QCommandLineOption image(QStringLiteral("image"),
                                   QStringLiteral("Controller program file (.bin) to load at "
                                                  "start. With --station-window: the mode's "
                                                  "file (mode 1 the parameter file, mode 2 the "
                                                  "program, mode 3 the reference set, optional)."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption delay(
        QStringLiteral("delay"),
        QStringLiteral("Hold-off after an automatic download, in 250 ms ticks (default 12)."),
        QStringLiteral("TICKS"));
    const QCommandLineOption fast(
        QStringLiteral("fast"),
        QStringLiteral("Fast download for this run: hand the boot loader's answers to the sender "
                       "as they arrive instead of after 15 ms of silence."));
    const QCommandLineOption records(
        QStringLiteral("records"),
        QStringLiteral("Keep the production records in this SQLite file, or send them to a "
                       "line's database (postgresql://user@host/dbname)."),
        QStringLiteral("FILE|URL"));
    const QCommandLineOption station(
        QStringLiteral("station"),
        QStringLiteral("The station's name in the records (default: the stored one, else the "
                       "host name)."),
        QStringLiteral("NAME"));
    const QCommandLineOption outbox(
        QStringLiteral("outbox"),
        QStringLiteral("With a line's database: the local outbox file every record is kept in "
                       "until the database has it (default: the stored one, else records.sqlite "
                       "in the user's data folder)."),
        QStringLiteral("FILE"));
    const QCommandLineOption stationWindow(
        QStringLiteral("station-window"),
        QStringLiteral("Start into the station window instead of the main window: one mode and "
                       "its file for every port, each port run by a tarvik-cli worker."));
    const QCommandLineOption ports(
        QStringLiteral("ports"),
        QStringLiteral("With --station-window: the ports to run, separated by commas (default: "
                       "every cable as it is plugged in and pulled)."),
        QStringLiteral("a,b,..."));
    parser.addOptions({help, lang, screenshot, tab, unfold, reveal, demo, port, open, mode, image,
                       delay, fast, records, station, outbox, stationWindow, ports});

    WindowOptionsResult result;
    if (!parser.parse(arguments)) {
        result.exitCode = 2;
        result.error = parser.errorText() + QStringLiteral("\n\n") +
                       parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                 QStringLiteral("tarvik"));
        return result;
    }
    if (parser.isSet(help)) {
        result.output = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                  QStringLiteral("tarvik"));
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.exitCode = 2;
        result.error = QStringLiteral("Unexpected argument '%1'.\n\n%2")
                           .arg(parser.positionalArguments().constFirst(), parser.helpText());
        return result;
    }
    WindowOptions options;
    if (parser.isSet(lang)) {
        const QString value = parser.value(lang);
        if (value == QStringLiteral("zh")) {
            options.language = UiLanguage::Chinese;
        } else if (value == QStringLiteral("en")) {
            options.language = UiLanguage::English;
        } else {
            result.exitCode = 2;
            result.error = QStringLiteral("--lang takes zh or en, not '%1'.").arg(value);
            return result;
        }
    }
    options.screenshotPath = parser.value(screenshot);
    bool tabOk = false;
    options.screenshotTab = parser.value(tab).toInt(&tabOk);
    if (!tabOk || options.screenshotTab < 0 || options.screenshotTab > 4) {
        result.exitCode = 2;
        result.error =
            QStringLiteral("--tab takes a number from 0 to 4, not '%1'.").arg(parser.value(tab));
        return result;
    }
    options.unfold = parser.isSet(unfold);
    options.reveal = parser.isSet(reveal);
    options.demo = parser.isSet(demo);
    options.port = parser.value(port);
    options.open = parser.isSet(open) || options.demo;
    if (parser.isSet(mode)) {
        bool ok = false;
        const int value = parser.value(mode).toInt(&ok);
        // Like a station's other mistakes (a missing file, a port that does not open), a bad
        // mode is reported by the window, which starts anyway.
        if (!ok || value < 0 || value > 3) {
            options.badMode = parser.value(mode);
        } else {
            options.mode = value;
        }
    }
    options.image = parser.value(image);
    options.fast = parser.isSet(fast);
    options.records = parser.value(records);
    options.station = parser.value(station);
    options.outbox = parser.value(outbox);
    if (parser.isSet(delay)) {
        bool ok = false;
        const unsigned value = parser.value(delay).toUInt(&ok);
        if (!ok) {
            result.exitCode = 2;
            result.error = QStringLiteral("--delay takes a number of ticks, not '%1'.")
                               .arg(parser.value(delay));
            return result;
        }
        options.delay = value;
    }
    options.stationWindow = parser.isSet(stationWindow);
    for (const QString& name : parser.value(ports).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString trimmed = name.trimmed();
        if (!trimmed.isEmpty() && !options.ports.contains(trimmed))
            options.ports << trimmed;
    }
    if (options.stationWindow) {
        // The station window starts nothing by itself: a mode it cannot run is a usage error.
        if (!options.badMode.isEmpty() || (options.mode && *options.mode == 0)) {
            result.exitCode = 2;
            result.error = QStringLiteral("--mode with --station-window takes 1, 2 or 3, not '%1'.")
                               .arg(parser.value(mode));
            return result;
        }
        // It never opens a port itself.
        if (options.demo || !options.port.isEmpty() || parser.isSet(open)) {
            result.exitCode = 2;
            result.error = QStringLiteral(
                "--station-window opens no port itself: use --ports instead of --port, --open "
                "or --demo.");
            return result;
        }
    } else if (parser.isSet(ports)) {
        result.exitCode = 2;
        result.error = QStringLiteral("--ports goes with --station-window.");
        return result;
    }
    if (options.demo && !options.port.isEmpty()) {
        result.exitCode = 2;
        result.error = QStringLiteral("--demo and --port cannot be used together.");
        return result;
    }
    result.options = options;
    return result;
}
