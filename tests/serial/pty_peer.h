#pragma once
// The far end of a test port: the test reads and writes it directly while CSerial opens the
// port's side. On Linux a pseudo-terminal; on Windows a Wine COM port that scripts/windows/
// pty_broker backs with a pseudo-terminal (the broker's address in TARVIK_PTY_BROKER).

#include <QString>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// The line as the port set it on the terminal, in the terms the tests check.
struct PortLine {
    bool twoStopBits = false;
    bool oddParity = false;    // odd, or mark together with stickParity
    bool stickParity = false;  // mark or space
    bool rtsCtsFlow = false;
    bool xonXoffFlow = false;  // either direction
    bool canonical = false;
    bool echo = false;
    // 0: a rate the terminal has no number for.
    std::uint32_t inputBaud = 0;
    std::uint32_t outputBaud = 0;
};

class PtyPeer {
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool Ok() const;
    // What CSerial::Open gets.
    const QString& Path() const { return m_path; }

    // Writes all bytes (waits while the terminal is full).
    void Send(const std::vector<std::uint8_t>& bytes);
    void Send(std::string_view text);
    // Reads until `count` bytes arrived or the deadline passed.
    std::vector<std::uint8_t> Receive(std::size_t count, std::chrono::milliseconds deadline);
    // Reads until nothing arrives for `quiet`, or the deadline passed.
    std::vector<std::uint8_t> ReceiveUntilQuiet(std::chrono::milliseconds quiet,
                                                std::chrono::milliseconds deadline);
    // The port's line settings as the terminal has them.
    PortLine PortSettings() const;
    // The peer goes away, as an unplugged adapter does.
    void Hangup();

private:
    struct State;  // the platform's
    std::unique_ptr<State> m_state;
    QString m_path;
};

std::vector<std::uint8_t> Pattern(std::size_t count, std::uint8_t seed = 0);
