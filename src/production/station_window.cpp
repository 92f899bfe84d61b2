#include "production/station_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <span>

#include "core/modem/modem_sender.h"
#include "core/params/config_file.h"
#include "download/image_file.h"
#include "link/port_source.h"
#include "production/production_text.h"
#include "production/station_sounds.h"
#include "production/station_tile.h"
#include "station/station_supervisor.h"
#include "ui/prompts.h"
#include "ui/sounds.h"

namespace {

QString ModeCaption(int mode) {
    switch (mode) {
        case 1:
            return ProductionText("1 写入参数", "1 Write parameters");
        case 3:
            return ProductionText("3 读取参数", "3 Read parameters");
        default:
            return ProductionText("2 下载程序", "2 Download program");
    }
}

QString WorkerProgram(const QString& chosen) {
    if (!chosen.isEmpty())
        return chosen;
    const QString dir = QCoreApplication::applicationDirPath();
    const QString windows = QDir(dir).filePath(QStringLiteral("tarvik-cli.exe"));
    return QFile::exists(windows) ? windows : QDir(dir).filePath(QStringLiteral("tarvik-cli"));
}

StationPhase PhaseOf(StationState state) {
    switch (state) {
        case StationState::kBootEntry:
            return StationPhase::kBootEntry;
        case StationState::kDownloading:
            return StationPhase::kDownloading;
        case StationState::kWriting:
            return StationPhase::kWriting;
        case StationState::kReading:
            return StationPhase::kReading;
        case StationState::kPassed:
            return StationPhase::kPassed;
        case StationState::kFailed:
            return StationPhase::kFailed;
        case StationState::kCancelled:
            return StationPhase::kCancelled;
        default:
            return StationPhase::kWaiting;
    }
}

}  // namespace

StationWindow::StationWindow(StationWindowOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_options(std::move(options)),
      m_ownSounds(std::make_unique<SoundEffects>()),
      m_sounds(m_ownSounds.get()),
      m_stationSounds(new StationSounds(*m_sounds, 1500, this)) {
    setWindowTitle(ProductionText("生产工位", "Production station"));
    resize(1100, 720);
    BuildControls();
    connect(&m_model, &StationViewModel::portAdded, this, &StationWindow::Rebuild);
    connect(&m_model, &StationViewModel::portRemoved, this, &StationWindow::Rebuild);
    connect(&m_model, &StationViewModel::portChanged, this, [this](int index) {
        ShowPort(index);
        ShowTotals();
    });
    connect(&m_model, &StationViewModel::operationEnded, this,
            [this](const QString&, bool passed) { m_stationSounds->OperationEnded(passed); });
    if (m_options.heldPort) {
        auto* heldCheck = new QTimer(this);
        connect(heldCheck, &QTimer::timeout, this, &StationWindow::CheckHeldPort);
        heldCheck->start(1000);
    }
    for (const QString& port : m_options.ports)
        m_model.AddPort(port);
    ReadFile();
    ShowIdentity();
    ShowTotals();
    UpdateControls();
    Rebuild();
}

StationWindow::~StationWindow() {
    // The supervisor's own end kills what still runs; its signals must not reach a half-gone
    // window.
    if (m_supervisor)
        m_supervisor->disconnect(this);
}

void StationWindow::SetSounds(Sounds& sounds) {
    m_sounds = &sounds;
    delete m_stationSounds;
    m_stationSounds = new StationSounds(sounds, 1500, this);
    m_stationSounds->SetMode(m_options.mode);
}

void StationWindow::BuildControls() {
    m_mode = new QComboBox(this);
    for (int mode = 1; mode <= 3; ++mode)
        m_mode->addItem(ModeCaption(mode), mode);
    m_mode->setCurrentIndex(std::clamp(m_options.mode, 1, 3) - 1);
    m_file = new QLineEdit(m_options.file, this);
    m_file->setReadOnly(true);
    m_file->setMinimumWidth(180);
    m_choose = new QPushButton(ProductionText("选择…", "Choose…"), this);
    m_ports = new QLineEdit(m_options.ports.join(QStringLiteral(", ")), this);
    m_ports->setPlaceholderText(
        ProductionText("自动（所有插入的线缆）", "auto (every cable plugged in)"));
    m_ports->setMinimumWidth(160);
    m_delay = new QSpinBox(this);
    m_delay->setRange(0, 65535);
    m_delay->setValue(m_options.delayTicks);
    m_delay->setToolTip(ProductionText("每次下载后的等待（每格 250 毫秒）",
                                       "Hold-off after each download (ticks of 250 ms)"));
    m_fast = new QCheckBox(ProductionText("快速下载", "Fast download"), this);
    m_fast->setChecked(m_options.fast);
    m_start = new QPushButton(ProductionText("开始", "Start"), this);
    m_stop = new QPushButton(ProductionText("停止", "Stop"), this);
    for (QPushButton* button : {m_start, m_stop}) {
        QFont font = button->font();
        font.setBold(true);
        button->setFont(font);
        button->setMinimumWidth(90);
    }

    // Two rows: what is programmed (mode and file) with Start, and where and how (ports,
    // delay, fast download) with Stop.
    auto* what = new QHBoxLayout;
    what->addWidget(new QLabel(ProductionText("模式", "Mode"), this));
    what->addWidget(m_mode);
    what->addSpacing(8);
    what->addWidget(new QLabel(ProductionText("文件", "File"), this));
    what->addWidget(m_file, 1);
    what->addWidget(m_choose);
    what->addSpacing(16);
    what->addWidget(m_start);
    auto* where = new QHBoxLayout;
    where->addWidget(new QLabel(ProductionText("端口", "Ports"), this));
    where->addWidget(m_ports, 1);
    where->addSpacing(8);
    where->addWidget(new QLabel(ProductionText("延时", "Delay"), this));
    where->addWidget(m_delay);
    where->addSpacing(8);
    where->addWidget(m_fast);
    where->addSpacing(16);
    where->addWidget(m_stop);
    auto* settings = new QVBoxLayout;
    settings->addLayout(what);
    settings->addLayout(where);

    m_identity = new QLabel(this);
    QFont big = m_identity->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    m_identity->setFont(big);
    m_identity->setTextFormat(Qt::RichText);
    m_identity->setWordWrap(true);
    m_totals = new QLabel(this);
    m_totals->setFont(big);
    m_totals->setTextFormat(Qt::RichText);
    m_totals->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* banner = new QHBoxLayout;
    banner->addWidget(m_identity, 1);
    banner->addWidget(m_totals);

    m_grid = new QWidget(this);
    m_gridLayout = new QGridLayout(m_grid);
    m_gridLayout->setContentsMargins(0, 0, 0, 0);
    m_gridLayout->setSpacing(8);
    m_empty = new QLabel(this);
    m_empty->setAlignment(Qt::AlignCenter);
    m_empty->setWordWrap(true);
    QFont emptyFont = m_empty->font();
    emptyFont.setPointSizeF(emptyFont.pointSizeF() * 1.5);
    m_empty->setFont(emptyFont);
    m_empty->setStyleSheet(QStringLiteral("color: #707070"));

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(settings);
    layout->addLayout(banner);
    layout->addWidget(m_empty, 1);
    layout->addWidget(m_grid, 1);

    connect(m_mode, &QComboBox::activated, this, [this](int index) {
        if (!SetMode(index + 1)) {
            const QSignalBlocker block(m_mode);
            m_mode->setCurrentIndex(m_options.mode - 1);
        }
    });
    connect(m_choose, &QPushButton::clicked, this, &StationWindow::ChooseFile);
    connect(m_start, &QPushButton::clicked, this, &StationWindow::Start);
    connect(m_stop, &QPushButton::clicked, this, &StationWindow::Stop);
    connect(m_ports, &QLineEdit::editingFinished, this, [this] {
        SetPorts(m_ports->text().split(QRegularExpression(QStringLiteral("[,;\\s]+")),
                                       Qt::SkipEmptyParts));
    });
}

QString StationWindow::FileRole() const {
    switch (m_options.mode) {
        case 1:
            return ProductionText("参数文件", "Parameter file");
        case 3:
            return ProductionText("参考文件", "Reference");
        default:
            return ProductionText("程序", "Image");
    }
}

void StationWindow::RefuseDuringRun() {
    AppPrompts().Message(ProductionText(
        "工位运行时不能更改模式和文件，请先停止。",
        "The mode and the file cannot change while the station runs. Stop it first."));
}

bool StationWindow::SetMode(int mode) {
    if (mode == m_options.mode)
        return true;
    if (Running()) {
        RefuseDuringRun();
        return false;
    }
    m_options.mode = std::clamp(mode, 1, 3);
    const QSignalBlocker block(m_mode);
    m_mode->setCurrentIndex(m_options.mode - 1);
    m_stationSounds->SetMode(m_options.mode);
    ReadFile();
    ShowIdentity();
    return true;
}

bool StationWindow::SetFile(const QString& path) {
    if (Running()) {
        RefuseDuringRun();
        return false;
    }
    m_options.file = path;
    m_file->setText(QDir::toNativeSeparators(path));
    ReadFile();
    ShowIdentity();
    return true;
}

void StationWindow::SetPorts(const QStringList& ports) {
    if (Running()) {
        m_ports->setText(m_options.ports.join(QStringLiteral(", ")));
        return;
    }
    m_options.ports = ports;
    m_ports->setText(ports.join(QStringLiteral(", ")));
    // The tiles follow the list; with automatic ports they come with the cables.
    for (const StationPortView& view : QList<StationPortView>(m_model.Ports())) {
        if (!ports.contains(view.port))
            m_model.RemovePort(view.port);
    }
    for (const QString& port : ports)
        m_model.AddPort(port);
}

void StationWindow::ChooseFile() {
    if (Running()) {
        RefuseDuringRun();
        return;
    }
    const QString filters =
        m_options.mode == 2
            ? ProductionText("程序文件 (*.bin);;所有文件 (*)", "Bin Files (*.bin);;all files (*)")
            : ProductionText("参数文件 (*.txt *.cfg);;所有文件 (*)",
                             "Parameter files (*.txt *.cfg);;all files (*)");
    const QString path = AppPrompts().OpenFileName(
        m_options.mode == 2 ? FileKind::kProgramImage : FileKind::kParameterFile, filters);
    if (!path.isEmpty())
        SetFile(path);
}

void StationWindow::ReadFile() {
    m_fileName = QFileInfo(m_options.file).fileName();
    m_sha256.clear();
    m_fileProblem.clear();
    m_fileSize = -1;
    if (m_options.file.isEmpty())
        return;
    QByteArray bytes;
    if (m_options.mode == 2) {
        const auto limit = static_cast<std::int64_t>(kModemImageCapacity);
        ImageFileRead read = ReadImageFile(m_options.file, limit);
        if (read.error != ImageFileError::kNone) {
            m_fileProblem = ImageFileMessage(read, m_options.file, limit, CurrentUiLanguage());
            return;
        }
        bytes = std::move(read.bytes);
    } else {
        QFile file(m_options.file);
        if (!file.open(QIODevice::ReadOnly)) {
            m_fileProblem = ProductionText("无法读取 %1：%2", "Cannot read %1: %2")
                                .arg(m_options.file, file.errorString());
            return;
        }
        bytes = file.readAll();
        const ConfigParseResult parsed = ParseConfiguration(
            std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size())));
        if (!parsed.m_ok) {
            m_fileProblem =
                ProductionText("%1 不是参数文件：%2", "%1 is not a parameter file: %2")
                    .arg(m_fileName,
                         QString::fromStdString(DescribeImportFailure(parsed.m_failure)));
            return;
        }
    }
    m_fileSize = bytes.size();
    m_sha256 = QString::fromLatin1(
        QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString StationWindow::IdentityText() const {
    QString text = ProductionText("模式 %1", "Mode %1").arg(ModeCaption(m_options.mode));
    if (m_options.file.isEmpty()) {
        text += ProductionText(" · 未选择文件", " · no file chosen");
    } else {
        text += QStringLiteral(" · %1 %2").arg(FileRole(), m_fileName);
        if (!m_sha256.isEmpty())
            text += QStringLiteral(" · SHA-256 %1").arg(ShortSha256());
    }
    return text;
}

void StationWindow::ShowIdentity() {
    // A line break may fall between the parts, never inside the hash or after "SHA-256".
    QString html = IdentityText().toHtmlEscaped().replace(QStringLiteral("SHA-256 "),
                                                          QStringLiteral("SHA-256&nbsp;"));
    if (!m_fileProblem.isEmpty())
        html += QStringLiteral("<br><span style='color:#c62828; font-size:small'>%1</span>")
                    .arg(m_fileProblem.toHtmlEscaped());
    m_identity->setText(html);
    m_identity->setToolTip(m_sha256.isEmpty() ? QString()
                                              : QStringLiteral("SHA-256 %1").arg(m_sha256));
}

QString StationWindow::TotalsText() const {
    const int rate = m_model.ControllersPerHour(QDateTime::currentMSecsSinceEpoch());
    return ProductionText("合格 %1 · 不合格 %2 · %3 个/小时", "%1 passed · %2 failed · %3/h")
        .arg(m_model.TotalPassed())
        .arg(m_model.TotalFailed())
        .arg(rate);
}

void StationWindow::ShowTotals() {
    const int rate = m_model.ControllersPerHour(QDateTime::currentMSecsSinceEpoch());
    m_totals->setText(ProductionText("<span style='color:#1b7f2a'>合格 %1</span> · "
                                     "<span style='color:#c62828'>不合格 %2</span> · %3 个/小时",
                                     "<span style='color:#1b7f2a'>%1 passed</span> · "
                                     "<span style='color:#c62828'>%2 failed</span> · %3/h")
                          .arg(m_model.TotalPassed())
                          .arg(m_model.TotalFailed())
                          .arg(rate));
}

bool StationWindow::Running() const {
    return m_running;
}

void StationWindow::UpdateControls() {
    m_start->setEnabled(!m_running);
    m_stop->setEnabled(m_running && !(m_supervisor && m_supervisor->Stopping()));
    m_ports->setEnabled(!m_running);
    m_delay->setEnabled(!m_running);
    m_fast->setEnabled(!m_running);
}

int StationWindow::GridColumns(int ports) {
    if (ports <= 1)
        return 1;
    return static_cast<int>(std::ceil(std::sqrt(static_cast<double>(ports))));
}

void StationWindow::Rebuild() {
    const int count = static_cast<int>(m_model.Ports().size());
    while (m_tiles.size() > count)
        delete m_tiles.takeLast();
    while (m_tiles.size() < count)
        m_tiles.append(new StationTile(m_grid));
    const int columns = GridColumns(count);
    const int rows = count == 0 ? 0 : (count + columns - 1) / columns;
    for (int i = 0; i < count; ++i) {
        m_gridLayout->removeWidget(m_tiles[i]);
        m_gridLayout->addWidget(m_tiles[i], i / columns, i % columns);
    }
    for (int c = 0; c < 4; ++c)
        m_gridLayout->setColumnStretch(c, c < columns ? 1 : 0);
    for (int r = 0; r < 4; ++r)
        m_gridLayout->setRowStretch(r, r < rows ? 1 : 0);
    for (int i = 0; i < count; ++i)
        ShowPort(i);
    m_empty->setText(m_options.ports.isEmpty()
                         ? ProductionText("插入线缆后，端口会出现在这里。",
                                          "Ports appear here as cables are plugged in.")
                         : QString());
    m_empty->setVisible(count == 0);
    m_grid->setVisible(count > 0);
}

void StationWindow::ShowPort(int index) {
    if (index >= 0 && index < m_tiles.size() && index < m_model.Ports().size())
        m_tiles[index]->Show(m_model.Ports()[index]);
}

StationTile* StationWindow::Tile(const QString& port) const {
    const int index = m_model.IndexOf(port);
    return index >= 0 && index < m_tiles.size() ? m_tiles[index] : nullptr;
}

bool StationWindow::Start() {
    if (m_running)
        return true;
    ReadFile();
    ShowIdentity();
    if (m_options.mode != 3 && m_options.file.isEmpty()) {
        AppPrompts().Message(m_options.mode == 2
                                 ? ProductionText("请先选择程序文件。", "Choose the image first.")
                                 : ProductionText("请先选择参数文件。",
                                                  "Choose the parameter file first."));
        return false;
    }
    if (!m_fileProblem.isEmpty()) {
        AppPrompts().Message(m_fileProblem);
        return false;
    }
    m_options.delayTicks = m_delay->value();
    m_options.fast = m_fast->isChecked();
    m_stationSounds->SetMode(m_options.mode);
    m_running = true;
    m_model.RunStarted(QDateTime::currentMSecsSinceEpoch());
    if (!m_detached)
        StartSupervisor();
    UpdateControls();
    emit started();
    return true;
}

StationOptions StationWindow::SupervisorOptions() const {
    StationOptions options;
    options.program = WorkerProgram(m_options.workerProgram);
    options.mode = m_options.mode;
    QStringList& args = options.workerArguments;
    args << QStringLiteral("--mode") << QString::number(m_options.mode);
    if (m_options.mode == 1)
        args << QStringLiteral("--params") << m_options.file;
    if (m_options.mode == 2) {
        args << QStringLiteral("--image") << m_options.file << QStringLiteral("--delay")
             << QString::number(m_options.delayTicks);
        if (m_options.fast)
            args << QStringLiteral("--fast");
        options.imageName = m_fileName;
        options.imageSize = m_fileSize;
        options.imageSha256 = m_sha256;
    }
    if (m_options.mode == 3 && !m_options.file.isEmpty())
        args << QStringLiteral("--reference") << m_options.file;
    // The workers speak the window's language in their messages.
    args << QStringLiteral("--lang")
         << (CurrentUiLanguage() == UiLanguage::Chinese ? QStringLiteral("zh")
                                                        : QStringLiteral("en"));
    args += m_options.workerArguments;
    options.restartPauseMs = m_options.restartPauseMs;
    options.records = m_options.records;
    options.station = m_options.station;
    options.outbox = m_options.outbox;
    return options;
}

void StationWindow::StartSupervisor() {
    m_supervisor = std::make_unique<StationSupervisor>(SupervisorOptions());
    connect(m_supervisor.get(), &StationSupervisor::eventReceived, this,
            &StationWindow::TakeEvent);
    connect(m_supervisor.get(), &StationSupervisor::finished, this, &StationWindow::Finished);
    // A pulled cable: its worker may be stopped before it noticed the port going, so the lamp
    // goes out when the supervisor lets the port go, not only on the worker's word.
    connect(m_supervisor.get(), &StationSupervisor::portRemoved, this,
            [this](const QString& port) { m_model.SetCable(port, false); });
    if (m_options.ports.isEmpty()) {
        static SystemPortSource systemPorts;
        auto heldPort = m_options.heldPort;
        m_supervisor->SetAutoPorts(
            m_options.portSource != nullptr ? *m_options.portSource : systemPorts,
            m_options.isCable,
            [heldPort](const QString& port) { return heldPort && heldPort() == port; });
    } else {
        QStringList ports = m_options.ports;
        ports.removeAll(m_options.heldPort ? m_options.heldPort() : QString());
        m_supervisor->SetPorts(ports);
    }
    m_supervisor->Start();
    CheckHeldPort();
}

void StationWindow::Stop() {
    if (!m_running)
        return;
    if (m_supervisor) {
        m_supervisor->Stop();
        UpdateControls();
        return;
    }
    Finished();
}

void StationWindow::Finished() {
    m_running = false;
    m_model.RunStopped();
    if (m_supervisor) {
        m_supervisor->disconnect(this);
        // Not from inside its own signal.
        m_supervisor.release()->deleteLater();
    }
    UpdateControls();
    ShowTotals();
    emit stopped();
    if (m_closeAfterStop) {
        m_closeAfterStop = false;
        // Not from inside the close that asked for the stop.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void StationWindow::CheckHeldPort() {
    if (!m_options.heldPort)
        return;
    const QString held = m_options.heldPort();
    if (held == m_heldShown)
        return;
    const QString before = m_heldShown;
    m_heldShown = held;
    if (!before.isEmpty()) {
        if (const StationPortView* view = m_model.Port(before);
            view != nullptr && view->state == TileState::kInUse) {
            // The main window let it go: automatic ports take it at the next look; a named
            // port waits for the next run.
            if (m_options.ports.isEmpty())
                m_model.RemovePort(before);
            else
                m_model.WorkerEnded(before, QString());
        }
    }
    const bool served = m_options.ports.isEmpty() ? m_model.Port(held) != nullptr ||
                                                        (m_options.isCable ? m_options.isCable(held)
                                                                           : IsDebugCablePort(held))
                                                  : m_options.ports.contains(held);
    if (!held.isEmpty() && served)
        m_model.SetInUse(held, ProductionText("主窗口正在使用此端口", "held by the main window"));
}

void StationWindow::TakeEvent(const StationEvent& event) {
    if (event.type == StationEvent::Type::kProgress) {
        StationPortEvent progress;
        progress.port = event.port;
        const StationPortView* view = m_model.Port(event.port);
        progress.phase = view != nullptr && view->state == TileState::kWorking
                             ? view->phase
                             : StationPhase::kDownloading;
        progress.percent = event.percent;
        progress.timeMs = event.timeMs;
        m_model.Apply(progress);
        return;
    }
    switch (event.state) {
        case StationState::kStarting:
            m_model.WorkerStarted(event.port);
            return;
        case StationState::kRestarting:
            m_model.WorkerEnded(event.port, event.message);
            return;
        case StationState::kPortGone:
            m_model.SetCable(event.port, false);
            m_model.WorkerEnded(event.port, event.message.isEmpty()
                                                ? ProductionText("端口已消失", "port gone")
                                                : event.message);
            return;
        case StationState::kPortError:
            m_model.SetCable(event.port, false);
            m_model.SetPortError(event.port, event.message);
            return;
        case StationState::kStopped:
            return;
        default:
            break;
    }
    m_model.SetCable(event.port, true);
    StationPortEvent shown;
    shown.port = event.port;
    shown.phase = PhaseOf(event.state);
    shown.message = event.message;
    shown.softwareVersion = event.softwareVersion;
    shown.timeMs = event.timeMs;
    m_model.Apply(shown);
}

void StationWindow::closeEvent(QCloseEvent* event) {
    if (!m_running) {
        event->accept();
        return;
    }
    if (m_model.OperationsRunning() &&
        !AppPrompts().Confirm(ProductionText(
            "工位正在对控制器进行操作。关闭窗口会停止所有端口，进行中的操作将被取消。继续吗？",
            "The station is working on controllers. Closing stops every port and cancels the "
            "operations under way. Continue?"))) {
        event->ignore();
        return;
    }
    m_closeAfterStop = true;
    event->ignore();
    Stop();
}
