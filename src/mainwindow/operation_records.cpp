#include "mainwindow/operation_records.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QCryptographicHash>
#include <QSysInfo>
#include <algorithm>
#include <utility>

#include "core/modem/modem_sender.h"
#include "core/params/param_state.h"
#include "download/download_control.h"
#include "link/controller_link.h"
#include "link/port_open_sequence.h"
#include "mainwindow/port_name.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/cpage0.h"
#include "records/recorder.h"

namespace {

QString g_recordStation;
QString g_recordsSetting;

struct OwnText {
    const char* chinese;
    const char* english;
};

// Indexed by OperationRecords::OwnWords. The transfer's words end with the bytes acknowledged.
constexpr OwnText kOwnWords[] = {
    {"操作进行中窗口被关闭", "the window was closed while the operation ran"},
    {"确认时取消", "cancelled at the confirmation"},
    {"尚未开始传输时又请求了下载", "another download was asked for before this one began"},
    {"传输中止", "the transfer stopped"},
    {"传输中串口被关闭", "the port was closed during the transfer"},
    {"传输未结束时开始了新的下载", "a new download began before this transfer ended"},
    {"传输中窗口被关闭", "the window was closed during the transfer"},
};
// %1 the words above, %2 the bytes acknowledged, %3 the image's size.
constexpr OwnText kTransferWords{"%1（已确认 %2/%3 字节）", "%1 (%2 of %3 bytes acknowledged)"};

QString VersionText(float value) {
    return QString::number(static_cast<double>(value), 'g', 6);
}

}  // namespace

void SetRecordStation(const QString& name) {
    g_recordStation = name;
}

QString RecordStation() {
    return g_recordStation.isEmpty() ? QSysInfo::machineHostName() : g_recordStation;
}

void SetRecordsSetting(const QString& where) {
    g_recordsSetting = where;
}

QString RecordsSetting() {
    return g_recordsSetting;
}

OperationRecords::OperationRecords(CTarvikDlg& window, ControllerLink& link,
                                   DownloadControl& download)
    : m_window(window), m_link(link), m_download(download), m_source(WindowSource()) {
    connect(&link, &ControllerLink::opened, this, &OperationRecords::NotePort);
    connect(&download, &DownloadControl::downloadRequested, this, &OperationRecords::BeginDownload);
    connect(&download, &DownloadControl::transferBegun, this, &OperationRecords::TransferBegun);
    connect(&download, &DownloadControl::downloadRefused, this, &OperationRecords::DownloadRefused);
    // A closed port ends a transfer at once; a final report may end it before the next poll.
    // No byte goes out or comes back after it either: a transfer still running was cut off.
    connect(&link, &ControllerLink::closed, this,
            [this] { CheckTransfer(TransferCheck::kPortClosed); });
    connect(&link, &ControllerLink::downloadProgress, this, [this](int percent) {
        // Kept: a later preparation of the sender forgets the last percentage.
        if (percent == 100 && m_transferPoll.isActive())
            m_finalAcknowledged = true;
        CheckTransfer();
    });
    m_transferPoll.setInterval(kTransferPollMs);
    connect(&m_transferPoll, &QTimer::timeout, this, [this] { CheckTransfer(); });
}

OperationRecords::~OperationRecords() {
    CheckTransfer(TransferCheck::kWindowClosed);
    // The user ended them by closing, and nothing more was said. A read changed nothing on the
    // controller; a write or a download under way may have left it half changed.
    while (!m_pending.empty()) {
        const RecordOperation operation = m_pending.begin()->first;
        Finish(operation,
               operation == RecordOperation::kRead ? RecordOutcome::kCancelled
                                                   : RecordOutcome::kFailed,
               Words(OwnWords::kWindowClosed));
    }
}

QString OperationRecords::Words(OwnWords words) const {
    const OwnText& text = kOwnWords[static_cast<int>(words)];
    return QString::fromUtf8(m_window.Language() == UiLanguage::Chinese ? text.chinese
                                                                        : text.english);
}

void OperationRecords::RunAutomatic(int mode, const std::function<void()>& run) {
    m_source = AutomaticModeSource(mode);
    run();
    m_source = WindowSource();
}

OperationRecord OperationRecords::Start(RecordOperation operation) const {
    OperationRecord record = OperationRecord::Begin(operation, m_source);
    record.station = RecordStation();
    record.port = m_port;
    record.baud = m_baud;
    record.can = m_can;
    return record;
}

void OperationRecords::Begin(RecordOperation operation) {
    m_pending.insert_or_assign(operation, Start(operation));
}

void OperationRecords::Drop(RecordOperation operation) {
    m_pending.erase(operation);
}

void OperationRecords::Finish(RecordOperation operation, RecordOutcome outcome,
                              const QString& shown) {
    auto found = m_pending.find(operation);
    OperationRecord record = found != m_pending.end() ? found->second : Start(operation);
    if (found != m_pending.end())
        m_pending.erase(found);
    Complete(std::move(record), outcome, shown);
}

void OperationRecords::Complete(OperationRecord record, RecordOutcome outcome,
                                const QString& shown) {
    const RecordOperation operation = record.operation;
    if (operation == RecordOperation::kRead && outcome == RecordOutcome::kSuccess) {
        record.checkValue = QString::fromStdString(g_paramCheckText.Get());
    } else if (operation == RecordOperation::kWrite && outcome != RecordOutcome::kCancelled) {
        // The set that went out, whether or not the controller took it.
        record.checkValue = QString::number(ParamCheckValue(g_paramWriteFrames));
    }
    if (operation == RecordOperation::kRead || operation == RecordOperation::kWrite)
        NoteVersions(record);
    record.Finish(outcome, shown);
    Submit(std::move(record));
}

void OperationRecords::Record(RecordOperation operation, RecordOutcome outcome,
                              const QString& shown) {
    OperationRecord record = Start(operation);
    record.Finish(outcome, shown);
    Submit(std::move(record));
}

void OperationRecords::Submit(OperationRecord record) {
    // Hands over only: the database work runs on the recorder's threads.
    if (g_recorder != nullptr)
        g_recorder->Submit(record);
}

void OperationRecords::NoteVersions(OperationRecord& record) const {
    const auto& read = m_window.Reference();
    if (!read)
        return;
    record.softwareVersion = VersionText(read->m_page0.m_swVersion);
    record.hardwareVersion = VersionText(read->m_page0.m_hwVersion);
}

void OperationRecords::NotePort(const QString& path) {
    // The page's settings as the open just used them; the port by the name the user knows.
    m_port = PortNameForPath(path);
    const auto* baud = m_window.Page0().Item<QComboBox>(1040);
    m_baud = baud != nullptr ? static_cast<int>(std::min<std::uint32_t>(
                                   ParseLeadingBaud(baud->currentText()), INT32_MAX))
                             : 0;
    const auto* can = m_window.Page0().Item<QAbstractButton>(1042);
    m_can = can != nullptr && can->isChecked();
}

void OperationRecords::BeginDownload(bool automatic) {
    // A request still waiting for its transfer does not follow another (a second press is
    // ignored meanwhile); if one ever did, the first never reached a transfer.
    if (m_pending.contains(RecordOperation::kDownload))
        Finish(RecordOperation::kDownload, RecordOutcome::kCancelled,
               Words(OwnWords::kRequestReplaced));
    if (automatic)
        m_source = AutomaticModeSource(2);
    Begin(RecordOperation::kDownload);
    m_source = WindowSource();
}

void OperationRecords::TransferBegun(const QString& imageName, const QByteArray& image) {
    // The sender was prepared afresh for this transfer: one still running before it was
    // abandoned.
    CheckTransfer(TransferCheck::kReplaced);
    auto found = m_pending.find(RecordOperation::kDownload);
    if (found == m_pending.end())
        return;
    m_transfer = std::move(found->second);
    m_pending.erase(found);
    OperationRecord& record = *m_transfer;
    record.imageName = imageName;
    record.imageSize = image.size();
    record.imageSha256 =
        QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
    record.bytesAcknowledged = 0;
    m_imageSize = image.size();
    m_finalAcknowledged = false;
    m_transferPoll.start();
}

void OperationRecords::DownloadRefused(const QString& shown, DownloadControl::StartEnd end) {
    if (!m_pending.contains(RecordOperation::kDownload))
        return;
    switch (end) {
        case DownloadControl::StartEnd::kRefused:
            Drop(RecordOperation::kDownload);
            break;
        case DownloadControl::StartEnd::kCancelled:
            Finish(RecordOperation::kDownload, RecordOutcome::kCancelled, shown);
            break;
        case DownloadControl::StartEnd::kFailed:
            Finish(RecordOperation::kDownload, RecordOutcome::kFailed, shown);
            break;
    }
}

void OperationRecords::CheckTransfer(TransferCheck why) {
    if (!m_transfer)
        return;
    // The count falls back to zero when the sender is prepared again after the transfer.
    const qint64 acknowledged = g_modem.AcknowledgedBytes();
    m_transfer->bytesAcknowledged =
        std::max(m_transfer->bytesAcknowledged.value_or(0), acknowledged);
    const bool running = m_link.DownloadRunning();
    if (running && why == TransferCheck::kPoll)
        return;
    // Complete only with the boot loader's final acknowledgement of every byte; a transfer the
    // tool cut off, or one the sender gave up, did not program the controller.
    const bool complete = (m_finalAcknowledged || m_link.LastReportedPercent() == 100) &&
                          !m_link.TransferCut() && m_transfer->bytesAcknowledged == m_imageSize;
    if (complete) {
        EndTransfer(RecordOutcome::kSuccess, {});
        return;
    }
    // The log box's word on an end the sender reported, whether or not its report has reached
    // the box yet; else the tool's own, with how far the boot loader got.
    QString shown = running ? QString() : m_download.UnacknowledgedEndText();
    if (shown.isEmpty()) {
        OwnWords words = OwnWords::kTransferStopped;
        if (why == TransferCheck::kReplaced)
            words = OwnWords::kTransferReplaced;
        else if (why == TransferCheck::kWindowClosed)
            words = OwnWords::kTransferWindowClosed;
        else if (why == TransferCheck::kPortClosed || m_link.TransferCut())
            words = OwnWords::kTransferPortClosed;
        const bool chinese = m_window.Language() == UiLanguage::Chinese;
        shown = QString::fromUtf8(chinese ? kTransferWords.chinese : kTransferWords.english)
                    .arg(Words(words))
                    .arg(m_transfer->bytesAcknowledged.value_or(0))
                    .arg(m_imageSize);
    }
    EndTransfer(RecordOutcome::kFailed, shown);
}

void OperationRecords::EndTransfer(RecordOutcome outcome, const QString& shown) {
    m_transferPoll.stop();
    OperationRecord record = std::move(*m_transfer);
    m_transfer.reset();
    Complete(std::move(record), outcome, shown);
}
