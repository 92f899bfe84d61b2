// The live chart window: which series a frame feeds by the mode of its request, the gap a mode
// switch leaves, series choice, the span in view and pause, the bounded memory, and the
// recording (rows, flush, stop, title, a file that cannot be created), on a fake clock.

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <QtTest>
#include <memory>

#include "app/ui_language.h"
#include "chart/live_chart_model.h"
#include "chart/live_chart_window.h"
#include "core/protocol/status_csv.h"
#include "gui_test_support.h"

namespace {

using Runs = std::vector<std::vector<std::pair<double, double>>>;

LiveStatus Status(std::uint16_t voltageRaw, std::uint16_t currentRaw, std::int16_t rpm = 1000) {
    LiveStatus s;
    s.m_voltageRaw = voltageRaw;
    s.m_currentRaw = currentRaw;
    s.m_rpm = rpm;
    s.m_controllerTempRaw = 75;
    s.m_externalTempRaw = 70;
    s.m_tempCoefficient = 300;
    return s;
}

// A shown chart on a fake clock that the test moves.
struct ChartFixture {
    explicit ChartFixture(UiLanguage language = UiLanguage::English) {
        SetUiLanguage(language);
        window = std::make_unique<LiveChartWindow>(nullptr, [this] { return now; });
        window->show();
    }
    // One tick of the main window: the request, then the controller's answer 20 ms later.
    void Tick(int mode, const LiveStatus& status, double throttle = 1.5) {
        now += 230;
        window->RequestSent(mode, throttle);
        now += 20;
        window->StatusReceived(status);
    }
    QPushButton* Button(const char* name) const { return window->findChild<QPushButton*>(name); }
    QValueAxis* Axis(Qt::Alignment side, int index = 0) const {
        const QList<QAbstractAxis*> axes = window->Chart()->axes(Qt::Vertical);
        int seen = 0;
        for (QAbstractAxis* axis : axes) {
            if (axis->alignment() == side && seen++ == index)
                return qobject_cast<QValueAxis*>(axis);
        }
        return nullptr;
    }
    QValueAxis* TimeAxis() const {
        return qobject_cast<QValueAxis*>(window->Chart()->axes(Qt::Horizontal).value(0));
    }

    std::int64_t now = 0;
    RecordingPrompts prompts;
    std::unique_ptr<LiveChartWindow> window;
};

QStringList FileLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

std::size_t PointCount(const Runs& runs) {
    std::size_t count = 0;
    for (const auto& run : runs)
        count += run.size();
    return count;
}

}  // namespace

class ChartTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetUiLanguage(UiLanguage::Chinese); }

    // Frames follow the mode of the request before them; a switch breaks the lines of the
    // pair it leaves and starts the other pair's, and values of other modes never join.
    void modeSwitchLeavesAGap() {
        ChartFixture f;
        for (int i = 0; i < 3; ++i)
            f.Tick(0, Status(480, 0xFFF6));  // 48.0 V, -1.0 A
        f.Tick(1, Status(120, 0xFF00));      // Q/D voltage
        f.Tick(1, Status(121, 0xFF01));
        for (int i = 0; i < 2; ++i)
            f.Tick(0, Status(500, 20));

        const Runs voltage = f.window->DrawnRuns(ChartSeries::kVoltage);
        QCOMPARE(voltage.size(), 2u);
        QCOMPARE(voltage[0].size(), 3u);
        QCOMPARE(voltage[1].size(), 2u);
        QCOMPARE(voltage[0].back(), std::make_pair(0.75, 48.0));
        QCOMPARE(voltage[1].front(), std::make_pair(1.5, 50.0));
        const Runs current = f.window->DrawnRuns(ChartSeries::kCurrent);
        QCOMPARE(current.size(), 2u);
        QCOMPARE(current[0].front().second, -1.0);
        QCOMPARE(f.window->DrawnRuns(ChartSeries::kQVoltage),
                 (Runs{{{1.0, 120.0}, {1.25, 121.0}}}));
        QCOMPARE(f.window->DrawnRuns(ChartSeries::kDVoltage),
                 (Runs{{{1.0, -256.0}, {1.25, -255.0}}}));
        QVERIFY(f.window->DrawnRuns(ChartSeries::kQCurrent).empty());
        // Values every mode carries stay one line; the throttle comes with each request.
        QCOMPARE(f.window->DrawnRuns(ChartSeries::kSpeed).size(), 1u);
        QCOMPARE(PointCount(f.window->DrawnRuns(ChartSeries::kSpeed)), 7u);
        const auto throttle = f.window->DrawnRuns(ChartSeries::kThrottle).front().front();
        QCOMPARE(throttle.first, 0.23);  // sent 20 ms before its answer
        QCOMPARE(throttle.second, 1.5);
        QCOMPARE(f.window->DrawnRuns(ChartSeries::kControllerTemp).front().front().second, 25.0);
    }

    // Mode 2 feeds the Q/D currents with the raw values read signed.
    void qdCurrentIsRawAndSigned() {
        ChartFixture f;
        f.Tick(2, Status(0xFFFF, 0x8000));
        QCOMPARE(f.window->DrawnRuns(ChartSeries::kQCurrent), (Runs{{{0.25, -1.0}}}));
        QCOMPARE(f.window->DrawnRuns(ChartSeries::kDCurrent), (Runs{{{0.25, -32768.0}}}));
        QVERIFY(f.window->DrawnRuns(ChartSeries::kVoltage).empty());
    }

    // A controller silent for longer than a few ticks is not drawn as if it had answered.
    void silenceLeavesAGap() {
        LiveChartModel model;
        model.AddStatus(0.0, Status(1, 1), 0);
        model.AddStatus(0.25, Status(1, 1), 0);
        model.AddStatus(5.0, Status(1, 1), 0);
        const PointRing& speed = model.Points(ChartSeries::kSpeed);
        QCOMPARE(speed.Size(), 3u);
        QVERIFY(speed[0].m_startsRun);
        QVERIFY(!speed[1].m_startsRun);
        QVERIFY(speed[2].m_startsRun);
    }

    // An unchecked series is not drawn; an axis whose series are all unchecked is hidden.
    void seriesChoice() {
        ChartFixture f;
        for (int i = 0; i < 4; ++i)
            f.Tick(0, Status(480, 10));
        auto* speedBox = f.window->findChild<QCheckBox*>("series0");
        QVERIFY(speedBox != nullptr);
        QCOMPARE(speedBox->text(), "Speed (rpm)");
        QVERIFY(f.Axis(Qt::AlignLeft)->isVisible());
        // One set of grid lines: the first shown axis draws them.
        QVERIFY(f.Axis(Qt::AlignLeft)->isGridLineVisible());
        QVERIFY(!f.Axis(Qt::AlignRight, 0)->isGridLineVisible());

        speedBox->click();
        QVERIFY(!f.window->SeriesShown(ChartSeries::kSpeed));
        QVERIFY(f.window->DrawnRuns(ChartSeries::kSpeed).empty());
        QVERIFY(!f.Axis(Qt::AlignLeft)->isVisible());
        QVERIFY(f.Axis(Qt::AlignRight, 0)->isGridLineVisible());
        QCOMPARE(f.window->DrawnRuns(ChartSeries::kVoltage).size(), 1u);
        f.Tick(0, Status(480, 10));
        QVERIFY(f.window->DrawnRuns(ChartSeries::kSpeed).empty());

        // Still collected while hidden: checking it again shows all five frames.
        speedBox->click();
        QCOMPARE(PointCount(f.window->DrawnRuns(ChartSeries::kSpeed)), 5u);
        QVERIFY(f.Axis(Qt::AlignLeft)->isVisible());

        for (ChartSeries s : {ChartSeries::kVoltage, ChartSeries::kCurrent,
                              ChartSeries::kControllerTemp, ChartSeries::kExternalTemp})
            f.window->SetSeriesShown(s, false);
        QVERIFY(f.Axis(Qt::AlignRight, 0)->isVisible());  // the throttle is still on it
        f.window->SetSeriesShown(ChartSeries::kThrottle, false);
        QVERIFY(!f.Axis(Qt::AlignRight, 0)->isVisible());
    }

    // The last 60 s by default, up to 10 min when zoomed out; pause freezes the view while
    // the frames are still kept.
    void spanAndPause() {
        ChartFixture f;
        for (int i = 0; i < 4 * 300; ++i)  // five minutes
            f.Tick(0, Status(480, 10, static_cast<std::int16_t>(i)));
        QCOMPARE(f.window->ViewEnd(), 300.0);
        QCOMPARE(f.TimeAxis()->min(), -60.0);  // seconds before now
        QCOMPARE(f.TimeAxis()->max(), 0.0);
        // 60 s at four frames a second with both ends, and the one before that enters from the
        // edge.
        QCOMPARE(PointCount(f.window->DrawnRuns(ChartSeries::kSpeed)), 242u);

        f.window->SetSpanSeconds(LiveChartWindow::kLongestSpanSeconds);
        QCOMPARE(f.TimeAxis()->min(), -600.0);
        QCOMPARE(PointCount(f.window->DrawnRuns(ChartSeries::kSpeed)), 1200u);
        f.window->SetSpanSeconds(LiveChartWindow::kDefaultSpanSeconds);

        f.Button("pause")->click();
        QVERIFY(f.window->Paused());
        QCOMPARE(f.Button("pause")->text(), "Continue");
        const Runs frozen = f.window->DrawnRuns(ChartSeries::kSpeed);
        for (int i = 0; i < 8; ++i)
            f.Tick(0, Status(480, 10, 5000));
        QCOMPARE(f.window->DrawnRuns(ChartSeries::kSpeed), frozen);
        QCOMPARE(f.window->ViewEnd(), 300.0);
        QCOMPARE(f.window->Model().Points(ChartSeries::kSpeed).Size(), 1208u);

        f.Button("pause")->click();
        QCOMPARE(f.Button("pause")->text(), "Pause");
        QCOMPARE(f.window->ViewEnd(), 302.0);
        QCOMPARE(f.window->DrawnRuns(ChartSeries::kSpeed).back().back().second, 5000.0);
    }

    // However long the window stays open, each series keeps a bounded ring of points.
    void memoryIsBounded() {
        PointRing ring(5);
        for (int i = 0; i < 12; ++i)
            ring.Push({static_cast<double>(i), 0, false});
        QCOMPARE(ring.Size(), 5u);
        QCOMPARE(ring[0].m_seconds, 7.0);
        QCOMPARE(ring.Back().m_seconds, 11.0);

        // Fed hidden for speed and looked at every 30 s: the lines reused for the runs in view
        // stop growing once every phase of the mode switches has been in view.
        ChartFixture f;
        f.window->hide();
        f.window->SetSpanSeconds(LiveChartWindow::kLongestSpanSeconds);
        qsizetype linesAfterHalfAnHour = 0;
        for (int i = 1; i <= 4 * 3600; ++i) {  // an hour, with a mode switch every minute
            f.Tick((i / 240) % 2, Status(480, 10));
            if (i % 120 == 0) {
                f.window->show();
                f.window->hide();
            }
            if (i == 4 * 1800)
                linesAfterHalfAnHour = f.window->Chart()->series().size();
        }
        f.window->show();
        for (std::size_t s = 0; s < kChartSeriesCount; ++s) {
            QVERIFY(f.window->Model().Points(static_cast<ChartSeries>(s)).Size() <=
                    LiveChartModel::kDefaultCapacity);
        }
        QCOMPARE(f.window->Model().Points(ChartSeries::kSpeed).Size(),
                 LiveChartModel::kDefaultCapacity);
        QCOMPARE(f.window->Chart()->series().size(), linesAfterHalfAnHour);
    }

    // Every received status becomes a row, the same row the command line prints, on disk at
    // once; Stop closes the file, the title counts the rows meanwhile.
    void recording() {
        QTemporaryDir dir;
        ChartFixture f;
        f.Tick(0, Status(480, 10));  // before recording: not written
        f.prompts.saveAnswer = dir.filePath("run.csv");
        f.Button("record")->click();
        QVERIFY(f.window->Recording());
        QCOMPARE(f.prompts.fileFilters, QStringList{"CSV files (*.csv);;All files (*)"});
        QCOMPARE(f.Button("record")->text(), "Stop");
        QCOMPARE(FileLines(f.prompts.saveAnswer),
                 QStringList{QString::fromStdString(StatusCsvHeader())});

        const std::int64_t start = f.now;
        QStringList expected{QString::fromStdString(StatusCsvHeader())};
        const std::pair<int, LiveStatus> frames[] = {
            {0, Status(480, 10)}, {0, Status(481, 11)}, {2, Status(7, 0xFFFE)}};
        for (const auto& [mode, status] : frames) {
            f.Tick(mode, status);
            expected << QString::fromStdString(StatusCsvRow(f.now - start, status, mode));
            // Flushed: another reader sees the row while the file is still open.
            QCOMPARE(FileLines(f.prompts.saveAnswer), expected);
        }
        QCOMPARE(f.window->RecordedRows(), 3);
        QCOMPARE(f.window->windowTitle(), "Live chart — recording: 3 rows — run.csv");
        QVERIFY(expected[1].startsWith("0.250,1000,48.0,1.0,,,,,25,20,300,"));
        QVERIFY(expected[3].startsWith("0.750,1000,,,,,7,-2,25,"));

        f.Button("record")->click();
        QVERIFY(!f.window->Recording());
        QCOMPARE(f.window->windowTitle(), "Live chart");
        QCOMPARE(f.Button("record")->text(), "Record…");
        f.Tick(0, Status(480, 10));
        QCOMPARE(FileLines(f.prompts.saveAnswer), expected);
    }

    // Recording in Chinese: the title says so and counts the rows.
    void chineseTitle() {
        QTemporaryDir dir;
        ChartFixture f(UiLanguage::Chinese);
        QCOMPARE(f.window->windowTitle(), "实时曲线");
        f.prompts.saveAnswer = dir.filePath("记录.csv");
        f.window->StartRecording();
        f.Tick(0, Status(480, 10));
        f.Tick(0, Status(480, 10));
        QCOMPARE(f.window->windowTitle(), "实时曲线 — 记录中：2 行 — 记录.csv");
        QCOMPARE(f.Button("pause")->text(), "暂停");
    }

    // A cancelled file dialog records nothing; a file that cannot be created is named.
    void recordingNotStarted() {
        ChartFixture f;
        f.window->StartRecording();
        QVERIFY(!f.window->Recording());
        QVERIFY(f.prompts.messages.isEmpty());

        f.prompts.saveAnswer = "/nonexistent-folder/run.csv";
        f.window->StartRecording();
        QVERIFY(!f.window->Recording());
        QCOMPARE(f.prompts.messages,
                 QStringList{"Cannot create the file /nonexistent-folder/run.csv."});
        QCOMPARE(f.window->windowTitle(), "Live chart");
    }

    // The main window polls while the chart is open; closing it ends polling and recording.
    void pollingWhileOpen() {
        QTemporaryDir dir;
        ChartFixture f;
        QVERIFY(f.window->Polling());
        f.prompts.saveAnswer = dir.filePath("run.csv");
        f.window->StartRecording();
        f.Tick(0, Status(480, 10));
        f.window->close();
        QVERIFY(!f.window->Polling());
        QVERIFY(!f.window->Recording());
        QCOMPARE(FileLines(f.prompts.saveAnswer).size(), 2);
        f.window->show();
        QVERIFY(f.window->Polling());
    }

    // Both languages render with their axis titles; the pictures go to TARVIK_SHOT_DIR when
    // set, to be looked at.
    void rendersInBothLanguages() {
        for (UiLanguage language : {UiLanguage::Chinese, UiLanguage::English}) {
            ChartFixture f(language);
            for (int i = 0; i < 4 * 45; ++i) {
                const double throttle = 0.8 + (i > 40 ? std::min(2.5, (i - 40) * 0.05) : 0.0);
                const auto rpm = static_cast<std::int16_t>(throttle * 1200 - 900);
                f.Tick(i < 120 ? 0 : 1,
                       Status(static_cast<std::uint16_t>(480 - rpm / 100),
                              static_cast<std::uint16_t>(rpm / 20), rpm),
                       throttle);
            }
            QCOMPARE(f.Axis(Qt::AlignLeft)->titleText(),
                     language == UiLanguage::Chinese ? "转速 (rpm)" : "Speed (rpm)");
            const QImage image = f.window->grab().toImage();
            QVERIFY(!image.isNull());
            const QString dir = qEnvironmentVariable("TARVIK_SHOT_DIR");
            if (!dir.isEmpty()) {
                QVERIFY(image.save(QString("%1/chart-%2.png")
                                       .arg(dir, language == UiLanguage::Chinese ? "zh" : "en")));
            }
        }
    }
};

QTEST_MAIN(ChartTest)
#include "chart_test.moc"
