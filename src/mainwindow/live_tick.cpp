// The main window's 250 ms tick and the remote-control state that rides in every status request:
// the request and the display page, the page refresh after a parameter read, the frame counters,
// the production modes' step and the check value.

#include <QAbstractButton>
#include <QLineEdit>
#include <QSlider>
#include <QTabWidget>
#include <algorithm>
#include <cmath>

#include "chart/live_chart_window.h"
#include "core/commands/status_request_tick.h"
#include "core/params/param_state.h"
#include "core/protocol/frame_parser.h"
#include "core/protocol/link_flags.h"
#include "core/protocol/live_status.h"
#include "download/download_control.h"
#include "link/controller_link.h"
#include "mainwindow/operation_records.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/cpage0.h"
#include "pages/cpage5.h"
#include "pages/cpage6.h"
#include "pages/parameter_pages.h"
#include "ui/controls.h"
#include "ui/prompts.h"

namespace {

constexpr int kDisplayTab = 3;

// The value labels of the display page by display mode, the same in both UI languages.
constexpr const char* kModeLabels[3][2] = {
    {"电压(V):", "电流(A):"},
    {"Q轴电压:", "D轴电压:"},
    {"Q轴电流:", "D轴电流:"},
};

// Prompts that remember the message instead of showing it, so that the tick can decide whether
// this failure was already shown.
class HeldMessage : public Prompts {
public:
    void Message(const QString& text) override { message = text; }
    bool Confirm(const QString&) override { return false; }
    QString OpenFileName(FileKind, const QString&) override { return {}; }
    QString SaveFileName(FileKind, const QString&, const QString&, const QString&) override {
        return {};
    }
    QString message;
};

}  // namespace

bool CTarvikDlg::DisplayPageShown() const {
    return Item<QTabWidget>(1034)->currentIndex() == kDisplayTab;
}

void CTarvikDlg::OnTimer() {
    if (Busy()) {
        WatchStatusAnswers(false);
        return;  // a sequence "sleeps" on this thread: no tick runs meanwhile
    }
    g_frameParser.IdleTick();

    // The cable selector goes out from the fields and the "Auto_B" box as they stand now, so a
    // read's refresh or a changed box shows in this very request, not in the one after it.
    m_remote.m_canNode = m_canNode;
    m_remote.m_canBitRate = m_canBitRate;
    m_remote.m_autoMatchCheck = Item<QAbstractButton>(1047)->isChecked();
    // The chart polls like the display page while it is open, under the same rules.
    const bool polling = DisplayPageShown() || m_chart->Polling();
    const TickRequest request =
        RunStatusRequestTick(*m_link, polling, m_remote, [this] { ReadStatusRequestControls(); });
    if (request == TickRequest::kSent) {
        m_chart->RequestSent(m_remote.m_displayMode, Item<QSlider>(1061)->value() / 100.0);
        RefreshDisplayPage();
    } else if (request == TickRequest::kRefreshPages) {
        RefreshAfterRead();
    }
    WatchStatusAnswers(request == TickRequest::kSent);

    ShowCounters();
    m_download->StepAutoModes();

    const QString check = QString::fromStdString(g_paramCheckText.Get());
    Controls().SetText(1016, check);
    if (Controls().Text(1013).isEmpty()) {
        Controls().SetText(1013, check);
    }
}

void CTarvikDlg::WatchStatusAnswers(bool requested) {
    if (!requested) {
        // Silence while nothing is asked for says nothing about the controller.
        m_requesting = false;
        return;
    }
    if (!m_requesting) {
        m_requesting = true;
        m_quietFor.start();
    }
    if (!Page5().StaleShown() && m_quietFor.elapsed() >= kStaleAfterMs) {
        Page5().ShowStale(m_lastAnswer.isValid() ? m_lastAnswer
                                                  : QTime::currentTime().addMSecs(
                                                        -m_quietFor.elapsed()));
    }
}

void CTarvikDlg::StatusAnswered() {
    m_quietFor.start();
    m_lastAnswer = QTime::currentTime();
    if (Page5().StaleShown()) {
        Page5().ShowStale(QTime());
    }
}

void CTarvikDlg::ReadStatusRequestControls() {
    // The trackbar's range: the midpoints of page 1's two throttle voltage pairs, in hundredths.
    const Page0Values page0 = CurrentParameterValues().m_page0;
    auto* throttle = Item<QSlider>(1061);
    const int minimum =
        static_cast<int>(std::trunc((page0.m_throttleLowProtect + page0.m_throttleStart) * 50.0f));
    const int maximum =
        static_cast<int>(std::trunc((page0.m_throttleEnd + page0.m_throttleHighProtect) * 50.0f));
    throttle->setRange(minimum, maximum);

    ExchangeForTick();
    m_remote.m_throttle = ThrottleFromPosition(throttle->value());
    m_remote.m_gear = m_gear;
    m_remote.m_brake = m_brake;
    m_remote.m_reverse = m_reverse;
    m_remote.m_lock = m_lock;
    // The controller learns the mode from the button as it stands.
    m_remote.m_displayMode = Item<ThreeStateButton>(1181)->State();
    m_remote.m_voltageCalibValue = m_voltageCalibValue;
    m_remote.m_currentCalibValue = m_currentCalibValue;
    m_remote.m_fieldWeakeningValue = m_fieldWeakeningValue;
    m_remote.m_canNode = m_canNode;
    m_remote.m_canBitRate = m_canBitRate;
    m_remote.m_autoMatchCheck = Item<QAbstractButton>(1047)->isChecked();
}

bool CTarvikDlg::ExchangeForTick() {
    // The tick reads the controls four times a second. An invalid text gives its message once,
    // not on every tick, and never while that message is still open; the request then goes out
    // from the fields as they stand.
    if (m_tickMessageOpen) {
        return false;
    }
    HeldMessage held;
    Prompts* previous = SetAppPrompts(&held);
    const bool mainRead = UpdateData(true);
    const bool pageRead = mainRead && Page6().UpdateData(true);
    SetAppPrompts(previous);
    if (mainRead && pageRead) {
        m_lastTickFailure.clear();
        return true;
    }
    const QString failure = held.message + QLatin1Char('\n') + Controls().Text(1010) +
                            Controls().Text(1011) + Controls().Text(1012) + Controls().Text(1019) +
                            Controls().Text(1022) + Controls().Text(1023);
    if (failure != m_lastTickFailure && !m_tickMessageOpen) {
        m_lastTickFailure = failure;
        m_tickMessageOpen = true;
        AppPrompts().Message(held.message);
        m_tickMessageOpen = false;
    }
    return false;
}

void CTarvikDlg::RefreshDisplayPage() {
    const LiveStatus status = g_liveStatus.Load();
    Page5().ShowStatus(FormatDisplayPage(status, m_remote.m_displayMode));
}

void CTarvikDlg::RefreshAfterRead() {
    TakeTypedText();
    m_parameters->Refresh();
    int node = std::clamp(g_canNodeIndex.load(), 0, 7);
    g_canNodeIndex = node;
    m_canNode = node;
    const int flags = g_canCableFlags.load();
    m_canBitRate = flags & 3;
    Item<QAbstractButton>(1047)->setChecked((flags & 8) != 0);
    UpdateData(false);
}

void CTarvikDlg::ShowPendingRead() {
    // Blocks decoded since the last refresh reach the controls, and the calibration read the
    // main window, before anything reads the controls back; otherwise the old texts would
    // overwrite what was just read.
    if (g_refreshTicks.load() != 0) {
        RefreshAfterRead();
        ShowCounters();
    }
}

void CTarvikDlg::ShowCounters() {
    const std::uint32_t frames = g_frameCount.load();
    const std::uint32_t errors = g_frameErrorCount.load();
    if (m_successCount == frames && m_errorCount == errors) {
        return;
    }
    // Typed first, so that what the controller said overrides it and nothing else does.
    TakeTypedText();
    MainWindowValues calibration;
    if (TakeOverCalibrationIfReceived(calibration)) {
        m_voltageCalibValue = calibration.m_voltageCalibValue;
        m_currentCalibValue = calibration.m_currentCalibValue;
        m_fieldWeakeningValue = calibration.m_fieldWeakeningValue;
    }
    m_successCount = frames;
    m_errorCount = errors;
    UpdateData(false);
}

void CTarvikDlg::UpdateThrottleLabel() {
    const int position = Item<QSlider>(1061)->value();
    Controls().SetText(1057, QString::asprintf("%.2f", position / 100.0));
    m_remote.m_throttle = ThrottleFromPosition(position);
}

void CTarvikDlg::OnRemoteClicked() {
    const QString caption = Controls().Text(1062);
    const auto set = [this](const char* next, bool on) {
        Controls().SetText(1062, QString::fromUtf8(next));
        m_remote.m_remoteOn = on ? 1 : 0;
        if (!on) {
            Item<QSlider>(1061)->setValue(kThrottleRestPosition);
        }
    };
    if (caption == QStringLiteral("远程控制")) {
        set("本地控制", true);
    } else if (caption == QStringLiteral("本地控制")) {
        set("远程控制", false);
    } else if (caption == QStringLiteral("Remote")) {
        set("Local", true);
    } else if (caption == QStringLiteral("Local")) {
        set("Remote", false);
    }
}

void CTarvikDlg::OnDisplayModeClicked() {
    const int mode = std::clamp(Item<ThreeStateButton>(1181)->State(), 0, 2);
    Page5().Controls().SetText(1074, QString::fromUtf8(kModeLabels[mode][0]));
    Page5().Controls().SetText(1075, QString::fromUtf8(kModeLabels[mode][1]));
}

void CTarvikDlg::OnCalibrationWriteClicked() {
    // The store flag rides on the next two requests that really go out.
    m_remote.m_calibWriteCount = 2;
    if (m_link->IsOpen()) {
        m_records->Record(RecordOperation::kCalibrationWrite, RecordOutcome::kSuccess);
    }
}
