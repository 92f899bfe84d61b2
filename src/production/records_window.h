#pragma once
// The production records window: today's passed and failed operations of this station at the
// top, the records below with filters for the day, the station, the operation and the outcome,
// and an export to CSV. It can stay open beside the main window: records stored meanwhile join
// the list as they arrive. Queries run on the recorder's threads; this window only waits for
// their answer. When the records go to the line's server, a second scope beside "This station"
// shows the whole line (see LineScope); without a server this station is the line.

#include <QDate>
#include <QString>
#include <QWidget>

#include "records/operation_record.h"
#include "records/record_filter.h"

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTabWidget;
class LineScope;
class Recorder;
class RecordsTableModel;

class RecordsWindow : public QWidget {
    Q_OBJECT

public:
    // `recorder` may be null (recording is off): the window says so and lists nothing.
    RecordsWindow(Recorder* recorder, const QString& station, QWidget* parent = nullptr);

    // The filter as the controls stand.
    RecordFilter Filter() const;
    // The controls, for a station's engineer and the tests.
    void SetDay(std::optional<QDate> day);
    void SetStationFilter(const QString& station);
    void SetOperationFilter(std::optional<RecordOperation> operation);
    void SetOutcomeFilter(std::optional<RecordOutcome> outcome);

    // Asks the records again for the filter and today's counts.
    void Refresh();
    // Asks for a file and writes the listed records to it as CSV; false when nothing was
    // written (cancelled, or after its message).
    bool ExportCsv();

    const RecordsTableModel& Model() const { return *m_model; }
    // The line's scope; null when it is not offered (no server).
    LineScope* Line() const { return m_line; }
    // The scopes "This station" and "Line"; null when only this station's is offered.
    QTabWidget* Scopes() const { return m_scopes; }
    qint64 PassedToday() const { return m_passedToday; }
    qint64 FailedToday() const { return m_failedToday; }
    // The summary line at the top as shown.
    QString SummaryText() const;

    // The widest a column grows to fit its rows; the reason may grow wider. The last column
    // takes the rest.
    static constexpr int kMaxColumnWidth = 320;
    static constexpr int kMaxReasonWidth = 560;
    // The user set a column's width: the window no longer sizes the columns.
    bool UserSizedColumns() const { return m_userSizedColumns; }

    // Without a day the list (and so the export) holds the newest this many records: a line's
    // server holds millions.
    static constexpr int kListLimit = 5000;
    void SetListLimit(int limit) { m_listLimit = limit; }
    // The list was cut to the limit; a note under it says so.
    bool ListCut() const { return m_listCut; }

signals:
    // A query's answer is shown: the list, today's counts. Tests and screenshots wait for them.
    void listed();
    void counted();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RefreshCounts();
    // The columns to their content, bounded, unless the user sized one.
    void SizeColumns();
    // The first size: as designed, within the screen the window opens on.
    void FitScreen();
    void RecordStored(const OperationRecord& record);
    bool Matches(const OperationRecord& record) const;
    void ShowCounts();
    void ShowProblem(const QString& message);
    QString T(const char* chinese, const char* english) const;

    Recorder* m_recorder;
    QString m_station;
    bool m_chinese;
    RecordsTableModel* m_model;
    QLabel* m_summary;
    QLabel* m_problem;
    QLabel* m_listNote;
    int m_listLimit = kListLimit;
    bool m_listCut = false;
    QCheckBox* m_dayOn;
    QDateEdit* m_day;
    QLineEdit* m_stationEdit;
    QComboBox* m_operation;
    QComboBox* m_outcome;
    QPushButton* m_export;
    QTableView* m_table;
    QTabWidget* m_scopes = nullptr;
    LineScope* m_line = nullptr;
    qint64 m_passedToday = 0;
    qint64 m_failedToday = 0;
    // Answers to an older query are dropped: a newer one was asked since.
    int m_listGeneration = 0;
    int m_countGeneration = 0;
    bool m_userSizedColumns = false;
    bool m_sizingColumns = false;
    bool m_placed = false;
};
