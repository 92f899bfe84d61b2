// The window program's demo start-up (`tarvik --demo ...`) on the in-memory line, the demo port
// Windows uses: the program opens the port, connects and reads the controller before its picture,
// and a production station downloads a program into the controller it switches on.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

#include "app/profile_settings.h"
#include "core/modem/modem_sender.h"
#include "core/protocol/link_flags.h"
#include "production/station_window.h"
#include "serial/serial.h"
#include "tarvik/memory_demo_port.h"
#include "tarvik/tarvik_app.h"

namespace {

// A demo port the test can look into while the program runs it, and after.
struct DemoWatch {
    CTarvikApp::DemoPortFactory Factory() {
        return [this] {
            auto port = std::make_unique<MemoryDemoPort>();
            live = port.get();
            return std::unique_ptr<DemoPort>(std::move(port));
        };
    }
    MemoryDemoPort* live = nullptr;
};

WindowOptions DemoOptions() {
    WindowOptions options;
    options.language = UiLanguage::English;
    options.demo = true;
    options.open = true;
    return options;
}

}  // namespace

class DemoStartTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The program keeps its settings where the user's are; here in a folder of the test's.
        QVERIFY(m_home.isValid());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_home.path());
    }
    void cleanup() {
        g_serial.Close();
        ResetLinkFlags();
        g_modem.m_busy = 0;
    }

    // The station window's workers and its own records name the station and keep the outbox as
    // the main window does: the command line, else the settings, else this computer's name.
    void stationWindowNamesItsStationAndOutbox() {
        QTemporaryDir dir;
        ProfileSettings settings(dir.filePath(QStringLiteral("settings.ini")));
        WindowOptions options;
        options.stationWindow = true;
        const StationWindowOptions bare = CTarvikApp(options).StationOptions(settings);
        QCOMPARE(bare.station, QSysInfo::machineHostName());
        QCOMPARE(bare.outbox, QString());

        settings.WriteText(ProfileSettings::kStationKey, QStringLiteral("line-2 st-4"));
        settings.WriteText(ProfileSettings::kOutboxKey, dir.filePath(QStringLiteral("box.sqlite")));
        const StationWindowOptions stored = CTarvikApp(options).StationOptions(settings);
        QCOMPARE(stored.station, QStringLiteral("line-2 st-4"));
        QCOMPARE(stored.outbox, dir.filePath(QStringLiteral("box.sqlite")));

        options.station = QStringLiteral("bench");
        options.outbox = dir.filePath(QStringLiteral("given.sqlite"));
        const StationWindowOptions given = CTarvikApp(options).StationOptions(settings);
        QCOMPARE(given.station, QStringLiteral("bench"));
        QCOMPARE(given.outbox, dir.filePath(QStringLiteral("given.sqlite")));
    }

    void screenshotShowsTheControllerRead() {
        WindowOptions options = DemoOptions();
        options.screenshotPath = m_home.filePath(QStringLiteral("demo.png"));
        options.screenshotTab = 3;
        DemoWatch watch;
        std::uint64_t reads = 0;
        std::uint64_t polls = 0;
        QTimer sample;
        QObject::connect(&sample, &QTimer::timeout, [&] {
            if (watch.live != nullptr) {
                reads = watch.live->Controller().Counters().parameterReads;
                polls = watch.live->Controller().Counters().statusRequests;
            }
        });
        sample.start(50);
        const int code = CTarvikApp(options, watch.Factory()).InitInstance();
        sample.stop();
        // 0 only when the controller was read before the picture was taken.
        QCOMPARE(code, 0);
        QVERIFY(!QImage(options.screenshotPath).isNull());
        QVERIFY(reads > 0);
        // The display page polled the live values while the picture settled.
        QVERIFY(polls > 0);
    }

    void stationDownloadsIntoTheControllerItSwitchesOn() {
        std::vector<std::uint8_t> image(20000);
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = static_cast<std::uint8_t>(i * 13 + 5);
        }
        const QString imagePath = m_home.filePath(QStringLiteral("station.bin"));
        QFile file(imagePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
        file.close();

        WindowOptions options = DemoOptions();
        options.mode = 2;
        options.image = imagePath;
        DemoWatch watch;
        std::optional<sim::ReceivedImage> received;
        QTimer watcher;
        QObject::connect(&watcher, &QTimer::timeout, [&] {
            if (watch.live != nullptr && watch.live->Controller().Counters().imagesReceived > 0) {
                received = watch.live->Controller().LastImage();
                QCoreApplication::exit(0);
            }
        });
        watcher.start(50);
        QTimer giveUp;
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        giveUp.start(60000);
        const int code = CTarvikApp(options, watch.Factory()).InitInstance();
        watcher.stop();
        giveUp.stop();
        QCOMPARE(code, 0);
        QVERIFY(received.has_value());
        QVERIFY(QString::fromStdString(received->name).endsWith(QStringLiteral("station.bin")));
        QVERIFY(received->data == image);
    }

private:
    QTemporaryDir m_home;
};

QTEST_MAIN(DemoStartTest)
#include "demo_start_test.moc"
