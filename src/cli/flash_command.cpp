// flash: the boot-entry command and the YMODEM transfer, as the window's download does.

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFileInfo>

#include "cli/cli_command.h"
#include "cli/cli_texts.h"
#include "cli/command_record.h"
#include "cli/interrupt.h"
#include "core/commands/boot_entry_sequence.h"
#include "core/modem/modem_sender.h"
#include "core/protocol/link_flags.h"

int RunFlash(const QStringList& arguments) {
    CommandOptions options("flash", "Downloads a controller program to the boot loader (YMODEM).",
                           LinkUse::kRequired);
    QCommandLineParser& parser = options.Parser();
    parser.addPositionalArgument("image", "Controller program (.bin), at most 512000 bytes.");
    parser.addOption({"wait-announce",
                      "Wait for the controller's announcement first, as automatic program "
                      "writing does."});
    parser.addOption({"standard-crc",
                      "Standard YMODEM (CRC high byte first, packets repeated on NAK), for "
                      "standard boot loaders."});
    parser.addOption({"voltage-calib",
                      "The window's voltage calibration value; 32767 sends the \"BLOTD\" boot "
                      "entry instead of \"BLOOD\".",
                      "value", "0"});
    parser.addOption({"fast",
                      "Fast download: hand the boot loader's answers to the sender as they "
                      "arrive instead of after 15 ms of silence."});
    parser.addOption(
        {"timeout", "Give up after this many seconds (default 120).", "seconds", "120"});
    options.AddRecordOptions();
    if (auto code = options.Parse(arguments))
        return *code;
    const QStringList images = parser.positionalArguments();
    bool timeoutOk = false;
    bool calibOk = false;
    const int timeoutSeconds = parser.value("timeout").toInt(&timeoutOk);
    const unsigned voltageCalib = parser.value("voltage-calib").toUInt(&calibOk);
    if (images.size() != 1 || !timeoutOk || timeoutSeconds <= 0 || !calibOk) {
        PrintError(options.HelpText());
        return kExitUsage;
    }

    const QString path = images.first();
    const auto image = ReadWholeFile(path);
    if (!image)
        return kExitFileError;
    if (image->isEmpty()) {
        PrintError(Text(cli_text::kImageEmpty).arg(path));
        return kExitFileError;
    }
    if (static_cast<std::size_t>(image->size()) > kModemImageCapacity) {
        PrintError(
            Text(cli_text::kImageTooLarge).arg(path).arg(image->size()).arg(kModemImageCapacity));
        return kExitFileError;
    }
    const QByteArray name = QFileInfo(path).fileName().toUtf8();
    BeginCommandRecord(options, RecordOperation::kDownload, "flash");
    OperationRecord* record = CurrentCommandRecord();
    record->imageName = QFileInfo(path).fileName();
    record->imageSize = image->size();
    record->imageSha256 =
        QString::fromLatin1(QCryptographicHash::hash(*image, QCryptographicHash::Sha256).toHex());
    record->bytesAcknowledged = 0;

    QElapsedTimer clock;
    clock.start();
    const int timeoutMs = timeoutSeconds * 1000;
    const auto remainingMs = [&] { return std::max<qint64>(0, timeoutMs - clock.elapsed()); };

    ControllerSession session(options.Link());
    if (!session.Open())
        return kExitPortError;

    if (parser.isSet("wait-announce")) {
        PrintError(Text(cli_text::kWaitingAnnounce));
        if (!session.WaitUntil([] { return g_announceSeen.load() == 1; },
                               static_cast<int>(remainingMs()))) {
            if (InterruptRequested())
                return InterruptExitCode();
            PrintError(Text(cli_text::kNoAnnounce));
            return kExitNoAnswer;
        }
        g_announceSeen = 0;
    }

    bool entered = false;
    BootEntrySequence boot(session, session);
    boot.Start(true, voltageCalib, [&entered] { entered = true; });
    session.WaitUntil([&] { return entered; }, BootEntrySequence::kSettleMs + 1000);
    if (InterruptRequested()) {
        boot.Cancel();
        return InterruptExitCode();
    }

    ControllerLink& link = session.Controller();
    link.SetFastDownload(parser.isSet("fast"));
    int lastShown = -1;
    // On the main thread; the receive thread only posts the reports.
    QObject::connect(&link, &ControllerLink::downloadProgress, &link, [&lastShown](int percent) {
        if (percent != lastShown)
            PrintNotice(QString("%1%").arg(percent));
        lastShown = percent;
    });
    // The size was checked above, so the sender does not refuse it.
    link.StartDownload(
        std::string_view(name.constData(), static_cast<std::size_t>(name.size())),
        std::span(reinterpret_cast<const std::uint8_t*>(image->constData()),
                  static_cast<std::size_t>(image->size())),
        parser.isSet("standard-crc") ? ModemDialect::kStandard : ModemDialect::kBootLoader);

    const bool ended = session.WaitUntil([&link] { return !link.DownloadRunning(); },
                                         static_cast<int>(remainingMs()));
    // The last reports may still be on their way; print them before the verdict.
    QCoreApplication::sendPostedEvents(&link);
    record->bytesAcknowledged = g_modem.AcknowledgedBytes();
    if (!ended && InterruptRequested()) {
        // Abandoned on the wire, as closing the window does: the boot loader hears no more.
        link.AbandonDownload();
        record->bytesAcknowledged = g_modem.AcknowledgedBytes();
        PrintNotice(InterruptReason());
        return InterruptExitCode();
    }
    if (!ended) {
        link.AbandonDownload();
        PrintError(Text(cli_text::kFlashTimeout).arg(timeoutSeconds));
        return kExitNoAnswer;
    }
    // 100 percent comes only with the boot loader's final acknowledgement.
    if (link.LastReportedPercent() != 100) {
        PrintError(Text(cli_text::kFlashAborted));
        return kExitNoAnswer;
    }
    // The boot loader dialect takes a NAK of the last packet as its answer and goes on; the
    // transfer then ends normally although that packet never arrived.
    if (g_modem.AcknowledgedBytes() != static_cast<std::uint32_t>(image->size())) {
        PrintError(Text(cli_text::kFlashLastNotAcknowledged));
        return kExitNoAnswer;
    }
    PrintError(Text(cli_text::kFlashDone).arg(image->size()));
    return kExitOk;
}
