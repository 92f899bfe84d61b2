#include "production/records_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ui_language.h"
#include "production/line_scope.h"
#include "production/records_table_model.h"
#include "records/recorder.h"
#include "ui/prompts.h"

namespace {

constexpr RecordOperation kOperations[] = {
    RecordOperation::kRead,         RecordOperation::kWrite,
    RecordOperation::kDownload,     RecordOperation::kFactoryRestore,
    RecordOperation::kFactoryStore, RecordOperation::kCalibrationWrite,
    RecordOperation::kRestart,      RecordOperation::kRestartCable,
};
constexpr RecordOutcome kOutcomes[] = {RecordOutcome::kSuccess, RecordOutcome::kFailed,
                                       RecordOutcome::kCancelled};

// The filter list's entry for `value`: 0 ("any") when none, else its place in `values` + 1.
template <typename T, std::size_t N>
int FilterIndex(const std::optional<T>& value, const T (&values)[N]) {
    const T* found = value ? std::find(std::begin(values), std::end(values), *value)
                           : std::end(values);
    return found != std::end(values) ? static_cast<int>(found - std::begin(values)) + 1 : 0;
}

qint64 DayStartMs(const QDate& day) {
    return day.startOfDay().toMSecsSinceEpoch();
}

}  // namespace

RecordsWindow::RecordsWindow(Recorder* recorder, const QString& station, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_recorder(recorder),
      m_station(station),
      m_chinese(CurrentUiLanguage() == UiLanguage::Chinese),
      m_model(new RecordsTableModel(m_chinese, this)),
      m_summary(new QLabel(this)),
      m_problem(new QLabel(this)),
      m_listNote(new QLabel(this)),
      m_dayOn(new QCheckBox(T("日期", "Day"), this)),
      m_day(new QDateEdit(QDate::currentDate(), this)),
      m_stationEdit(new QLineEdit(station, this)),
      m_operation(new QComboBox(this)),
      m_outcome(new QComboBox(this)),
      m_export(new QPushButton(T("导出 CSV…", "Export CSV…"), this)),
      m_table(new QTableView(this)) {
    setWindowTitle(T("生产记录 — 工位 %1", "Production records — station %1").arg(station));
    resize(1000, 520);

    QFont big = m_summary->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    m_summary->setFont(big);
    m_summary->setTextFormat(Qt::RichText);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #c00000"));
    m_problem->hide();
    m_listNote->setWordWrap(true);
    m_listNote->hide();

    m_dayOn->setChecked(true);
    m_day->setCalendarPopup(true);
    m_day->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_stationEdit->setPlaceholderText(T("全部工位", "all stations"));
    m_stationEdit->setClearButtonEnabled(true);
    m_operation->addItem(T("全部操作", "all operations"));
    for (RecordOperation operation : kOperations)
        m_operation->addItem(ShownOperation(operation, m_chinese));
    m_outcome->addItem(T("全部结果", "all outcomes"));
    for (RecordOutcome outcome : kOutcomes)
        m_outcome->addItem(ShownOutcome(outcome, m_chinese));

    // Two rows, so that the window fits a narrow screen at a large scale.
    auto* where = new QHBoxLayout;
    where->addWidget(m_dayOn);
    where->addWidget(m_day);
    where->addSpacing(12);
    where->addWidget(new QLabel(T("工位", "Station"), this));
    where->addWidget(m_stationEdit, 1);
    auto* what = new QHBoxLayout;
    what->addWidget(new QLabel(T("操作", "Operation"), this));
    what->addWidget(m_operation);
    what->addSpacing(12);
    what->addWidget(new QLabel(T("结果", "Outcome"), this));
    what->addWidget(m_outcome);
    what->addStretch();
    what->addWidget(m_export);
    auto* filters = new QVBoxLayout;
    filters->addLayout(where);
    filters->addLayout(what);

    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    m_table->setWordWrap(false);
    // The columns fit their rows as they arrive, the reason beside the outcome with more room
    // than the others; the last column takes what is left.
    QHeaderView* header = m_table->horizontalHeader();
    header->setStretchLastSection(true);
    connect(header, &QHeaderView::sectionResized, this, [this, header](int column) {
        if (!m_sizingColumns && header->visualIndex(column) != header->count() - 1)
            m_userSizedColumns = true;
    });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &RecordsWindow::SizeColumns);
    // Before any row: the headers whole.
    SizeColumns();

    // With a server, this station's records and the line's are two scopes of one window.
    auto* layout = new QVBoxLayout(this);
    QVBoxLayout* own = layout;
    if (LineScope::Offered(m_recorder)) {
        m_scopes = new QTabWidget(this);
        auto* station = new QWidget(m_scopes);
        own = new QVBoxLayout(station);
        m_line = new LineScope(m_recorder, m_station, m_scopes);
        m_scopes->addTab(station, T("本工位", "This station"));
        m_scopes->addTab(m_line, T("产线", "Line"));
        layout->addWidget(m_scopes, 1);
    }
    own->addWidget(m_summary);
    own->addWidget(m_problem);
    own->addLayout(filters);
    own->addWidget(m_table, 1);
    own->addWidget(m_listNote);

    connect(m_dayOn, &QCheckBox::toggled, this, [this](bool on) {
        m_day->setEnabled(on);
        Refresh();
    });
    connect(m_day, &QDateEdit::dateChanged, this, &RecordsWindow::Refresh);
    connect(m_stationEdit, &QLineEdit::editingFinished, this, &RecordsWindow::Refresh);
    connect(m_operation, &QComboBox::currentIndexChanged, this, &RecordsWindow::Refresh);
    connect(m_outcome, &QComboBox::currentIndexChanged, this, &RecordsWindow::Refresh);
    connect(m_export, &QPushButton::clicked, this, &RecordsWindow::ExportCsv);

    if (m_recorder == nullptr) {
        ShowProblem(T("本次运行不记录生产记录。", "Records are off in this run."));
        ShowCounts();
        return;
    }
    connect(m_recorder, &Recorder::recordStored, this, &RecordsWindow::RecordStored);
    Refresh();
}

void RecordsWindow::SizeColumns() {
    if (m_userSizedColumns)
        return;
    m_sizingColumns = true;
    for (int column = 0; column < m_model->columnCount() - 1; ++column) {
        const int widest = column == RecordsTableModel::kReason ? kMaxReasonWidth : kMaxColumnWidth;
        m_table->resizeColumnToContents(column);
        if (m_table->columnWidth(column) > widest)
            m_table->setColumnWidth(column, widest);
    }
    m_sizingColumns = false;
}

void RecordsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_placed) {
        m_placed = true;
        FitScreen();
    }
}

void RecordsWindow::FitScreen() {
    // On the main window's screen (or where the window manager put it), whole.
    const QWidget* owner = parentWidget() != nullptr ? parentWidget()->window() : this;
    const QScreen* screen = owner->screen();
    if (screen == nullptr)
        return;
    const QRect room = screen->availableGeometry();
    const QSize frame = frameGeometry().size() - size();
    const QSize fitted = size().boundedTo(room.size() - frame).expandedTo(minimumSizeHint());
    resize(fitted);
    QRect placed(owner == this ? frameGeometry().topLeft()
                               : owner->frameGeometry().center() -
                                     QPoint(fitted.width() / 2, fitted.height() / 2),
                 fitted + frame);
    placed.moveRight(std::min(placed.right(), room.right()));
    placed.moveBottom(std::min(placed.bottom(), room.bottom()));
    placed.moveLeft(std::max(placed.left(), room.left()));
    placed.moveTop(std::max(placed.top(), room.top()));
    move(placed.topLeft());
}

QString RecordsWindow::T(const char* chinese, const char* english) const {
    return QString::fromUtf8(m_chinese ? chinese : english);
}

RecordFilter RecordsWindow::Filter() const {
    RecordFilter filter;
    if (m_dayOn->isChecked()) {
        filter.sinceMs = DayStartMs(m_day->date());
        filter.untilMs = DayStartMs(m_day->date().addDays(1));
    }
    filter.station = m_stationEdit->text().trimmed();
    if (const int index = m_operation->currentIndex(); index > 0)
        filter.operation = kOperations[index - 1];
    if (const int index = m_outcome->currentIndex(); index > 0)
        filter.outcome = kOutcomes[index - 1];
    return filter;
}

void RecordsWindow::SetDay(std::optional<QDate> day) {
    const QSignalBlocker blockDay(m_day);
    const QSignalBlocker blockOn(m_dayOn);
    m_dayOn->setChecked(day.has_value());
    m_day->setEnabled(day.has_value());
    if (day)
        m_day->setDate(*day);
    Refresh();
}

void RecordsWindow::SetStationFilter(const QString& station) {
    m_stationEdit->setText(station);
    Refresh();
}

void RecordsWindow::SetOperationFilter(std::optional<RecordOperation> operation) {
    const QSignalBlocker block(m_operation);
    m_operation->setCurrentIndex(FilterIndex(operation, kOperations));
    Refresh();
}

void RecordsWindow::SetOutcomeFilter(std::optional<RecordOutcome> outcome) {
    const QSignalBlocker block(m_outcome);
    m_outcome->setCurrentIndex(FilterIndex(outcome, kOutcomes));
    Refresh();
}

void RecordsWindow::Refresh() {
    if (m_recorder == nullptr)
        return;
    const int generation = ++m_listGeneration;
    RecordFilter filter = Filter();
    if (!filter.sinceMs)
        filter.newest = m_listLimit;
    m_recorder->Query(
        filter, this,
        [this, generation, cut = filter.newest](std::optional<QList<OperationRecord>> records,
                                                const QString& error) {
            if (generation != m_listGeneration)
                return;
            m_listCut = records && cut && records->size() >= *cut;
            if (m_listCut) {
                m_listNote->setText(
                    T("仅列出（和导出）最新的 %1 条记录；选择日期可查看其余记录。",
                      "Only the newest %1 records are listed (and exported); choose a day to "
                      "see the others.")
                        .arg(*cut));
            }
            m_listNote->setVisible(m_listCut);
            if (!records) {
                ShowProblem(error);
                m_model->SetRecords({});
            } else {
                m_problem->hide();
                // The store lists the oldest first; the newest is what a station
                // looks for.
                std::reverse(records->begin(), records->end());
                m_model->SetRecords(std::move(*records));
                SizeColumns();
            }
            emit listed();
        });
    RefreshCounts();
}

void RecordsWindow::RefreshCounts() {
    if (m_recorder == nullptr)
        return;
    const int generation = ++m_countGeneration;
    RecordFilter today;
    today.sinceMs = DayStartMs(QDate::currentDate());
    today.untilMs = DayStartMs(QDate::currentDate().addDays(1));
    today.station = m_station;
    m_recorder->Summarise(
        today, SummaryGrouping::kDay, this,
        [this, generation](std::optional<QList<SummaryRow>> rows, const QString& error) {
            if (generation != m_countGeneration)
                return;
            if (!rows) {
                ShowProblem(error);
                return;
            }
            m_passedToday = 0;
            m_failedToday = 0;
            for (const SummaryRow& row : *rows) {
                m_passedToday += row.success;
                m_failedToday += row.failed;
            }
            ShowCounts();
            emit counted();
        });
}

bool RecordsWindow::Matches(const OperationRecord& record) const {
    const RecordFilter filter = Filter();
    return (!filter.sinceMs || record.startedMs >= *filter.sinceMs) &&
           (!filter.untilMs || record.startedMs < *filter.untilMs) &&
           (filter.station.isEmpty() || record.station == filter.station) &&
           (!filter.operation || record.operation == *filter.operation) &&
           (!filter.outcome || record.outcome == *filter.outcome);
}

void RecordsWindow::RecordStored(const OperationRecord& record) {
    // Counted by the store again rather than here: a query under way may already hold it.
    if (record.station == m_station)
        RefreshCounts();
    if (!Matches(record))
        return;
    const auto& listed = m_model->Records();
    const bool known = std::any_of(listed.begin(), listed.end(), [&record](const auto& other) {
        return other.uuid == record.uuid;
    });
    if (!known)
        m_model->Prepend(record);
}

QString RecordsWindow::SummaryText() const {
    return T("今日本工位（%1）：合格 %2，不合格 %3", "Today at %1: %2 passed, %3 failed")
        .arg(m_station)
        .arg(m_passedToday)
        .arg(m_failedToday);
}

void RecordsWindow::ShowCounts() {
    m_summary->setText(T("今日本工位（%1）：<span style='color:#007000'>合格 %2</span>，"
                         "<span style='color:#c00000'>不合格 %3</span>",
                         "Today at %1: <span style='color:#007000'>%2 passed</span>, "
                         "<span style='color:#c00000'>%3 failed</span>")
                           .arg(m_station.toHtmlEscaped())
                           .arg(m_passedToday)
                           .arg(m_failedToday));
}

void RecordsWindow::ShowProblem(const QString& message) {
    m_problem->setText(message);
    m_problem->show();
}

bool RecordsWindow::ExportCsv() {
    const QString initial = QStringLiteral("records-%1.csv")
                                .arg(m_dayOn->isChecked() ? m_day->date().toString(Qt::ISODate)
                                                          : QStringLiteral("all"));
    const QString path =
        AppPrompts().SaveFileName(FileKind::kRecordsExport, QStringLiteral("csv"), initial,
                                  T("CSV 文件 (*.csv)", "CSV files (*.csv)"));
    if (path.isEmpty())
        return false;
    QSaveFile file(path);
    const QByteArray bytes = m_model->Csv().toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        AppPrompts().Message(
            T("无法写入 %1：%2", "Cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}
