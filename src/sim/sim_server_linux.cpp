#include "sim/sim_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace sim {

namespace {

constexpr std::size_t kMaxQueuedOutput = 1u << 20;
constexpr int kMaxPollWaitMs = 500;

void SetCloseOnExec(int fd) {
    const int flags = fcntl(fd, F_GETFD);
    if (flags >= 0) {
        fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}

void SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) {
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    }
}

bool IsOurLink(const std::string& link, const std::string& target) {
    std::array<char, 4096> buffer{};
    const ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size() - 1);
    return n > 0 && std::string(buffer.data(), static_cast<std::size_t>(n)) == target;
}

}  // namespace

SimServer::SimServer(SimOptions options)
    : m_options(std::move(options)), m_controller(m_options.controller) {}

SimServer::~SimServer() {
    Stop();
}

QString SimServer::PortPath() const {
    std::lock_guard lock(m_infoMutex);
    return QString::fromLocal8Bit(m_portPath.c_str());
}

QString SimServer::ErrorString() const {
    std::lock_guard lock(m_infoMutex);
    return QString::fromLocal8Bit(m_error.c_str());
}

bool SimServer::Fail(const std::string& message) {
    {
        std::lock_guard lock(m_infoMutex);
        m_error = message;
    }
    CloseLink();
    std::lock_guard lock(m_wakeMutex);
    for (int* fd : {&m_wakeRead, &m_wakeWrite}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
    return false;
}

QString SimServer::Start() {
    if (m_running.load()) {
        return PortPath();
    }
    if (m_thread.joinable()) {
        m_thread.join();  // the link was dropped; serve on a new terminal
    }
    {
        std::lock_guard lock(m_infoMutex);
        m_error.clear();
    }

    if (!m_options.paramsFile.empty()) {
        std::ifstream in(m_options.paramsFile, std::ios::binary);
        if (!in) {
            Fail(m_options.paramsFile + ": cannot be read");
            return {};
        }
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        std::string error;
        const std::optional<SimParameterSet> set = SimParameterSet::FromConfigText(text, &error);
        if (!set) {
            Fail(m_options.paramsFile + ": " + error);
            return {};
        }
        m_controller.LoadParameters(*set);
    }

    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        Fail(std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
        return {};
    }
    SetCloseOnExec(m_master);
    SetNonBlocking(m_master);
    std::array<char, 256> name{};
    if (ptsname_r(m_master, name.data(), name.size()) != 0) {
        Fail(std::string("cannot name the pseudo-terminal: ") + std::strerror(errno));
        return {};
    }
    const std::string portPath = name.data();
    // Holding the tool side open keeps the terminal alive between the tool's opens and closes.
    m_slave = open(portPath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        Fail(portPath + ": " + std::strerror(errno));
        return {};
    }
    termios tio{};
    if (tcgetattr(m_slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
    }

    int pipeFds[2] = {-1, -1};
    if (pipe(pipeFds) != 0) {
        Fail(std::string("cannot make a pipe: ") + std::strerror(errno));
        return {};
    }
    {
        std::lock_guard lock(m_wakeMutex);
        m_wakeRead = pipeFds[0];
        m_wakeWrite = pipeFds[1];
    }
    for (int fd : pipeFds) {
        SetCloseOnExec(fd);
        SetNonBlocking(fd);
    }

    if (!m_options.linkPath.empty()) {
        struct stat st {};
        if (lstat(m_options.linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                Fail(m_options.linkPath + ": exists and is not a symbolic link");
                return {};
            }
            unlink(m_options.linkPath.c_str());
        }
        if (symlink(portPath.c_str(), m_options.linkPath.c_str()) != 0) {
            Fail(m_options.linkPath + ": " + std::strerror(errno));
            return {};
        }
    }

    {
        std::lock_guard lock(m_infoMutex);
        m_portPath = portPath;
    }
    m_controller.SetWakeCallback([this] { Wake(); });
    m_rxPending.clear();
    m_txPending.clear();
    m_dropAt.reset();
    m_stopRequested = false;
    m_dropRequested = false;
    m_linkUp = true;
    m_running = true;
    QueueOutput(m_controller.Start(), SteadyClock::now());
    m_thread = std::thread([this] { Run(); });
    return QString::fromLocal8Bit(portPath.c_str());
}

void SimServer::Stop() {
    m_controller.SetWakeCallback({});
    if (m_thread.joinable()) {
        m_stopRequested = true;
        Wake();
        m_thread.join();
    }
    CloseLink();
    std::lock_guard lock(m_wakeMutex);
    for (int* fd : {&m_wakeRead, &m_wakeWrite}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
    m_running = false;
}

void SimServer::DropLink() {
    m_dropRequested = true;
    Wake();
}

void SimServer::Wake() {
    std::lock_guard lock(m_wakeMutex);
    if (m_wakeWrite >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = write(m_wakeWrite, &byte, 1);
    }
}

void SimServer::CloseLink() {
    // Down before the terminal closes, so whoever sees the hang-up also sees the flag.
    m_linkUp = false;
    std::string portPath;
    {
        std::lock_guard lock(m_infoMutex);
        portPath = m_portPath;
    }
    if (!m_options.linkPath.empty() && !portPath.empty() &&
        IsOurLink(m_options.linkPath, portPath)) {
        unlink(m_options.linkPath.c_str());
    }
    for (int* fd : {&m_master, &m_slave}) {
        if (*fd >= 0) {
            close(*fd);
            *fd = -1;
        }
    }
}

SimServer::SteadyClock::duration SimServer::ByteTime() const {
    if (!m_options.lineRate || m_options.baud <= 0) {
        return SteadyClock::duration::zero();
    }
    return std::chrono::duration_cast<SteadyClock::duration>(
        std::chrono::nanoseconds(10'000'000'000LL / m_options.baud));
}

void SimServer::QueueOutput(const std::vector<std::uint8_t>& bytes, SteadyClock::time_point now) {
    const SteadyClock::duration byteTime = ByteTime();
    for (std::uint8_t b : bytes) {
        // A byte is on the far side once its last bit has gone out.
        m_txLineFree = std::max(m_txLineFree, now) + byteTime;
        m_txPending.emplace_back(b, m_txLineFree);
    }
    while (m_txPending.size() > kMaxQueuedOutput) {
        m_txPending.pop_front();  // nobody is reading: the line loses what does not fit
    }
}

void SimServer::DeliverInput(SteadyClock::time_point now) {
    std::vector<std::uint8_t> due;
    while (!m_rxPending.empty() && m_rxPending.front().second <= now) {
        due.push_back(m_rxPending.front().first);
        m_rxPending.pop_front();
    }
    if (!due.empty()) {
        QueueOutput(m_controller.Receive(due), now);
    }
}

void SimServer::WriteOutput(SteadyClock::time_point now) {
    std::vector<std::uint8_t> due;
    for (const auto& [byte, at] : m_txPending) {
        if (at > now) {
            break;
        }
        due.push_back(byte);
    }
    if (due.empty() || m_master < 0) {
        return;
    }
    const ssize_t n = write(m_master, due.data(), due.size());
    if (n > 0) {
        m_txPending.erase(m_txPending.begin(), m_txPending.begin() + n);
    }
}

void SimServer::SaveNewImages() {
    const std::uint64_t received = m_controller.Counters().imagesReceived;
    if (received == m_imagesSaved) {
        return;
    }
    m_imagesSaved = received;
    if (m_options.saveImageFile.empty()) {
        return;
    }
    const std::optional<ReceivedImage> image = m_controller.LastImage();
    if (!image) {
        return;
    }
    std::ofstream out(m_options.saveImageFile, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image->data.data()),
              static_cast<std::streamsize>(image->data.size()));
}

void SimServer::Run() {
    std::array<std::uint8_t, 4096> buffer{};
    const SteadyClock::duration byteTime = ByteTime();
    while (!m_stopRequested.load()) {
        if (m_dropRequested.load() || (m_dropAt && SteadyClock::now() >= *m_dropAt)) {
            CloseLink();
            break;
        }
        SteadyClock::time_point now = SteadyClock::now();
        DeliverInput(now);
        QueueOutput(m_controller.Poll(), now);
        SaveNewImages();
        WriteOutput(now);

        // Sleep until the next thing that is due.
        std::optional<SteadyClock::time_point> next;
        auto consider = [&next](SteadyClock::time_point t) {
            if (!next || t < *next) {
                next = t;
            }
        };
        if (std::optional<SimController::Time> due = m_controller.NextDue()) {
            consider(SteadyClock::time_point(*due));
        }
        if (!m_rxPending.empty()) {
            consider(m_rxPending.front().second);
        }
        const bool txWaiting = !m_txPending.empty();
        if (txWaiting && m_txPending.front().second > now) {
            consider(m_txPending.front().second);
        }
        if (m_dropAt) {
            consider(*m_dropAt);
        }
        // To the nanosecond: at line rate a byte lasts tens of microseconds, and waits rounded
        // up to whole milliseconds would stretch every answer far beyond the line's pace.
        std::chrono::nanoseconds wait = std::chrono::milliseconds(kMaxPollWaitMs);
        if (next) {
            wait = std::clamp<std::chrono::nanoseconds>(
                std::chrono::duration_cast<std::chrono::nanoseconds>(*next - now),
                std::chrono::nanoseconds::zero(), wait);
        }
        const timespec timeout{static_cast<time_t>(wait.count() / 1'000'000'000),
                               static_cast<long>(wait.count() % 1'000'000'000)};
        std::array<pollfd, 2> fds{};
        fds[0].fd = m_master;
        fds[0].events = POLLIN;
        if (txWaiting && m_txPending.front().second <= now) {
            fds[0].events |= POLLOUT;  // the terminal's buffer was full
        }
        fds[1].fd = m_wakeRead;
        fds[1].events = POLLIN;
        if (ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0 && errno != EINTR) {
            break;
        }
        if (fds[1].revents & POLLIN) {
            std::array<char, 64> drain{};
            while (read(m_wakeRead, drain.data(), drain.size()) > 0) {
            }
        }
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = read(m_master, buffer.data(), buffer.size());
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                CloseLink();
                break;
            }
            now = SteadyClock::now();
            for (ssize_t i = 0; i < n; ++i) {
                m_rxLineFree = std::max(m_rxLineFree, now) + byteTime;
                m_rxPending.emplace_back(buffer[static_cast<std::size_t>(i)], m_rxLineFree);
            }
            if (n > 0 && !m_dropAt && m_options.dropLinkAfter.count() >= 0) {
                m_dropAt = now + m_options.dropLinkAfter;
            }
        }
    }
    m_running = false;
}

}  // namespace sim
