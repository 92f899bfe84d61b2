// The main window's context menu and the windows it opens: the chart, the comparisons, the
// records, the station and About. Each opens once and comes to the front when asked again; a
// running station is stopped as its own window stops it before the main window closes.

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QMenu>
#include <algorithm>

#include "app/profile_settings.h"
#include "app/string_table.h"
#include "chart/live_chart_window.h"
#include "download/download_control.h"
#include "link/controller_link.h"
#include "mainwindow/about_dlg.h"
#include "mainwindow/operation_records.h"
#include "mainwindow/port_row.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/parameter_files.h"
#include "production/production_views.h"
#include "production/records_window.h"
#include "production/station_window.h"
#include "records/recorder.h"
#include "ui/c_number_text.h"

namespace {

void BringUp(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

}  // namespace

void CTarvikDlg::ShowCompare() {
    if (!Busy()) {
        ShowPendingRead();
        m_files->Compare(m_reference);
    }
}

void CTarvikDlg::ShowCompareWithFile() {
    if (!Busy()) {
        ShowPendingRead();
        m_files->CompareWithFile();
    }
}

void CTarvikDlg::ShowAbout() {
    auto* about = new CAboutDlg(this);
    about->setAttribute(Qt::WA_DeleteOnClose);
    about->open();
}

void CTarvikDlg::ShowChart() {
    BringUp(*m_chart);
}

void CTarvikDlg::ShowRecords() {
    if (m_recordsWindow == nullptr)
        m_recordsWindow = new RecordsWindow(g_recorder, RecordStation(), this);
    BringUp(*m_recordsWindow);
}

void CTarvikDlg::ShowStation() {
    if (m_stationWindow != nullptr)
        BringUp(*m_stationWindow);
    else
        m_stationWindow = OpenStationWindow(this, StationOptions());
}

StationWindowOptions CTarvikDlg::StationOptions() const {
    StationWindowOptions options;
    options.records = RecordsSetting();
    options.station = RecordStation();
    options.outbox = m_settings.Outbox();
    // The download group's settings as they stand: the station goes on from there.
    if (const int mode = m_download->Mode(); mode >= 1 && mode <= 3)
        options.mode = mode;
    // The program loaded here is the station's too; the parameter files are chosen there.
    if (options.mode == 2)
        options.file = m_download->BinFilePath();
    // The delay as typed, whether or not a download has taken it yet.
    const unsigned delay = ScanUnsigned(Controls().Text(1023)).value_or(m_download->AutoDelay());
    options.delayTicks = static_cast<int>(std::min(delay, 65535u));
    options.fast = m_link->FastDownload();
    options.heldPort = [this] { return HeldPort(); };
    return options;
}

StationWindow* CTarvikDlg::StationView() const {
    return m_stationWindow;
}

QString CTarvikDlg::HeldPort() const {
    return m_portRow && m_portRow->PortOpen() ? m_portRow->PortName() : QString();
}

void CTarvikDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    const bool chinese = Language() == UiLanguage::Chinese;
    menu.addAction(chinese ? QStringLiteral("实时曲线\tF2") : QStringLiteral("Chart\tF2"), this,
                   &CTarvikDlg::ShowChart);
    menu.addAction(chinese ? QStringLiteral("与读取的参数比较\tF3")
                           : QStringLiteral("Compare with the set read\tF3"),
                   this, &CTarvikDlg::ShowCompare);
    menu.addAction(
        chinese ? QStringLiteral("与参数文件比较…") : QStringLiteral("Compare with a file…"), this,
        &CTarvikDlg::ShowCompareWithFile);
    menu.addAction(chinese ? QStringLiteral("生产记录…\tF5") : QStringLiteral("Records…\tF5"), this,
                   &CTarvikDlg::ShowRecords);
    menu.addAction(chinese ? QStringLiteral("工位…\tF6") : QStringLiteral("Station…\tF6"), this,
                   &CTarvikDlg::ShowStation);
    QAction* fast =
        menu.addAction(chinese ? QStringLiteral("快速下载") : QStringLiteral("Fast download"));
    fast->setCheckable(true);
    fast->setChecked(m_link->FastDownload());
    connect(fast, &QAction::toggled, this, [this](bool on) { SetFastDownload(on); });
    const QString about = Tr(101);
    if (!about.isEmpty()) {
        menu.addSeparator();
        menu.addAction(about + QStringLiteral("\tF1"), this, &CTarvikDlg::ShowAbout);
    }
    menu.exec(event->globalPos());
}

void CTarvikDlg::closeEvent(QCloseEvent* event) {
    // A running station ends as its own window ends it: asked first, its operations cancelled
    // and recorded. This window follows once the station window has gone.
    if (m_stationWindow != nullptr && m_stationWindow->Running()) {
        event->ignore();
        if (!m_stationWindow->close() && m_stationWindow->ClosingAfterStop())
            connect(m_stationWindow, &QObject::destroyed, this, &QWidget::close,
                    static_cast<Qt::ConnectionType>(Qt::QueuedConnection | Qt::UniqueConnection));
        return;
    }
    TemplateWidget::closeEvent(event);
}
