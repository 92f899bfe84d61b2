// The firmware sender on the program's real path: the controller link, whose receive thread
// hands the received bytes through the receive routing to the sender, which answers through
// CSerial. Against the simulated controller's boot loader (the tool's own YMODEM variant) and
// against lrzsz's `rb`, an independent receiver of standard YMODEM.

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
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/modem/modem_sender.h"
#include "core/protocol/command_frame.h"
#include "core/protocol/link_flags.h"
#include "link/controller_link.h"
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

// The program's controller link on a port of its own, with a record of the progress reports.
class DownloadLink {
public:
    DownloadLink() : m_link(m_serial) {
        ResetLinkFlags();
        g_modem.m_busy = 0;
        QObject::connect(&m_link, &ControllerLink::downloadProgress, &m_link,
                         [this](int percent) { m_progress.push_back(percent); });
    }

    bool Open(const QString& path) { return m_link.Open(path, 115200, false); }
    CSerial& Serial() { return m_serial; }

    // What the download button does once the boot loader is ready to receive.
    void StartDownload(const Bytes& image, const std::string& name, ModemDialect dialect) {
        m_progress.clear();
        ASSERT_EQ(m_link.StartDownload(name, image, dialect), ModemLoad::kOk);
    }

    // True once the sender reported 100 (or, with `finishedWillDo`, reached its end state, which
    // no report announces).
    bool WaitForEnd(std::chrono::seconds timeout, bool finishedWillDo = false) {
        return QTest::qWaitFor(
            [&] {
                return (!m_progress.empty() && m_progress.back() == 100) ||
                       (finishedWillDo && g_modem.State() == ModemState::kFinished);
            },
            static_cast<int>(std::chrono::milliseconds(timeout).count()));
    }

    std::vector<int> Progress() const { return m_progress; }

private:
    CSerial m_serial;
    ControllerLink m_link;
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
