#include "pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>

PtyPeer::PtyPeer() {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0) {
        return;
    }
    char name[128] = {};
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    m_path = QString::fromLocal8Bit(name);
    // Raw from the start, so nothing the test sends is echoed or translated.
    termios settings{};
    ::tcgetattr(m_master, &settings);
    ::cfmakeraw(&settings);
    ::tcsetattr(m_master, TCSANOW, &settings);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
}

PtyPeer::~PtyPeer() {
    Hangup();
}

void PtyPeer::Hangup() {
    if (m_master >= 0) {
        ::close(m_master);
        m_master = -1;
    }
}

void PtyPeer::Send(const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size() && m_master >= 0) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 100);
        } else if (n < 0 && errno != EINTR) {
            return;
        }
    }
}

void PtyPeer::Send(std::string_view text) {
    Send(std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::vector<std::uint8_t> PtyPeer::Receive(std::size_t count, std::chrono::milliseconds deadline) {
    std::vector<std::uint8_t> out;
    const auto end = std::chrono::steady_clock::now() + deadline;
    std::uint8_t buffer[4096];
    while (out.size() < count && m_master >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        const ssize_t n = ::read(m_master, buffer, std::min(sizeof buffer, count - out.size()));
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
    while (m_master >= 0 && std::chrono::steady_clock::now() < end) {
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(quiet.count())) <= 0) {
            break;
        }
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            out.insert(out.end(), buffer, buffer + n);
        } else if (n < 0 && errno == EIO) {
            break;
        }
    }
    return out;
}

termios PtyPeer::PortSettings() const {
    termios settings{};
    ::tcgetattr(m_master, &settings);
    return settings;
}

std::vector<std::uint8_t> Pattern(std::size_t count, std::uint8_t seed) {
    std::vector<std::uint8_t> out(count);
    std::uint32_t x = 0x9E3779B9u + seed;
    for (auto& b : out) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}
