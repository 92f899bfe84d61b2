// A stand-in for `tarvik-cli auto` that does what the test's script says, so the supervisor's
// handling of every kind of worker can be tried without a port. Arguments as the supervisor
// gives them ("auto --port P --events jsonl --supervised") plus "--script FILE". Each line of
// the script is "<port> <run> <command> [value] [operation]"; a worker runs the lines of its
// port and run (1 for the first start, 2 after a restart...), in order:
//   state NAME [OPERATION [RECORD]]   an event line (RECORD: the operation's record uuid)
//   progress N               a progress line
//   garbage                  a line that is no event
//   stdin                    wait until stdin ends (the supervisor's stop)
//   abort                    crash             exit N       end with N
//   hang                     never end by itself
//   say TEXT...              a line on stderr, as a refusing command writes one
// Without lines for its run it waits for stdin to end and exits 0.

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QThread>
#include <cstdio>
#include <cstdlib>

#include "station/station_event.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const QString port = arguments.value(arguments.indexOf("--port") + 1);
    const QString script = arguments.value(arguments.indexOf("--script") + 1);
    // Which start of this port's worker this is: counted in a file beside the script.
    QFile runs(script + "." + QString(port).replace('/', '_') + ".runs");
    runs.open(QIODevice::ReadWrite);
    const int run = runs.readAll().size() + 1;
    runs.write("x");
    runs.close();

    const auto waitForStdin = [] {
        char buffer[64];
        while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
        }
    };
    const auto print = [](const StationEvent& event) {
        const QByteArray line = event.ToJsonLine();
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
        std::fflush(stdout);
    };
    QFile file(script);
    file.open(QIODevice::ReadOnly);
    bool any = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QStringList words = QString::fromUtf8(raw).split(' ', Qt::SkipEmptyParts);
        if (words.size() < 3 || words[0] != port || words[1].toInt() != run)
            continue;
        any = true;
        const QString& command = words[2];
        if (command == "state") {
            StationEvent event =
                StationEvent::State(port, ParseStationState(words.value(3)).value());
            if (words.size() > 4) {
                event.operation = ParseOperation(words[4]);
                event.startedMs = event.timeMs;
                event.controller = 1;
                event.record = QUuid::fromString(words.value(5));
            }
            print(event);
        } else if (command == "progress") {
            print(StationEvent::Progress(port, words.value(3).toInt()));
        } else if (command == "garbage") {
            std::fputs("{\"v\":99}\nnot json\n", stdout);
            std::fflush(stdout);
        } else if (command == "stdin") {
            waitForStdin();
        } else if (command == "say") {
            std::fprintf(stderr, "%s\n", qPrintable(words.mid(3).join(' ')));
            std::fflush(stderr);
        } else if (command == "hang") {
            for (;;)
                QThread::sleep(1);
        } else if (command == "abort") {
            std::abort();
        } else if (command == "exit") {
            return words.value(3).toInt();
        }
    }
    if (!any)
        waitForStdin();
    return 0;
}
