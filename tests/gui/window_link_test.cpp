// The real window against the simulated controller behind the demo port (a pseudo-terminal; with
// TARVIK_TEST_DEMO_PORT=memory the in-memory line Windows uses): open and close the port, connect
// and read, live values on the display page, remote control, calibration, the one-shot commands
// and what goes wrong when the controller does not answer.

#include <QAbstractButton>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTime>
#include <QtTest>
#include <atomic>
#include <memory>

#include "app/string_table.h"
#include "chart/live_chart_window.h"
#include "core/modem/modem_sender.h"
#include "core/protocol/link_flags.h"
#include "demo_window.h"
#include "download/download_control.h"
#include "link/controller_link.h"
#include "link/port_source.h"
#include "mainwindow/about_dlg.h"
#include "mainwindow/port_row.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/compare_dialog.h"
#include "pages/cpage0.h"
#include "pages/cpage1.h"
#include "pages/cpage5.h"
#include "pages/parameter_files.h"
#include "serial/serial_messages.h"
#include "tarvik/demo_port.h"
#include "tarvik/memory_demo_port.h"
#include "ui/controls.h"
#include "ui/sounds.h"

namespace {

// The debugging cable as a test plugs it: a change asked for falls between the two samples of
// the watcher's next cycle, so the watcher sees it within a cycle.
class PluggedCable : public PortSource {
public:
    std::optional<QStringList> ListPorts() override { return QStringList{}; }
    Cable CablePresence() override {
        const bool firstSample = (++m_calls % 2) == 1;
        const bool seen = m_present;
        if (firstSample && m_flipPending) {
            m_flipPending = false;
            m_present = !m_present;
        }
        return seen ? Cable::kPresent : Cable::kAbsent;
    }
    void FlipWithinNextCycle() { m_flipPending = true; }
    bool Settled() const { return !m_flipPending && m_calls % 2 == 0; }

private:
    std::atomic<int> m_calls{0};
    std::atomic<bool> m_present{true};
    std::atomic<bool> m_flipPending{false};
};

struct Fixture : DemoWindow {
    explicit Fixture(UiLanguage language = UiLanguage::Chinese, PortSource* source = nullptr,
                     int storedBaud = 9600) {
        SetUiLanguage(language);
        temp.settings->SetBaudRate(storedBaud);
        Start(source);
    }

    // The controller no longer answers "LDGET".
    void SilenceReads() {
        SetFaults([](sim::SimFaults& faults) { faults.noReadAnswer = true; });
    }
    void ShowTab(int index) { window->Item<QTabWidget>(1034)->setCurrentIndex(index); }
};

}  // namespace

class WindowLinkTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        g_connected = 0;
        g_writeAcknowledged = 1;
        g_modem.m_busy = 0;
        g_firstGenCable = 0;
    }

    void openAndClosePort() {
        Fixture f(UiLanguage::English);
        QVERIFY(!f.path.isEmpty());
        f.window->Controls().SetText(1001, QStringLiteral("old log"));
        QVERIFY(f.Open());
        QCOMPARE(f.window->Controls().Text(1032), QStringLiteral("CLOSE"));
        QCOMPARE(f.window->Controls().Text(1020), QStringLiteral("Connected"));
        QCOMPARE(f.window->Controls().Text(1001), QString());
        QCOMPARE(f.window->Item<QProgressBar>(1014)->value(), 0);
        for (int id : {1040, 1042, 1029}) {
            QVERIFY(!f.window->Page0().Controls().Control(id)->isEnabled());
        }
        QTest::mouseClick(f.window->Item<QAbstractButton>(1032), Qt::LeftButton);
        QTRY_VERIFY(!f.window->LinkToController().IsOpen() && !f.window->Busy());
        QCOMPARE(f.window->Controls().Text(1032), QStringLiteral("OPEN"));
        QCOMPARE(f.window->Controls().Text(1020), QStringLiteral("Connected"));
        for (int id : {1040, 1042, 1029}) {
            QVERIFY(f.window->Page0().Controls().Control(id)->isEnabled());
        }
    }

    void storedBaudOutsideTheListFailsTheOpen() {
        Fixture f(UiLanguage::Chinese, nullptr, /*storedBaud=*/1234);
        QCOMPARE(f.window->Page0().Item<QComboBox>(1040)->currentIndex(), -1);
        f.window->OpenPortAtStart(f.path);
        QTRY_VERIFY(!f.window->Busy());
        QVERIFY(!f.window->LinkToController().IsOpen());
        QCOMPARE(f.prompts.messages, QStringList{QString::fromUtf8(kSerialConfigFailedText)});
        QCOMPARE(f.window->Controls().Text(1032), QStringLiteral("打开串口"));
    }

    void cableReturnReopensThePortTheUserClosed() {
        PluggedCable cable;
        Fixture f(UiLanguage::English, &cable);
        QTRY_COMPARE(f.window->Controls().Text(1020), QStringLiteral("Connected"));
        QVERIFY(f.Open());
        QTest::mouseClick(f.window->Item<QAbstractButton>(1032), Qt::LeftButton);
        QTRY_VERIFY(!f.window->LinkToController().IsOpen() && !f.window->Busy());
        QCOMPARE(f.window->Controls().Text(1032), QStringLiteral("OPEN"));

        cable.FlipWithinNextCycle();  // unplugged
        QTRY_COMPARE_WITH_TIMEOUT(f.window->Controls().Text(1020), QStringLiteral("Disconnected"),
                                  3000);
        cable.FlipWithinNextCycle();  // plugged again: the last port comes back
        QTRY_VERIFY_WITH_TIMEOUT(f.window->LinkToController().IsOpen() && !f.window->Busy(), 3000);
        QCOMPARE(f.window->Controls().Text(1020), QStringLiteral("Connected"));
        // The button and page 1 follow the port's real state.
        QCOMPARE(f.window->Controls().Text(1032), QStringLiteral("CLOSE"));
        QVERIFY(!f.window->Page0().Controls().Control(1040)->isEnabled());
    }

    void secondCommandIsRefusedWhileOneRuns() {
        Fixture f;
        QVERIFY(f.Open());
        f.SilenceReads();
        QTest::mouseClick(f.window->Item<QAbstractButton>(1033), Qt::LeftButton);
        QVERIFY(f.window->Busy());
        // Input to the window is held while the connect "sleeps"; a direct call is refused too.
        QTest::mouseClick(f.window->Item<QAbstractButton>(1036), Qt::LeftButton);
        f.window->OnParamWriteClicked();
        f.window->OnConnectClicked();
        // The shortcuts and the context menu are held too: nothing opens that reads the pages
        // while their values are still arriving.
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        const int releases = f.keys.releasesSeen;
        for (Qt::Key key : {Qt::Key_F1, Qt::Key_F2, Qt::Key_F3}) {
            QTest::keyClick(f.window.get(), key);
        }
        // The key state still sees the keys go up, or a Shift could stay "down".
        QCOMPARE(f.keys.releasesSeen, releases + 3);
        bool menuShown = false;
        QTimer::singleShot(200, f.window.get(), [&menuShown] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                menuShown = true;
                popup->close();
            }
        });
        QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5),
                               f.window->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(f.window.get(), &menu);
        QTest::qWait(300);
        QVERIFY(!menuShown);
        QVERIFY(f.window->findChildren<CompareDialog*>().isEmpty());
        QVERIFY(f.window->findChildren<CAboutDlg*>().isEmpty());
        QVERIFY(!f.window->Chart().isVisible());
        QVERIFY(f.window->Busy());
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->Busy(), 6000);
        QCOMPARE(f.prompts.messages, QStringList{Tr(119)});
        QCOMPARE(f.Sim().Counters().parameterReads, 4u);
        QCOMPARE(f.Sim().Counters().parameterWriteFrames, 0u);
    }

    // Right after the read ends the pages' fields hold the set read while their controls still
    // show the old texts until the tick's refresh; a compare or a write then must not read the
    // old texts back.
    void commandsRightAfterTheReadSeeTheSetRead() {
        Fixture f;
        QVERIFY(f.Open());
        bool refreshDue = false;
        CompareDialog* dialog = nullptr;
        QObject::connect(f.window.get(), &CTarvikDlg::ConnectFinished, f.window.get(), [&] {
            refreshDue = g_refreshTicks.load() != 0;
            f.window->ShowCompare();
            dialog = f.window->findChild<CompareDialog*>();
            f.window->OnParamWriteClicked();
        });
        const sim::SimParameterSet before = f.Sim().Parameters();
        QVERIFY(f.Connect());
        QVERIFY(refreshDue);
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->Rows(), QList<QStringList>{});
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->Busy(), 6000);
        QCOMPARE(f.prompts.messages, QStringList{Tr(121)});
        QVERIFY(f.Sim().Parameters() == before);
        QVERIFY(f.window->Page0().m_overVoltage != 0.0f);
        QCOMPARE(f.window->Page0().m_overVoltage, f.window->Reference()->m_page0.m_overVoltage);
    }

    void openingAMissingPortShowsTheReason() {
        Fixture f;
        f.window->OpenPortAtStart(QStringLiteral("/dev/tarvik-no-such-port"));
        QTRY_VERIFY(!f.window->Busy());
        QVERIFY(!f.window->LinkToController().IsOpen());
        QCOMPARE(f.prompts.messages.size(), 1);
        QCOMPARE(f.window->Controls().Text(1032), QStringLiteral("打开串口"));
        QCOMPARE(f.window->Controls().Text(1020), QStringLiteral("已连接"));
        QCOMPARE(f.window->Ports().PortName(), QStringLiteral("/dev/tarvik-no-such-port"));
    }

    void connectReadsTheParameters() {
        Fixture f;
        QVERIFY(f.Open());
        QVERIFY(f.Connect());
        QVERIFY(f.prompts.messages.isEmpty());
        QCOMPARE(f.Sim().Counters().parameterReads, 1u);
        // The check value arrives with block 1 and shows at the next tick.
        QTRY_VERIFY(!f.window->Controls().Text(1016).isEmpty());
        QCOMPARE(f.window->Controls().Text(1013), f.window->Controls().Text(1016));
    }

    void connectWithoutAnswerSays119() {
        Fixture f;
        QVERIFY(f.Open());
        f.SilenceReads();
        QTest::mouseClick(f.window->Item<QAbstractButton>(1033), Qt::LeftButton);
        QVERIFY(f.window->Busy());
        QVERIFY(!f.window->Item<QAbstractButton>(1033)->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->Busy(), 6000);
        QVERIFY(f.window->Item<QAbstractButton>(1033)->isEnabled());
        QCOMPARE(f.prompts.messages, QStringList{Tr(119)});
        QCOMPARE(f.Sim().Counters().parameterReads, 4u);
    }

    void connectWithThePortClosedSays120() {
        Fixture f;
        QTest::mouseClick(f.window->Item<QAbstractButton>(1033), Qt::LeftButton);
        QCOMPARE(f.prompts.messages, QStringList{Tr(120)});
        QVERIFY(f.window->Item<QAbstractButton>(1033)->isEnabled());
    }

    // "Conect" stays disabled while the connect's message is open and comes back after it.
    void connectButtonReturnsAfterItsMessage_data() {
        QTest::addColumn<int>("message");
        QTest::newRow("port closed") << 120;
        QTest::newRow("download running") << 124;
        QTest::newRow("no answer") << 119;
    }
    void connectButtonReturnsAfterItsMessage() {
        QFETCH(int, message);
        Fixture f;
        auto* button = f.window->Item<QAbstractButton>(1033);
        QList<bool> enabledDuringMessage;
        f.prompts.whileMessage = [&] { enabledDuringMessage << button->isEnabled(); };
        if (message != 120) {
            QVERIFY(f.Open());
        }
        if (message == 124) {
            g_modem.m_busy = 1;
        }
        if (message == 119) {
            f.SilenceReads();
        }
        QTest::mouseClick(button, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->Busy(), 6000);
        g_modem.m_busy = 0;
        QCOMPARE(f.prompts.messages, QStringList{Tr(message)});
        QCOMPARE(enabledDuringMessage, QList<bool>{false});
        QVERIFY(button->isEnabled());
    }

    void displayPagePollsAndShowsLiveValues() {
        Fixture f;
        QVERIFY(f.Open());
        const auto before = f.Sim().Counters().statusRequests;
        QTest::qWait(600);
        QCOMPARE(f.Sim().Counters().statusRequests, before);  // not on other tabs
        f.ShowTab(3);
        QTRY_VERIFY_WITH_TIMEOUT(f.Sim().Counters().statusRequests >= before + 4, 5000);
        QTRY_VERIFY(f.window->Page5().Controls().Text(1019).size() == 8);
    }

    // A controller that stops answering leaves its last values on the display page, marked
    // as old after two seconds of asking: greyed, and the status line says since when. The
    // next frame clears the mark; the port stays as it is.
    void liveValuesGoStaleWhenTheAnswersStop() {
        Fixture f(UiLanguage::English);
        QVERIFY(f.Open());
        f.ShowTab(3);
        Cpage5& page = f.window->Page5();
        QTRY_VERIFY_WITH_TIMEOUT(page.Controls().Text(1019).size() == 8, 5000);
        QVERIFY(!page.StaleShown());
        auto* line = page.Item<QLabel>(1090);
        QVERIFY(line != nullptr && line->isHidden());
        const QColor live = page.Item<QLineEdit>(1010)->palette().color(QPalette::Text);

        // Every frame from now on fails its checksum: no status reaches the window.
        const QTime silentFrom = QTime::currentTime();
        f.SetFaults([](sim::SimFaults& faults) { faults.badChecksumFrames = 1000000; });
        QTRY_VERIFY_WITH_TIMEOUT(page.StaleShown(), 8000);
        QVERIFY(!line->isHidden());
        QVERIFY2(line->text().startsWith(QStringLiteral("No answer since ")),
                 qPrintable(line->text()));
        const QTime since = QTime::fromString(line->text().mid(16), QStringLiteral("HH:mm:ss"));
        QVERIFY(since.isValid());
        QVERIFY(std::abs(since.secsTo(silentFrom)) <= 2);
        QVERIFY(page.Item<QLineEdit>(1010)->palette().color(QPalette::Text) != live);
        // The last values stay, and the port is as it was.
        const QString voltage = page.Controls().Text(1010);
        QTest::qWait(4 * CTarvikDlg::kTimerPeriodMs);
        QVERIFY(page.StaleShown());
        QCOMPARE(page.Controls().Text(1010), voltage);
        QVERIFY(!voltage.isEmpty());
        QVERIFY(f.window->LinkToController().IsOpen());

        f.SetFaults([](sim::SimFaults& faults) { faults.badChecksumFrames = 0; });
        QTRY_VERIFY_WITH_TIMEOUT(!page.StaleShown(), 5000);
        QVERIFY(line->isHidden());
        QCOMPARE(page.Item<QLineEdit>(1010)->palette().color(QPalette::Text), live);
        // The refused frames' count is not the next test's.
        f.window.reset();
        ResetLinkFlags();
    }

    // Asking for nothing is no silence: off the display page the values are not marked.
    void noStaleMarkWhileNothingIsAsked() {
        Fixture f(UiLanguage::English);
        QVERIFY(f.Open());
        f.SetFaults([](sim::SimFaults& faults) { faults.badChecksumFrames = 1000000; });
        QTest::qWait(CTarvikDlg::kStaleAfterMs + 4 * CTarvikDlg::kTimerPeriodMs);
        QVERIFY(!f.window->Page5().StaleShown());
        f.window.reset();
        ResetLinkFlags();
    }

    void openChartPollsOffTheDisplayPage() {
        Fixture f;
        QVERIFY(f.Open());
        const auto before = f.Sim().Counters().statusRequests;
        f.window->ShowChart();
        QTRY_VERIFY_WITH_TIMEOUT(f.Sim().Counters().statusRequests >= before + 3, 5000);
        f.window->Chart().close();
        QTest::qWait(300);
        const auto closed = f.Sim().Counters().statusRequests;
        QTest::qWait(700);
        QCOMPARE(f.Sim().Counters().statusRequests, closed);
    }

    void anInvalidFieldGivesItsMessageOnceNotOnEveryTick() {
        Fixture f;
        QVERIFY(f.Open());
        f.window->Controls().SetText(1010, QString());
        f.ShowTab(3);
        const auto before = f.Sim().Counters().statusRequests;
        QTRY_VERIFY_WITH_TIMEOUT(f.Sim().Counters().statusRequests >= before + 4, 5000);
        QCOMPARE(f.prompts.messages, QStringList{"Enter a positive integer."});
        // Another invalid text is another message; the requests go on meanwhile.
        f.window->Controls().SetText(1010, QStringLiteral(" "));
        QTRY_COMPARE(f.prompts.messages.size(), 2);
        QTest::qWait(600);
        QCOMPARE(f.prompts.messages.size(), 2);
        f.window->Controls().SetText(1010, QStringLiteral("5"));
        QTRY_COMPARE(f.Sim().LastStatusRequest()->voltageCalibration, 5);
    }

    // The tick sends its status request only when every condition holds.
    void tickSendsOnlyWhenEverythingAllows_data() {
        QTest::addColumn<int>("tab");
        QTest::addColumn<int>("refreshTicks");
        QTest::addColumn<int>("downloadBusy");
        QTest::addColumn<int>("acknowledged");
        QTest::addColumn<bool>("portOpen");
        QTest::addColumn<bool>("sends");
        QTest::newRow("display page, all clear") << 3 << 0 << 0 << 1 << true << true;
        QTest::newRow("another page") << 0 << 0 << 0 << 1 << true << false;
        QTest::newRow("pages still refreshing") << 3 << 400 << 0 << 1 << true << false;
        QTest::newRow("download running") << 3 << 0 << 1 << 1 << true << false;
        QTest::newRow("write not acknowledged") << 3 << 0 << 0 << 0 << true << false;
        QTest::newRow("port closed") << 3 << 0 << 0 << 1 << false << false;
    }
    void tickSendsOnlyWhenEverythingAllows() {
        QFETCH(int, tab);
        QFETCH(int, refreshTicks);
        QFETCH(int, downloadBusy);
        QFETCH(int, acknowledged);
        QFETCH(bool, portOpen);
        QFETCH(bool, sends);
        Fixture f;
        QVERIFY(f.Open());
        if (!portOpen) {
            QTest::mouseClick(f.window->Item<QAbstractButton>(1032), Qt::LeftButton);
            QTRY_VERIFY(!f.window->LinkToController().IsOpen() && !f.window->Busy());
        }
        g_refreshTicks = static_cast<std::uint16_t>(refreshTicks);
        g_modem.m_busy = downloadBusy;
        g_writeAcknowledged = acknowledged;
        const auto before = f.Sim().Counters().statusRequests;
        f.ShowTab(tab);
        QTest::qWait(1200);
        const auto sent = f.Sim().Counters().statusRequests - before;
        g_modem.m_busy = 0;
        g_writeAcknowledged = 1;
        g_refreshTicks = 0;
        if (sends) {
            QVERIFY2(sent >= 3, qPrintable(QString::number(sent)));
        } else {
            QCOMPARE(sent, 0u);
        }
    }

    void remoteThrottleDrivesTheMotor() {
        Fixture f;
        QVERIFY(f.Open());
        f.window->RevealServiceControls(false);
        f.ShowTab(3);
        QTest::mouseClick(f.window->Item<QAbstractButton>(1062), Qt::LeftButton);
        QCOMPARE(f.window->Controls().Text(1062), QStringLiteral("本地控制"));
        auto* throttle = f.window->Item<QSlider>(1061);
        // Page 1's throttle voltages give the trackbar its range at the next request.
        throttle->setMaximum(440);
        throttle->setValue(throttle->maximum());
        QTRY_VERIFY_WITH_TIMEOUT(
            f.Sim().LastStatusRequest() && f.Sim().LastStatusRequest()->remoteOn, 5000);
        QTest::mouseClick(f.window->Item<QAbstractButton>(1062), Qt::LeftButton);
        QCOMPARE(f.window->Controls().Text(1062), QStringLiteral("远程控制"));
        // Back to rest, which the trackbar keeps inside its range.
        QCOMPARE(throttle->value(), std::clamp(50, throttle->minimum(), throttle->maximum()));
        QTRY_VERIFY_WITH_TIMEOUT(!f.Sim().LastStatusRequest()->remoteOn, 5000);
    }

    // Bytes 5 and 6 carry the cable's node and bit rate as they are when the request goes out:
    // the first request after a read carries what the read set, and an "Auto_B" change shows in
    // the very next request.
    void cableSelectorIsTheOneOfThisTick() {
        Fixture f;
        sim::SimParameterSet set = f.Sim().Parameters();
        set.SetByte(6, 21, 0x25);  // node F, 250K, no automatic matching
        f.Sim().SetParameters(set);
        f.window->RevealServiceControls(true);
        QTest::mouseClick(f.window->Item<QAbstractButton>(1049), Qt::LeftButton);
        QCOMPARE(g_firstGenCable.load(), 1);
        QVERIFY(f.Open());
        f.ShowTab(3);
        QTRY_VERIFY_WITH_TIMEOUT(f.Sim().Counters().statusRequests >= 2, 5000);
        QCOMPARE(f.Sim().LastStatusRequest()->nodeSelector, std::uint8_t('O'));
        QCOMPARE(f.Sim().LastStatusRequest()->bitRateSelector, std::uint8_t('W'));

        // The connect waits a second before it looks: every earlier request has arrived.
        QVERIFY(f.Connect());
        const std::size_t read = f.Sim().StatusRequests().size();
        QTRY_VERIFY_WITH_TIMEOUT(f.Sim().StatusRequests().size() > read, 5000);
        QCOMPARE(f.Sim().StatusRequests()[read].nodeSelector, std::uint8_t('T'));
        QCOMPARE(f.Sim().StatusRequests()[read].bitRateSelector, std::uint8_t('Y'));

        for (const bool autoMatch : {true, false}) {
            // Off the display page nothing is sent; what was sent arrives meanwhile.
            f.ShowTab(0);
            QTest::qWait(500);
            QTest::mouseClick(f.window->Item<QAbstractButton>(1047), Qt::LeftButton);
            QCOMPARE(f.window->Item<QAbstractButton>(1047)->isChecked(), autoMatch);
            const std::size_t changed = f.Sim().StatusRequests().size();
            f.ShowTab(3);
            QTRY_VERIFY_WITH_TIMEOUT(f.Sim().StatusRequests().size() > changed, 5000);
            QCOMPARE(f.Sim().StatusRequests()[changed].bitRateSelector,
                     std::uint8_t(autoMatch ? 'A' : 'Y'));
            QCOMPARE(f.Sim().StatusRequests()[changed].nodeSelector, std::uint8_t('T'));
        }
    }

    void calibrationStoreRidesOnExactlyTwoRequests() {
        Fixture f;
        QVERIFY(f.Open());
        f.window->RevealServiceControls(false);
        f.ShowTab(3);
        QTRY_VERIFY_WITH_TIMEOUT(f.Sim().Counters().statusRequests >= 1, 5000);
        QTest::mouseClick(f.window->Item<QAbstractButton>(1053), Qt::LeftButton);
        const auto start = f.Sim().Counters().statusRequests;
        QTRY_VERIFY_WITH_TIMEOUT(f.Sim().Counters().statusRequests >= start + 5, 3000);
        QCOMPARE(f.Sim().CalibrationStores().size(), std::size_t(2));
    }

    void displayModeRelabelsInChineseInBothLanguages() {
        Fixture f(UiLanguage::English);
        auto* mode = f.window->Item<QAbstractButton>(1181);
        const QStringList expected{"Q轴电压:", "Q轴电流:", "电压(V):"};
        for (const QString& label : expected) {
            QTest::mouseClick(mode, Qt::LeftButton);
            QCOMPARE(f.window->Page5().Controls().Text(1074), label);
        }
    }

    void oneShotCommandsReachTheController() {
        Fixture f;
        QVERIFY(f.Open());
        f.window->RevealServiceControls(true);
        f.prompts.confirmAnswer = false;
        QTest::mouseClick(f.window->Item<QAbstractButton>(1065), Qt::LeftButton);
        f.prompts.confirmAnswer = true;
        QTest::mouseClick(f.window->Item<QAbstractButton>(1067), Qt::LeftButton);
        QTRY_COMPARE(f.Sim().ReceivedCommands(), (std::vector<std::string>{"STFSE"}));
        QCOMPARE(f.prompts.confirmations.size(), 2);
        QTest::mouseClick(f.window->Item<QAbstractButton>(1059), Qt::LeftButton);
        QTRY_COMPARE(f.Sim().CommandCount("RESET"), 1);
    }

    void canCableBoxShowsTheCableControlsAndIsRemembered() {
        Fixture f;
        f.window->RevealServiceControls(true);
        QTest::mouseClick(f.window->Item<QAbstractButton>(1049), Qt::LeftButton);
        QCOMPARE(g_firstGenCable.load(), 1);
        QVERIFY(!f.window->Item<QWidget>(1038)->isHidden());
        QCOMPARE(f.temp.settings->FirstGenCable(), 1);
        QTest::mouseClick(f.window->Item<QAbstractButton>(1049), Qt::LeftButton);
        QCOMPARE(g_firstGenCable.load(), 0);
        QVERIFY(f.window->Item<QWidget>(1038)->isHidden());
        QVERIFY(!f.window->Item<QWidget>(1060)->isHidden());  // only ever shown by the box
        QCOMPARE(f.temp.settings->FirstGenCable(), 0);
    }

    void writeRefusalsInOrder() {
        Fixture f;
        QTest::mouseClick(f.window->Item<QAbstractButton>(1036), Qt::LeftButton);
        QVERIFY(f.Open());
        g_connected = 0;
        QTest::mouseClick(f.window->Item<QAbstractButton>(1036), Qt::LeftButton);
        QCOMPARE(f.prompts.messages, (QStringList{Tr(120), Tr(123)}));
    }

    void unacknowledgedWriteSays122OrPlaysErrorInMode1_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("sounds");
        QTest::newRow("by hand") << 0 << QStringList{Tr(122)} << QStringList{};
        QTest::newRow("automatic parameter writing")
            << 1 << QStringList{} << QStringList{"error.wav"};
    }
    void unacknowledgedWriteSays122OrPlaysErrorInMode1() {
        QFETCH(int, mode);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, sounds);
        Fixture f;
        QVERIFY(f.Open());
        QVERIFY(f.Connect());
        sim::SimFaults faults = f.Sim().Faults();
        faults.noWriteAck = true;
        f.Sim().SetFaults(faults);
        f.window->Item<QComboBox>(1030)->setCurrentIndex(mode);
        // Enter in a main-window control runs the write as the button does.
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(f.window->Item<QWidget>(1019), &enter);
        QVERIFY(f.window->Busy());
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->Busy(), 8000);
        QCOMPARE(f.prompts.messages, messages);
        QCOMPARE(f.sounds.played, sounds);
        // Two rounds of seven blocks went out.
        QCOMPARE(f.Sim().Counters().parameterWriteFrames, 14u);
        // Without the acknowledgement the display page gets no request.
        f.window->Item<QComboBox>(1030)->setCurrentIndex(0);
        const auto requests = f.Sim().Counters().statusRequests;
        f.ShowTab(3);
        QTest::qWait(800);
        QCOMPARE(f.Sim().Counters().statusRequests, requests);
    }

    void badChecksumsMoveOnlyTheErrorCounter() {
        Fixture f;
        QVERIFY(f.Open());
        sim::SimFaults faults = f.Sim().Faults();
        faults.badChecksumFrames = 3;
        f.Sim().SetFaults(faults);
        f.ShowTab(3);
        QTRY_VERIFY_WITH_TIMEOUT(f.window->Controls().Text(1022) == QStringLiteral("3"), 4000);
        QTRY_VERIFY_WITH_TIMEOUT(f.window->Controls().Text(1019).toInt() >= 2, 4000);
        QVERIFY(f.prompts.messages.isEmpty());
    }

    void readEditCompareWriteAndReadBack() {
        Fixture f;
        QVERIFY(f.Open());
        QVERIFY(f.Connect());
        // The pages show the controller's set once the refresh has run.
        const std::uint32_t busCurrent = f.window->Page1().m_busCurrentMax;
        QTRY_COMPARE(f.window->Page1().Controls().Text(1009), QString::number(busCurrent));
        QTRY_COMPARE(g_refreshTicks.load(), std::uint16_t(0));
        const QString edited = QString::number(busCurrent + 7);
        f.window->Page1().Controls().SetText(1009, edited);

        CompareDialog* compare = f.window->Files().Compare(f.window->Reference());
        QVERIFY(compare != nullptr);
        QCOMPARE(compare->Rows().size(), 1);
        QCOMPARE(compare->Rows()[0][CompareDialog::kReferenceColumn], QString::number(busCurrent));
        QCOMPARE(compare->Rows()[0][CompareDialog::kNowColumn], edited);
        compare->close();

        QTest::mouseClick(f.window->Item<QAbstractButton>(1036), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->Busy(), 5000);
        QCOMPARE(f.prompts.messages, QStringList{Tr(121)});
        // Read back into a fresh set of pages: the controller holds the edit.
        f.window->Page1().Controls().SetText(1009, QStringLiteral("0"));
        f.window->Page1().m_busCurrentMax = 0;
        QVERIFY(f.Connect());
        QTRY_COMPARE(f.window->Page1().Controls().Text(1009), edited);
    }

    // A production station: port open, automatic program writing, a program file and a short
    // hold-off. Each controller that announces itself gets the program, whole.
    void stationFlashesControllerAfterController() {
        Fixture f;
        QTemporaryDir folder;
        QByteArray image(20000, '\0');
        for (int i = 0; i < image.size(); ++i) {
            image[i] = static_cast<char>((i * 131 + 7) & 0xFF);
        }
        const QString file = folder.filePath(QStringLiteral("station.bin"));
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(image) == image.size());
        out.close();

        f.window->Download().SelectMode(2);
        f.window->m_autoDelay = 4;
        f.window->UpdateData(false);
        QVERIFY(f.Open());
        QVERIFY(f.window->Download().LoadImage(file));

        for (std::uint64_t controller = 1; controller <= 3; ++controller) {
            f.Sim().Announce();
            QTRY_COMPARE_WITH_TIMEOUT(f.Sim().Counters().imagesReceived, controller, 20000);
            const std::optional<sim::ReceivedImage> received = f.Sim().LastImage();
            QVERIFY(received.has_value());
            QCOMPARE(QByteArray(reinterpret_cast<const char*>(received->data.data()),
                                static_cast<qsizetype>(received->data.size())),
                     image);
            QTRY_COMPARE_WITH_TIMEOUT(f.sounds.played.count(QStringLiteral("download_success.wav")),
                                      int(controller), 10000);
            // The hold-off of 4 ticks drops the rebooted controller's own announcement.
            QTest::qWait(1500);
        }
        QCOMPARE(f.Sim().Counters().bootLoaderEntries, 3u);
        QCOMPARE(f.sounds.played.count(QStringLiteral("start_download.wav")), 3);
        QVERIFY(f.prompts.messages.isEmpty());
    }

    void writeIsAcknowledged() {
        Fixture f;
        QVERIFY(f.Open());
        QVERIFY(f.Connect());
        QTest::qWait(2500);  // the eight refresh ticks
        QTest::mouseClick(f.window->Item<QAbstractButton>(1036), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->Busy(), 5000);
        QCOMPARE(f.prompts.messages, QStringList{Tr(121)});
        QCOMPARE(f.Sim().Counters().writesStored, 1u);
    }
};

QTEST_MAIN(WindowLinkTest)
#include "window_link_test.moc"
