#pragma once
// The main window's download group: the program file (1005 open file, 1009 its path), the
// download (1006) with its boot-entry command, the progress (1014 bar, 1015 percent) and the
// boot loader's text (1001), and the automatic production modes (1030 mode, 1023 delay) that a
// controller's announcement starts.
//
// Everything runs on the GUI thread: the receive thread's progress and log reach it as the
// link's queued signals. The 200 ms between the boot-entry command and the hand-over run on the
// clock; meanwhile Running() is true and the window skips its tick and takes no input, as if it
// were asleep, so no status request reaches the boot loader.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "core/commands/boot_entry_sequence.h"
#include "core/commands/clock.h"

class ControllerLink;
class Sounds;
class TemplateWidget;

class DownloadControl : public QObject {
    Q_OBJECT

public:
    // How a download request ended without a transfer. Refused: nothing went to the controller
    // (port closed, file unusable, busy). Cancelled: the user chose no file. Failed: the
    // boot-entry command went out, but no transfer followed it.
    enum class StartEnd { kRefused, kCancelled, kFailed };
    Q_ENUM(StartEnd)

    // Filters of the file dialog.
    static constexpr char kFileFilters[] = "Bin Files(*.bin);;all files(*.*) (*)";
    // The delay in 1023 before the window first writes it.
    static constexpr unsigned kInitialAutoDelay = 12;

    // `window` holds the controls named above and does the data exchange; `clock` times the
    // wait after the boot-entry command.
    DownloadControl(TemplateWidget& window, ControllerLink& link, Sounds& sounds, Clock& clock,
                    QObject* parent = nullptr);
    ~DownloadControl() override;

    // The window's parameter write (mode 1; it plays its own outcome sounds in that mode) and
    // its connect-and-read (mode 3; its end comes back through OnConnectFinished).
    void SetCommands(std::function<void()> paramWrite, std::function<void()> connect);

    // Button 1005: asks for a file and loads it; cancelled, the previous path and image stay.
    void OnOpenFileClicked();
    // Loads the file at the path (asking for one while there is none) into the sender, re-read
    // from disk. False after its message (none when the dialog was cancelled).
    bool LoadImageFile();
    // Button 1006, after the window has written its fields into its controls. The file is
    // checked first; then "BLOOD" ("BLOTD" for 32767) when the sender holds an image, 200 ms,
    // the sender prepared again, the file reloaded and the receive path handed to the sender.
    void OnDownloadClicked(unsigned voltageCalibValue);

    // The tick's automatic modes, after the counters (not called while Running()).
    void StepAutoModes();

    // Production stations (the command line): the mode list's selection, 0..3 (false for any
    // other); the file as the dialog would have given it (false after its message); the delay.
    bool SelectMode(int mode);
    bool LoadImage(const QString& path);
    void SetDelay(unsigned ticks);

    // The port-open sequence: a transfer was abandoned ("Downloading..." may show again, the
    // boot loader's bytes reach the log again; a download waiting to start is dropped) and the
    // view reset (progress 0 of 0..100, log and percent emptied).
    void ResetTransferState();
    void ResetView();

    // The wait after the boot-entry command runs.
    bool Running() const { return m_settling; }

    const QString& BinFilePath() const { return m_binFilePath; }
    const QString& BinFileName() const { return m_binFileName; }
    const QString& LogText() const { return m_logText; }
    // What 1001 shows instead of the finished text when the boot loader did not acknowledge the
    // whole image of the last transfer; empty for any other transfer.
    QString UnacknowledgedEndText() const;
    unsigned AutoDelay() const { return m_autoDelay; }
    int Mode() const;

public slots:
    // The window's connect-and-read ended, whatever its outcome.
    void OnConnectFinished();

signals:
    void runningChanged(bool running);
    // A download's start ended: true when the sender took over the receive path, false when it
    // was refused (port closed, no usable file).
    void downloadStarted(bool started);
    // For the records: a download was asked for, by the button or by automatic program writing.
    void downloadRequested(bool automatic);
    // The image went to the sender as the controller will get it; the transfer runs.
    void transferBegun(const QString& imageName, const QByteArray& image);
    // The request ended without a transfer, after `shown` (the words the user saw, or the tool's
    // own where nothing was said; empty only for kRefused).
    void downloadRefused(const QString& shown, DownloadControl::StartEnd end);

private:
    enum class FileResult { kLoaded, kCancelled, kFailed };
    using StartEnded = std::function<void(bool started)>;

    // Asks for a file while there is no path, then reads it whole; messages for failures.
    FileResult ReadFile(QByteArray& bytes);
    void SetPath(const QString& path);
    void StartDownload(unsigned voltageCalibValue, StartEnded ended);
    void HandOver();
    void EndStart(bool started);
    void ShowProgress(int percent);
    void AppendLog(const QByteArray& bytes);
    int ReadAutoDelay();
    void Play(std::string_view sound);
    // Shows `text` and keeps it as the reason of a request that ends without a transfer.
    void Tell(const QString& text);

    TemplateWidget& m_window;
    ControllerLink& m_link;
    Sounds& m_sounds;
    BootEntrySequence m_boot;
    std::function<void()> m_paramWrite;
    std::function<void()> m_connect;

    QString m_binFilePath;
    QString m_binFileName;
    QString m_logText;
    int m_downloadingShown = 0;
    int m_logEchoOn = 0;
    // 1001 shows a status text, not the log: the next bytes replace it.
    bool m_statusShown = false;
    // 1001 keeps its status text until the next transfer: the bytes that follow (the final
    // answers) would otherwise hide it at once.
    bool m_statusHeld = false;
    unsigned m_autoDelay = kInitialAutoDelay;

    bool m_settling = false;
    StartEnded m_startEnded;
    QString m_shown;
    StartEnd m_startEnd = StartEnd::kRefused;
    std::optional<std::string_view> m_soundAfterConnect;
};
