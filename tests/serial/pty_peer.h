#pragma once
// The far end of a pseudo-terminal: the test reads and writes it directly while CSerial opens
// the terminal side as its port.

#include <termios.h>
#include <QString>
#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

class PtyPeer {
public:
    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    bool Ok() const { return m_master >= 0; }
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
    termios PortSettings() const;
    // The peer goes away, as an unplugged adapter does.
    void Hangup();

private:
    int m_master = -1;
    QString m_path;
};

std::vector<std::uint8_t> Pattern(std::size_t count, std::uint8_t seed = 0);
