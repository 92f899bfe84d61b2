#pragma once
// The line's records at a glance, from the line's server: the chosen day's passed and failed
// per station with their first-pass yield, controllers per hour per station as stacked bars,
// and the failures grouped by message with the records behind each. Every figure is asked of
// the records' own threads through the recorder; this widget only shows the answers. It asks
// again every 10 s. While the server cannot be reached it shows this station's own records
// (its outbox) and says since when, and goes back to the line by itself.

#include <QDate>
#include <QList>
#include <QMap>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <memory>

#include "records/operation_record.h"
#include "records/record_filter.h"

class QChartView;
class QStackedBarSeries;
class QValueAxis;
class QDateEdit;
class QLabel;
class QTableWidget;
class Recorder;

// What one refresh found.
struct LineFigures {
    QList<SummaryRow> stations;                 // by station name
    QMap<QString, QList<SummaryRow>> hours;     // station -> its hours ("yyyy-MM-dd HH:00")
    QList<SummaryRow> failures;                 // by message, the most frequent first
    QList<YieldRow> yields;                     // by station, those with unit ids recorded
    bool fromServer = false;                    // false: this station's own records
};

class LineScope : public QWidget {
    Q_OBJECT

public:
    // `recorder` must keep records on a server (otherwise this station is the line and the
    // scope is not offered: see Offered). `station` names this station.
    LineScope(Recorder* recorder, const QString& station, QWidget* parent = nullptr);
    ~LineScope() override;

    // Whether a line scope makes sense for `recorder`: records go to a server.
    static bool Offered(const Recorder* recorder);

    void SetDay(const QDate& day);
    QDate Day() const { return m_day; }
    // How often the figures are asked again while the scope is on screen and the last pass has
    // answered (10 s unless a test wants it sooner). Shown again, it asks at once.
    void SetRefreshInterval(int ms);
    // Asks for every figure again; refreshed() follows once all have answered.
    void Refresh();
    bool Asking() const { return m_passUnderWay; }
    // Lists the day's failed records whose message is `message`; failuresListed() follows.
    void ShowFailureRecords(const QString& message);

    const LineFigures& Figures() const { return m_figures; }
    bool LineReachable() const { return m_unreachableSinceMs == 0; }
    // "line not reachable since HH:MM", empty while it is.
    QString ReachText() const;
    const QList<OperationRecord>& FailureRecords() const { return m_failureRecords; }
    QString FailureRecordsMessage() const { return m_failureMessage; }

signals:
    void refreshed();
    void failuresListed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnRefreshTimer();
    struct Pass;
    void StartPass(bool server);
    void Answered(const std::shared_ptr<Pass>& pass, bool ok, const QString& error);
    void PassDone(const std::shared_ptr<Pass>& pass);
    Recorder* Local();
    RecordFilter DayFilter() const;
    void ShowFigures();
    void ShowStations();
    void BuildChart();
    void ShowChart();
    void ShowFailures();
    void ShowReach();

    Recorder* m_recorder;
    QString m_station;
    std::unique_ptr<Recorder> m_local;
    QDate m_day;
    QTimer m_refresh;
    LineFigures m_figures;
    int m_generation = 0;
    bool m_passUnderWay = false;  // from Refresh until its refreshed()
    qint64 m_unreachableSinceMs = 0;
    QString m_lastError;
    QList<OperationRecord> m_failureRecords;
    QString m_failureMessage;
    int m_failureGeneration = 0;

    QDateEdit* m_dayEdit;
    QLabel* m_reach;
    QLabel* m_hoursNote;
    QTableWidget* m_stations;
    QChartView* m_chart;
    QStackedBarSeries* m_series = nullptr;
    QValueAxis* m_counts = nullptr;
    QTableWidget* m_failures;
    QTableWidget* m_records;
};
