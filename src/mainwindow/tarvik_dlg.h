#pragma once
// The main window: tab pages on the left, the port row, commands and counters below them, and
// the folding right-hand panel with download, check value, remote control and calibration.

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QTime>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "core/commands/connect_sequence.h"
#include "core/commands/param_write_sequence.h"
#include "core/params/block_layout.h"
#include "core/params/parameter_values.h"
#include "core/protocol/status_request.h"
#include "ui/template_widget.h"

class ControllerLink;
class LiveChartWindow;
class DownloadControl;
class OperationRecords;
class RecordsWindow;
class StationWindow;
struct StationWindowOptions;
class ProcessLauncher;
class SerialMessageBox;
class PortRow;
class PortSource;
class ParameterFiles;
class ParameterPages;
class Sounds;
class Cpage0;
class Cpage1;
class Cpage3;
class Cpage5;
class Cpage6;
class KeyState;
class ProfileSettings;
class FileFolders;

class CTarvikDlg : public TemplateWidget {
    Q_OBJECT
public:
    // Widths of the unfolded window: the panel takes this share of the outer width.
    static constexpr int kPanelShare = 480;
    static constexpr int kPanelShareOf = 1322;
    static constexpr int kTimerPeriodMs = 250;
    // The display page marks its values old when no status frame came for this long while the
    // tick was asking for them.
    static constexpr int kStaleAfterMs = 2000;

    CTarvikDlg(ProfileSettings& settings, KeyState& keys, QWidget* parent = nullptr);
    ~CTarvikDlg() override;

    // Replace the platform's port list and cable presence, or the sounds, before OnInitDialog
    // (demo mode, tests).
    void SetPortSource(PortSource& ports);
    void SetSounds(Sounds& sounds);
    // How the language switch starts the new instance (tests put a fake here).
    void SetProcessLauncher(ProcessLauncher& launcher);
    // The entry put first in the port list, selected, across every search (demo, --port).
    void SetPinnedPort(const QString& name);
    // Opens `name` (or, when empty, the list's selection) as the open button does.
    void OpenPortAtStart(const QString& name);

    // Fills the lists, applies the language and settings, folds the panel and starts the timer.
    void OnInitDialog();

    Cpage0& Page0() const { return *m_page0; }
    Cpage1& Page1() const { return *m_page1; }
    Cpage3& Page3() const { return *m_page3; }
    Cpage5& Page5() const { return *m_page5; }
    Cpage6& Page6() const { return *m_page6; }
    TemplateWidget& PageAt(int index) const;

    bool PanelCollapsed() const { return m_panelCollapsed; }
    int PanelWidth() const { return m_panelWidth; }
    const QTimer& Timer() const { return m_timer; }
    ControllerLink& LinkToController() const { return *m_link; }
    PortRow& Ports() const { return *m_portRow; }
    DownloadControl& Download() const { return *m_download; }
    LiveChartWindow& Chart() const { return *m_chart; }
    OperationRecords& OperationLog() const { return *m_records; }
    // The records window once it was opened; null before.
    RecordsWindow* RecordsView() const { return m_recordsWindow; }
    // The station window while it is open; null before and after.
    StationWindow* StationView() const;
    // The port this window holds open, empty while it is closed.
    QString HeldPort() const;
    // What the station window is opened with: this window's records and station, its download
    // mode (1..3) and program, delay and fast download, and the port it holds.
    StationWindowOptions StationOptions() const;
    ParameterPages& Parameters() const { return *m_parameters; }
    ParameterFiles& Files() const { return *m_files; }
    // The set last read from the controller or imported; none before the first.
    const std::optional<ParameterValues>& Reference() const { return m_reference; }
    Sounds& SoundOutput() const { return *m_sounds; }
    ProfileSettings& Settings() const { return m_settings; }
    // The values of the parameter set as the pages and the main window hold them now.
    ParameterValues CurrentParameterValues() const;
    // The main window's share of the set from its fields as they stand, or read from its
    // controls first (false, after its one message, when a field does not read).
    MainWindowValues MainWindowFields() const;
    bool ReadMainWindow(MainWindowValues& values);

    void TakeTypedText() override;

    // A command or port sequence runs: the tick is skipped and the window takes no input that
    // starts or changes anything, as if it were asleep.
    bool Busy() const;
    // The display page is the selected tab.
    bool DisplayPageShown() const;

    // Fields of the exchange.
    std::uint32_t m_successCount = 0;
    std::uint32_t m_errorCount = 0;
    std::uint32_t m_voltageCalibValue = 0;
    std::uint32_t m_currentCalibValue = 0;
    std::uint32_t m_autoDelay = 0;
    std::uint32_t m_fieldWeakeningValue = 0;
    int m_gear = 0;
    int m_brake = 0;
    int m_reverse = 0;
    int m_lock = 0;
    int m_displayMode = 0;
    int m_canNode = 0;
    int m_canBitRate = 0;
    // What rides in every status request.
    RemoteControlState m_remote;

public slots:
    void OnPanelToggleClicked();
    void OnTabSelChange(int index);
    void OnTimer();
    void OnParamWriteClicked();
    void OnConnectClicked();
    void OnCanCableClicked();
    void OnRestartControllerClicked();
    void OnRestartCableClicked();
    void OnOfflineDownloadClicked();
    void OnFactoryRestoreClicked();
    void OnFactoryStoreClicked();
    void OnRemoteClicked();
    void OnDisplayModeClicked();
    void OnCalibrationWriteClicked();
    void OnDownloadClicked();
    void ShowAbout();
    // The live chart of the status values; polling runs while it is open.
    void ShowChart();
    // The production records of this station and the line.
    void ShowRecords();
    // The station window (every port at once, through worker processes); one at a time.
    void ShowStation();
    void OnSaveConfigClicked();
    void OnImportConfigClicked();
    // Lists what the pages and the main window would change against the reference set, or
    // against a parameter file the user picks.
    void ShowCompare();
    void ShowCompareWithFile();
    // The opt-in fast download: stored per user unless `store` is false (a station's --fast).
    void SetFastDownload(bool on, bool store = true);
    // Shows the hidden service controls; the "~" sequence also shows the restart, cable and
    // factory controls.
    void RevealServiceControls(bool tildeSequence);

signals:
    // A parameter write or the cable box's handler ran (tests watch these).
    void ParamWriteRequested();
    void CanCableClickRequested();
    // A command ended: the connect's or the write's outcome, for the production modes.
    void ConnectFinished(ConnectOutcome outcome);
    // A connect ended, refused or not (the production modes' read plays its sound then).
    void ConnectEnded();
    void ParamWriteFinished(WriteOutcome outcome);
    void BusyChanged(bool busy);

protected:
    void DoDataExchange(DataExchange& exchange) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreatePages();
    void FillLists();
    void ApplyEnglishOverlay();
    void UpdateCheckValueColour();
    // After the window grew: still whole on its screen.
    void KeepOnScreen();
    // Folded, nothing of the panel shows at the window's edge.
    void MaskFoldedPanel();
    // The key handling of the main window's controls; true when the key was consumed.
    bool FilterKey(const QKeyEvent& key);
    bool IsMainWindowControl(const QWidget* widget) const;
    // Swallows input while Busy().
    bool FilterInputWhileBusy(QObject* watched, QEvent* event);
    void UpdateBusy();
    void ConnectControls();
    void ReadStatusRequestControls();
    void RefreshDisplayPage();
    void RefreshAfterRead();
    // The page refresh of a read and the calibration it brought, at once if still due.
    void ShowPendingRead();
    void ShowCounters();
    void UpdateThrottleLabel();
    void OnParameterBlock(int number, const BlockBytes& bytes);
    // After each tick: whether it asked for a status; marks the values old when the answers
    // stopped.
    void WatchStatusAnswers(bool requested);
    void StatusAnswered();
    // A message once per distinct failure while the tick reads the controls.
    bool ExchangeForTick();

    ProfileSettings& m_settings;
    KeyState& m_keys;
    // Where the file dialogs start, kept in m_settings; the program's while this window lives.
    std::unique_ptr<FileFolders> m_folders;
    FileFolders* m_previousFolders = nullptr;
    Cpage0* m_page0 = nullptr;
    Cpage1* m_page1 = nullptr;
    Cpage3* m_page3 = nullptr;
    Cpage5* m_page5 = nullptr;
    Cpage6* m_page6 = nullptr;
    std::unique_ptr<SerialMessageBox> m_serialMessages;
    std::unique_ptr<ControllerLink> m_link;
    std::unique_ptr<PortSource> m_ownPorts;
    PortSource* m_ports = nullptr;
    std::unique_ptr<ProcessLauncher> m_ownLauncher;
    ProcessLauncher* m_launcher = nullptr;
    std::unique_ptr<Sounds> m_ownSounds;
    Sounds* m_sounds = nullptr;
    std::unique_ptr<ParameterPages> m_parameters;
    std::unique_ptr<ParameterFiles> m_files;
    std::optional<ParameterValues> m_reference;
    std::unique_ptr<PortRow> m_portRow;
    std::unique_ptr<DownloadControl> m_download;
    LiveChartWindow* m_chart = nullptr;
    std::unique_ptr<OperationRecords> m_records;
    RecordsWindow* m_recordsWindow = nullptr;
    QPointer<StationWindow> m_stationWindow;
    QString m_pinnedPort;
    std::unique_ptr<ConnectSequence> m_connect;
    std::unique_ptr<ParamWriteSequence> m_paramWrite;
    ParameterValues m_values;  // the set last read, imported or written
    bool m_busy = false;
    QString m_lastTickFailure;  // the controls' text that gave the last tick message
    bool m_tickMessageOpen = false;
    QTimer m_timer;
    // Since the last status frame, or since the tick began asking when none came since.
    QElapsedTimer m_quietFor;
    QTime m_lastAnswer;
    bool m_requesting = false;
    bool m_panelCollapsed = true;
    int m_panelWidth = 0;
};
