#pragma once
// The window against the simulated controller with its production records in a temporary SQLite
// file: what the window's records tests share.

#include <QAbstractButton>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>
#include <optional>

#include "core/protocol/link_flags.h"
#include "gui_test_support.h"
#include "link/controller_link.h"
#include "link/port_source.h"
#include "mainwindow/operation_records.h"
#include "mainwindow/tarvik_dlg.h"
#include "records/recorder.h"
#include "sim/sim_controller.h"
#include "tarvik/demo_port.h"
#include "tarvik/memory_demo_port.h"
#include "ui/sounds.h"

class HeardSounds : public Sounds {
public:
    void Play(const QString& fileName) override { played << fileName; }
    QStringList played;
};

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

// A recorder on a fresh SQLite file, as the program's.
struct TempRecorder {
    TempRecorder() {
        RecorderOptions options;
        options.location.file = dir.filePath(QStringLiteral("records.sqlite"));
        recorder = std::make_unique<Recorder>(options);
        g_recorder = recorder.get();
    }
    ~TempRecorder() { g_recorder = nullptr; }

    // Every record of `filter`, as the store has it now.
    QList<OperationRecord> Stored(const RecordFilter& filter = {}) {
        recorder->Flush(5000);
        std::optional<QList<OperationRecord>> result;
        bool answered = false;
        recorder->Query(filter, recorder.get(),
                        [&](std::optional<QList<OperationRecord>> records, const QString&) {
                            result = std::move(records);
                            answered = true;
                        });
        if (!QTest::qWaitFor([&] { return answered; }, 5000) || !result) {
            return {};
        }
        return *result;
    }

    QTemporaryDir dir;
    std::unique_ptr<Recorder> recorder;
};

struct Fixture {
    // The platform's demo port unless the test names its own.
    explicit Fixture(std::unique_ptr<DemoPort> port = MakeDemoPort()) : demo(std::move(port)) {
        SetUiLanguage(UiLanguage::English);
        SetRecordStation(QStringLiteral("line-1/station-4"));
        path = demo->Start();
        window = std::make_unique<CTarvikDlg>(*temp.settings, keys);
        window->SetPortSource(ports);
        window->SetSounds(sounds);
        window->OnInitDialog();
    }
    ~Fixture() { window.reset(); }

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
    TempRecorder records;
    HeldKeys keys;
    NoPorts ports;
    HeardSounds sounds;
    std::unique_ptr<DemoPort> demo;
    QString path;
    std::unique_ptr<CTarvikDlg> window;
};

inline QByteArray TestImage(int size) {
    QByteArray image(size, '\0');
    for (int i = 0; i < image.size(); ++i) {
        image[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    }
    return image;
}
