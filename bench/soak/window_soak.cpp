// Soak of the window's live link: the real main window polls the simulated controller on the
// display page, with noise before every frame, for a given time. Prints the frames, the errors,
// the memory at start and end, the window's CPU share and the delay from a status frame's
// arrival to the display page showing it. Fails when memory grows or no frame arrived.
//
//   window_soak [seconds]      (the test script runs 30 s; by hand 600)

#include <sys/resource.h>
#include <unistd.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

#include "app/profile_settings.h"
#include "core/protocol/link_flags.h"
#include "link/controller_link.h"
#include "link/port_source.h"
#include "mainwindow/tarvik_dlg.h"
#include "sim/demo_controller.h"
#include "ui/key_state.h"
#include "ui/prompts.h"
#include "ui/sounds.h"

namespace {

class Silent : public Prompts, public Sounds, public KeyState, public PortSource {
public:
    void Message(const QString& text) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool Confirm(const QString&) override { return false; }
    QString OpenFileName(FileKind, const QString&) override { return {}; }
    QString SaveFileName(FileKind, const QString&, const QString&, const QString&) override {
        return {};
    }
    void Play(const QString&) override {}
    bool IsDown(SideKey) const override { return false; }
    std::optional<QStringList> ListPorts() override { return QStringList{}; }
    Cable CablePresence() override { return Cable::kUnknown; }
};

long ResidentKb() {
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 30;

    Silent silent;
    SetAppPrompts(&silent);
    QTemporaryDir home;
    ProfileSettings settings(home.filePath(QStringLiteral("tarvik.ini")));
    sim::DemoController demo;
    const QString path = demo.Start();
    sim::SimFaults faults;
    faults.noiseBytes = 3;
    demo.Controller().SetFaults(faults);

    CTarvikDlg window(settings, silent);
    window.SetPortSource(silent);
    window.SetSounds(silent);
    window.OnInitDialog();
    window.show();

    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> arrival{-1};
    window.LinkToController().SetReceiveTap(
        [&](std::span<const std::uint8_t>) { arrival.store(clock.nsecsElapsed()); });
    std::vector<double> delaysMs;
    QObject::connect(&window.LinkToController(), &ControllerLink::statusReceived, &window,
                     [&](const LiveStatus&) {
                         const qint64 at = arrival.load();
                         if (at >= 0) {
                             delaysMs.push_back((clock.nsecsElapsed() - at) / 1e6);
                         }
                     });
    window.OpenPortAtStart(path);
    window.Item<QTabWidget>(1034)->setCurrentIndex(3);

    long startKb = 0;
    double startCpu = 0;
    QTimer::singleShot(3000, [&] {
        startKb = ResidentKb();
        startCpu = CpuSeconds();
        std::printf("start: frames %u, errors %u, memory %ld kB\n", g_frameCount.load(),
                    g_frameErrorCount.load(), startKb);
        std::fflush(stdout);
    });
    QTimer::singleShot(3000 + seconds * 1000, [&] { QApplication::quit(); });
    QApplication::exec();

    const long endKb = ResidentKb();
    const double cpu = CpuSeconds() - startCpu;
    std::sort(delaysMs.begin(), delaysMs.end());
    const double median = delaysMs.empty() ? 0 : delaysMs[delaysMs.size() / 2];
    std::printf("end:   frames %u, errors %u, memory %ld kB (%+ld kB)\n", g_frameCount.load(),
                g_frameErrorCount.load(), endKb, endKb - startKb);
    std::printf(
        "process CPU %.2f %% of one core while polling at 4 Hz (window and simulator; "
        "goal for the window < 2 %%)\n",
        100.0 * cpu / seconds);
    std::printf("status arrival to display: median %.1f ms over %zu frames (goal < 50 ms)\n",
                median, delaysMs.size());
    window.LinkToController().Close();
    SetAppPrompts(nullptr);
    // Some growth is the allocator settling; a leak per frame shows as far more over 30 s.
    const bool grew = endKb - startKb > 4096;
    if (g_frameCount.load() == 0 || grew) {
        std::fprintf(stderr, "soak failed: %s\n", grew ? "memory grew" : "no frames arrived");
        return 1;
    }
    return 0;
}
