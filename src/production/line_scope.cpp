#include "production/line_scope.h"

#include <QCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QStackedBarSeries>
#include <QTableWidget>
#include <QTimeZone>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "production/production_text.h"
#include "records/recorder.h"

namespace {

constexpr int kDefaultRefreshMs = 10000;

QTableWidgetItem* Cell(const QString& text, bool number = false) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

QTableWidget* Table(const QStringList& titles, QWidget* parent) {
    auto* table = new QTableWidget(0, static_cast<int>(titles.size()), parent);
    table->setHorizontalHeaderLabels(titles);
    table->verticalHeader()->hide();
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    table->setWordWrap(false);
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

QString UtcOffsetText() {
    const int seconds = QDateTime::currentDateTime().offsetFromUtc();
    const int minutes = std::abs(seconds) / 60;
    return QStringLiteral("UTC%1%2:%3")
        .arg(seconds < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString YieldText(const YieldRow& yield) {
    if (yield.units == 0)
        return QStringLiteral("—");
    return QStringLiteral("%1 % (%2/%3)")
        .arg(100.0 * yield.Yield(), 0, 'f', 1)
        .arg(yield.firstPassed)
        .arg(yield.units);
}

}  // namespace

// One round of questions to one source (the server, or this station's own records). Answers
// of a round that was given up (a newer one started, or the server failed) are dropped.
struct LineScope::Pass {
    int generation = 0;
    bool server = true;
    int pending = 0;
    bool failed = false;
    LineFigures figures;
};

LineScope::LineScope(Recorder* recorder, const QString& station, QWidget* parent)
    : QWidget(parent),
      m_recorder(recorder),
      m_station(station),
      m_day(QDate::currentDate()),
      m_dayEdit(new QDateEdit(m_day, this)),
      m_reach(new QLabel(this)),
      m_hoursNote(new QLabel(this)),
      m_stations(Table({ProductionText("工位", "Station"), ProductionText("合格", "Passed"),
                        ProductionText("不合格", "Failed"),
                        ProductionText("一次通过率", "First-pass yield")},
                       this)),
      m_chart(new QChartView(this)),
      m_failures(Table({ProductionText("次数", "Count"), ProductionText("失败信息", "Message")},
                       this)),
      m_records(Table({ProductionText("开始", "Started"), ProductionText("工位", "Station"),
                       ProductionText("端口", "Port"), ProductionText("单元", "Unit"),
                       ProductionText("信息", "Message")},
                      this)) {
    m_dayEdit->setCalendarPopup(true);
    m_dayEdit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_dayEdit->setFocusPolicy(Qt::ClickFocus);
    for (QTableWidget* table : {m_stations, m_failures, m_records})
        table->setFocusPolicy(Qt::NoFocus);
    m_reach->setWordWrap(true);
    m_hoursNote->setText(ProductionText("每小时控制器数（本地时间，%1）",
                                        "Controllers per hour (local time, %1)")
                             .arg(UtcOffsetText()));
    m_chart->setRenderHint(QPainter::Antialiasing);
    m_chart->setMinimumHeight(220);
    BuildChart();
    m_failures->setToolTip(ProductionText("单击一行以列出这些记录", "Click a row to list its records"));
    // Columns are fitted once after a table is filled: fitting them at every cell set costs the
    // window's thread tens of milliseconds a refresh.
    m_failures->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
    m_records->horizontalHeader()->setSectionResizeMode(4, QHeaderView::Stretch);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(ProductionText("日期", "Day"), this));
    top->addWidget(m_dayEdit);
    top->addSpacing(12);
    top->addWidget(m_reach, 1);

    auto* chartSide = new QWidget(this);
    auto* chartLayout = new QVBoxLayout(chartSide);
    chartLayout->setContentsMargins(0, 0, 0, 0);
    chartLayout->addWidget(m_hoursNote);
    chartLayout->addWidget(m_chart, 1);
    auto* upper = new QSplitter(Qt::Horizontal, this);
    upper->addWidget(m_stations);
    upper->addWidget(chartSide);
    upper->setStretchFactor(0, 2);
    upper->setStretchFactor(1, 3);
    auto* lower = new QSplitter(Qt::Horizontal, this);
    lower->addWidget(m_failures);
    lower->addWidget(m_records);
    auto* both = new QSplitter(Qt::Vertical, this);
    both->addWidget(upper);
    both->addWidget(lower);
    both->setStretchFactor(0, 3);
    both->setStretchFactor(1, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(both, 1);

    connect(m_dayEdit, &QDateEdit::dateChanged, this, &LineScope::SetDay);
    connect(m_failures, &QTableWidget::cellClicked, this, [this](int row, int) {
        if (row >= 0 && row < m_figures.failures.size())
            ShowFailureRecords(m_figures.failures[row].key);
    });
    m_refresh.setInterval(kDefaultRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, &LineScope::OnRefreshTimer);
    m_refresh.start();
    ShowReach();
    Refresh();
}

LineScope::~LineScope() = default;

bool LineScope::Offered(const Recorder* recorder) {
    return recorder != nullptr && recorder->Location().IsPostgres();
}

void LineScope::SetDay(const QDate& day) {
    if (!day.isValid())
        return;
    m_day = day;
    if (m_dayEdit->date() != day) {
        const QSignalBlocker block(m_dayEdit);
        m_dayEdit->setDate(day);
    }
    Refresh();
}

void LineScope::SetRefreshInterval(int ms) {
    m_refresh.start(ms);
}

RecordFilter LineScope::DayFilter() const {
    RecordFilter filter;
    filter.sinceMs = m_day.startOfDay().toMSecsSinceEpoch();
    filter.untilMs = m_day.addDays(1).startOfDay().toMSecsSinceEpoch();
    return filter;
}

Recorder* LineScope::Local() {
    if (!m_local && m_recorder != nullptr) {
        RecorderOptions options;
        options.location.kind = RecordsLocation::Kind::kSqliteFile;
        options.location.file = m_recorder->LocalFile();
        options.readOnly = true;
        m_local = std::make_unique<Recorder>(options);
    }
    return m_local.get();
}

void LineScope::Refresh() {
    if (m_recorder == nullptr)
        return;
    m_passUnderWay = true;
    StartPass(true);
}

void LineScope::OnRefreshTimer() {
    // Nobody looks, or the server has not answered the last pass yet (it shares the records
    // thread with the forwarding of this station's records): nothing to ask.
    if (isVisible() && !m_passUnderWay)
        Refresh();
}

void LineScope::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_passUnderWay)
        Refresh();
}

void LineScope::StartPass(bool server) {
    Recorder* source = server ? m_recorder : Local();
    auto pass = std::make_shared<Pass>();
    pass->generation = ++m_generation;
    pass->server = server;
    pass->figures.fromServer = server;
    const RecordFilter day = DayFilter();

    // The stations first: the hours are asked station by station.
    ++pass->pending;
    source->Summarise(
        day, SummaryGrouping::kStation, this,
        [this, pass, source, day](std::optional<QList<SummaryRow>> rows, const QString& error) {
            if (rows) {
                pass->figures.stations = *rows;
                for (const SummaryRow& station : *rows) {
                    RecordFilter ofStation = day;
                    ofStation.station = station.key;
                    ++pass->pending;
                    source->Summarise(ofStation, SummaryGrouping::kHour, this,
                                      [this, pass, key = station.key](
                                          std::optional<QList<SummaryRow>> hours,
                                          const QString& hourError) {
                                          if (hours)
                                              pass->figures.hours.insert(key, *hours);
                                          Answered(pass, hours.has_value(), hourError);
                                      });
                }
            }
            Answered(pass, rows.has_value(), error);
        });

    ++pass->pending;
    source->Yield(day, YieldGrouping::kStation, this,
                  [this, pass](std::optional<QList<YieldRow>> rows, const QString& error) {
                      if (rows)
                          pass->figures.yields = *rows;
                      Answered(pass, rows.has_value(), error);
                  });

    RecordFilter failed = day;
    failed.outcome = RecordOutcome::kFailed;
    ++pass->pending;
    source->Summarise(failed, SummaryGrouping::kMessage, this,
                      [this, pass](std::optional<QList<SummaryRow>> rows, const QString& error) {
                          if (rows) {
                              QList<SummaryRow> sorted = *rows;
                              std::stable_sort(sorted.begin(), sorted.end(),
                                               [](const SummaryRow& a, const SummaryRow& b) {
                                                   return a.failed > b.failed;
                                               });
                              pass->figures.failures = sorted;
                          }
                          Answered(pass, rows.has_value(), error);
                      });
}

void LineScope::Answered(const std::shared_ptr<Pass>& pass, bool ok, const QString& error) {
    if (pass->generation != m_generation || pass->failed)
        return;
    if (!ok) {
        pass->failed = true;
        m_lastError = error;
        if (pass->server) {
            if (m_unreachableSinceMs == 0)
                m_unreachableSinceMs = QDateTime::currentMSecsSinceEpoch();
            ShowReach();
            // This station's own records meanwhile.
            StartPass(false);
        } else {
            ShowReach();
            m_passUnderWay = false;
            emit refreshed();
        }
        return;
    }
    if (--pass->pending == 0)
        PassDone(pass);
}

void LineScope::PassDone(const std::shared_ptr<Pass>& pass) {
    if (pass->server) {
        m_unreachableSinceMs = 0;
        m_lastError.clear();
    }
    m_figures = pass->figures;
    ShowReach();
    ShowFigures();
    m_passUnderWay = false;
    emit refreshed();
}

QString LineScope::ReachText() const {
    if (m_unreachableSinceMs == 0)
        return QString();
    const QString since =
        QDateTime::fromMSecsSinceEpoch(m_unreachableSinceMs).toLocalTime().toString("HH:mm");
    return ProductionText("产线服务器自 %1 起无法连接", "line not reachable since %1").arg(since);
}

void LineScope::ShowReach() {
    if (m_unreachableSinceMs == 0) {
        m_reach->setStyleSheet(QString());
        m_reach->setText(m_recorder == nullptr
                             ? QString()
                             : ProductionText("产线：%1（每 10 秒更新）",
                                              "Line: %1 (updated every 10 s)")
                                   .arg(m_recorder->Location().Describe()));
        m_reach->setToolTip(QString());
        return;
    }
    m_reach->setStyleSheet(QStringLiteral("color: #c62828; font-weight: bold"));
    m_reach->setText(ReachText() +
                     ProductionText("，显示本工位（%1）的记录", " — showing this station's (%1) own records")
                         .arg(m_station));
    m_reach->setToolTip(m_lastError);
}

void LineScope::ShowFigures() {
    ShowStations();
    ShowChart();
    ShowFailures();
}

void LineScope::ShowStations() {
    const auto& stations = m_figures.stations;
    m_stations->setUpdatesEnabled(false);
    m_stations->setRowCount(static_cast<int>(stations.size()));
    for (int row = 0; row < stations.size(); ++row) {
        const SummaryRow& station = stations[row];
        m_stations->setItem(row, 0, Cell(station.key));
        auto* passed = Cell(QString::number(station.success), true);
        passed->setForeground(QColor(0x1b, 0x7f, 0x2a));
        m_stations->setItem(row, 1, passed);
        auto* failed = Cell(QString::number(station.failed), true);
        if (station.failed > 0)
            failed->setForeground(QColor(0xc6, 0x28, 0x28));
        m_stations->setItem(row, 2, failed);
        QString yield = QStringLiteral("—");
        for (const YieldRow& known : m_figures.yields) {
            if (known.key == station.key)
                yield = YieldText(known);
        }
        m_stations->setItem(row, 3, Cell(yield, true));
    }
    m_stations->resizeColumnsToContents();
    m_stations->setUpdatesEnabled(true);
}

void LineScope::BuildChart() {
    QChart* chart = m_chart->chart();
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignRight);
    m_series = new QStackedBarSeries;
    chart->addSeries(m_series);
    // Twenty-four bars in a narrow chart: a label every third hour, at its bar.
    auto* hours = new QCategoryAxis;
    hours->setRange(-0.5, 23.5);
    hours->setStartValue(-0.5);
    hours->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    for (int h = 0; h < 24; h += 3)
        hours->append(QString::number(h), h);
    hours->setGridLineVisible(false);
    m_counts = new QValueAxis;
    m_counts->setLabelFormat(QStringLiteral("%d"));
    m_counts->setRange(0, 1);
    m_counts->setTickCount(2);
    chart->addAxis(hours, Qt::AlignBottom);
    chart->addAxis(m_counts, Qt::AlignLeft);
    m_series->attachAxis(hours);
    m_series->attachAxis(m_counts);
}

void LineScope::ShowChart() {
    // The bars are changed in place: building a chart afresh every 10 s costs the window's
    // thread tens of milliseconds.
    const QStringList stations = m_figures.hours.keys();
    QStringList shown;
    for (const QBarSet* set : m_series->barSets())
        shown << set->label();
    if (shown != stations) {
        m_series->clear();
        for (const QString& station : stations) {
            auto* set = new QBarSet(station);
            set->append(QList<qreal>(24, 0.0));
            m_series->append(set);
        }
    }
    const QString dayPrefix = m_day.toString(Qt::ISODate) + QLatin1Char(' ');
    QList<int> totals(24, 0);
    const QList<QBarSet*> sets = m_series->barSets();
    for (int s = 0; s < sets.size(); ++s) {
        QList<qreal> counts(24, 0.0);
        for (const SummaryRow& hour : m_figures.hours.value(stations[s])) {
            if (!hour.key.startsWith(dayPrefix))
                continue;
            const int h = hour.key.mid(dayPrefix.size(), 2).toInt();
            if (h >= 0 && h < 24) {
                counts[h] += static_cast<qreal>(hour.Total());
                totals[h] += static_cast<int>(hour.Total());
            }
        }
        for (int h = 0; h < 24; ++h) {
            if (sets[s]->at(h) != counts[h])
                sets[s]->replace(h, counts[h]);
        }
    }
    const int highest = std::max(1, *std::max_element(totals.begin(), totals.end()));
    m_counts->setRange(0, highest);
    // Whole controllers only: a small count gets one tick per controller instead of repeated
    // labels of a rounded fraction.
    if (highest <= 4)
        m_counts->setTickCount(highest + 1);
    else
        m_counts->applyNiceNumbers();
}

void LineScope::ShowFailures() {
    const auto& failures = m_figures.failures;
    m_failures->setUpdatesEnabled(false);
    m_failures->setRowCount(static_cast<int>(failures.size()));
    for (int row = 0; row < failures.size(); ++row) {
        m_failures->setItem(row, 0, Cell(QString::number(failures[row].failed), true));
        const QString message = failures[row].key.isEmpty()
                                    ? ProductionText("（无信息）", "(no message)")
                                    : failures[row].key;
        auto* item = Cell(message);
        item->setToolTip(message);
        m_failures->setItem(row, 1, item);
    }
    m_failures->resizeColumnToContents(0);
    m_failures->setUpdatesEnabled(true);
}

void LineScope::ShowFailureRecords(const QString& message) {
    if (m_recorder == nullptr)
        return;
    m_failureMessage = message;
    RecordFilter failed = DayFilter();
    failed.outcome = RecordOutcome::kFailed;
    Recorder* source = m_figures.fromServer || Local() == nullptr ? m_recorder : Local();
    const int generation = ++m_failureGeneration;
    source->Query(failed, this,
                  [this, generation, message](std::optional<QList<OperationRecord>> records,
                                              const QString&) {
                      if (generation != m_failureGeneration)
                          return;
                      m_failureRecords.clear();
                      if (records) {
                          for (auto it = records->crbegin(); it != records->crend(); ++it) {
                              if (it->reason == message)
                                  m_failureRecords.append(*it);
                          }
                      }
                      m_records->setRowCount(static_cast<int>(m_failureRecords.size()));
                      for (int row = 0; row < m_failureRecords.size(); ++row) {
                          const OperationRecord& r = m_failureRecords[row];
                          m_records->setItem(
                              row, 0,
                              Cell(QDateTime::fromMSecsSinceEpoch(r.startedMs)
                                       .toLocalTime()
                                       .toString(QStringLiteral("HH:mm:ss"))));
                          m_records->setItem(row, 1, Cell(r.station));
                          m_records->setItem(row, 2, Cell(r.port));
                          m_records->setItem(row, 3, Cell(r.unitId));
                          m_records->setItem(row, 4, Cell(r.reason));
                      }
                      for (int column = 0; column < 4; ++column)
                          m_records->resizeColumnToContents(column);
                      emit failuresListed();
                  });
}
