#include "tarvik/tarvik_app.h"

#include <QApplication>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/language_decision.h"
#include "app/profile_settings.h"
#include "download/download_control.h"
#include "link/port_open_sequence.h"
#include "link/port_source.h"
#include "mainwindow/port_row.h"
#include "mainwindow/tarvik_dlg.h"
#include "production/production_views.h"
#include "tarvik/window_recording.h"
#include "ui/dialog_units.h"
#include "ui/key_state.h"
#include "ui/prompts.h"

int CTarvikApp::InitInstance() {
    ProfileSettings settings;
    if (m_options.language) {
        SetUiLanguage(*m_options.language);
    } else {
        ApplyStartupLanguage(settings, CurrentSystemLanguage());
    }
    // Message boxes and menus in the same face as the dialogs.
    QApplication::setFont(DialogFont("MS Shell Dlg", 9));

    if (m_options.stationWindow) {
        return StationWindowRun(settings);
    }

    NativeKeyState keys;
    // The demo's controller outlives the window that talks to it.
    std::unique_ptr<DemoPort> demo;
    SystemPortSource platformPorts;
    DemoPortSource demoPorts(platformPorts);
    QString pinned = m_options.port;
    if (m_options.demo) {
        demo = m_demoPorts();
        pinned = demo->Start();
        if (pinned.isEmpty()) {
            std::fprintf(stderr, "The simulated controller could not start: %s\n",
                         qPrintable(demo->ErrorString()));
            return 1;
        }
    }
    int code = 0;
    // A screenshot touches no controller and leaves no record.
    std::unique_ptr<WindowRecording> recording;
    if (m_options.screenshotPath.isEmpty()) {
        recording =
            std::make_unique<WindowRecording>(m_options.records, m_options.station, settings,
                                              m_options.outbox);
    }
    {
        CTarvikDlg window(settings, keys);
        if (m_options.demo) {
            window.SetPortSource(demoPorts);
        }
        window.SetPinnedPort(pinned);
        window.OnInitDialog();
        if (!m_options.screenshotPath.isEmpty()) {
            return Screenshot(window, m_options.demo ? pinned : QString());
        }
        window.show();
        if (m_options.fast) {
            window.SetFastDownload(true, /*store=*/false);
        }
        if (m_options.mode) {
            window.Download().SelectMode(*m_options.mode);
        } else if (!m_options.badMode.isEmpty()) {
            AppPrompts().Message(
                QStringLiteral("--mode takes 0, 1, 2 or 3, not '%1'.").arg(m_options.badMode));
        }
        if (m_options.delay) {
            window.Download().SetDelay(*m_options.delay);
        }
        if (m_options.open) {
            // Opening prepares the sender afresh, so the program file is loaded after it.
            if (!m_options.image.isEmpty()) {
                QObject::connect(
                    &window.Ports().Sequence(), &PortOpenSequence::finished, &window,
                    [&window, image = m_options.image] { window.Download().LoadImage(image); },
                    Qt::SingleShotConnection);
            }
            if (demo && m_options.mode) {
                // A station's first controller is switched on once the station is ready, and
                // announces itself as a real one does.
                QObject::connect(
                    &window.Ports().Sequence(), &PortOpenSequence::finished, &window,
                    [controller = &demo->Controller()](PortOpenSequence::Request, bool portOpen) {
                        if (portOpen) {
                            controller->PowerUp();
                        }
                    },
                    Qt::SingleShotConnection);
            }
            window.OpenPortAtStart(pinned);
        } else if (!m_options.image.isEmpty()) {
            window.Download().LoadImage(m_options.image);
        }
        code = QApplication::exec();
    }
    return code;
}

StationWindowOptions CTarvikApp::StationOptions(const ProfileSettings& settings) const {
    StationWindowOptions options;
    if (m_options.mode) {
        options.mode = *m_options.mode;
    }
    options.file = m_options.image;
    options.ports = m_options.ports;
    if (m_options.delay) {
        options.delayTicks = static_cast<int>(std::min(*m_options.delay, 65535u));
    }
    options.fast = m_options.fast;
    // The workers keep the records where the main window would.
    options.records = m_options.records.isEmpty() ? settings.Records() : m_options.records;
    options.station = settings.StationName(m_options.station);
    options.outbox = m_options.outbox.isEmpty() ? settings.Outbox() : m_options.outbox;
    return options;
}

int CTarvikApp::StationWindowRun(const ProfileSettings& settings) {
    StationWindowOptions options = StationOptions(settings);
    if (!m_options.screenshotPath.isEmpty()) {
        return StationWindowScreenshot(std::move(options), m_options.screenshotPath) == 0 ? 0 : 3;
    }
    OpenStationWindow(nullptr, std::move(options));
    return QApplication::exec();
}

int CTarvikApp::Screenshot(CTarvikDlg& window, const QString& livePort) {
    window.Item<QTabWidget>(1034)->setCurrentIndex(m_options.screenshotTab);
    if (m_options.unfold) {
        window.OnPanelToggleClicked();
    }
    if (m_options.reveal) {
        window.RevealServiceControls(true);
    }
    window.show();
    if (livePort.isEmpty()) {
        QApplication::processEvents();
        return SaveScreenshot(window);
    }

    // With a controller to talk to, the picture shows what a technician sees a moment after
    // opening its port and pressing "Conect": the pages filled, the display page live.
    // The pages show a read after eight ticks; the display page has then shown a few frames.
    constexpr int kSettleMs = 3000;
    constexpr int kGiveUpMs = 15000;
    int code = -1;
    bool read = false;
    const auto finish = [&] {
        if (code >= 0) {
            return;
        }
        code = SaveScreenshot(window);
        if (code == 0 && !read) {
            std::fprintf(stderr, "The controller on %s was not read before the screenshot.\n",
                         qPrintable(livePort));
            code = 1;
        }
        QApplication::exit(code);
    };
    QObject::connect(
        &window.Ports().Sequence(), &PortOpenSequence::finished, &window,
        [&window](PortOpenSequence::Request, bool portOpen) {
            if (portOpen) {
                window.OnConnectClicked();
            }
        },
        Qt::SingleShotConnection);
    QObject::connect(
        &window, &CTarvikDlg::ConnectFinished, &window,
        [&](ConnectOutcome outcome) {
            read = outcome == ConnectOutcome::kConnected;
            QTimer::singleShot(kSettleMs, &window, finish);
        },
        Qt::SingleShotConnection);
    QTimer::singleShot(kGiveUpMs, &window, finish);
    window.OpenPortAtStart(livePort);
    QApplication::exec();
    return code;
}

int CTarvikApp::SaveScreenshot(CTarvikDlg& window) {
    if (!window.grab().save(m_options.screenshotPath, "PNG")) {
        std::fprintf(stderr, "Cannot write the screenshot to %s.\n",
                     qPrintable(m_options.screenshotPath));
        return 3;
    }
    return 0;
}
