// The station window from the main window: its context menu entry and its key open one station
// window (pressed again, the same one comes forward), and it learns the main window's records,
// station and the port the main window holds, so that port is shown in use instead of taken.

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "demo_window.h"
#include "download/download_control.h"
#include "mainwindow/operation_records.h"
#include "mainwindow/port_row.h"
#include "production/station_window.h"

namespace {

enum class Route { kKey, kMenu };

// Presses the key, or picks the entry of the context menu; returns the entry's text when the
// menu was used ("" when the entry was missing or the key was pressed).
QString Press(CTarvikDlg& window, Route route) {
    // The offscreen platform leaves the focus on a window hidden meanwhile: made active here as
    // a click on it would.
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    if (!QTest::qWaitForWindowActive(&window))
        return QStringLiteral("<not active>");
    if (route == Route::kKey) {
        // As typed: to the widget that has the focus in the window.
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus != nullptr && focus->window() == &window ? focus : &window,
                        Qt::Key_F6);
        return QString();
    }
    QString picked;
    QTimer::singleShot(0, &window, [&picked] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (menu == nullptr)
            return;
        QAction* entry = nullptr;
        for (QAction* action : menu->actions()) {
            if (action->text().endsWith(QLatin1String("\tF6")))
                entry = action;
        }
        menu->close();
        if (entry != nullptr) {
            picked = entry->text();
            entry->trigger();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5),
                            window.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&window, &event);
    return picked;
}

}  // namespace

Q_DECLARE_METATYPE(Route)

class WindowStationTest : public QObject {
    Q_OBJECT

private slots:
    void oneStationWindowWhicheverWayItIsAskedFor_data() {
        QTest::addColumn<Route>("first");
        QTest::addColumn<Route>("second");
        QTest::newRow("key, key") << Route::kKey << Route::kKey;
        QTest::newRow("menu, key") << Route::kMenu << Route::kKey;
        QTest::newRow("key, menu") << Route::kKey << Route::kMenu;
    }
    void oneStationWindowWhicheverWayItIsAskedFor() {
        QFETCH(Route, first);
        QFETCH(Route, second);
        DemoWindow f;
        f.Start();
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QVERIFY(f.window->StationView() == nullptr);

        const QString entry = Press(*f.window, first);
        if (first == Route::kMenu) {
            QCOMPARE(entry, f.window->Language() == UiLanguage::Chinese
                                ? QStringLiteral("工位…\tF6")
                                : QStringLiteral("Station…\tF6"));
        }
        QTRY_VERIFY(f.window->StationView() != nullptr);
        const QPointer<StationWindow> opened = f.window->StationView();
        QVERIFY(opened->isVisible());
        QVERIFY(opened->isWindow());
        QVERIFY(!opened->Running());

        // Hidden behind the main window meanwhile (minimised, say): asked again, it comes back.
        opened->hide();
        QVERIFY(!Press(*f.window, second).startsWith(QLatin1Char('<')));
        QTRY_VERIFY(opened->isVisible());
        QCOMPARE(f.window->StationView(), opened.data());
        QCOMPARE(f.window->findChildren<StationWindow*>().size(), 1);

        // Closed, it is gone; asked again, a new one opens.
        opened->close();
        QTRY_VERIFY(opened.isNull());
        QVERIFY(f.window->StationView() == nullptr);
        Press(*f.window, Route::kKey);
        QTRY_VERIFY(f.window->StationView() != nullptr);
        QCOMPARE(f.window->findChildren<StationWindow*>().size(), 1);
    }

    // The station window is given the main window's records, station and fast download, and
    // asks the main window for its open port whenever it looks.
    void stationWindowLearnsWhatTheMainWindowHolds() {
        DemoWindow f;
        f.Start();
        SetRecordStation(QStringLiteral("line-3 st-7"));
        SetRecordsSetting(QStringLiteral("postgresql://tarvik@line-db/records?sslmode=require"));
        f.window->SetFastDownload(true, /*store=*/false);
        const StationWindowOptions options = f.window->StationOptions();
        SetRecordStation(QString());
        SetRecordsSetting(QString());
        QCOMPARE(options.station, QStringLiteral("line-3 st-7"));
        // As given, query and all: the workers connect with it.
        QCOMPARE(options.records,
                 QStringLiteral("postgresql://tarvik@line-db/records?sslmode=require"));
        QVERIFY(options.fast);
        QVERIFY(options.heldPort);
        // No automatic mode in the main window: the station's own default.
        QCOMPARE(options.mode, 2);
        QCOMPARE(options.delayTicks, 12);
        // The download group's automatic mode and delay carry over.
        f.window->Download().SelectMode(3);
        f.window->Download().SetDelay(30);
        const StationWindowOptions reading = f.window->StationOptions();
        QCOMPARE(reading.mode, 3);
        QCOMPARE(reading.delayTicks, 30);
        QCOMPARE(reading.file, QString());
        // A delay typed but not yet taken by any download is the one the station gets.
        f.window->Controls().SetText(1023, QStringLiteral("40"));
        QCOMPARE(f.window->StationOptions().delayTicks, 40);
        f.window->Download().SelectMode(0);

        QCOMPARE(options.heldPort(), QString());
        QVERIFY(f.Open());
        QCOMPARE(options.heldPort(), f.path);
        QCOMPARE(f.window->HeldPort(), f.path);
        // The port button closes it: the station window may take it again.
        f.window->Ports().OnOpenPortClicked();
        QTRY_VERIFY(!f.window->LinkToController().IsOpen());
        QCOMPARE(options.heldPort(), QString());
    }

    // The port held by the main window shows in use on its tile, and is let go when the main
    // window closes it.
    void heldPortShownInUseOnItsTile() {
        DemoWindow f;
        f.Start();
        QVERIFY(f.Open());
        const QString other = QStringLiteral("/dev/tarvik-other");
        StationWindowOptions options = f.window->StationOptions();
        options.mode = 3;
        options.ports = QStringList{f.path, other};
        StationWindow station(std::move(options));
        QVERIFY(station.Model().Port(f.path) != nullptr);
        QTRY_COMPARE_WITH_TIMEOUT(station.Model().Port(f.path)->state, TileState::kInUse, 5000);
        QVERIFY(station.Model().Port(other)->state != TileState::kInUse);
        f.window->Ports().OnOpenPortClicked();
        QTRY_VERIFY(!f.window->LinkToController().IsOpen());
        QTRY_VERIFY_WITH_TIMEOUT(station.Model().Port(f.path)->state != TileState::kInUse, 5000);
    }

    // Closing the main window while its station runs stops the station as the station window's
    // own close does (its operations end as cancelled records); the main window follows once
    // the station window has gone, never before.
    void closingTheMainWindowStopsItsStationFirst() {
        DemoWindow f;
        f.Start();
        f.window->show();
        f.window->ShowStation();
        QPointer<StationWindow> station = f.window->StationView();
        QVERIFY(station);
        QTemporaryDir dir;
        QFile image(dir.filePath(QStringLiteral("fw.bin")));
        QVERIFY(image.open(QIODevice::WriteOnly) && image.write("program") == 7);
        image.close();
        QVERIFY(station->SetMode(2));
        QVERIFY(station->SetFile(image.fileName()));
        station->SetPorts({dir.filePath(QStringLiteral("no-such-port"))});
        QVERIFY(station->Start());
        QVERIFY(station->Running());

        f.window->close();
        QVERIFY(f.window->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(station.isNull(), 15000);
        QTRY_VERIFY(!f.window->isVisible());
    }
};

QTEST_MAIN(WindowStationTest)
#include "window_station_test.moc"
