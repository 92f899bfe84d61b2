// A 512,000-byte download to the simulated controller's boot loader paced at the line rate
// (10 bits a byte), through the program's controller link as the window drives it: the port with
// its 15 ms burst rule, the receive routing, the sender, the progress and log signals posted to
// the link's thread. Runs 115200 baud as received in bursts, then 115200 and 256000 baud with
// fast download. For each it prints the transfer time against the line time (every byte on the
// wire, both directions, at the baud rate; goals: at most 1.20 times in bursts, 1.03 times fast)
// and the longest gap between two turns of the event loop of the link's thread meanwhile (goal:
// under 50 ms).
//
// Usage: ymodem_line_rate [BAUD fast|bursts]...   (default: 115200 bursts 115200 fast
//        256000 fast). Exit code 0 when every image arrived intact.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "core/modem/modem_sender.h"
#include "core/protocol/command_frame.h"
#include "core/protocol/link_flags.h"
#include "link/controller_link.h"
#include "serial/serial.h"
#include "sim/sim_server.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    int baud;
    bool fast;
};

// What the receive thread saw of the transfer: its first and last chunk and the bytes between.
class TransferTap {
public:
    void OnChunk(std::size_t bytes) {
        if (g_modem.m_busy.load() != 1)
            return;
        const Clock::time_point now = Clock::now();
        std::lock_guard lock(m_mutex);
        if (m_chunks++ == 0)
            m_first = now;
        m_last = now;
        m_bytes += bytes;
    }
    double Seconds() const {
        std::lock_guard lock(m_mutex);
        return std::chrono::duration<double>(m_last - m_first).count();
    }
    std::uint64_t Bytes() const {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }

private:
    mutable std::mutex m_mutex;
    std::uint64_t m_chunks = 0;
    std::uint64_t m_bytes = 0;
    Clock::time_point m_first{};
    Clock::time_point m_last{};
};

// Measures on the calling thread how long its event loop goes without a turn: a 1 ms timer
// that notes the longest interval between two of its timeouts.
class LoopGapMeter {
public:
    LoopGapMeter() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_since.isValid())
                m_longestNs = std::max(m_longestNs, m_since.nsecsElapsed());
            m_since.start();
        });
    }
    void Start() {
        m_longestNs = 0;
        m_since.invalidate();
        m_timer.start();
    }
    void Stop() { m_timer.stop(); }
    double LongestMs() const { return static_cast<double>(m_longestNs) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longestNs = 0;
};

bool RunOne(const Run& run, const std::vector<std::uint8_t>& image) {
    sim::SimOptions options;
    options.lineRate = true;
    options.baud = run.baud;
    sim::SimServer server(options);
    const QString path = server.Start();
    if (path.isEmpty()) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(server.ErrorString()));
        return false;
    }

    ResetLinkFlags();
    CSerial serial;
    ControllerLink link(serial);
    TransferTap tap;
    link.SetReceiveTap([&tap](std::span<const std::uint8_t> chunk) { tap.OnChunk(chunk.size()); });
    link.SetFastDownload(run.fast);
    if (!link.Open(path, static_cast<std::uint32_t>(run.baud), false))
        return false;

    link.Write(MakeSealedCommand(command_letters::kStartDownload));
    const bool inBootLoader = server.Controller().WaitFor(
        [&] { return server.Controller().GetMode() == sim::SimController::Mode::BootLoader; },
        std::chrono::seconds(5));
    if (!inBootLoader) {
        std::fprintf(stderr, "the simulator did not enter its boot loader\n");
        return false;
    }

    QEventLoop loop;
    bool completed = false;
    QObject::connect(&link, &ControllerLink::downloadProgress, &loop, [&](int percent) {
        if (percent == 100) {
            completed = true;
            loop.quit();
        }
    });
    // The window shows the boot loader's bytes; take them as it would.
    QByteArray log;
    QObject::connect(&link, &ControllerLink::downloadLog, &loop,
                     [&log](const QByteArray& bytes) { log += bytes; });
    QTimer::singleShot(std::chrono::seconds(180), &loop, &QEventLoop::quit);

    const std::uint64_t sentBefore = server.Controller().Counters().bytesReceived;
    LoopGapMeter meter;
    meter.Start();
    link.StartDownload("firmware.bin", image, ModemDialect::kBootLoader);
    loop.exec();
    meter.Stop();
    link.Close();

    if (!completed) {
        std::fprintf(stderr, "transfer did not finish (state 0x%02X)\n",
                     static_cast<unsigned>(g_modem.State()));
        return false;
    }
    const bool arrived = server.Controller().WaitFor(
        [&] { return server.Controller().Counters().imagesReceived == 1; },
        std::chrono::seconds(5));
    const auto last = server.Controller().LastImage();
    const bool intact = arrived && last.has_value() && last->data == image;

    const std::uint64_t sent = server.Controller().Counters().bytesReceived - sentBefore;
    const std::uint64_t received = tap.Bytes();
    const double seconds = tap.Seconds();
    const double lineSeconds = static_cast<double>(sent + received) * 10.0 / run.baud;
    const double ratio = seconds / lineSeconds;
    const double goal = run.fast ? 1.03 : 1.20;
    std::printf(
        "%s at %d baud: %zu bytes in %.2f s; on the wire %llu sent + %llu received, "
        "line time %.2f s\n",
        run.fast ? "fast download" : "bursts       ", run.baud, image.size(), seconds,
        static_cast<unsigned long long>(sent), static_cast<unsigned long long>(received),
        lineSeconds);
    std::printf(
        "  ratio %.3f (goal <= %.2f: %s); longest event-loop gap %.1f ms (goal < 50: "
        "%s); image %s\n",
        ratio, goal, ratio <= goal ? "met" : "missed", meter.LongestMs(),
        meter.LongestMs() < 50.0 ? "met" : "missed", intact ? "intact" : "CORRUPTED");
    std::fflush(stdout);
    return intact;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    std::vector<Run> runs;
    for (int i = 1; i + 1 < argc; i += 2)
        runs.push_back({std::stoi(argv[i]), std::string(argv[i + 1]) == "fast"});
    if (runs.empty())
        runs = {{115200, false}, {115200, true}, {256000, true}};

    std::vector<std::uint8_t> image(kModemImageCapacity);
    std::mt19937 generator(7);
    for (auto& b : image)
        b = static_cast<std::uint8_t>(generator() & 0xFF);

    bool allIntact = true;
    for (const Run& run : runs)
        allIntact = RunOne(run, image) && allIntact;
    return allIntact ? 0 : 1;
}
