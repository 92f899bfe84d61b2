#include "cli/cli_command.h"

#include <QCoreApplication>
#include <QFile>

#include "cli/cli_texts.h"

CommandOptions::CommandOptions(const QString& name, const QString& description, LinkUse link)
    : m_name(name), m_linkUse(link) {
    m_parser.setApplicationDescription(description);
    m_parser.addHelpOption();
    m_parser.addOption(
        {"lang", "Language of the messages: en or zh (default: the window's).", "en|zh"});
    if (link != LinkUse::kNone) {
        m_parser.addOption(
            {"port", "Serial port: a device path or a name such as ttyUSB0.", "port"});
        m_parser.addOption(
            {"baud", "Baud rate (default 9600; the CAN cable uses 115200).", "rate", "9600"});
        m_parser.addOption({"can", "The CAN debugging cable: drop the echo of what we send."});
    }
}

void CommandOptions::AddRecordOptions(bool operation) {
    m_parser.addOption({"records",
                        "Where records are kept: an SQLite file, or "
                        "postgresql://user@host[:port]/dbname[?host=/socket/folder] (no password: "
                        "~/.pgpass, PGPASSFILE or PGPASSWORD). Default: the per-user setting, else "
                        "records.sqlite in the user's data folder.",
                        "file|url"});
    m_parser.addOption({"outbox",
                        "With a server: the local outbox every record is committed to before it "
                        "is sent (default: the per-user setting, else records.sqlite in the "
                        "user's data folder).",
                        "file"});
    if (!operation)
        return;
    m_parser.addOption(
        {"station",
         "This station's name in the records (default: the setting, else the host name).", "name"});
    m_parser.addOption({"unit", "The controller's unit id in the records (from a barcode).", "id"});
}

QString CommandOptions::HelpText() const {
    // The parser names the program by the path it was started with.
    QString text = m_parser.helpText().trimmed();
    const QString program = QCoreApplication::arguments().value(0);
    const QString usage = QStringLiteral("Usage: ");
    if (text.startsWith(usage + program))
        text.replace(0, usage.size() + program.size(),
                     usage + QStringLiteral("tarvik-cli ") + m_name);
    return text;
}

std::optional<int> CommandOptions::Parse(const QStringList& arguments) {
    const auto usageError = [this](const QString& message) {
        PrintError(message);
        PrintError(HelpText());
        return kExitUsage;
    };
    QStringList withProgram = arguments;
    withProgram.first() = QStringLiteral("tarvik-cli ") + m_name;
    if (!m_parser.parse(withProgram))
        return usageError(m_parser.errorText());
    if (m_parser.isSet("help")) {
        PrintOut(HelpText());
        return kExitOk;
    }
    if (m_linkUse != LinkUse::kNone) {
        m_link.port = m_parser.value("port");
        if (m_link.port.isEmpty() && m_linkUse == LinkUse::kRequired) {
            return usageError(Text(cli_text::kPortMissing));
        }
        bool ok = false;
        m_link.baud = m_parser.value("baud").toUInt(&ok);
        if (!ok || m_link.baud == 0)
            return usageError(Text(cli_text::kBadBaud));
        m_link.can = m_parser.isSet("can");
    }
    return std::nullopt;
}

std::optional<QByteArray> ReadWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        PrintError(Text(cli_text::kCannotRead).arg(path, file.errorString()));
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        PrintError(Text(cli_text::kCannotRead).arg(path, file.errorString()));
        return std::nullopt;
    }
    return bytes;
}
