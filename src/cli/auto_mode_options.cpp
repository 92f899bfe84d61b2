#include "cli/auto_mode_options.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "core/modem/modem_sender.h"
#include "core/params/config_file.h"
#include "core/params/param_state.h"
#include "core/params/parameter_values.h"

namespace {

constexpr CliText kBadMode{"--mode must be 1, 2 or 3", "--mode 必须是 1、2 或 3"};
constexpr CliText kModeNeedsFile{"mode %1 needs %2", "模式 %1 需要 %2"};
constexpr CliText kBadNumber{"%1 must be a whole number from %2 to %3",
                             "%1 必须是 %2 到 %3 之间的整数"};
constexpr CliText kUnexpectedArgument{"unexpected argument: %1", "多余的参数：%1"};
constexpr CliText kBadEvents{"--events takes only jsonl", "--events 只接受 jsonl"};
constexpr CliText kNotAFolder{"%1 is not a folder that can be written",
                              "%1 不是可写入的文件夹"};

const char* const kPassedOn[] = {"mode",          "image",     "params", "delay", "voltage-calib",
                                 "reference",     "save-dir"};
const char* const kPassedOnSwitches[] = {"fast"};

int UsageError(const QCommandLineParser& parser, const QString& message) {
    PrintError(message);
    // The parser names the program by the path it was started with; the user typed the command.
    QString help = parser.helpText().trimmed();
    const QStringList arguments = QCoreApplication::arguments();
    const QString started = QStringLiteral("Usage: ") + arguments.value(0);
    if (help.startsWith(started))
        help.replace(0, started.size(), QStringLiteral("Usage: tarvik-cli ") + arguments.value(1));
    PrintError(help);
    return kExitUsage;
}

std::optional<int> ReadNumber(const QCommandLineParser& parser, const QString& name, long low,
                              long high, long* out) {
    if (!parser.isSet(name))
        return std::nullopt;
    bool ok = false;
    const long value = parser.value(name).toLong(&ok);
    if (!ok || value < low || value > high)
        return UsageError(parser, Text(kBadNumber).arg("--" + name).arg(low).arg(high));
    *out = value;
    return std::nullopt;
}

// A parameter file's blocks, or the exit code after the message.
std::optional<int> ReadParameterFile(const QString& path, std::string* text,
                                     ParameterBlock* blocks) {
    const auto bytes = ReadWholeFile(path);
    if (!bytes)
        return kExitFileError;
    *text = bytes->toStdString();
    const ConfigParseResult parsed = ParseConfiguration(std::string_view(*text));
    if (!parsed.m_ok) {
        PrintError(Text(cli_text::kFileRefused)
                       .arg(path, QString::fromStdString(DescribeImportFailure(parsed.m_failure))));
        return kExitFileError;
    }
    if (blocks != nullptr)
        *blocks = parsed.m_blocks;
    return std::nullopt;
}

}  // namespace

void AddAutoModeOptions(QCommandLineParser& parser) {
    parser.addOption({"mode",
                      "1 writes --params to each controller that announces itself, 2 downloads "
                      "--image to it, 3 reads it and records its check value.",
                      "1|2|3"});
    parser.addOption({"image", "Mode 2: the controller program (.bin), at most 512000 bytes.",
                      "file"});
    parser.addOption({"params", "Mode 1: the parameter file (119 lines) to write.", "file"});
    parser.addOption({"delay",
                      "Mode 2: ticks of 250 ms after each download during which announcements "
                      "are ignored (default 12, as the window's).",
                      "ticks", "12"});
    parser.addOption({"voltage-calib",
                      "Mode 2: the window's voltage calibration value; 32767 sends the "
                      "\"BLOTD\" boot entry instead of \"BLOOD\".",
                      "value", "0"});
    parser.addOption({"fast", "Mode 2: fast download (see flash --help)."});
    parser.addOption({"reference",
                      "Mode 3: success only when the controller's check value equals this "
                      "parameter file's.",
                      "file"});
    parser.addOption({"save-dir",
                      "Mode 3: save each set read as a parameter file named by port and time in "
                      "this folder.",
                      "dir"});
    parser.addOption({"count", "End after this many controllers.", "n"});
}

std::optional<int> ReadAutoModeOptions(const QCommandLineParser& parser, AutoModeSetup& setup) {
    if (!parser.positionalArguments().isEmpty())
        return UsageError(parser,
                          Text(kUnexpectedArgument).arg(parser.positionalArguments().constFirst()));
    if (parser.isSet("events") && parser.value("events") != QLatin1String("jsonl"))
        return UsageError(parser, Text(kBadEvents));
    bool ok = false;
    setup.mode = parser.value("mode").toInt(&ok);
    if (!ok || setup.mode < 1 || setup.mode > 3)
        return UsageError(parser, Text(kBadMode));
    long number = 0;
    if (auto code = ReadNumber(parser, "delay", 0, 65535, &number))
        return code;
    setup.delayTicks = parser.isSet("delay") ? static_cast<unsigned>(number) : 12;
    number = 0;
    if (auto code = ReadNumber(parser, "voltage-calib", 0, 65535, &number))
        return code;
    setup.voltageCalib = static_cast<unsigned>(number);
    number = 0;
    if (auto code = ReadNumber(parser, "count", 1, 1000000000, &number))
        return code;
    setup.count = static_cast<int>(number);
    setup.fast = parser.isSet("fast");

    if (setup.mode == 1) {
        if (!parser.isSet("params"))
            return UsageError(parser, Text(kModeNeedsFile).arg(1).arg("--params"));
        setup.paramsPath = parser.value("params");
        if (auto code = ReadParameterFile(setup.paramsPath, &setup.paramsText, nullptr))
            return code;
    }
    if (setup.mode == 2) {
        if (!parser.isSet("image"))
            return UsageError(parser, Text(kModeNeedsFile).arg(2).arg("--image"));
        setup.imagePath = parser.value("image");
        const auto image = ReadWholeFile(setup.imagePath);
        if (!image)
            return kExitFileError;
        if (image->isEmpty()) {
            PrintError(Text(cli_text::kImageEmpty).arg(setup.imagePath));
            return kExitFileError;
        }
        if (static_cast<std::size_t>(image->size()) > kModemImageCapacity) {
            PrintError(Text(cli_text::kImageTooLarge)
                           .arg(setup.imagePath)
                           .arg(image->size())
                           .arg(kModemImageCapacity));
            return kExitFileError;
        }
        setup.image = *image;
        setup.imageName = QFileInfo(setup.imagePath).fileName();
        setup.imageSha256 = QString::fromLatin1(
            QCryptographicHash::hash(setup.image, QCryptographicHash::Sha256).toHex());
    }
    if (setup.mode == 3) {
        if (parser.isSet("reference")) {
            setup.referencePath = parser.value("reference");
            std::string text;
            ParameterBlock blocks{};
            if (auto code = ReadParameterFile(setup.referencePath, &text, &blocks))
                return code;
            setup.referenceBlocks = blocks;
            // The check value the window shows after importing the file.
            ParameterValues values;
            ImportConfiguration(std::string_view(text), values);
            setup.referenceCheck = QString::fromStdString(g_paramCheckText.Get());
        }
        if (parser.isSet("save-dir")) {
            setup.saveDir = parser.value("save-dir");
            const QFileInfo folder(setup.saveDir);
            if (!folder.isDir() || !folder.isWritable()) {
                PrintError(Text(kNotAFolder).arg(setup.saveDir));
                return kExitFileError;
            }
        }
    }
    return std::nullopt;
}

QStringList AutoModeWorkerArguments(const QCommandLineParser& parser) {
    QStringList arguments;
    for (const char* name : kPassedOn) {
        if (parser.isSet(name)) {
            QString value = parser.value(name);
            // Workers start in the station's folder, but a path the user typed stays theirs.
            if (QString(name) == "image" || QString(name) == "params" ||
                QString(name) == "reference" || QString(name) == "save-dir")
                value = QFileInfo(value).absoluteFilePath();
            arguments << QStringLiteral("--") + name << value;
        }
    }
    for (const char* name : kPassedOnSwitches) {
        if (parser.isSet(name))
            arguments << QStringLiteral("--") + name;
    }
    return arguments;
}
