#include "download/download_control.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextCursor>
#include <span>
#include <utility>

#include "app/fixed_texts.h"
#include "app/string_table.h"
#include "core/commands/auto_production.h"
#include "core/commands/refusal.h"
#include "core/modem/modem_sender.h"
#include "download/download_texts.h"
#include "download/image_file.h"
#include "link/controller_link.h"
#include "ui/c_number_text.h"
#include "ui/prompts.h"
#include "ui/sounds.h"
#include "ui/template_widget.h"

namespace {

constexpr int kPathEdit = 1009;
constexpr int kProgressBar = 1014;
constexpr int kPercentText = 1015;
constexpr int kLogEdit = 1001;
constexpr int kModeList = 1030;
constexpr int kDelayEdit = 1023;
constexpr int kVoltageCalibEdit = 1010;
constexpr int kModeCount = 4;

constexpr std::int64_t kImageLimit = static_cast<std::int64_t>(kModemImageCapacity);

std::span<const std::uint8_t> AsBytes(const QByteArray& bytes) {
    return {reinterpret_cast<const std::uint8_t*>(bytes.constData()),
            static_cast<std::size_t>(bytes.size())};
}

}  // namespace

DownloadControl::DownloadControl(TemplateWidget& window, ControllerLink& link, Sounds& sounds,
                                 Clock& clock, QObject* parent)
    : QObject(parent), m_window(window), m_link(link), m_sounds(sounds), m_boot(link, clock) {
    connect(&m_link, &ControllerLink::downloadProgress, this, &DownloadControl::ShowProgress);
    connect(&m_link, &ControllerLink::downloadLog, this, &DownloadControl::AppendLog);
}

DownloadControl::~DownloadControl() = default;

void DownloadControl::SetCommands(std::function<void()> paramWrite, std::function<void()> connect) {
    m_paramWrite = std::move(paramWrite);
    m_connect = std::move(connect);
}

int DownloadControl::Mode() const {
    const auto* list = m_window.Item<QComboBox>(kModeList);
    return list != nullptr ? list->currentIndex() : 0;
}

void DownloadControl::SetPath(const QString& path) {
    m_binFilePath = path;
    m_binFileName = QFileInfo(path).fileName();
    m_window.Controls().SetText(kPathEdit, QDir::toNativeSeparators(path));
    // The end of a long path is what tells one file from the next.
    if (auto* edit = m_window.Item<QLineEdit>(kPathEdit))
        edit->setCursorPosition(static_cast<int>(path.size()));
}

DownloadControl::FileResult DownloadControl::ReadFile(QByteArray& bytes) {
    if (m_binFilePath.isEmpty()) {
        const QString chosen = AppPrompts().OpenFileName(FileKind::kProgramImage,
                                                               QString::fromUtf8(kFileFilters));
        if (chosen.isEmpty())
            return FileResult::kCancelled;
        SetPath(chosen);
    }
    m_window.UpdateData(false);
    ImageFileRead read = ReadImageFile(m_binFilePath, kImageLimit);
    if (read.error != ImageFileError::kNone) {
        Tell(ImageFileMessage(read, m_binFilePath, kImageLimit, m_window.Language()));
        return FileResult::kFailed;
    }
    bytes = std::move(read.bytes);
    return FileResult::kLoaded;
}

bool DownloadControl::LoadImageFile() {
    QByteArray bytes;
    if (ReadFile(bytes) != FileResult::kLoaded)
        return false;
    const QByteArray name = QFile::encodeName(m_binFileName);
    // The data first: a sender that is busy picks the new image up from its start.
    g_modem.SetFileData(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                        static_cast<std::size_t>(bytes.size()));
    return g_modem.SetFileInfo(
               std::string_view(name.constData(), static_cast<std::size_t>(name.size())),
               static_cast<std::uint32_t>(bytes.size())) == ModemLoad::kOk;
}

void DownloadControl::OnOpenFileClicked() {
    const QString previous = m_binFilePath;
    m_binFilePath.clear();
    LoadImageFile();
    if (m_binFilePath.isEmpty())
        m_binFilePath = previous;
}

bool DownloadControl::LoadImage(const QString& path) {
    SetPath(path);
    return LoadImageFile();
}

void DownloadControl::OnDownloadClicked(unsigned voltageCalibValue) {
    StartDownload(voltageCalibValue, {});
}

void DownloadControl::StartDownload(unsigned voltageCalibValue, StartEnded ended) {
    if (m_settling)
        return;
    const bool automatic = static_cast<bool>(ended);
    m_startEnded = std::move(ended);
    m_shown.clear();
    m_startEnd = StartEnd::kRefused;
    emit downloadRequested(automatic);
    if (!m_link.IsOpen()) {
        Tell(Tr(static_cast<int>(Refusal::kPortClosed)));
        EndStart(false);
        return;
    }
    // Before anything is sent: a controller in its boot loader with no image to follow would
    // stay there.
    const bool imageLoaded = g_modem.GetImageSize() != 0;
    QByteArray bytes;
    switch (ReadFile(bytes)) {
        case FileResult::kLoaded:
            break;
        case FileResult::kCancelled:
            m_startEnd = StartEnd::kCancelled;
            Tell(QString::fromUtf8(download_text::kNoImage.In(m_window.Language())));
            EndStart(false);
            return;
        case FileResult::kFailed:
            EndStart(false);
            return;
    }
    // The file dialog may have been open long enough for the port to go.
    const Refusal refusal = m_boot.Start(imageLoaded, voltageCalibValue, [this] { HandOver(); });
    if (refusal != Refusal::kNone) {
        Tell(Tr(static_cast<int>(refusal)));
        EndStart(false);
        return;
    }
    if (m_boot.Running()) {
        // The boot-entry command went out: the controller waits in its boot loader now.
        m_startEnd = StartEnd::kFailed;
        m_settling = true;
        emit runningChanged(true);
    }
}

void DownloadControl::HandOver() {
    const bool wasSettling = m_settling;
    m_settling = false;
    m_link.ReinitialiseSender();
    // Read again: the file may have changed while the controller entered its boot loader.
    QByteArray bytes;
    bool started = false;
    if (ReadFile(bytes) == FileResult::kLoaded) {
        const QByteArray name = QFile::encodeName(m_binFileName);
        started = m_link.StartDownload(
                      std::string_view(name.constData(), static_cast<std::size_t>(name.size())),
                      AsBytes(bytes), ModemDialect::kBootLoader) == ModemLoad::kOk;
        if (started) {
            m_statusHeld = false;
            emit transferBegun(m_binFileName, bytes);
        } else {
            m_shown = QString::fromUtf8(download_text::kSenderRefused.In(m_window.Language()));
        }
    }
    EndStart(started);
    if (wasSettling)
        emit runningChanged(false);
}

void DownloadControl::EndStart(bool started) {
    StartEnded ended = std::move(m_startEnded);
    m_startEnded = nullptr;
    if (ended)
        ended(started);
    if (!started)
        emit downloadRefused(std::exchange(m_shown, QString()),
                             std::exchange(m_startEnd, StartEnd::kRefused));
    emit downloadStarted(started);
}

void DownloadControl::Tell(const QString& text) {
    m_shown = text;
    AppPrompts().Message(text);
}

void DownloadControl::ShowProgress(int percent) {
    ControlSet& controls = m_window.Controls();
    if (auto* bar = m_window.Item<QProgressBar>(kProgressBar))
        bar->setValue(percent);
    controls.SetText(kPercentText, QString::number(percent) + QStringLiteral("%"));
    if (percent >= 100) {
        const QString unacknowledged = UnacknowledgedEndText();
        m_statusHeld = !unacknowledged.isEmpty();
        controls.SetText(kLogEdit,
                         m_statusHeld ? unacknowledged : QString::fromUtf8(kDownloadFinishedText));
        m_downloadingShown = 0;
        m_statusShown = true;
    } else if (m_downloadingShown == 0) {
        controls.SetText(kLogEdit, QString::fromUtf8(kDownloadingText));
        m_downloadingShown = 1;
        m_statusShown = true;
    }
}

QString DownloadControl::UnacknowledgedEndText() const {
    if (!m_link.EndedUnacknowledged())
        return {};
    return QString::fromUtf8(download_text::kLastPacketRefused.In(m_window.Language()));
}

void DownloadControl::AppendLog(const QByteArray& bytes) {
    if (m_logEchoOn != 1 || bytes.isEmpty())
        return;
    // One character per byte, control bytes included.
    const QString text = QString::fromLatin1(bytes);
    m_logText += text;
    auto* edit = m_window.Item<QPlainTextEdit>(kLogEdit);
    if (edit == nullptr || m_statusHeld)
        return;
    // A whole chunk is one change of the edit, so a chatty boot loader cannot flood the window.
    if (m_statusShown) {
        edit->setPlainText(m_logText);
        m_statusShown = false;
    } else {
        QTextCursor end(edit->document());
        end.movePosition(QTextCursor::End);
        end.insertText(text);
    }
    edit->moveCursor(QTextCursor::End);
    edit->ensureCursorVisible();
}

void DownloadControl::ResetTransferState() {
    m_downloadingShown = 0;
    m_logEchoOn = 1;
    if (m_settling) {
        m_boot.Cancel();
        m_settling = false;
        // Nothing is shown: the port's own sequence runs.
        m_shown = QString::fromUtf8(download_text::kPortReopenedBeforeTransfer.In(m_window.Language()));
        EndStart(false);
        emit runningChanged(false);
    }
}

void DownloadControl::ResetView() {
    if (auto* bar = m_window.Item<QProgressBar>(kProgressBar)) {
        bar->setRange(0, 100);
        bar->setValue(0);
    }
    m_logText.clear();
    m_statusShown = false;
    m_statusHeld = false;
    m_window.Controls().SetText(kPercentText, QString());
    m_window.Controls().SetText(kLogEdit, QString());
}

bool DownloadControl::SelectMode(int mode) {
    auto* list = m_window.Item<QComboBox>(kModeList);
    if (list == nullptr || mode < 0 || mode >= kModeCount || mode >= list->count())
        return false;
    list->setCurrentIndex(mode);
    return true;
}

void DownloadControl::SetDelay(unsigned ticks) {
    m_autoDelay = ticks;
    m_window.Controls().SetText(kDelayEdit, QString::number(ticks));
    // Into the window's own field as well: a download start writes the controls from the fields
    // and would bring the old delay back.
    m_window.UpdateData(true);
}

int DownloadControl::ReadAutoDelay() {
    // The window's fields from its controls, so that a delay typed meanwhile takes effect.
    m_window.UpdateData(true);
    if (const auto typed = ScanUnsigned(m_window.Controls().Text(kDelayEdit)))
        m_autoDelay = *typed;
    return static_cast<int>(m_autoDelay);
}

void DownloadControl::Play(std::string_view sound) {
    if (!sound.empty())
        m_sounds.Play(QString::fromUtf8(sound.data(), static_cast<qsizetype>(sound.size())));
}

void DownloadControl::StepAutoModes() {
    if (m_settling)
        return;
    const AutoModeStep step =
        ::StepAutoModes(Mode(), m_link.DownloadRunning(), [this] { return ReadAutoDelay(); });
    switch (step.m_action) {
        case AutoAction::kNone:
            // A transfer the tool cut off (its port reopened), or one whose last packet the boot
            // loader refused, did not program the controller: the run ends, but not with the
            // success sound.
            if (step.m_sound == sound_files::kDownloadSuccess &&
                (m_link.TransferCut() || m_link.EndedUnacknowledged()))
                Play(sound_files::kWriteError);
            else
                Play(step.m_sound);
            break;
        case AutoAction::kParamWrite:
            if (m_paramWrite)
                m_paramWrite();
            Play(step.m_sound);
            break;
        case AutoAction::kDownload: {
            // As the button does: the controls from the fields, so the variant follows the field,
            // once the port has passed the start's first check; what was typed goes into the
            // fields first, so the write does not throw it away.
            if (m_link.IsOpen()) {
                m_window.TakeTypedText();
                m_window.UpdateData(false);
            }
            const unsigned calib =
                ScanUnsigned(m_window.Controls().Text(kVoltageCalibEdit)).value_or(0);
            const std::string_view sound = step.m_sound;
            StartDownload(calib, [this, sound](bool started) {
                if (started)
                    Play(sound);
                else
                    g_autoRunStarted = 0;
            });
            break;
        }
        case AutoAction::kConnectAndRead:
            // The sound follows the read's end, after any message of its own.
            if (m_connect && CheckConnectRefusal(m_link) == Refusal::kNone) {
                m_soundAfterConnect = step.m_sound;
                m_connect();
            } else {
                if (m_connect)
                    m_connect();
                Play(step.m_sound);
            }
            break;
    }
}

void DownloadControl::OnConnectFinished() {
    if (const auto sound = std::exchange(m_soundAfterConnect, std::nullopt))
        Play(*sound);
}
