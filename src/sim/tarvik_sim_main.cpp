// tarvik-sim: the simulated controller on a pseudo-terminal. The first line on stdout is the
// device the tool opens; then it serves until SIGINT or SIGTERM. SIGUSR1 makes it announce
// itself, as the next controller plugged into a production line would.

#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "sim/sim_options.h"
#include "sim/sim_server.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    bool help = false;
    std::string error;
    const std::optional<sim::SimOptions> options = sim::ParseSimArguments(arguments, &help, &error);
    if (!options) {
        std::cerr << "tarvik-sim: " << error << "\nTry 'tarvik-sim --help'.\n";
        return 2;
    }
    if (help) {
        std::cout << sim::SimUsage("tarvik-sim");
        return 0;
    }

    // Block the signals before the serving thread starts so that only sigwait sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    sim::SimServer server(*options);
    const QString path = server.Start();
    if (path.isEmpty()) {
        std::cerr << "tarvik-sim: " << server.ErrorString().toStdString() << "\n";
        return 1;
    }
    std::cout << path.toStdString() << std::endl;

    int received = 0;
    while (sigwait(&stopSignals, &received) == 0 && received == SIGUSR1)
        server.Controller().Announce();
    server.Stop();
    return 0;
}
