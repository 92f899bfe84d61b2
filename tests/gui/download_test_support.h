#pragma once
// The download group on a window of its own holding just its controls, a real controller link
// and, when a test wants one, the simulated controller on a pseudo-terminal.

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <random>

#include "core/commands/auto_production.h"
#include "core/modem/modem_sender.h"
#include "core/protocol/link_flags.h"
#include "download/download_control.h"
#include "gui_test_support.h"
#include "link/controller_link.h"
#include "serial/serial.h"
#include "serial/serial_message_sink.h"
#include "sim/sim_server.h"
#include "ui/sounds.h"
#include "ui/template_widget.h"

namespace download_test {

class RecordingSounds : public Sounds {
public:
    void Play(const QString& fileName) override { played << fileName; }
    QStringList played;
};

class QuietSerialSink : public SerialMessageSink {
public:
    void ShowSerialMessage(const QString& text) override { messages << text; }
    QStringList messages;
};

// The download group's controls; 1009 is narrow so that a long path does not fit.
inline const DialogTemplate& GroupTemplate() {
    using K = ControlKind;
    static const DialogTemplate dialog{
        220,
        120,
        "Sans Serif",
        9,
        "download",
        {
            {1005, K::Button, "打开文件", "open file", 5, 5, 50, 14},
            {1009, K::Edit, "", "", 60, 5, 60, 14},
            {1006, K::Button, "下载", "download", 5, 22, 50, 14},
            {1014, K::Progress, "", "", 60, 22, 100, 14},
            {1015, K::Label, "", "", 165, 24, 30, 8},
            {1001, K::Edit, "", "", 5, 40, 150, 40, kMultiLine},
            {1030, K::ComboList, "", "", 5, 85, 90, 57},
            {1023, K::Edit, "", "", 100, 85, 30, 12},
            {1010, K::Edit, "", "", 135, 85, 40, 12},
        },
    };
    return dialog;
}

inline QByteArray RandomImage(qsizetype size, std::uint32_t seed) {
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    QByteArray image(size, Qt::Uninitialized);
    for (char& b : image) {
        b = static_cast<char>(byte(generator));
    }
    return image;
}

// The window's part is done here: the mode list filled, 12 in the delay edit. `clock` times the
// wait after the boot-entry command; without one the link's Qt timers do.
class Rig {
public:
    explicit Rig(Clock* clock = nullptr, const sim::SimOptions& options = {},
                 UiLanguage language = UiLanguage::English)
        : m_simOptions(options) {
        ResetLinkFlags();
        ResetAutoModes();
        g_modem.m_busy = 0;
        m_serial.SetMessageSink(&m_serialSink);
        link = std::make_unique<ControllerLink>(m_serial);
        link->ReinitialiseSender();
        window = std::make_unique<TemplateWidget>(GroupTemplate(), language);
        window->Item<QComboBox>(1030)->addItems({"No-ops", "Automatic parameter writing",
                                                 "Automatic program writing",
                                                 "Parameter automatic reading"});
        window->Controls().SetText(1023, "12");
        control = std::make_unique<DownloadControl>(*window, *link, sounds,
                                                    clock != nullptr ? *clock : *link);
    }
    ~Rig() {
        control.reset();
        window.reset();
        link.reset();
        m_serial.SetMessageSink(nullptr);
        ResetLinkFlags();
        ResetAutoModes();
    }

    // The port-open sequence as the window runs it; false when the simulator did not start.
    bool OpenPort() {
        m_sim = std::make_unique<sim::SimServer>(m_simOptions);
        const QString path = m_sim->Start();
        if (path.isEmpty() || !link->Open(path, 115200, false))
            return false;
        link->ReinitialiseSender();
        control->ResetTransferState();
        control->ResetView();
        return true;
    }
    sim::SimController& Sim() { return m_sim->Controller(); }

    QString WriteFile(const QString& name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(bytes) != bytes.size())
            return {};
        return path;
    }
    QString FilePath(const QString& name) const { return m_dir.filePath(name); }

    QString Text(int id) const { return window->Controls().Text(id); }
    QByteArray SimImage() {
        const auto image = Sim().LastImage();
        if (!image)
            return {};
        return QByteArray(reinterpret_cast<const char*>(image->data.data()),
                          static_cast<qsizetype>(image->data.size()));
    }

    RecordingPrompts prompts;
    RecordingSounds sounds;

private:
    sim::SimOptions m_simOptions;
    std::unique_ptr<sim::SimServer> m_sim;
    QuietSerialSink m_serialSink;
    CSerial m_serial;
    QTemporaryDir m_dir;

public:
    std::unique_ptr<ControllerLink> link;
    std::unique_ptr<TemplateWidget> window;
    std::unique_ptr<DownloadControl> control;
};

}  // namespace download_test
