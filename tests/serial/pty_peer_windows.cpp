// Under Wine the terminal lives with scripts/windows/pty_broker, which links it as a COM port and
// relays its bytes over a local connection. One thread here reads that connection, so that the
// test's receives, the settings replies and the hang-up acknowledgement do not wait on each other.

#include <winsock2.h>
#include <ws2tcpip.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "pty_peer.h"

namespace {

// Frames both ways: a type byte, a 4-byte big-endian length, the payload.
constexpr std::size_t kHeaderSize = 5;
constexpr char kName = 'N';
constexpr char kData = 'D';
constexpr char kSettings = 'S';
constexpr char kHungUp = 'H';
constexpr char kError = 'E';
// Received bytes held here before the reader stops taking more from the connection. Kept small,
// with the socket's buffer, so that a test that reads nothing stalls the port's writes soon, as
// a real line does.
constexpr std::size_t kMaxHeld = 8192;
constexpr int kSocketBuffer = 8192;
constexpr auto kReplyTimeout = std::chrono::seconds(5);

bool SendAll(SOCKET socket, const char* data, std::size_t size) {
    while (size > 0) {
        const int n = ::send(socket, data, static_cast<int>(std::min<std::size_t>(size, 65536)), 0);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReceiveAll(SOCKET socket, char* data, std::size_t size) {
    while (size > 0) {
        const int n = ::recv(socket, data, static_cast<int>(size), 0);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool SendFrame(SOCKET socket, char kind, const std::uint8_t* payload, std::size_t size) {
    const auto length = static_cast<std::uint32_t>(size);
    std::string frame{kind, static_cast<char>(length >> 24), static_cast<char>(length >> 16),
                      static_cast<char>(length >> 8), static_cast<char>(length)};
    frame.append(reinterpret_cast<const char*>(payload), size);
    return SendAll(socket, frame.data(), frame.size());
}

std::optional<std::pair<char, std::string>> ReceiveFrame(SOCKET socket) {
    unsigned char header[kHeaderSize];
    if (!ReceiveAll(socket, reinterpret_cast<char*>(header), sizeof header)) {
        return std::nullopt;
    }
    const std::uint32_t length = (std::uint32_t{header[1]} << 24) |
                                 (std::uint32_t{header[2]} << 16) |
                                 (std::uint32_t{header[3]} << 8) | header[4];
    std::string payload(length, '\0');
    if (!ReceiveAll(socket, payload.data(), payload.size())) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<char>(header[0]), std::move(payload));
}

SOCKET Connect(const char* address) {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    const std::string text = address != nullptr ? address : "";
    const std::size_t colon = text.rfind(':');
    if (!started || colon == std::string::npos) {
        std::fprintf(stderr, "TARVIK_PTY_BROKER must name the port broker as host:port\n");
        return INVALID_SOCKET;
    }
    const std::string host = text.substr(0, colon);
    const std::string port = text.substr(colon + 1);
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), port.c_str(), &hints, &found) != 0) {
        std::fprintf(stderr, "cannot resolve the port broker %s\n", text.c_str());
        return INVALID_SOCKET;
    }
    SOCKET s = ::socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (s != INVALID_SOCKET) {
        // Every byte leaves at once, or the gaps that end a burst would blur.
        const BOOL on = TRUE;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
        ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&kSocketBuffer),
                     sizeof kSocketBuffer);
        if (::connect(s, found->ai_addr, static_cast<int>(found->ai_addrlen)) != 0) {
            std::fprintf(stderr, "cannot reach the port broker at %s\n", text.c_str());
            ::closesocket(s);
            s = INVALID_SOCKET;
        }
    }
    ::freeaddrinfo(found);
    return s;
}

PortLine ParseLine(const std::string& text) {
    PortLine line;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find(' ', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string item = text.substr(pos, end - pos);
        pos = end + 1;
        const std::size_t equals = item.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string key = item.substr(0, equals);
        const auto value =
            static_cast<std::uint32_t>(std::strtoul(item.c_str() + equals + 1, nullptr, 10));
        if (key == "twostop") {
            line.twoStopBits = value != 0;
        } else if (key == "parodd") {
            line.oddParity = value != 0;
        } else if (key == "cmspar") {
            line.stickParity = value != 0;
        } else if (key == "crtscts") {
            line.rtsCtsFlow = value != 0;
        } else if (key == "ixon" || key == "ixoff") {
            line.xonXoffFlow = line.xonXoffFlow || value != 0;
        } else if (key == "icanon") {
            line.canonical = value != 0;
        } else if (key == "echo") {
            line.echo = value != 0;
        } else if (key == "ispeed") {
            line.inputBaud = value;
        } else if (key == "ospeed") {
            line.outputBaud = value;
        }
    }
    return line;
}

}  // namespace

struct PtyPeer::State {
    SOCKET socket = INVALID_SOCKET;
    std::thread reader;
    // One request for a reply at a time; sends are whole frames.
    std::mutex requestLock;
    std::mutex sendLock;

    std::mutex lock;
    std::condition_variable changed;
    std::deque<std::uint8_t> received;
    std::optional<std::string> settings;
    int awaitingReplies = 0;  // the reader takes frames past kMaxHeld while a reply is due
    bool hungUp = false;
    bool ended = false;  // the connection is gone

    void Read() {
        for (;;) {
            {
                std::unique_lock guard(lock);
                changed.wait(guard, [&] {
                    return ended || received.size() < kMaxHeld || awaitingReplies > 0;
                });
                if (ended) {
                    return;
                }
            }
            auto frame = ReceiveFrame(socket);
            std::lock_guard guard(lock);
            if (!frame) {
                ended = true;
            } else if (frame->first == kData) {
                received.insert(received.end(), frame->second.begin(), frame->second.end());
            } else if (frame->first == kSettings) {
                settings = std::move(frame->second);
            } else if (frame->first == kHungUp) {
                hungUp = true;
            } else if (frame->first == kError) {
                std::fprintf(stderr, "port broker: %s\n", frame->second.c_str());
                ended = true;
            }
            changed.notify_all();
        }
    }

    bool Send(char kind, const std::uint8_t* data = nullptr, std::size_t size = 0) {
        std::lock_guard guard(sendLock);
        return socket != INVALID_SOCKET && SendFrame(socket, kind, data, size);
    }

    // Up to `count` received bytes, once `ready` holds (under the lock) or at `until`.
    template <typename Ready>
    std::vector<std::uint8_t> Take(std::size_t count, std::chrono::steady_clock::time_point until,
                                   Ready ready) {
        std::unique_lock guard(lock);
        changed.wait_until(guard, until, [&] { return ended || hungUp || ready(); });
        const std::size_t n = std::min(count, received.size());
        std::vector<std::uint8_t> out(received.begin(), received.begin() + n);
        received.erase(received.begin(), received.begin() + n);
        changed.notify_all();
        return out;
    }
};

PtyPeer::PtyPeer() : m_state(std::make_unique<State>()) {
    State& s = *m_state;
    s.socket = Connect(std::getenv("TARVIK_PTY_BROKER"));
    if (s.socket == INVALID_SOCKET) {
        return;
    }
    const auto name = ReceiveFrame(s.socket);
    if (!name || name->first != kName) {
        std::fprintf(stderr, "port broker: %s\n",
                     name ? name->second.c_str() : "closed without naming a port");
        ::closesocket(s.socket);
        s.socket = INVALID_SOCKET;
        return;
    }
    // "COM10" and above open only through the device namespace.
    m_path = QStringLiteral("\\\\.\\") + QString::fromStdString(name->second);
    s.reader = std::thread([&s] { s.Read(); });
}

PtyPeer::~PtyPeer() {
    Hangup();
}

bool PtyPeer::Ok() const {
    std::lock_guard guard(m_state->lock);
    return m_state->socket != INVALID_SOCKET && !m_state->ended && !m_state->hungUp;
}

void PtyPeer::Hangup() {
    State& s = *m_state;
    if (s.socket == INVALID_SOCKET) {
        return;
    }
    // The terminal is closed when the broker answers; only then may the test expect the port
    // to notice.
    {
        std::lock_guard request(s.requestLock);
        {
            std::lock_guard guard(s.lock);
            ++s.awaitingReplies;
            s.changed.notify_all();
        }
        if (s.Send(kHungUp)) {
            std::unique_lock guard(s.lock);
            s.changed.wait_for(guard, kReplyTimeout, [&] { return s.hungUp || s.ended; });
        }
        std::lock_guard guard(s.lock);
        --s.awaitingReplies;
        s.ended = true;
        s.received.clear();
        s.changed.notify_all();
    }
    ::shutdown(s.socket, SD_BOTH);
    if (s.reader.joinable()) {
        s.reader.join();
    }
    ::closesocket(s.socket);
    s.socket = INVALID_SOCKET;
}

void PtyPeer::Send(const std::vector<std::uint8_t>& bytes) {
    if (!bytes.empty()) {
        m_state->Send(kData, bytes.data(), bytes.size());
    }
}

std::vector<std::uint8_t> PtyPeer::Receive(std::size_t count, std::chrono::milliseconds deadline) {
    std::vector<std::uint8_t> out;
    const auto end = std::chrono::steady_clock::now() + deadline;
    State& s = *m_state;
    // Taken in pieces: the reader holds back once kMaxHeld bytes wait here.
    while (out.size() < count) {
        const std::size_t want = count - out.size();
        const auto piece =
            s.Take(want, end, [&] { return s.received.size() >= std::min(want, kMaxHeld); });
        if (piece.empty()) {
            break;
        }
        out.insert(out.end(), piece.begin(), piece.end());
    }
    return out;
}

std::vector<std::uint8_t> PtyPeer::ReceiveUntilQuiet(std::chrono::milliseconds quiet,
                                                     std::chrono::milliseconds deadline) {
    std::vector<std::uint8_t> out;
    const auto end = std::chrono::steady_clock::now() + deadline;
    State& s = *m_state;
    while (std::chrono::steady_clock::now() < end) {
        const auto piece = s.Take(SIZE_MAX, std::chrono::steady_clock::now() + quiet,
                                  [&] { return !s.received.empty(); });
        if (piece.empty()) {
            break;
        }
        out.insert(out.end(), piece.begin(), piece.end());
    }
    return out;
}

PortLine PtyPeer::PortSettings() const {
    State& s = *m_state;
    std::lock_guard request(s.requestLock);
    {
        std::lock_guard guard(s.lock);
        s.settings.reset();
        ++s.awaitingReplies;
        s.changed.notify_all();
    }
    std::optional<std::string> reply;
    if (s.Send(kSettings)) {
        std::unique_lock guard(s.lock);
        s.changed.wait_for(guard, kReplyTimeout, [&] { return s.settings || s.ended; });
        reply = s.settings;
    }
    std::lock_guard guard(s.lock);
    --s.awaitingReplies;
    return reply ? ParseLine(*reply) : PortLine{};
}
