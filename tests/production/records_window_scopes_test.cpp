// The records window's scopes: "This station" alone when the records stay on this station, and
// "Line" beside it when they go to a server (offered even while the server cannot be reached:
// the scope then says so and shows this station's own records).

#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/ui_language.h"
#include "production/line_scope.h"
#include "production/production_views.h"
#include "production/records_window.h"
#include "records/recorder.h"
#include "records/records_location.h"

class RecordsWindowScopesTest : public QObject {
    Q_OBJECT

private slots:
    void lineOfferedOnlyWithAServer_data() {
        QTest::addColumn<QString>("where");  // "" : recording off
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<QStringList>("scopes");  // empty: no scopes, this station only
        QTest::newRow("records off") << QString() << false << QStringList{};
        QTest::newRow("a file") << QStringLiteral("records.sqlite") << false << QStringList{};
        QTest::newRow("a file, Chinese")
            << QStringLiteral("records.sqlite") << true << QStringList{};
        // Port 1 on this host: refused at once, so the scope soon says the line is out of reach.
        QTest::newRow("a server") << QStringLiteral("postgresql://tarvik@127.0.0.1:1/line") << false
                                  << QStringList{QStringLiteral("This station"),
                                                 QStringLiteral("Line")};
        QTest::newRow("a server, Chinese")
            << QStringLiteral("postgresql://tarvik@127.0.0.1:1/line") << true
            << QStringList{QStringLiteral("本工位"), QStringLiteral("产线")};
    }
    void lineOfferedOnlyWithAServer() {
        QFETCH(QString, where);
        QFETCH(bool, chinese);
        QFETCH(QStringList, scopes);
        SetUiLanguage(chinese ? UiLanguage::Chinese : UiLanguage::English);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        std::unique_ptr<Recorder> recorder;
        if (!where.isEmpty()) {
            RecorderOptions options;
            const RecordsLocationResult parsed = ParseRecordsLocation(
                where.startsWith(QLatin1String("postgresql:")) ? where : dir.filePath(where));
            QVERIFY2(parsed.location, qPrintable(parsed.error));
            options.location = *parsed.location;
            options.outboxFile = dir.filePath(QStringLiteral("outbox.sqlite"));
            options.closeBudgetMs = 500;
            recorder = std::make_unique<Recorder>(options);
        }
        RecordsWindow window(recorder.get(), QStringLiteral("st-1"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        if (scopes.isEmpty()) {
            QVERIFY(window.Line() == nullptr);
            QVERIFY(window.Scopes() == nullptr);
            QVERIFY(window.findChildren<LineScope*>().isEmpty());
            QVERIFY(window.findChildren<QTabWidget*>().isEmpty());
            return;
        }
        QTabWidget* tabs = window.Scopes();
        QVERIFY(tabs != nullptr);
        QVERIFY(window.Line() != nullptr);
        QStringList shown;
        for (int i = 0; i < tabs->count(); ++i)
            shown << tabs->tabText(i);
        QCOMPARE(shown, scopes);
        // This station's own scope comes first and holds the list.
        QCOMPARE(tabs->currentIndex(), 0);
        QCOMPARE(tabs->widget(1), window.Line());
        tabs->setCurrentIndex(1);
        QTRY_VERIFY_WITH_TIMEOUT(!window.Line()->LineReachable(), 20000);
        QVERIFY(!window.Line()->ReachText().isEmpty());
        // Both scopes, to look at, where TARVIK_PICTURES_DIR says.
        if (const QString folder = qEnvironmentVariable("TARVIK_PICTURES_DIR"); !folder.isEmpty()) {
            window.resize(1000, 620);
            const QString name = QString("records-scopes-%1-%2.png").arg(chinese ? "zh" : "en");
            QVERIFY(SaveWidgetPicture(window, QDir(folder).filePath(name.arg("line"))));
            tabs->setCurrentIndex(0);
            QVERIFY(SaveWidgetPicture(window, QDir(folder).filePath(name.arg("station"))));
        }
    }
};

QTEST_MAIN(RecordsWindowScopesTest)
#include "records_window_scopes_test.moc"
