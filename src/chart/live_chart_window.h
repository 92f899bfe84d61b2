#pragma once
// The live chart: the status values plotted against time while the window is open, and their
// recording to a CSV file. The main window drives it: it tells the chart of every status
// request it sends and hands it every status that arrives, and keeps polling while Polling()
// says so.

#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "chart/live_chart_model.h"
#include "chart/status_recorder.h"
#include "core/protocol/live_status.h"

class QCheckBox;
class QComboBox;
class QPushButton;
class QTimer;
class QChart;
class QChartView;
class QLineSeries;
class QValueAxis;

class LiveChartWindow : public QWidget {
    Q_OBJECT

public:
    // Milliseconds on a steady scale; empty means the monotonic clock.
    using Clock = std::function<std::int64_t()>;

    explicit LiveChartWindow(QWidget* parent = nullptr, Clock clock = {});
    ~LiveChartWindow() override;

    // Each status request sent, with its display mode and the throttle voltage it carries. A
    // frame does not say its mode: the statuses that follow belong to this request's mode.
    void RequestSent(int displayMode, double throttleVolts);
    // Each status frame received: plotted, and written as a row while recording.
    void StatusReceived(const LiveStatus& status);
    // True while the window is open: the main window then sends status requests on every tab.
    bool Polling() const;

    // The view: the span of time in view (60 s up to 10 min) and whether it stands still.
    static constexpr int kDefaultSpanSeconds = 60;
    static constexpr int kLongestSpanSeconds = 600;
    void SetSpanSeconds(int seconds);
    int SpanSeconds() const { return m_spanSeconds; }
    void SetPaused(bool paused);
    bool Paused() const { return m_paused; }
    void SetSeriesShown(ChartSeries series, bool shown);
    bool SeriesShown(ChartSeries series) const;

    // Asks for a file and records into it; Stop closes it.
    void StartRecording();
    void StopRecording();
    bool Recording() const { return m_recorder.Active(); }
    int RecordedRows() const { return m_recorder.Rows(); }

    // What is drawn, for tests: the lines of a series in view, each a run of joined points
    // with times in seconds since the window opened, and the chart itself.
    std::vector<std::vector<std::pair<double, double>>> DrawnRuns(ChartSeries series) const;
    QChart* Chart() const { return m_chart; }
    const LiveChartModel& Model() const { return m_model; }
    double ViewEnd() const { return m_viewEnd; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct SeriesView {
        QCheckBox* m_check = nullptr;
        QValueAxis* m_axis = nullptr;
        // One line per run of joined points; kept and reused, so it only grows to the most
        // runs ever in view at once.
        std::vector<QLineSeries*> m_lines;
    };

    double NowSeconds() const;
    void BuildUi();
    void Refresh();
    QLineSeries* Line(ChartSeries series, std::size_t index);
    void UpdateTitle();
    void UpdateButtons();

    Clock m_clock;
    std::int64_t m_originMs = 0;
    LiveChartModel m_model;
    StatusRecorder m_recorder;
    int m_requestMode = 0;
    int m_spanSeconds = kDefaultSpanSeconds;
    bool m_paused = false;
    // Seconds since the window opened at the view's right edge; it stands still while paused.
    double m_viewEnd = 0;
    // A status has arrived since the last request.
    bool m_answered = false;

    QChart* m_chart = nullptr;
    QChartView* m_view = nullptr;
    QValueAxis* m_timeAxis = nullptr;
    std::vector<QValueAxis*> m_valueAxes;
    std::array<SeriesView, kChartSeriesCount> m_series;
    QPushButton* m_pauseButton = nullptr;
    QPushButton* m_recordButton = nullptr;
    QComboBox* m_spanBox = nullptr;
};
