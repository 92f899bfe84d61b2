// The firmware sender on the program's real path: CSerial's receive thread hands the received
// bytes through the receive routing to the sender, which answers through CSerial. Against the
// simulated controller's boot loader (the tool's own YMODEM variant) and against lrzsz's `rb`,
// an independent receiver of standard YMODEM.

#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <random>
#include <string>
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

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

// gtest_main owns main(); CSerial's receive thread wants an application object.
class QtApplication : public testing::Environment {
public:
    void SetUp() override {
        static int argc = 1;
        static char name[] = "e2e-modem";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QCoreApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }

private:
    std::unique_ptr<QCoreApplication> m_app;
};
testing::Environment* const g_qt = testing::AddGlobalTestEnvironment(new QtApplication);

Bytes RandomImage(std::size_t size, std::uint32_t seed) {
    std::mt19937 generator(seed);
    Bytes image(size);
    for (auto& b : image)
        b = static_cast<std::uint8_t>(generator() & 0xFF);
    return image;
}

class NoFrames : public ControllerFrameHandler {
public:
    void OnStatusFrame(ControllerFrameView) override {}
    void OnParameterFrame(ControllerFrameView) override {}
};

class SerialOutput : public ModemOutput {
public:
    explicit SerialOutput(CSerial& serial) : m_serial(serial) {}
    void WritePacket(const std::uint8_t* data, std::size_t length) override {
        m_serial.Write(data, static_cast<std::uint32_t>(length));
    }

private:
    CSerial& m_serial;
};

// The program's wiring of the port, the receive routing and g_modem, with a progress record.
class DownloadLink {
public:
    DownloadLink() : m_output(m_serial), m_sink(g_modem), m_router(m_parser, m_frames, &m_sink) {
        ResetLinkFlags();
        g_modem.m_busy = 0;
        g_modem.SetOutput(&m_output);
        g_modem.SetProgressCallback(&DownloadLink::OnProgress);
        m_serial.SetReceiveCallback([this](void*, const std::uint8_t* data, std::uint32_t n) {
            m_router.OnSerialReceive({data, n});
        });
    }
    ~DownloadLink() {
        m_serial.Close();
        g_modem.SetOutput(nullptr);
        g_modem.m_busy = 0;
    }

    bool Open(const QString& path) { return m_serial.Open(path, 115200) == 1; }
    CSerial& Serial() { return m_serial; }

    // What the download button does once the boot loader is ready to receive.
    void StartDownload(const Bytes& image, const std::string& name, ModemDialect dialect) {
        g_modem.SetDialect(dialect);
        g_modem.Init(this);
        ASSERT_EQ(g_modem.SetFileInfo(name, static_cast<std::uint32_t>(image.size())),
                  ModemLoad::kOk);
        ASSERT_EQ(g_modem.SetFileData(image.data(), image.size()), ModemLoad::kOk);
        {
            std::lock_guard lock(m_mutex);
            m_progress.clear();
        }
        g_modem.m_busy = 1;
    }

    // True once the sender reported 100 (or, with `finishedWillDo`, reached its end state, which
    // no callback announces: hence the short slices).
    bool WaitForEnd(std::chrono::seconds timeout, bool finishedWillDo = false) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::unique_lock lock(m_mutex);
        for (;;) {
            const bool complete = !m_progress.empty() && m_progress.back() == 100;
            if (complete || (finishedWillDo && g_modem.State() == ModemState::kFinished))
                return true;
            if (std::chrono::steady_clock::now() >= deadline)
                return false;
            m_changed.wait_for(lock, 20ms);
        }
    }

    std::vector<int> Progress() {
        std::lock_guard lock(m_mutex);
        return m_progress;
    }

private:
    static void OnProgress(void* user, int percent) {
        auto* self = static_cast<DownloadLink*>(user);
        std::lock_guard lock(self->m_mutex);
        self->m_progress.push_back(percent);
        self->m_changed.notify_all();
    }

    CSerial m_serial;
    SerialOutput m_output;
    FrameParser m_parser;
    NoFrames m_frames;
    ModemReceiveSink m_sink;
    ReceiveRouter m_router;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_progress;
};

TEST(ModemTransfer, LargestImageReachesTheSimulatedBootLoaderIntact) {
    sim::SimServer server;
    const QString path = server.Start();
    ASSERT_FALSE(path.isEmpty()) << server.ErrorString().toStdString();

    DownloadLink link;
    ASSERT_TRUE(link.Open(path));
    const CommandFrame enter = MakeSealedCommand(command_letters::kStartDownload);
    link.Serial().Write(enter.data(), static_cast<std::uint32_t>(enter.size()));
    ASSERT_TRUE(server.Controller().WaitFor(
        [&] { return server.Controller().GetMode() == sim::SimController::Mode::BootLoader; },
        5000ms));

    const Bytes image = RandomImage(kModemImageCapacity, 4);
    link.StartDownload(image, "firmware.bin", ModemDialect::kBootLoader);
    ASSERT_TRUE(link.WaitForEnd(120s)) << "state " << static_cast<int>(g_modem.State());
    EXPECT_EQ(g_modem.m_busy.load(), 0);

    ASSERT_TRUE(server.Controller().WaitFor(
        [&] { return server.Controller().Counters().imagesReceived == 1; }, 5000ms));
    const auto received = server.Controller().LastImage();
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->name, "firmware.bin");
    EXPECT_EQ(received->announcedSize, kModemImageCapacity);
    EXPECT_TRUE(received->data == image) << "received " << received->data.size() << " bytes";

    const std::vector<int> progress = link.Progress();
    ASSERT_EQ(progress.size(), 501u);
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress[499], 99);
    EXPECT_EQ(progress.back(), 100);
}

// `rb` on the far end of a pseudo-terminal whose terminal side CSerial opens.
class RbPeer {
public:
    RbPeer() {
        const QString rb = QStandardPaths::findExecutable("rb");
        if (rb.isEmpty() || !m_dir.isValid())
            return;
        if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) != 0)
            return;
        // CSerial opens the terminal side by name. Held open here as well, since rb's reads on
        // the master fail while no one has the terminal side open.
        m_path = QString::fromLocal8Bit(ttyname(m_slave));
        const std::string program = rb.toStdString();
        const std::string dir = m_dir.path().toStdString();
        m_pid = fork();
        if (m_pid == 0) {
            if (chdir(dir.c_str()) != 0)
                _exit(126);
            dup2(m_master, 0);
            dup2(m_master, 1);
            const int devNull = open("/dev/null", O_WRONLY);
            if (devNull >= 0)
                dup2(devNull, 2);
            for (int fd = 3; fd < 1024; ++fd)
                close(fd);
            execl(program.c_str(), "rb", "--ymodem", "-q", static_cast<char*>(nullptr));
            _exit(127);
        }
    }
    ~RbPeer() {
        if (m_pid > 0 && !m_reaped) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        if (m_master >= 0)
            close(m_master);
        if (m_slave >= 0)
            close(m_slave);
    }

    bool Ok() const { return m_pid > 0 && !m_path.isEmpty(); }
    const QString& Path() const { return m_path; }
    QString ReceivedFile(const QString& name) const { return m_dir.filePath(name); }

    // rb's exit code, or -1 when it did not end in time.
    int Wait(std::chrono::seconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_reaped = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(5ms);
        }
        return -1;
    }

private:
    QTemporaryDir m_dir;
    int m_master = -1;
    int m_slave = -1;
    pid_t m_pid = -1;
    bool m_reaped = false;
    QString m_path;
};

TEST(ModemTransfer, StandardDialectIsReceivedIntactByRb) {
    if (QStandardPaths::findExecutable("rb").isEmpty())
        GTEST_SKIP() << "lrzsz is not installed";
    for (const std::size_t size : {1u, 128u, 1024u, 1025u, 512000u}) {
        SCOPED_TRACE(size);
        RbPeer rb;
        ASSERT_TRUE(rb.Ok());
        DownloadLink link;
        ASSERT_TRUE(link.Open(rb.Path()));
        const Bytes image = RandomImage(size, static_cast<std::uint32_t>(size));
        link.StartDownload(image, "image.bin", ModemDialect::kStandard);

        // rb leaves right after acknowledging the end-of-batch block, and that last ACK may go
        // with the terminal; its exit code and the file tell the outcome then.
        EXPECT_EQ(rb.Wait(90s), 0);
        EXPECT_TRUE(link.WaitForEnd(2s, true)) << "state " << static_cast<int>(g_modem.State());
        link.Serial().Close();

        QFile file(rb.ReceivedFile("image.bin"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray got = file.readAll();
        EXPECT_EQ(static_cast<std::size_t>(got.size()), size);
        EXPECT_TRUE(Bytes(got.begin(), got.end()) == image);
    }
}

}  // namespace
