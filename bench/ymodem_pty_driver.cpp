// Times one YMODEM transfer to `rb --ymodem` over a pseudo-terminal pair.
//   ymodem_pty_driver sender IMAGE DIR   ModemSender (standard CRC order), driven by a plain
//                                        read loop that hands each received byte over at once
//   ymodem_pty_driver sz IMAGE DIR       `sz --ymodem -k IMAGE` on the other end instead
// rb runs in DIR. Prints the elapsed seconds on stdout; exits non-zero on failure or timeout.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/modem/modem_sender.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kTimeout = std::chrono::seconds(120);

class FdOutput : public ModemOutput {
public:
    explicit FdOutput(int fd) : m_fd(fd) {}
    void WritePacket(const std::uint8_t* data, std::size_t length) override {
        while (length > 0) {
            const ssize_t n = write(m_fd, data, length);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno == EAGAIN) {
                pollfd p{m_fd, POLLOUT, 0};
                poll(&p, 1, 100);
                continue;
            }
            if (n <= 0)
                return;
            data += n;
            length -= static_cast<std::size_t>(n);
        }
    }

private:
    int m_fd;
};

// Starts a program with its standard input and output on `fd`, in `dir`.
pid_t Spawn(int fd, const char* dir, const std::vector<const char*>& argv) {
    const pid_t pid = fork();
    if (pid != 0)
        return pid;
    if (dir != nullptr && chdir(dir) != 0)
        _exit(126);
    dup2(fd, 0);
    dup2(fd, 1);
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0)
        dup2(devNull, 2);
    for (int i = 3; i < 1024; ++i)
        close(i);
    std::vector<char*> args;
    for (const char* a : argv)
        args.push_back(const_cast<char*>(a));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
}

bool WaitChild(pid_t pid, Clock::time_point deadline) {
    for (;;) {
        int status = 0;
        const pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (r < 0)
            return false;
        if (Clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return false;
        }
        usleep(1000);
    }
}

bool RunSender(int master, const std::vector<std::uint8_t>& image, const std::string& name,
               Clock::time_point deadline) {
    auto sender = std::make_unique<ModemSender>();
    FdOutput out(master);
    sender->SetOutput(&out);
    sender->SetDialect(ModemDialect::kStandard);
    sender->Init(nullptr);
    if (sender->SetFileInfo(name, static_cast<std::uint32_t>(image.size())) != ModemLoad::kOk ||
        sender->SetFileData(image.data(), image.size()) != ModemLoad::kOk) {
        std::fprintf(stderr, "image does not fit\n");
        return false;
    }
    sender->m_busy = 1;
    std::uint8_t buffer[4096];
    while (sender->m_busy.load() == 1) {
        if (Clock::now() > deadline)
            return false;
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0)
            continue;
        const ssize_t n = read(master, buffer, sizeof(buffer));
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        // rb may leave as soon as it has acknowledged the end-of-batch block, taking its
        // last ACK with it when the terminal hangs up.
        if (n <= 0)
            return sender->State() == ModemState::kFinished;
        for (ssize_t i = 0; i < n; ++i) {
            sender->PushByte(buffer[i]);
            sender->ProcessQueue();
        }
    }
    return sender->State() == ModemState::kFinished;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s sender|sz IMAGE DIR\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    const char* imagePath = argv[2];
    const char* dir = argv[3];

    std::ifstream file(imagePath, std::ios::binary);
    const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(file), {}};
    std::string name = imagePath;
    if (const auto slash = name.rfind('/'); slash != std::string::npos)
        name.erase(0, slash + 1);

    int master = -1;
    int slave = -1;
    termios raw{};
    cfmakeraw(&raw);
    cfsetspeed(&raw, B115200);
    if (openpty(&master, &slave, nullptr, &raw, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }

    const Clock::time_point start = Clock::now();
    const Clock::time_point deadline = start + kTimeout;
    const pid_t rb = Spawn(slave, dir, {"rb", "--ymodem", "-q"});
    close(slave);
    bool ok = false;
    if (mode == "sender") {
        ok = RunSender(master, image, name, deadline);
        ok = WaitChild(rb, deadline) && ok;
    } else if (mode == "sz") {
        const pid_t sz = Spawn(master, nullptr, {"sz", "--ymodem", "-k", "-q", imagePath});
        ok = WaitChild(sz, deadline);
        ok = WaitChild(rb, deadline) && ok;
    } else {
        std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
        kill(rb, SIGKILL);
        waitpid(rb, nullptr, 0);
        return 2;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    close(master);
    if (!ok) {
        std::fprintf(stderr, "%s transfer failed\n", mode.c_str());
        return 1;
    }
    std::printf("%.3f\n", seconds);
    return 0;
}
