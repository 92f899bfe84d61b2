// ports and the one-shot commands: restart the controller or the cable, restore the factory set.

#include <QSerialPortInfo>

#include "app/fixed_texts.h"
#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "cli/command_record.h"
#include "core/commands/one_shot_commands.h"
#include "serial/port_list.h"

int RunPorts(const QStringList& arguments) {
    CommandOptions options("ports",
                           "Lists the serial ports in the platform's order; the CAN debugging "
                           "cable (10C4:EA60) is marked.",
                           LinkUse::kNone);
    if (auto code = options.Parse(arguments))
        return *code;
    const std::vector<SerialPortEntry> ports = ListSerialPorts();
    if (ports.empty())
        PrintError(Text(cli_text::kNoPorts));
    for (const SerialPortEntry& port : ports) {
        QString usb = "-";
        if (port.vendorId && port.productId) {
            usb = QString("%1:%2")
                      .arg(*port.vendorId, 4, 16, QChar('0'))
                      .arg(*port.productId, 4, 16, QChar('0'))
                      .toUpper();
        }
        QString line = QString("%1\t%2\t%3\t%4")
                           .arg(port.name, port.systemLocation, usb,
                                port.description.isEmpty() ? "-" : port.description);
        if (port.isDebugCable)
            line += "\t[debug cable]";
        PrintOut(line);
    }
    return kExitOk;
}

namespace {
struct OneShotCommand {
    const char* name;
    CommandFrame (*frame)();
    RecordOperation operation;
    const char* description;
    bool needsConfirmation;
};

constexpr OneShotCommand kOneShotCommands[] = {
    {"reset", RestartControllerFrame, RecordOperation::kRestart,
     "Restarts the controller (\"RESET\").", false},
    {"restart-cable", RestartCableFrame, RecordOperation::kRestartCable,
     "Restarts the CAN debugging cable (\"RESTT\").", false},
    {"factory-restore", RestoreFactoryFrame, RecordOperation::kFactoryRestore,
     "Restores the controller's factory configuration (\"RSFSE\"); needs --yes.", true},
};
}  // namespace

bool IsOneShotCommand(const QString& name) {
    for (const OneShotCommand& c : kOneShotCommands)
        if (name == QLatin1String(c.name))
            return true;
    return false;
}

int RunOneShot(const QStringList& arguments) {
    const OneShotCommand* command = nullptr;
    for (const OneShotCommand& c : kOneShotCommands)
        if (arguments.first() == QLatin1String(c.name))
            command = &c;
    if (command == nullptr)
        return kExitUsage;

    CommandOptions options(command->name, command->description, LinkUse::kRequired);
    if (command->needsConfirmation) {
        options.Parser().addOption({"yes", "Confirm: the controller's configuration is replaced."});
    }
    options.AddRecordOptions();
    if (auto code = options.Parse(arguments))
        return *code;
    if (command->needsConfirmation && !options.Parser().isSet("yes")) {
        PrintError(QString::fromUtf8(kFactoryRestoreConfirm));
        PrintError(Text(cli_text::kConfirmNeeded));
        return kExitUsage;
    }

    BeginCommandRecord(options, command->operation, command->name);
    ControllerSession session(options.Link());
    if (!session.Open())
        return kExitPortError;
    const CommandFrame frame = command->frame();
    const QString letters = QString::fromLatin1(reinterpret_cast<const char*>(frame.data() + 3), 5);
    // Nothing answers these commands, so the port's word is the only sign they left.
    if (!session.Controller().WriteBytes(frame)) {
        PrintError(Text(cli_text::kNotSent).arg(letters));
        return kExitPortError;
    }
    PrintError(Text(cli_text::kSent).arg(letters));
    return kExitOk;
}
