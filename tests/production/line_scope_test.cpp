// The line scope against a throwaway PostgreSQL server holding known records of three stations
// over two days: the counts per station, the hours (in this machine's local time), the failures
// by message with the records behind them and the first-pass yield equal the figures worked out
// by hand below; with the server stopped the scope keeps working on this station's own records
// and says since when; started again, it goes back to the line by itself.

#include <QtTest>

#include "app/ui_language.h"
#include "production/line_scope.h"
#include "production/production_views.h"
#include "records/postgres_cluster.h"
#include "records/postgres_record_store.h"
#include "records/recorder.h"

namespace {

// Day 1 and day 2, local time.
const QDate kDay1(2026, 3, 2);
const QDate kDay2(2026, 3, 3);

OperationRecord Make(const QString& station, const QDate& day, const QTime& time,
                     RecordOutcome outcome, const QString& unit, const QString& reason = {}) {
    OperationRecord r = OperationRecord::Begin(RecordOperation::kDownload, AutomaticModeSource(2));
    r.station = station;
    r.startedMs = QDateTime(day, time).toMSecsSinceEpoch();
    r.finishedMs = r.startedMs + 44700;
    r.outcome = outcome;
    r.reason = reason;
    r.unitId = unit;
    r.port = "ttyUSB0";
    return r;
}

const QString kNoAnswer = "the controller did not answer the boot-entry command";
const QString kRefused = "the boot loader refused the image";

// Station A and C are other stations of the line; B is this one (its records go through the
// scope's own recorder, so they are in its outbox too).
QList<OperationRecord> OtherStations() {
    using O = RecordOutcome;
    return {
        Make("A", kDay1, QTime(9, 10), O::kSuccess, "U1"),
        Make("A", kDay1, QTime(9, 20), O::kFailed, "U2", kNoAnswer),
        Make("A", kDay1, QTime(9, 40), O::kSuccess, "U2"),
        Make("A", kDay1, QTime(10, 5), O::kFailed, "U3", kRefused),
        Make("A", kDay1, QTime(10, 30), O::kSuccess, "U4"),
        Make("C", kDay1, QTime(10, 45), O::kCancelled, "U7", "stopped"),
        Make("C", kDay1, QTime(10, 50), O::kSuccess, "U7"),
        Make("C", kDay1, QTime(23, 30), O::kSuccess, "U8"),
        Make("A", kDay2, QTime(8, 0), O::kFailed, "U1", kNoAnswer),
        Make("C", kDay2, QTime(0, 15), O::kSuccess, "U9"),
    };
}

QList<OperationRecord> ThisStation() {
    using O = RecordOutcome;
    return {
        Make("B", kDay1, QTime(9, 50), O::kFailed, "U5", kNoAnswer),
        Make("B", kDay1, QTime(10, 10), O::kFailed, "U5", kNoAnswer),
        Make("B", kDay1, QTime(11, 0), O::kSuccess, "U6"),
        Make("B", kDay1, QTime(11, 20), O::kSuccess, ""),
        Make("B", kDay2, QTime(12, 0), O::kSuccess, ""),
    };
}

SummaryRow Row(const QString& key, qint64 success, qint64 failed, qint64 cancelled = 0) {
    SummaryRow row{key};
    row.success = success;
    row.failed = failed;
    row.cancelled = cancelled;
    return row;
}

QString Hour(const QDate& day, int hour) {
    return QString("%1 %2:00").arg(day.toString(Qt::ISODate)).arg(hour, 2, 10, QLatin1Char('0'));
}

}  // namespace

class LineScopeTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        SetUiLanguage(UiLanguage::English);
        m_cluster = std::make_unique<PostgresCluster>();
        const QString problem = m_cluster->Start();
        if (!problem.isEmpty())
            QSKIP(qPrintable("no PostgreSQL server for the line: " + problem));
        PostgresRecordStore server(ParseRecordsLocation(m_cluster->Url()).location->server);
        QVERIFY2(server.Open(), qPrintable(server.Error()));
        QVERIFY2(server.Insert(OtherStations()), qPrintable(server.Error()));
        server.Close();
        RecorderOptions options;
        options.location = *ParseRecordsLocation(m_cluster->Url()).location;
        options.outboxFile = m_dir.filePath("outbox.sqlite");
        options.retryMs = 100;
        options.maxRetryMs = 400;
        m_recorder = std::make_unique<Recorder>(options);
        for (const OperationRecord& r : ThisStation())
            m_recorder->Submit(r);
        QVERIFY(m_recorder->Flush(20000));
    }
    void cleanupTestCase() {
        m_recorder.reset();
        m_cluster.reset();
    }

    void offeredOnlyWithAServer() {
        QVERIFY(LineScope::Offered(m_recorder.get()));
        RecorderOptions local;
        local.location.file = m_dir.filePath("alone.sqlite");
        Recorder alone(local);
        QVERIFY(!LineScope::Offered(&alone));
        QVERIFY(!LineScope::Offered(nullptr));
    }

    void figuresOfTheLine_data() {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QList<SummaryRow>>("stations");
        QTest::addColumn<QList<SummaryRow>>("failures");
        QTest::addColumn<QMap<QString, QList<SummaryRow>>>("hours");
        QTest::addColumn<QList<YieldRow>>("yields");
        QTest::newRow("day 1") << kDay1
                               << QList<SummaryRow>{Row("A", 3, 2), Row("B", 2, 2),
                                                    Row("C", 2, 0, 1)}
                               << QList<SummaryRow>{Row(kNoAnswer, 0, 3), Row(kRefused, 0, 1)}
                               << QMap<QString, QList<SummaryRow>>{
                                      {"A", {Row(Hour(kDay1, 9), 2, 1), Row(Hour(kDay1, 10), 1, 1)}},
                                      {"B",
                                       {Row(Hour(kDay1, 9), 0, 1), Row(Hour(kDay1, 10), 0, 1),
                                        Row(Hour(kDay1, 11), 2, 0)}},
                                      {"C", {Row(Hour(kDay1, 10), 1, 0, 1),
                                             Row(Hour(kDay1, 23), 1, 0)}}}
                               // First attempts of the day: A: U1 and U4 of U1..U4; B: U6 of
                               // U5, U6 (the record without a unit does not count); C: U8 of
                               // U7 (first attempt cancelled), U8.
                               << QList<YieldRow>{{"A", 4, 2}, {"B", 2, 1}, {"C", 2, 1}};
        // Day 2: A's U1 fails its first attempt of that day although it passed the day before.
        QTest::newRow("day 2")
            << kDay2 << QList<SummaryRow>{Row("A", 0, 1), Row("B", 1, 0), Row("C", 1, 0)}
            << QList<SummaryRow>{Row(kNoAnswer, 0, 1)}
            << QMap<QString, QList<SummaryRow>>{{"A", {Row(Hour(kDay2, 8), 0, 1)}},
                                                {"B", {Row(Hour(kDay2, 12), 1, 0)}},
                                                {"C", {Row(Hour(kDay2, 0), 1, 0)}}}
            << QList<YieldRow>{{"A", 1, 0}, {"C", 1, 1}};
    }
    void figuresOfTheLine() {
        QFETCH(QDate, day);
        LineScope scope(m_recorder.get(), "B");
        QSignalSpy refreshed(&scope, &LineScope::refreshed);
        scope.SetDay(day);
        QTRY_VERIFY_WITH_TIMEOUT(!refreshed.isEmpty() && scope.Figures().fromServer &&
                                     scope.Figures().stations.size() > 0 &&
                                     scope.Day() == day,
                                 20000);
        QVERIFY(scope.LineReachable());
        const LineFigures& figures = scope.Figures();
        QTEST(figures.stations, "stations");
        QTEST(figures.failures, "failures");
        QTEST(figures.hours, "hours");
        QTEST(figures.yields, "yields");
    }

    void failureClickThrough() {
        LineScope scope(m_recorder.get(), "B");
        QSignalSpy refreshed(&scope, &LineScope::refreshed);
        scope.SetDay(kDay1);
        QTRY_VERIFY_WITH_TIMEOUT(scope.Figures().failures.size() == 2, 20000);
        QSignalSpy listed(&scope, &LineScope::failuresListed);
        scope.ShowFailureRecords(kNoAnswer);
        QTRY_COMPARE_WITH_TIMEOUT(listed.size(), 1, 20000);
        QStringList shown;
        for (const OperationRecord& r : scope.FailureRecords())
            shown << r.station + " " + QDateTime::fromMSecsSinceEpoch(r.startedMs).toString("HH:mm");
        // The newest first.
        QCOMPARE(shown, (QStringList{"B 10:10", "B 09:50", "A 09:20"}));
    }

    // Out of sight (the window hidden, another tab chosen) it asks the server nothing; on
    // screen again it asks at once, then at its interval.
    void asksOnlyWhileOnScreen() {
        LineScope scope(m_recorder.get(), "B");
        QSignalSpy refreshed(&scope, &LineScope::refreshed);
        QTRY_COMPARE_WITH_TIMEOUT(refreshed.size(), 1, 20000);  // the first figures
        scope.SetRefreshInterval(50);
        QTest::qWait(400);
        QCOMPARE(refreshed.size(), 1);
        scope.show();
        QTRY_VERIFY_WITH_TIMEOUT(refreshed.size() >= 3, 20000);
        scope.hide();
        QTRY_VERIFY_WITH_TIMEOUT(!scope.Asking(), 20000);  // a pass under way still answers
        const qsizetype hidden = refreshed.size();
        QTest::qWait(400);
        QCOMPARE(refreshed.size(), hidden);
    }

    void serverGoneAndBack() {
        LineScope scope(m_recorder.get(), "B");
        scope.show();
        scope.SetRefreshInterval(300);
        scope.SetDay(kDay1);
        QTRY_VERIFY_WITH_TIMEOUT(scope.Figures().fromServer && scope.Figures().stations.size() == 3,
                                 20000);
        const QTime before = QTime::currentTime();
        QVERIFY(m_cluster->Stop());
        // This station's own records, and since when the line is gone.
        QTRY_VERIFY_WITH_TIMEOUT(!scope.LineReachable() && !scope.Figures().fromServer, 20000);
        const QString text = scope.ReachText();
        QVERIFY2(text == "line not reachable since " + before.toString("HH:mm") ||
                     text == "line not reachable since " + QTime::currentTime().toString("HH:mm"),
                 qPrintable(text));
        QCOMPARE(scope.Figures().stations, (QList<SummaryRow>{Row("B", 2, 2)}));
        QCOMPARE(scope.Figures().failures, (QList<SummaryRow>{Row(kNoAnswer, 0, 2)}));
        QCOMPARE(scope.Figures().yields, (QList<YieldRow>{{"B", 2, 1}}));
        // It keeps working: another day is answered from the same records.
        scope.SetDay(kDay2);
        QTRY_COMPARE_WITH_TIMEOUT(scope.Figures().stations, (QList<SummaryRow>{Row("B", 1, 0)}),
                                  20000);
        QVERIFY(!scope.LineReachable());
        QVERIFY(m_cluster->Resume());
        QTRY_VERIFY_WITH_TIMEOUT(scope.LineReachable() && scope.Figures().fromServer, 30000);
        QCOMPARE(scope.Figures().stations,
                 (QList<SummaryRow>{Row("A", 0, 1), Row("B", 1, 0), Row("C", 1, 0)}));
        QVERIFY(scope.ReachText().isEmpty());
    }

    // The scope of day 1 with the most frequent failure's records listed, in each language,
    // written where TARVIK_PICTURES_DIR says.
    void pictures_data() {
        QTest::addColumn<bool>("chinese");
        QTest::newRow("en") << false;
        QTest::newRow("zh") << true;
    }
    void pictures() {
        const QString folder = qEnvironmentVariable("TARVIK_PICTURES_DIR");
        if (folder.isEmpty())
            QSKIP("TARVIK_PICTURES_DIR names no folder for the pictures");
        QFETCH(bool, chinese);
        SetUiLanguage(chinese ? UiLanguage::Chinese : UiLanguage::English);
        LineScope scope(m_recorder.get(), "B");
        scope.resize(1000, 620);
        scope.SetDay(kDay1);
        QTRY_VERIFY_WITH_TIMEOUT(scope.Figures().failures.size() == 2, 20000);
        QSignalSpy listed(&scope, &LineScope::failuresListed);
        scope.ShowFailureRecords(kNoAnswer);
        QTRY_COMPARE_WITH_TIMEOUT(listed.size(), 1, 20000);
        const QString path =
            QDir(folder).filePath(QString("records-line-%1-%2.png")
                                      .arg(chinese ? "zh" : "en")
                                      .arg(qEnvironmentVariable("QT_SCALE_FACTOR", "1")));
        QVERIFY(SaveWidgetPicture(scope, path));
        SetUiLanguage(UiLanguage::English);
    }

private:
    QTemporaryDir m_dir;
    std::unique_ptr<PostgresCluster> m_cluster;
    std::unique_ptr<Recorder> m_recorder;
};

QTEST_MAIN(LineScopeTest)
#include "line_scope_test.moc"
