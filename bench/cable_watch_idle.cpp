// The cable watcher's cost while the port is closed: the real watcher on the platform's port
// list, run for a while (20 s, or the seconds given as the first argument) in an otherwise idle
// process. Prints the process's CPU time per minute and as a share of one core; the goal is
// under 1 %. Exit code 0 when the goal is met.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "link/cable_watcher.h"
#include "link/port_source.h"
#include "process_cpu_time.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;

    SystemPortSource source;
    CableWatcher watcher(source);
    int texts = 0;
    bool ended = false;
    QObject::connect(&watcher, &CableWatcher::statusText, [&texts](int) { ++texts; });
    QObject::connect(&watcher, &CableWatcher::ended, [&ended] { ended = true; });

    // Start-up (Qt's own first use of the port list included) is not the idle cost.
    source.CablePresence();
    const double cpuBefore = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    watcher.Start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();

    const double cpu = CpuSeconds() - cpuBefore;
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
    const double share = 100.0 * cpu / elapsed;
    std::printf(
        "cable watcher idle: %.3f s CPU in %.1f s (%.3f s per minute), %.3f %% of one core\n", cpu,
        elapsed, cpu * 60.0 / elapsed, share);
    std::printf("samples: about %d, status texts shown: %d%s\n",
                static_cast<int>(elapsed * 1000 / 501) * 2, texts,
                ended ? ", watcher ended: the platform cannot tell" : "");
    std::printf("goal: under 1 %% -> %s\n", share < 1.0 ? "met" : "MISSED");
    return share < 1.0 ? 0 : 1;
}
