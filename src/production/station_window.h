#pragma once
// The station window: one mode and its file for every port, the ports (every cable as it comes
// and goes, or a chosen list), Start and Stop, and one tile per port in a grid that fits 1 to 16.
// It drives the station's supervisor (the same worker processes `tarvik-cli station` runs) and
// never opens a port itself. The mode, the file's name and short SHA-256 stay in view; they do
// not change while a run goes on.

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>

#include "production/station_view_model.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class PortSource;
class Sounds;
class StationSounds;
struct StationOptions;
class StationSupervisor;
class StationTile;
struct StationEvent;

struct StationWindowOptions {
    int mode = 2;  // 1 write parameters, 2 download the program, 3 read parameters
    // Mode 1: the parameter file; mode 2: the program image; mode 3: the reference (optional).
    QString file;
    QStringList ports;  // empty: every cable as it is plugged in and pulled
    int delayTicks = 12;
    bool fast = false;
    // The worker program; empty: tarvik-cli beside this program.
    QString workerProgram;
    // Given to every worker after the window's own arguments (a line's own options).
    QStringList workerArguments;
    // Where records go ("" = the default), this station's name and, with a server, the local
    // outbox ("" = the default); passed to every worker.
    QString records;
    QString station;
    QString outbox;
    // The port the main window holds open (empty: none). It is shown in use, not taken.
    std::function<QString()> heldPort;
    // The port list for automatic ports; null: the system's.
    PortSource* portSource = nullptr;
    // Whether a listed port is the cable's; empty: the system's USB ids. Tests replace it.
    std::function<bool(const QString&)> isCable;
    // After a worker ended on its own, before its port gets another.
    int restartPauseMs = 2000;
};

class StationWindow : public QWidget {
    Q_OBJECT

public:
    explicit StationWindow(StationWindowOptions options, QWidget* parent = nullptr);
    ~StationWindow() override;

    // The sounds to play instead of the speakers' (tests, a silent station).
    void SetSounds(Sounds& sounds);

    // The controls, as the operator sets them. Refused with a message during a run.
    bool SetMode(int mode);
    bool SetFile(const QString& path);
    void SetPorts(const QStringList& ports);

    // False after a message when the settings cannot start a run.
    bool Start();
    void Stop();
    bool Running() const;
    // A close was accepted while the station ran: the window closes once its workers have ended.
    bool ClosingAfterStop() const { return m_closeAfterStop; }

    const StationViewModel& Model() const { return m_model; }
    StationViewModel& Model() { return m_model; }
    // The supervisor of the run under way; null between runs.
    const StationSupervisor* Supervisor() const { return m_supervisor.get(); }
    // The tile of `port`, for tests and pictures; null when the port has none.
    StationTile* Tile(const QString& port) const;
    // What is in view about the run's input: the mode, the file's name and short SHA-256.
    QString IdentityText() const;
    QString TotalsText() const;
    // Columns of the tile grid for `ports` tiles.
    static int GridColumns(int ports);
    // The file's short SHA-256 as shown (12 hex digits), empty until a file is read.
    QString ShortSha256() const { return m_sha256.left(12); }

    // A run driven by something else than a supervisor of its own (pictures, tests of the
    // view): the model is fed directly; Start and Stop only change the window's state.
    void SetDetached(bool detached) { m_detached = detached; }

signals:
    void started();
    // The run has ended: every worker has ended.
    void stopped();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    // The workers' arguments and the supervisor's options from the window's settings.
    StationOptions SupervisorOptions() const;
    void StartSupervisor();
    void Rebuild();
    void ShowPort(int index);
    void ShowIdentity();
    void ShowTotals();
    void UpdateControls();
    void ReadFile();
    void ChooseFile();
    void RefuseDuringRun();
    void TakeEvent(const StationEvent& event);
    void CheckHeldPort();
    void Finished();
    QString FileRole() const;

    StationWindowOptions m_options;
    StationViewModel m_model;
    std::unique_ptr<Sounds> m_ownSounds;
    Sounds* m_sounds;
    StationSounds* m_stationSounds;
    std::unique_ptr<StationSupervisor> m_supervisor;
    bool m_detached = false;
    bool m_running = false;
    bool m_closeAfterStop = false;
    QString m_fileName;
    QString m_sha256;
    QString m_fileProblem;
    qint64 m_fileSize = -1;
    QString m_heldShown;

    QComboBox* m_mode = nullptr;
    QLineEdit* m_file = nullptr;
    QPushButton* m_choose = nullptr;
    QLineEdit* m_ports = nullptr;
    QSpinBox* m_delay = nullptr;
    QCheckBox* m_fast = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QLabel* m_identity = nullptr;
    QLabel* m_totals = nullptr;
    QLabel* m_empty = nullptr;
    QWidget* m_grid = nullptr;
    QGridLayout* m_gridLayout = nullptr;
    QList<StationTile*> m_tiles;
};
