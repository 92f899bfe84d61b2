// tarvik-cli: the controller service tool for production lines and scripts.

#include <QCoreApplication>

#include "app/console_text.h"
#include "app/language_decision.h"
#include "app/process_end.h"
#include "app/profile_settings.h"
#include "cli/auto_command.h"
#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "cli/command_record.h"
#include "cli/interrupt.h"
#include "cli/station_command.h"
#include "serial/serial.h"
#include "serial/serial_message_sink.h"

namespace {

// The serial port's fixed messages go to stderr like every other message.
class StderrMessageSink : public SerialMessageSink {
public:
    void ShowSerialMessage(const QString& text) override { PrintError(text); }
};

// --lang wins; otherwise the language the window would show with the stored setting.
UiLanguage ChooseLanguage(const QStringList& arguments) {
    for (int i = 1; i < arguments.size(); ++i) {
        QString value;
        if (arguments[i] == "--lang" && i + 1 < arguments.size())
            value = arguments[i + 1];
        if (arguments[i].startsWith("--lang="))
            value = arguments[i].mid(7);
        if (value == "zh")
            return UiLanguage::Chinese;
        if (value == "en")
            return UiLanguage::English;
    }
    ProfileSettings settings;
    return DecideLanguage(CurrentSystemLanguage(), settings.Language()).shown;
}

const char kUsage[] =
    "Usage: tarvik-cli <command> [options]\n"
    "\n"
    "Commands:\n"
    "  ports             list the serial ports\n"
    "  read              read the controller's parameters into a file\n"
    "  write             write a parameter file to the controller (--verify reads it back)\n"
    "  check             the parameter check value of a file or a controller\n"
    "  diff              the fields that differ between two parameter files, or a controller\n"
    "                    and a file\n"
    "  flash             download a controller program over YMODEM\n"
    "  status            log the controller's live values as CSV\n"
    "  reset             restart the controller\n"
    "  restart-cable     restart the CAN debugging cable\n"
    "  factory-restore   restore the controller's factory configuration (--yes)\n"
    "  records           list the production records; records summary counts them, records\n"
    "                    yield gives the first-pass yield\n"
    "  auto              one port's automatic mode: every controller that announces itself is\n"
    "                    written, programmed or read, until stopped\n"
    "  station           programs every connected controller at once: one auto worker per port\n"
    "\n"
    "tarvik-cli <command> --help describes a command's options.\n"
    "Exit codes: 0 success, 1 no answer or acknowledgement, 2 usage, 3 file error, 4 port error,\n"
    "5 diff found differences.";

int Dispatch(const QStringList& arguments) {
    if (arguments.size() < 2 || arguments[1] == "--help" || arguments[1] == "-h" ||
        arguments[1] == "help") {
        (arguments.size() < 2 ? PrintError : PrintOut)(QString::fromUtf8(kUsage));
        return arguments.size() < 2 ? kExitUsage : kExitOk;
    }
    const QString command = arguments[1];
    const QStringList rest = arguments.mid(1);
    if (command == "ports")
        return RunPorts(rest);
    if (command == "read")
        return RunRead(rest);
    if (command == "write")
        return RunWrite(rest);
    if (command == "check")
        return RunCheck(rest);
    if (command == "flash")
        return RunFlash(rest);
    if (command == "status")
        return RunStatus(rest);
    if (command == "diff")
        return RunDiff(rest);
    if (IsOneShotCommand(command))
        return RunOneShot(rest);
    if (command == "records")
        return RunRecords(rest);
    if (command == "auto")
        return RunAuto(rest);
    if (command == "station")
        return RunStation(rest);
    PrintError(Text(cli_text::kUnknownCommand).arg(command));
    PrintError(QString::fromUtf8(kUsage));
    return kExitUsage;
}

}  // namespace

int main(int argc, char* argv[]) {
    PrepareConsoleStreams();
    QCoreApplication app(argc, argv);
    // The window's name, so both keep their records in one default file.
    QCoreApplication::setApplicationName("tarvik");
    const QStringList arguments = QCoreApplication::arguments();
    SetUiLanguage(ChooseLanguage(arguments));

    StderrMessageSink messages;
    g_serial.SetMessageSink(&messages);
    // Commands that talk to a controller end an interrupted operation properly; the others
    // (ports, records) are simply ended by the signal, as before.
    static const QStringList kControllerCommands{
        "read", "write", "check", "diff", "flash", "status", "reset", "restart-cable",
        "factory-restore", "auto", "station"};
    if (arguments.size() > 1 && kControllerCommands.contains(arguments[1]))
        InstallInterruptHandlers();
    int code = Dispatch(arguments);
    if (InterruptRequested()) {
        // The operation under way was abandoned; its record says so. The long-running commands
        // end their own way: being stopped is how they are meant to end.
        CancelCommandRecord(InterruptReason());
        const bool runsUntilStopped =
            arguments.size() > 1 && (arguments[1] == "auto" || arguments[1] == "station");
        if (!runsUntilStopped)
            code = InterruptExitCode();
    }
    // The record of a command that reached a controller is written once it has ended.
    code = FinishCommandRecord(code);
    // The port's thread must end while the application object still exists.
    g_serial.Close();
    g_serial.SetMessageSink(nullptr);
    return EndProcess(code);
}
