// The window program's command line for the station window: what starts it, what it takes from
// the main window's options, and the mistakes refused before any window opens.

#include <QtTest>

#include "tarvik/window_options.h"

class WindowOptionsTest : public QObject {
    Q_OBJECT

private slots:
    void stationWindowOptions_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");  // 0 with options, else the usage error's code
        QTest::addColumn<bool>("stationWindow");
        QTest::addColumn<int>("mode");  // -1: not given
        QTest::addColumn<QString>("image");
        QTest::addColumn<QStringList>("ports");
        QTest::addColumn<int>("delay");  // -1: not given
        QTest::addColumn<bool>("fast");
        QTest::addColumn<QString>("error");  // part of the usage error

        const QString none;
        QTest::newRow("main window")
            << QStringList{} << 0 << false << -1 << none << QStringList{} << -1 << false << none;
        QTest::newRow("alone") << QStringList{"--station-window"} << 0 << true << -1 << none
                               << QStringList{} << -1 << false << none;
        QTest::newRow("everything")
            << QStringList{"--station-window", "--mode",          "2",       "--image", "fw.bin",
                           "--ports",          "ttyUSB0,ttyUSB1", "--delay", "20",      "--fast"}
            << 0 << true << 2 << QStringLiteral("fw.bin") << QStringList{"ttyUSB0", "ttyUSB1"} << 20
            << true << none;
        QTest::newRow("mode 1 with its parameter file")
            << QStringList{"--station-window", "--mode=1", "--image=set.par"} << 0 << true << 1
            << QStringLiteral("set.par") << QStringList{} << -1 << false << none;
        QTest::newRow("mode 3 without a reference")
            << QStringList{"--station-window", "--mode", "3"} << 0 << true << 3 << none
            << QStringList{} << -1 << false << none;
        QTest::newRow("ports: spaces, empty entries and repeats dropped")
            << QStringList{"--station-window", "--ports", " COM3, ,COM4,COM3,"} << 0 << true << -1
            << none << QStringList{"COM3", "COM4"} << -1 << false << none;
        QTest::newRow("with a screenshot")
            << QStringList{"--station-window", "--screenshot", "x.png", "--lang", "zh"} << 0 << true
            << -1 << none << QStringList{} << -1 << false << none;

        QTest::newRow("mode 0") << QStringList{"--station-window", "--mode", "0"} << 2 << false
                                << -1 << none << QStringList{} << -1 << false
                                << QStringLiteral("takes 1, 2 or 3, not '0'");
        QTest::newRow("mode 4") << QStringList{"--station-window", "--mode", "4"} << 2 << false
                                << -1 << none << QStringList{} << -1 << false
                                << QStringLiteral("takes 1, 2 or 3, not '4'");
        QTest::newRow("mode not a number")
            << QStringList{"--station-window", "--mode", "two"} << 2 << false << -1 << none
            << QStringList{} << -1 << false << QStringLiteral("takes 1, 2 or 3, not 'two'");
        QTest::newRow("bad delay")
            << QStringList{"--station-window", "--delay=soon"} << 2 << false << -1 << none
            << QStringList{} << -1 << false << QStringLiteral("--delay takes a number");
        QTest::newRow("ports without the station window")
            << QStringList{"--ports", "ttyUSB0"} << 2 << false << -1 << none << QStringList{} << -1
            << false << QStringLiteral("--ports goes with --station-window");
        QTest::newRow("a port to open")
            << QStringList{"--station-window", "--port", "ttyUSB0"} << 2 << false << -1 << none
            << QStringList{} << -1 << false << QStringLiteral("opens no port itself");
        QTest::newRow("demo") << QStringList{"--station-window", "--demo"} << 2 << false << -1
                              << none << QStringList{} << -1 << false
                              << QStringLiteral("opens no port itself");
        QTest::newRow("open") << QStringList{"--station-window", "--open"} << 2 << false << -1
                              << none << QStringList{} << -1 << false
                              << QStringLiteral("opens no port itself");
    }
    void stationWindowOptions() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(bool, stationWindow);
        QFETCH(int, mode);
        QFETCH(QString, image);
        QFETCH(QStringList, ports);
        QFETCH(int, delay);
        QFETCH(bool, fast);
        QFETCH(QString, error);

        arguments.prepend(QStringLiteral("tarvik"));
        const WindowOptionsResult result = ParseWindowOptions(arguments);
        QCOMPARE(result.exitCode, exitCode);
        if (exitCode != 0) {
            QVERIFY(!result.options);
            QVERIFY2(result.error.contains(error), qPrintable(result.error));
            return;
        }
        QVERIFY2(result.options, qPrintable(result.error));
        const WindowOptions& options = *result.options;
        QCOMPARE(options.stationWindow, stationWindow);
        QCOMPARE(options.mode ? *options.mode : -1, mode);
        QCOMPARE(options.badMode, QString());
        QCOMPARE(options.image, image);
        QCOMPARE(options.ports, ports);
        QCOMPARE(options.delay ? static_cast<int>(*options.delay) : -1, delay);
        QCOMPARE(options.fast, fast);
    }

    // The main window still starts with a bad mode and says so itself.
    void mainWindowKeepsItsBadMode() {
        const WindowOptionsResult result = ParseWindowOptions(
            {QStringLiteral("tarvik"), QStringLiteral("--mode"), QStringLiteral("7")});
        QVERIFY(result.options);
        QCOMPARE(result.options->badMode, QStringLiteral("7"));
        QVERIFY(!result.options->stationWindow);
    }

    void helpTellsTheStationWindow() {
        const WindowOptionsResult result =
            ParseWindowOptions({QStringLiteral("tarvik"), QStringLiteral("--help")});
        QCOMPARE(result.exitCode, 0);
        QVERIFY(!result.options);
        for (const char* option : {"--station-window", "--ports <a,b,...>", "--image <FILE>"})
            QVERIFY2(result.output.contains(QLatin1String(option)), option);
    }
};

QTEST_MAIN(WindowOptionsTest)
#include "window_options_test.moc"
