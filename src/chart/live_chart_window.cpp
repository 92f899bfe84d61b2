#include "chart/live_chart_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>

#include "app/ui_language.h"
#include "ui/prompts.h"

namespace {

// The window's own texts, Chinese and English.
struct Text {
    const char* chinese;
    const char* english;
};

QString Tr(const Text& text) {
    return QString::fromUtf8(CurrentUiLanguage() == UiLanguage::Chinese ? text.chinese
                                                                        : text.english);
}

constexpr Text kTitle{"实时曲线", "Live chart"};
constexpr Text kRecordingTitle{"实时曲线 — 记录中：%1 行 — %2",
                               "Live chart — recording: %1 rows — %2"};
constexpr Text kPause{"暂停", "Pause"};
constexpr Text kContinue{"继续", "Continue"};
constexpr Text kRecord{"记录…", "Record…"};
constexpr Text kStop{"停止", "Stop"};
constexpr Text kSpan{"时间范围:", "Span:"};
constexpr Text kFilters{"CSV 文件 (*.csv);;所有文件 (*)", "CSV files (*.csv);;All files (*)"};
constexpr Text kCannotCreate{"无法创建文件 %1。", "Cannot create the file %1."};
constexpr Text kCannotWrite{"无法写入文件 %1，记录已停止。",
                            "Cannot write to the file %1; recording stopped."};
constexpr Text kTimeAxis{"时间 (s)", "Time (s)"};

// The value axes: speed on the left, physical units and raw values on the right.
enum Axis { kSpeedAxis, kUnitsAxis, kRawAxis, kAxisCount };
constexpr std::array<Text, kAxisCount> kAxisTitles{{
    {"转速 (rpm)", "Speed (rpm)"},
    {"电压 (V) · 电流 (A) · 温度 (°C)", "Voltage (V) · current (A) · temperature (°C)"},
    {"Q/D 轴值 · 温度系数 (原始值)", "Q/D-axis value · temp. coefficient (raw)"},
}};

struct SeriesInfo {
    Text name;
    Axis axis;
    QRgb colour;
};
// In ChartSeries order.
constexpr std::array<SeriesInfo, kChartSeriesCount> kSeriesInfo{{
    {{"转速 (rpm)", "Speed (rpm)"}, kSpeedAxis, 0x1f77b4},
    {{"电压 (V)", "Voltage (V)"}, kUnitsAxis, 0xd62728},
    {{"电流 (A)", "Current (A)"}, kUnitsAxis, 0x2ca02c},
    {{"Q轴电压", "Q-axis voltage"}, kRawAxis, 0xff7f0e},
    {{"D轴电压", "D-axis voltage"}, kRawAxis, 0x9467bd},
    {{"Q轴电流", "Q-axis current"}, kRawAxis, 0x8c564b},
    {{"D轴电流", "D-axis current"}, kRawAxis, 0xe377c2},
    {{"控制器温度 (°C)", "Controller temp. (°C)"}, kUnitsAxis, 0x7f7f7f},
    {{"外部温度 (°C)", "External temp. (°C)"}, kUnitsAxis, 0xbcbd22},
    {{"温度系数", "Temp. coefficient"}, kRawAxis, 0x17becf},
    {{"转把电压 (V)", "Throttle (V)"}, kUnitsAxis, 0x000000},
}};

constexpr std::array<int, 4> kSpans{60, 120, 300, 600};
// Each span divides into six steps of 10, 20, 50 or 100 s.
constexpr int kTimeTicks = 7;

// A range around [low, high] on steps of 1, 2 or 5 times a power of ten, so that it changes
// only when the values leave it: every change of an axis redraws all its lines.
struct AxisRange {
    double low = 0;
    double high = 1;
    int ticks = 2;
    bool operator==(const AxisRange&) const = default;
};
AxisRange NiceRange(double low, double high) {
    constexpr int kSteps = 5;
    if (!(low <= high))
        return {};
    if (high - low < 1e-9) {
        low -= 1;
        high += 1;
    }
    const double raw = (high - low) / kSteps;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    double step = magnitude * 10;
    for (double factor : {1.0, 2.0, 5.0}) {
        if (magnitude * factor >= raw) {
            step = magnitude * factor;
            break;
        }
    }
    AxisRange range;
    range.low = std::floor(low / step) * step;
    range.high = std::ceil(high / step) * step;
    range.ticks = static_cast<int>(std::lround((range.high - range.low) / step)) + 1;
    return range;
}

std::size_t IndexOf(ChartSeries series) {
    return static_cast<std::size_t>(series);
}

// First point at or after `seconds`; the points are in time order.
std::size_t FirstAtOrAfter(const PointRing& ring, double seconds) {
    std::size_t low = 0;
    std::size_t high = ring.Size();
    while (low < high) {
        const std::size_t middle = low + (high - low) / 2;
        if (ring[middle].m_seconds < seconds)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// The runs of joined points between `from` and `to`, with the point just outside on the left
// so that a line enters the view from its edge; times drawn relative to `to`.
std::vector<QList<QPointF>> RunsInView(const PointRing& ring, double from, double to) {
    std::vector<QList<QPointF>> runs;
    std::size_t i = FirstAtOrAfter(ring, from);
    if (i > 0 && !ring[i].m_startsRun)
        --i;
    for (; i < ring.Size() && ring[i].m_seconds <= to; ++i) {
        const ChartPoint& p = ring[i];
        if (runs.empty() || p.m_startsRun)
            runs.emplace_back();
        runs.back().append(QPointF(p.m_seconds - to, p.m_value));
    }
    return runs;
}

}  // namespace

LiveChartWindow::LiveChartWindow(QWidget* parent, Clock clock)
    : QWidget(parent, Qt::Tool),
      m_clock(std::move(clock)),
      m_recorder([this] { return m_clock(); }) {
    if (!m_clock) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        m_clock = [timer] { return static_cast<std::int64_t>(timer->elapsed()); };
    }
    m_originMs = m_clock();
    BuildUi();
    UpdateTitle();
    UpdateButtons();
    Refresh();
}

LiveChartWindow::~LiveChartWindow() = default;

void LiveChartWindow::BuildUi() {
    m_chart = new QChart;
    m_chart->legend()->hide();  // the check boxes below carry the colours and names
    m_chart->setMargins(QMargins(4, 4, 4, 4));
    m_timeAxis = new QValueAxis;
    m_timeAxis->setTitleText(Tr(kTimeAxis));
    // Seconds before now: the axis keeps its range and only the points move.
    m_timeAxis->setLabelFormat("%.0f");
    m_timeAxis->setTickCount(kTimeTicks);
    m_chart->addAxis(m_timeAxis, Qt::AlignBottom);
    for (int axis = 0; axis < kAxisCount; ++axis) {
        auto* valueAxis = new QValueAxis;
        valueAxis->setTitleText(Tr(kAxisTitles[static_cast<std::size_t>(axis)]));
        valueAxis->setLabelFormat("%g");
        m_chart->addAxis(valueAxis, axis == kSpeedAxis ? Qt::AlignLeft : Qt::AlignRight);
        m_valueAxes.push_back(valueAxis);
    }
    m_view = new QChartView(m_chart);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumSize(640, 320);

    m_pauseButton = new QPushButton;
    m_pauseButton->setObjectName("pause");
    connect(m_pauseButton, &QPushButton::clicked, this, [this] { SetPaused(!m_paused); });
    m_recordButton = new QPushButton;
    m_recordButton->setObjectName("record");
    connect(m_recordButton, &QPushButton::clicked, this, [this] {
        if (Recording())
            StopRecording();
        else
            StartRecording();
    });
    m_spanBox = new QComboBox;
    m_spanBox->setObjectName("span");
    for (int seconds : kSpans) {
        const QString minutes = QString::number(seconds / 60);
        m_spanBox->addItem(
            CurrentUiLanguage() == UiLanguage::Chinese ? minutes + " 分钟" : minutes + " min",
            seconds);
    }
    connect(m_spanBox, &QComboBox::currentIndexChanged, this,
            [this](int index) { SetSpanSeconds(m_spanBox->itemData(index).toInt()); });

    auto* bar = new QHBoxLayout;
    bar->addWidget(m_pauseButton);
    bar->addWidget(m_recordButton);
    bar->addSpacing(12);
    bar->addWidget(new QLabel(Tr(kSpan)));
    bar->addWidget(m_spanBox);
    bar->addStretch();

    auto* checks = new QGridLayout;
    constexpr int kColumns = 6;
    for (std::size_t i = 0; i < kChartSeriesCount; ++i) {
        const SeriesInfo& info = kSeriesInfo[i];
        SeriesView& view = m_series[i];
        view.m_axis = m_valueAxes[static_cast<std::size_t>(info.axis)];
        view.m_check = new QCheckBox(Tr(info.name));
        view.m_check->setObjectName(QString("series%1").arg(i));
        QPixmap swatch(12, 12);
        swatch.fill(QColor(info.colour));
        view.m_check->setIcon(QIcon(swatch));
        view.m_check->setChecked(true);
        connect(view.m_check, &QCheckBox::toggled, this, [this] { Refresh(); });
        checks->addWidget(view.m_check, static_cast<int>(i) / kColumns,
                          static_cast<int>(i) % kColumns);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);
    layout->addLayout(checks);
    resize(900, 560);
}

double LiveChartWindow::NowSeconds() const {
    return static_cast<double>(m_clock() - m_originMs) / 1000.0;
}

void LiveChartWindow::RequestSent(int displayMode, double throttleVolts) {
    m_requestMode = displayMode;
    m_model.AddThrottle(NowSeconds(), throttleVolts);
    // Drawn with the answer; only an unanswered request moves the view by itself.
    if (!m_answered && isVisible())
        Refresh();
    m_answered = false;
}

void LiveChartWindow::StatusReceived(const LiveStatus& status) {
    m_answered = true;
    m_model.AddStatus(NowSeconds(), status, m_requestMode);
    if (Recording()) {
        if (!m_recorder.Write(status, m_requestMode)) {
            UpdateButtons();
            AppPrompts().Message(Tr(kCannotWrite).arg(m_recorder.Path()));
        }
        UpdateTitle();
    }
    if (isVisible())
        Refresh();
}

bool LiveChartWindow::Polling() const {
    return isVisible();
}

void LiveChartWindow::SetSpanSeconds(int seconds) {
    m_spanSeconds = std::clamp(seconds, 1, kLongestSpanSeconds);
    const int index = m_spanBox->findData(m_spanSeconds);
    if (index >= 0 && index != m_spanBox->currentIndex())
        m_spanBox->setCurrentIndex(index);
    Refresh();
}

void LiveChartWindow::SetPaused(bool paused) {
    m_paused = paused;
    UpdateButtons();
    Refresh();
}

void LiveChartWindow::SetSeriesShown(ChartSeries series, bool shown) {
    m_series[IndexOf(series)].m_check->setChecked(shown);
}

bool LiveChartWindow::SeriesShown(ChartSeries series) const {
    return m_series[IndexOf(series)].m_check->isChecked();
}

void LiveChartWindow::StartRecording() {
    const QString name = QString("tarvik-status-%1.csv")
                             .arg(QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss"));
    const QString path = AppPrompts().SaveFileName(FileKind::kChartRecording, "csv", name, Tr(kFilters));
    if (path.isEmpty())
        return;
    if (!m_recorder.Start(path))
        AppPrompts().Message(Tr(kCannotCreate).arg(path));
    UpdateTitle();
    UpdateButtons();
}

void LiveChartWindow::StopRecording() {
    m_recorder.Stop();
    UpdateTitle();
    UpdateButtons();
}

void LiveChartWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    Refresh();
}

void LiveChartWindow::closeEvent(QCloseEvent* event) {
    // Closing ends the polling, so nothing more would arrive to record.
    StopRecording();
    QWidget::closeEvent(event);
}

void LiveChartWindow::UpdateTitle() {
    if (Recording()) {
        setWindowTitle(Tr(kRecordingTitle)
                           .arg(m_recorder.Rows())
                           .arg(QFileInfo(m_recorder.Path()).fileName()));
    } else {
        setWindowTitle(Tr(kTitle));
    }
}

void LiveChartWindow::UpdateButtons() {
    m_pauseButton->setText(Tr(m_paused ? kContinue : kPause));
    m_recordButton->setText(Tr(Recording() ? kStop : kRecord));
}

QLineSeries* LiveChartWindow::Line(ChartSeries series, std::size_t index) {
    SeriesView& view = m_series[IndexOf(series)];
    while (view.m_lines.size() <= index) {
        auto* line = new QLineSeries;
        QPen pen(QColor(kSeriesInfo[IndexOf(series)].colour));
        pen.setWidthF(1.5);
        line->setPen(pen);
        m_chart->addSeries(line);
        line->attachAxis(m_timeAxis);
        line->attachAxis(view.m_axis);
        view.m_lines.push_back(line);
    }
    return view.m_lines[index];
}

void LiveChartWindow::Refresh() {
    if (!m_paused)
        m_viewEnd = NowSeconds();
    const double from = m_viewEnd - m_spanSeconds;
    if (m_timeAxis->min() != -m_spanSeconds || m_timeAxis->max() != 0)
        m_timeAxis->setRange(-m_spanSeconds, 0);

    struct Extent {
        double low = std::numeric_limits<double>::infinity();
        double high = -std::numeric_limits<double>::infinity();
    };
    std::array<Extent, kAxisCount> extents;
    std::array<bool, kAxisCount> axisShown{};
    for (std::size_t i = 0; i < kChartSeriesCount; ++i) {
        const auto series = static_cast<ChartSeries>(i);
        SeriesView& view = m_series[i];
        const auto axis = static_cast<std::size_t>(kSeriesInfo[i].axis);
        std::vector<QList<QPointF>> runs;
        if (view.m_check->isChecked()) {
            axisShown[axis] = true;
            runs = RunsInView(m_model.Points(series), from, m_viewEnd);
        }
        Extent& extent = extents[axis];
        for (const QList<QPointF>& run : runs) {
            for (const QPointF& p : run) {
                extent.low = std::min(extent.low, p.y());
                extent.high = std::max(extent.high, p.y());
            }
        }
        for (std::size_t r = 0; r < runs.size(); ++r) {
            QLineSeries* line = Line(series, r);
            line->replace(runs[r]);
            line->setVisible(true);
        }
        for (std::size_t r = runs.size(); r < view.m_lines.size(); ++r) {
            QLineSeries* line = view.m_lines[r];
            if (line->count() > 0)
                line->clear();
            line->setVisible(false);
        }
    }

    // One set of horizontal grid lines, the first shown axis's: the others' would not line up
    // with it and only clutter the plot.
    bool gridTaken = false;
    for (std::size_t axis = 0; axis < kAxisCount; ++axis) {
        QValueAxis* valueAxis = m_valueAxes[axis];
        if (valueAxis->isVisible() != axisShown[axis])
            valueAxis->setVisible(axisShown[axis]);
        const bool grid = axisShown[axis] && !gridTaken;
        gridTaken = gridTaken || grid;
        if (valueAxis->isGridLineVisible() != grid)
            valueAxis->setGridLineVisible(grid);
        const AxisRange range = NiceRange(extents[axis].low, extents[axis].high);
        if (range != AxisRange{valueAxis->min(), valueAxis->max(), valueAxis->tickCount()}) {
            valueAxis->setRange(range.low, range.high);
            valueAxis->setTickCount(range.ticks);
        }
    }
}

std::vector<std::vector<std::pair<double, double>>> LiveChartWindow::DrawnRuns(
    ChartSeries series) const {
    std::vector<std::vector<std::pair<double, double>>> runs;
    for (const QLineSeries* line : m_series[IndexOf(series)].m_lines) {
        if (!line->isVisible() || line->count() == 0)
            continue;
        std::vector<std::pair<double, double>> run;
        for (const QPointF& p : line->points())
            run.emplace_back(p.x() + m_viewEnd, p.y());
        runs.push_back(std::move(run));
    }
    return runs;
}
