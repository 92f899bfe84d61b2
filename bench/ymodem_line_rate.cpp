// A 512,000-byte download to the simulated controller's boot loader paced at the line rate
// (115200 baud, 10 bits a byte), through the program's serial port with its 15 ms burst rule.
// Prints the transfer time against the line time (every byte on the wire, both directions, at
// the baud rate); the goal is at most 1.20 times the line time.
// Exit code 0 when the image arrived intact.

#include <QCoreApplication>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "core/modem/modem_receive_sink.h"
#include "core/modem/modem_sender.h"
#include "core/protocol/command_frame.h"
#include "core/protocol/frame_parser.h"
#include "core/protocol/link_flags.h"
#include "core/protocol/receive_router.h"
#include "serial/serial.h"
#include "sim/sim_server.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBaud = 115200;

class NoFrames : public ControllerFrameHandler {
public:
    void OnStatusFrame(ControllerFrameView) override {}
    void OnParameterFrame(ControllerFrameView) override {}
};

// Writes to the port; notes when the first packet left and how many bytes went out.
class TimedOutput : public ModemOutput {
public:
    explicit TimedOutput(CSerial& serial) : m_serial(serial) {}
    void WritePacket(const std::uint8_t* data, std::size_t length) override {
        if (m_bytes.load() == 0) {
            std::lock_guard lock(m_mutex);
            m_start = Clock::now();
        }
        m_bytes += length;
        m_serial.Write(data, static_cast<std::uint32_t>(length));
    }
    std::uint64_t Bytes() const { return m_bytes.load(); }
    Clock::time_point Start() {
        std::lock_guard lock(m_mutex);
        return m_start;
    }

private:
    CSerial& m_serial;
    std::atomic<std::uint64_t> m_bytes{0};
    std::mutex m_mutex;
    Clock::time_point m_start{};
};

std::atomic<bool> g_done{false};
Clock::time_point g_end{};

void OnProgress(void*, int percent) {
    if (percent == 100) {
        g_end = Clock::now();
        g_done = true;
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);

    sim::SimOptions options;
    options.lineRate = true;
    options.baud = kBaud;
    sim::SimServer server(options);
    const QString path = server.Start();
    if (path.isEmpty()) {
        std::fprintf(stderr, "simulator: %s\n", qPrintable(server.ErrorString()));
        return 1;
    }

    ResetLinkFlags();
    CSerial serial;
    TimedOutput output(serial);
    FrameParser parser;
    NoFrames frames;
    ModemReceiveSink sink(g_modem);
    ReceiveRouter router(parser, frames, &sink);
    std::atomic<std::uint64_t> received{0};
    serial.SetReceiveCallback([&](void*, const std::uint8_t* data, std::uint32_t n) {
        if (g_modem.m_busy.load() == 1 && output.Bytes() > 0)
            received += n;
        router.OnSerialReceive({data, n});
    });
    g_modem.SetOutput(&output);
    g_modem.SetProgressCallback(&OnProgress);
    if (serial.Open(path, kBaud) != 1)
        return 1;

    const CommandFrame enter = MakeSealedCommand(command_letters::kStartDownload);
    serial.Write(enter.data(), static_cast<std::uint32_t>(enter.size()));
    const bool inBootLoader = server.Controller().WaitFor(
        [&] { return server.Controller().GetMode() == sim::SimController::Mode::BootLoader; },
        std::chrono::seconds(5));
    if (!inBootLoader) {
        std::fprintf(stderr, "the simulator did not enter its boot loader\n");
        return 1;
    }

    std::vector<std::uint8_t> image(kModemImageCapacity);
    std::mt19937 generator(7);
    for (auto& b : image)
        b = static_cast<std::uint8_t>(generator() & 0xFF);
    g_modem.Init(nullptr);
    g_modem.SetFileInfo("firmware.bin", static_cast<std::uint32_t>(image.size()));
    g_modem.SetFileData(image.data(), image.size());
    g_modem.m_busy = 1;

    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(180);
    while (!g_done.load() && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    serial.Close();
    g_modem.SetOutput(nullptr);
    if (!g_done.load()) {
        std::fprintf(stderr, "transfer did not finish (state 0x%02X)\n",
                     static_cast<unsigned>(g_modem.State()));
        return 1;
    }
    const bool arrived = server.Controller().WaitFor(
        [&] { return server.Controller().Counters().imagesReceived == 1; },
        std::chrono::seconds(5));
    const auto last = server.Controller().LastImage();
    const bool intact = arrived && last.has_value() && last->data == image;

    const double seconds = std::chrono::duration<double>(g_end - output.Start()).count();
    const std::uint64_t wireBytes = output.Bytes() + received.load();
    const double lineSeconds = static_cast<double>(wireBytes) * 10.0 / kBaud;
    const double ratio = seconds / lineSeconds;
    std::printf("line-rate transfer of %zu bytes at %d baud: %.2f s\n", image.size(), kBaud,
                seconds);
    std::printf("bytes on the wire: %llu sent + %llu received, line time %.2f s\n",
                static_cast<unsigned long long>(output.Bytes()),
                static_cast<unsigned long long>(received.load()), lineSeconds);
    std::printf("ratio %.3f (goal <= 1.20: %s), image %s\n", ratio,
                ratio <= 1.20 ? "met" : "missed", intact ? "intact" : "CORRUPTED");
    return intact ? 0 : 1;
}
