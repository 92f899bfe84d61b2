#pragma once
// The real window against the simulated controller behind the demo port (a pseudo-terminal; with
// TARVIK_TEST_DEMO_PORT=memory the in-memory line Windows uses), with the prompts, keys, settings
// and sounds a test holds: what the window's end-to-end tests share.

#include <QAbstractButton>
#include <QStringList>
#include <QtTest>
#include <functional>
#include <memory>
#include <optional>

#include "core/protocol/link_flags.h"
#include "gui_test_support.h"
#include "link/controller_link.h"
#include "link/port_source.h"
#include "mainwindow/tarvik_dlg.h"
#include "sim/sim_controller.h"
#include "tarvik/demo_port.h"
#include "tarvik/memory_demo_port.h"
#include "ui/sounds.h"

class HeardSounds : public Sounds {
public:
    void Play(const QString& fileName) override { played << fileName; }
    QStringList played;
};

// No ports and no cable: the tests open the simulator's line by its path.
class NoPorts : public PortSource {
public:
    std::optional<QStringList> ListPorts() override { return QStringList{}; }
    Cable CablePresence() override { return Cable::kUnknown; }
};

inline std::unique_ptr<DemoPort> MakeDemoPort() {
    if (qEnvironmentVariable("TARVIK_TEST_DEMO_PORT") == QLatin1String("memory")) {
        return std::make_unique<MemoryDemoPort>();
    }
    return CreateDemoPort();
}

struct DemoWindow {
    explicit DemoWindow(std::unique_ptr<DemoPort> port = MakeDemoPort()) : demo(std::move(port)) {}
    ~DemoWindow() { window.reset(); }

    // Starts the controller and makes the window, once the test has set what the window reads
    // when it starts (language, stored settings).
    void Start(PortSource* source = nullptr) {
        path = demo->Start();
        window = std::make_unique<CTarvikDlg>(*temp.settings, keys);
        window->SetPortSource(source != nullptr ? *source : ports);
        window->SetSounds(sounds);
        window->OnInitDialog();
    }

    bool Open() {
        window->OpenPortAtStart(path);
        return QTest::qWaitFor(
            [&] { return window->LinkToController().IsOpen() && !window->Busy(); }, 5000);
    }
    bool Connect() {
        QTest::mouseClick(window->Item<QAbstractButton>(1033), Qt::LeftButton);
        return QTest::qWaitFor([&] { return !window->Busy(); }, 6000) && g_connected.load() == 1;
    }
    sim::SimController& Sim() { return demo->Controller(); }
    void SetFaults(const std::function<void(sim::SimFaults&)>& change) {
        sim::SimFaults faults = Sim().Faults();
        change(faults);
        Sim().SetFaults(faults);
    }

    RecordingPrompts prompts;
    TempSettings temp;
    HeldKeys keys;
    NoPorts ports;
    HeardSounds sounds;
    std::unique_ptr<DemoPort> demo;
    QString path;
    std::unique_ptr<CTarvikDlg> window;
};
