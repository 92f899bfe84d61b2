#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "pty_peer.h"

struct PtyPeer::State {
    int master = -1;
};

namespace {

std::uint32_t BaudOf(speed_t speed) {
    static constexpr std::pair<speed_t, std::uint32_t> kRates[] = {
        {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
        {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
        {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
        {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
        {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
        {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
        {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
        {B3500000, 3500000}, {B4000000, 4000000}};
    for (const auto& [code, rate] : kRates) {
        if (code == speed) {
            return rate;
        }
    }
    return 0;
}

}  // namespace

PtyPeer::PtyPeer() : m_state(std::make_unique<State>()) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        return;
    }
    char name[128] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        ::close(master);
        return;
    }
    m_state->master = master;
    m_path = QString::fromLocal8Bit(name);
    // Raw from the start, so nothing the test sends is echoed or translated.
    termios settings{};
    ::tcgetattr(master, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(master, TCSANOW, &settings);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
}

PtyPeer::~PtyPeer() {
    Hangup();
}

bool PtyPeer::Ok() const {
    return m_state->master >= 0;
}

void PtyPeer::Hangup() {
    if (m_state->master >= 0) {
        ::close(m_state->master);
        m_state->master = -1;
    }
}

void PtyPeer::Send(const std::vector<std::uint8_t>& bytes) {
    const int master = m_state->master;
    std::size_t done = 0;
    while (done < bytes.size() && master >= 0) {
        const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{master, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else if (n < 0 && errno != EINTR) {
            return;
        }
    }
}

std::vector<std::uint8_t> PtyPeer::Receive(std::size_t count, std::chrono::milliseconds deadline) {
    std::vector<std::uint8_t> out;
    const auto end = std::chrono::steady_clock::now() + deadline;
    std::uint8_t buffer[4096];
    const int master = m_state->master;
    while (out.size() < count && master >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        const ssize_t n = ::read(master, buffer, std::min(sizeof buffer, count - out.size()));
        if (n > 0) {
            out.insert(out.end(), buffer, buffer + n);
        } else if (n < 0 && errno == EIO) {
            break;  // no terminal side any more
        }
    }
    return out;
}

std::vector<std::uint8_t> PtyPeer::ReceiveUntilQuiet(std::chrono::milliseconds quiet,
                                                     std::chrono::milliseconds deadline) {
    std::vector<std::uint8_t> out;
    const auto end = std::chrono::steady_clock::now() + deadline;
    std::uint8_t buffer[4096];
    const int master = m_state->master;
    while (master >= 0 && std::chrono::steady_clock::now() < end) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(quiet.count())) <= 0) {
            break;
        }
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
            out.insert(out.end(), buffer, buffer + n);
        } else if (n < 0 && errno == EIO) {
            break;
        }
    }
    return out;
}

PortLine PtyPeer::PortSettings() const {
    termios t{};
    ::tcgetattr(m_state->master, &t);
    PortLine line;
    line.twoStopBits = (t.c_cflag & CSTOPB) != 0;
    line.oddParity = (t.c_cflag & PARODD) != 0;
    line.stickParity = (t.c_cflag & CMSPAR) != 0;
    line.rtsCtsFlow = (t.c_cflag & CRTSCTS) != 0;
    line.xonXoffFlow = (t.c_iflag & (IXON | IXOFF)) != 0;
    line.canonical = (t.c_lflag & ICANON) != 0;
    line.echo = (t.c_lflag & ECHO) != 0;
    line.inputBaud = BaudOf(cfgetispeed(&t));
    line.outputBaud = BaudOf(cfgetospeed(&t));
    return line;
}
