#include "mainwindow/tarvik_dlg.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSlider>
#include <QTabWidget>
#include <QThread>
#include <algorithm>

#include "app/fixed_texts.h"
#include "app/language_switch.h"
#include "app/profile_settings.h"
#include "app/string_table.h"
#include "app/tool_settings.h"
#include "chart/live_chart_window.h"
#include "core/params/param_state.h"
#include "core/protocol/link_flags.h"
#include "core/protocol/live_status.h"
#include "download/download_control.h"
#include "link/controller_link.h"
#include "link/port_source.h"
#include "mainwindow/main_window_template.h"
#include "mainwindow/operation_records.h"
#include "mainwindow/port_row.h"
#include "pages/cpage0.h"
#include "pages/cpage1.h"
#include "pages/cpage3.h"
#include "pages/cpage5.h"
#include "pages/cpage6.h"
#include "pages/parameter_files.h"
#include "pages/parameter_pages.h"
#include "serial/serial_message_sink.h"
#include "ui/app_icon.h"
#include "ui/c_number_text.h"
#include "ui/controls.h"
#include "ui/file_folders.h"
#include "ui/prompts.h"
#include "ui/sounds.h"

// The serial port's failures reach the user as the framework's message box, always on the GUI
// thread whichever thread opened the port.
class SerialMessageBox : public SerialMessageSink {
public:
    explicit SerialMessageBox(QObject* context) : m_context(context) {}
    void ShowSerialMessage(const QString& text) override {
        QMetaObject::invokeMethod(
            m_context, [text] { AppPrompts().Message(text); },
            QThread::currentThread() == m_context->thread() ? Qt::DirectConnection
                                                            : Qt::QueuedConnection);
    }

private:
    QObject* m_context;
};

namespace {

// The main window's tips: control, string.
const std::vector<TipRow> kMainWindowTips = {
    {1026, 126}, {1032, 127}, {1033, 128}, {1029, 129}, {1036, 130}, {1063, 131}, {1064, 132},
    {1019, 133}, {1022, 134}, {1050, 135}, {1001, 136}, {1013, 137}, {1016, 138}, {1067, 143},
    {1065, 144}, {1061, 145}, {1062, 146}, {1044, 147}, {1055, 148}, {1056, 149}, {1058, 150},
    {1045, 151}, {1046, 141}, {1048, 142}, {1181, 152}, {1010, 153}, {1011, 154}, {1012, 155},
    {1060, 156}, {1053, 157}, {1066, 158}, {1059, 159}, {1049, 160}, {1047, 161}, {1077, 162},
    {1085, 163}, {1086, 164}, {1087, 165}, {1038, 166}, {1039, 167}, {1040, 168}, {1041, 169},
    {1068, 170}, {1069, 171}, {1071, 172}, {1072, 173}, {1005, 174}, {1009, 175}, {1006, 176},
    {1014, 177}, {1030, 178}, {1023, 179},
};

const char* const kModels[] = {"Zerth-30S", "Zerth-50", "Zerth-100", "Zerth-150", "Zerth-200"};
const char* const kBatteryVoltages[] = {"48V", "60V", "72V", "84V", "96V"};

// Point sizes of the fonts the window creates once.
constexpr int kBigDigitPoints = 60;
constexpr int kArrowPoints = 30;

void FillCombo(ControlSet& controls, int id, const QStringList& items, int selected) {
    if (auto* combo = controls.Item<QComboBox>(id)) {
        combo->clear();
        combo->addItems(items);
        combo->setCurrentIndex(selected);
    }
}

void SetUpDownRange(ControlSet& controls, int id, int minimum, int maximum) {
    if (auto* upDown = controls.Item<UpDown>(id)) {
        upDown->SetRange(minimum, maximum);
    }
}

// The big digits are meant to fill their edit; where the requested size would be cut off,
// the largest size that fits is taken.
QFont FittingFont(QFont font, const QWidget& control) {
    const int room = control.height() - 6;
    while (font.pointSize() > 8 && QFontMetrics(font).height() > room) {
        font.setPointSize(font.pointSize() - 1);
    }
    return font;
}

}  // namespace

CTarvikDlg::CTarvikDlg(ProfileSettings& settings, KeyState& keys, QWidget* parent)
    : TemplateWidget(MainWindowTemplate(), CurrentUiLanguage(), parent),
      m_settings(settings),
      m_keys(keys),
      m_folders(std::make_unique<FileFolders>(settings)),
      m_previousFolders(SetAppFileFolders(m_folders.get())) {
    setWindowTitle(QString::fromUtf8(MainWindowTemplate().title));
    setWindowIcon(AppIcon());
    CreatePages();
    m_parameters =
        std::make_unique<ParameterPages>(*m_page0, *m_page1, *m_page3, *m_page5, *m_page6);
    m_files = std::make_unique<ParameterFiles>(
        *m_parameters, *this, [this](MainWindowValues& values) { return ReadMainWindow(values); });
    m_link = std::make_unique<ControllerLink>();
    m_serialMessages = std::make_unique<SerialMessageBox>(this);
    m_link->SetMessageSink(m_serialMessages.get());
    m_connect = std::make_unique<ConnectSequence>(*m_link, *m_link);
    m_paramWrite = std::make_unique<ParamWriteSequence>(*m_link, *m_link);
    m_ownPorts = std::make_unique<SystemPortSource>();
    m_ports = m_ownPorts.get();
    m_ownLauncher = std::make_unique<DetachedProcessLauncher>();
    m_launcher = m_ownLauncher.get();
    m_ownSounds = std::make_unique<SoundEffects>();
    m_sounds = m_ownSounds.get();
    QCoreApplication::instance()->installEventFilter(this);
    ConnectControls();

    ControlSet& controls = Controls();
    connect(controls.Item<ClickableLabel>(1050), &ClickableLabel::Clicked, this,
            &CTarvikDlg::OnPanelToggleClicked);
    connect(Item<QTabWidget>(1034), &QTabWidget::currentChanged, this, &CTarvikDlg::OnTabSelChange);
    for (int id : {1013, 1016}) {
        connect(Item<QLineEdit>(id), &QLineEdit::textChanged, this,
                &CTarvikDlg::UpdateCheckValueColour);
    }
    connect(&m_timer, &QTimer::timeout, this, &CTarvikDlg::OnTimer);
    auto* about = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(about, &QShortcut::activated, this, &CTarvikDlg::ShowAbout);
    auto* compare = new QShortcut(QKeySequence(Qt::Key_F3), this);
    connect(compare, &QShortcut::activated, this, &CTarvikDlg::ShowCompare);
    m_chart = new LiveChartWindow(this);
    auto* chart = new QShortcut(QKeySequence(Qt::Key_F2), this);
    connect(chart, &QShortcut::activated, this, &CTarvikDlg::ShowChart);
    auto* records = new QShortcut(QKeySequence(Qt::Key_F5), this);
    connect(records, &QShortcut::activated, this, &CTarvikDlg::ShowRecords);
    auto* station = new QShortcut(QKeySequence(Qt::Key_F6), this);
    connect(station, &QShortcut::activated, this, &CTarvikDlg::ShowStation);
    connect(m_link.get(), &ControllerLink::statusReceived, m_chart,
            &LiveChartWindow::StatusReceived);
}

CTarvikDlg::~CTarvikDlg() {
    SetAppFileFolders(m_previousFolders);
    QCoreApplication::instance()->removeEventFilter(this);
    m_timer.stop();
    m_connect->Cancel();
    m_paramWrite->Cancel();
    m_records.reset();
    m_portRow.reset();
    m_download.reset();
    // The receive thread must not post to a link that is gone.
    m_link->Close();
    m_link->SetMessageSink(nullptr);
}

void CTarvikDlg::SetPortSource(PortSource& ports) {
    m_ports = &ports;
}

void CTarvikDlg::SetSounds(Sounds& sounds) {
    m_sounds = &sounds;
}

void CTarvikDlg::SetProcessLauncher(ProcessLauncher& launcher) {
    m_launcher = &launcher;
}

void CTarvikDlg::SetPinnedPort(const QString& name) {
    m_pinnedPort = name;
}

void CTarvikDlg::OnDownloadClicked() {
    if (Busy()) {
        return;
    }
    // The boot-entry variant follows the field, with what was typed taken into it first. With
    // the port closed the start is refused first, and typed text stays as it was.
    if (m_link->IsOpen()) {
        TakeTypedText();
        UpdateData(false);
    }
    m_download->OnDownloadClicked(m_voltageCalibValue);
}

void CTarvikDlg::OpenPortAtStart(const QString& name) {
    if (!name.isEmpty()) {
        // The search runs on its own thread; the entry is there before its result arrives.
        auto* list = Item<QComboBox>(1026);
        if (list->findText(name) < 0) {
            list->insertItem(0, name);
        }
        list->setCurrentIndex(list->findText(name));
    }
    m_portRow->OnOpenPortClicked();
}

void CTarvikDlg::ConnectControls() {
    const auto onClick = [this](int id, void (CTarvikDlg::*handler)()) {
        if (auto* button = Item<QAbstractButton>(id)) {
            connect(button, &QAbstractButton::clicked, this, handler);
        }
    };
    onClick(1033, &CTarvikDlg::OnConnectClicked);
    onClick(1036, &CTarvikDlg::OnParamWriteClicked);
    onClick(1059, &CTarvikDlg::OnRestartControllerClicked);
    onClick(1066, &CTarvikDlg::OnRestartCableClicked);
    onClick(1060, &CTarvikDlg::OnOfflineDownloadClicked);
    onClick(1065, &CTarvikDlg::OnFactoryRestoreClicked);
    // The store-factory command is offered on the button the "~" sequence reveals.
    onClick(1067, &CTarvikDlg::OnFactoryStoreClicked);
    onClick(1049, &CTarvikDlg::OnCanCableClicked);
    onClick(1062, &CTarvikDlg::OnRemoteClicked);
    onClick(1181, &CTarvikDlg::OnDisplayModeClicked);
    onClick(1053, &CTarvikDlg::OnCalibrationWriteClicked);
    onClick(1064, &CTarvikDlg::OnSaveConfigClicked);
    onClick(1063, &CTarvikDlg::OnImportConfigClicked);

    connect(m_link.get(), &ControllerLink::statusReceived, this, [this](const LiveStatus& status) {
        StatusAnswered();
        m_page5->ShowFaults(FaultBoxStates(status.m_faultBits));
        // The tick shows the last status again with its next request; showing it as it arrives
        // takes up to a tick's lag off the live values.
        if (DisplayPageShown()) {
            RefreshDisplayPage();
        }
    });
    connect(m_link.get(), &ControllerLink::parameterBlockReceived, this,
            &CTarvikDlg::OnParameterBlock);
}

ParameterValues CTarvikDlg::CurrentParameterValues() const {
    ParameterValues values = m_values;
    m_parameters->Collect(values);
    values.m_mainWindow = MainWindowFields();
    return values;
}

MainWindowValues CTarvikDlg::MainWindowFields() const {
    MainWindowValues values;
    values.m_voltageCalibValue = m_voltageCalibValue;
    values.m_currentCalibValue = m_currentCalibValue;
    values.m_fieldWeakeningValue = m_fieldWeakeningValue;
    values.m_fieldWeakeningText = Controls().Text(1012).toStdString();
    return values;
}

bool CTarvikDlg::ReadMainWindow(MainWindowValues& values) {
    if (!UpdateData(true)) {
        return false;
    }
    values = MainWindowFields();
    return true;
}

void CTarvikDlg::OnParameterBlock(int number, const BlockBytes& bytes) {
    // The receive thread has raised the flags; the values are decoded here, on the thread that
    // owns the pages and the write frames.
    m_values = CurrentParameterValues();
    const DecodeOutcome outcome = DecodeParameterBlock(m_values, number, BlockView(bytes));
    m_parameters->Apply(m_values, outcome);
    if (outcome.m_block != 0) {
        // What the controller holds, calibration included, for the comparison before a write.
        ParameterValues read = m_values;
        TakeOverCalibration(read.m_mainWindow);
        m_reference = read;
    }
}

void CTarvikDlg::OnSaveConfigClicked() {
    if (!Busy()) {
        ShowPendingRead();
        m_files->Save();
    }
}

void CTarvikDlg::OnImportConfigClicked() {
    if (Busy()) {
        return;
    }
    const std::optional<ParameterValues> imported = m_files->Import();
    if (!imported) {
        return;
    }
    m_values = *imported;
    m_reference = *imported;
    m_voltageCalibValue = imported->m_mainWindow.m_voltageCalibValue;
    m_currentCalibValue = imported->m_mainWindow.m_currentCalibValue;
    m_fieldWeakeningValue = imported->m_mainWindow.m_fieldWeakeningValue;
    UpdateData(false);
}

void CTarvikDlg::SetFastDownload(bool on, bool store) {
    m_link->SetFastDownload(on);
    if (store) {
        m_settings.SetFastDownload(on);
    }
}

bool CTarvikDlg::Busy() const {
    return m_busy;
}

void CTarvikDlg::UpdateBusy() {
    const bool busy = m_connect->Running() || m_paramWrite->Running() ||
                      (m_portRow && m_portRow->Running()) || (m_download && m_download->Running());
    if (busy == m_busy) {
        return;
    }
    m_busy = busy;
    if (busy) {
        QApplication::setOverrideCursor(Qt::BusyCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    emit BusyChanged(busy);
}

void CTarvikDlg::CreatePages() {
    const UiLanguage language = Language();
    auto* tab = Item<QTabWidget>(1034);
    m_page0 = new Cpage0(language);
    m_page1 = new Cpage1(language);
    m_page3 = new Cpage3(language);
    m_page5 = new Cpage5(language);
    // The port settings page exists in Chinese only.
    m_page6 = new Cpage6(UiLanguage::Chinese);
    int stringId = 102;
    for (TemplateWidget* page :
         {static_cast<TemplateWidget*>(m_page0), static_cast<TemplateWidget*>(m_page1),
          static_cast<TemplateWidget*>(m_page3), static_cast<TemplateWidget*>(m_page5),
          static_cast<TemplateWidget*>(m_page6)}) {
        auto* holder = new QWidget;
        page->setParent(holder);
        page->move(0, 0);
        tab->addTab(holder, Tr(stringId++));
    }
}

TemplateWidget& CTarvikDlg::PageAt(int index) const {
    TemplateWidget* pages[] = {m_page0, m_page1, m_page3, m_page5, m_page6};
    return *pages[std::clamp(index, 0, 4)];
}

void CTarvikDlg::OnInitDialog() {
    // The pages' own initialisation, as each child dialog runs it when it is created.
    m_page0->OnInitDialog();
    m_page1->OnInitDialog();
    m_page3->OnInitDialog();
    m_page5->OnInitDialog();
    m_page6->OnInitDialog();
    UpdateData(false);

    // Fold the right panel.
    m_panelWidth = frameGeometry().width() * kPanelShare / kPanelShareOf;
    m_panelCollapsed = true;
    setFixedSize(width() - m_panelWidth, height());
    MaskFoldedPanel();
    Item<QTabWidget>(1034)->setCurrentIndex(0);

    RegisterTips(kMainWindowTips);

    m_autoDelay = 12;
    m_successCount = 0;
    m_page3->m_controllerTempProtect = 444;

    QFont bigDigits = DialogFont("宋体", kBigDigitPoints);
    for (int id : {1009, 1010, 1011}) {
        if (QWidget* edit = m_page5->Controls().Control(id)) {
            edit->setFont(FittingFont(bigDigits, *edit));
            m_page5->Controls().SetText(id, QStringLiteral("0"));
        }
    }
    Item<QLabel>(1050)->setFont(DialogFont("宋体", kArrowPoints));

    FillLists();

    if (m_settings.FirstGenCable() == 1) {
        Item<QAbstractButton>(1049)->setChecked(true);
    }
    const bool chinese = Language() == UiLanguage::Chinese;
    m_page0->Controls().SetText(
        1029, QString::fromUtf8(chinese ? kLanguageButtonEnglish : kLanguageButtonChinese));
    if (!chinese) {
        ApplyEnglishOverlay();
    }

    m_page0->SetToolSettingsStore(&m_settings, m_launcher);
    m_link->SetFastDownload(m_settings.FastDownload());
    const ToolSettings tool = RestoreToolSettings(m_settings);
    FillCombo(m_page0->Controls(), 1040, {"9600", "19200", "115200", "256000"},
              tool.baudIndex.value_or(-1));
    if (auto* canEnable = m_page0->Item<QAbstractButton>(1042)) {
        canEnable->setChecked(tool.canEnableChecked);
    }

    QStringList softStartLevels;
    for (int level = 1; level <= 16; ++level) {
        softStartLevels << QString::number(level);
    }
    FillCombo(m_page1->Controls(), 1037, softStartLevels, 0);

    SetUpDownRange(Controls(), 1051, 0, 10000);
    SetUpDownRange(Controls(), 1052, 0, 1000);
    SetUpDownRange(Controls(), 1054, 0, 255);
    for (int id : {1051, 1052, 1054, 1060, 1058, 1059, 1057, 1055}) {
        SetUpDownRange(m_page1->Controls(), id, 0, 100);
    }
    for (int id : {1054, 1051, 1052}) {
        SetUpDownRange(m_page3->Controls(), id, 0, 100);
    }

    m_page3->m_direction = 0;
    m_page3->m_polePairs = 4;
    m_page3->m_motorType = 0;
    m_page3->m_outputType = 0;
    m_page3->UpdateData(false);

    m_gear = 0;
    if (auto* throttle = Item<QSlider>(1061)) {
        throttle->setRange(50, 440);
        throttle->setTickPosition(QSlider::TicksBelow);
        throttle->setTickInterval(1);
    }

    m_page6->FillFunctionLists();

    m_page5->UpdateData(false);
    m_page6->UpdateData(false);
    UpdateData(false);

    UpdateCheckValueColour();
    m_timer.start(kTimerPeriodMs);

    m_download = std::make_unique<DownloadControl>(*this, *m_link, *m_sounds, *m_link);
    m_records = std::make_unique<OperationRecords>(*this, *m_link, *m_download);
    m_download->SetCommands(
        [this] { m_records->RunAutomatic(1, [this] { OnParamWriteClicked(); }); },
        [this] { m_records->RunAutomatic(3, [this] { OnConnectClicked(); }); });
    connect(this, &CTarvikDlg::ConnectEnded, m_download.get(), &DownloadControl::OnConnectFinished);
    connect(m_download.get(), &DownloadControl::runningChanged, this, &CTarvikDlg::UpdateBusy);
    connect(Item<QAbstractButton>(1005), &QAbstractButton::clicked, m_download.get(),
            &DownloadControl::OnOpenFileClicked);
    connect(Item<QAbstractButton>(1006), &QAbstractButton::clicked, this,
            &CTarvikDlg::OnDownloadClicked);

    m_portRow = std::make_unique<PortRow>(*this, *m_ports, m_pinnedPort);
    connect(m_portRow.get(), &PortRow::runningChanged, this, &CTarvikDlg::UpdateBusy);
    connect(Item<QAbstractButton>(1032), &QAbstractButton::clicked, m_portRow.get(),
            &PortRow::OnOpenPortClicked);
    connect(Item<QAbstractButton>(1029), &QAbstractButton::clicked, m_portRow.get(),
            &PortRow::OnSearchPortsClicked);
    m_portRow->Start();
}

void CTarvikDlg::FillLists() {
    FillCombo(Controls(), 1030, {Tr(107), Tr(108), Tr(109), Tr(110)}, 0);
    // The dropped-down list shows every mode's whole name, however narrow the box.
    if (auto* modes = Item<QComboBox>(1030)) {
        int widest = 0;
        for (int i = 0; i < modes->count(); ++i) {
            widest = std::max(widest, modes->fontMetrics().horizontalAdvance(modes->itemText(i)));
        }
        modes->view()->setMinimumWidth(widest + 4 * modes->fontMetrics().averageCharWidth() +
                                       modes->view()->verticalScrollBar()->sizeHint().width());
    }

    QStringList models;
    for (const char* model : kModels) {
        models << QString::fromLatin1(model);
    }
    FillCombo(m_page0->Controls(), 1037, models, -1);
    QStringList brands;
    for (int id = 111; id <= 116; ++id) {
        brands << Tr(id);
    }
    for (int n = 3; n <= 12; ++n) {
        brands << QStringLiteral("?\?-%1").arg(n);
    }
    FillCombo(m_page0->Controls(), 1039, brands, 0);
    QStringList voltages;
    for (const char* voltage : kBatteryVoltages) {
        voltages << QString::fromLatin1(voltage);
    }
    FillCombo(m_page0->Controls(), 1038, voltages, -1);
}

void CTarvikDlg::ApplyEnglishOverlay() {
    for (const CaptionOverlay& caption : EnglishOverlay()) {
        Controls().SetText(caption.id, QString::fromUtf8(caption.english));
    }
}

void CTarvikDlg::TakeTypedText() {
    // The edits of the exchange, each on its own: one that does not read does not stop the
    // others.
    const std::pair<int, std::uint32_t*> edits[] = {
        {1019, &m_successCount},       {1022, &m_errorCount},
        {1010, &m_voltageCalibValue},  {1011, &m_currentCalibValue},
        {1012, &m_fieldWeakeningValue}, {1023, &m_autoDelay},
    };
    for (const auto& [id, field] : edits) {
        if (const auto typed = ScanUnsigned(Controls().Text(id))) {
            *field = *typed;
        }
    }
}

void CTarvikDlg::DoDataExchange(DataExchange& exchange) {
    exchange.UInt(1019, m_successCount);
    exchange.UInt(1022, m_errorCount);
    exchange.UInt(1010, m_voltageCalibValue);
    exchange.UInt(1011, m_currentCalibValue);
    exchange.UInt(1012, m_fieldWeakeningValue);
    exchange.UInt(1023, m_autoDelay);
    exchange.Radio(1044, m_gear);
    exchange.Check(1045, m_brake);
    exchange.Check(1046, m_reverse);
    exchange.Check(1048, m_lock);
    exchange.Check(1181, m_displayMode);
    exchange.Radio(1038, m_canNode);
    exchange.RangeInt(m_canNode, 0, 7);
    exchange.Radio(1077, m_canBitRate);
    exchange.RangeInt(m_canBitRate, 0, 3);
}

void CTarvikDlg::OnTabSelChange(int index) {
    // The tab widget shows the selected page and hides the others; the periodic cycle looks
    // at the selection itself.
    (void)index;
}

void CTarvikDlg::OnPanelToggleClicked() {
    m_panelCollapsed = !m_panelCollapsed;
    Controls().SetText(1050, m_panelCollapsed ? QStringLiteral(">") : QStringLiteral("<"));
    setFixedSize(width() + (m_panelCollapsed ? -m_panelWidth : m_panelWidth), height());
    MaskFoldedPanel();
    if (!m_panelCollapsed) {
        KeepOnScreen();
    }
}

void CTarvikDlg::MaskFoldedPanel() {
    // A frame of the panel that begins just left of the fold would show a sliver of its border
    // and caption at the folded window's edge: folded, only its part right of the fold is
    // drawn, which is none.
    const int fold = width();
    for (QWidget* control : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect place = control->geometry();
        if (m_panelCollapsed && place.left() < fold && place.right() >= fold) {
            control->setMask(QRect(fold - place.left(), 0, place.right() + 1 - fold, place.height()));
        } else if (!m_panelCollapsed && !control->mask().isEmpty()) {
            control->clearMask();
        }
    }
}

void CTarvikDlg::KeepOnScreen() {
    // Grown to the right: moved left as far as needed to stay whole on the screen it is on,
    // never past that screen's left edge.
    const QScreen* shown = screen();
    if (shown == nullptr || !isWindow()) {
        return;
    }
    const QRect room = shown->availableGeometry();
    const QRect frame = frameGeometry();
    if (frame.right() <= room.right()) {
        return;
    }
    const int left = std::max(room.left(), frame.left() - (frame.right() - room.right()));
    move(pos() + QPoint(left - frame.left(), 0));
}

void CTarvikDlg::UpdateCheckValueColour() {
    auto* current = Item<QLineEdit>(1016);
    const bool equal = Controls().Text(1013) == current->text();
    QPalette colours = current->palette();
    colours.setColor(QPalette::Text, equal ? QColor(0, 255, 0) : QColor(255, 0, 0));
    current->setPalette(colours);
}
