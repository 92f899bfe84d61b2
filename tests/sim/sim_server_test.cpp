// The server over a real pseudo-terminal, opened the way a serial tool opens it.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "sim/sim_server.h"
#include "sim_test_support.h"

namespace {

using namespace sim_test;
using SteadyClock = std::chrono::steady_clock;

class ToolPort {
public:
    explicit ToolPort(const std::string& path) {
        m_fd = open(path.c_str(), O_RDWR | O_NOCTTY);
        if (m_fd >= 0) {
            termios tio{};
            tcgetattr(m_fd, &tio);
            cfmakeraw(&tio);
            tcsetattr(m_fd, TCSANOW, &tio);
        }
    }
    ~ToolPort() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    bool IsOpen() const { return m_fd >= 0; }
    void Write(const Bytes& bytes) {
        ASSERT_EQ(write(m_fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads until count bytes have come or the deadline passes. *ended reports end of file or
    // an error (the other side closed the terminal).
    Bytes Read(std::size_t count, std::chrono::milliseconds timeout, bool* ended = nullptr) {
        Bytes out;
        const auto deadline = SteadyClock::now() + timeout;
        while (out.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - SteadyClock::now());
            if (left.count() <= 0) {
                break;
            }
            pollfd pfd{m_fd, POLLIN, 0};
            if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) {
                continue;
            }
            std::uint8_t buffer[512];
            const ssize_t n = read(m_fd, buffer, sizeof buffer);
            if (n <= 0) {
                if (ended != nullptr) {
                    *ended = true;
                }
                break;
            }
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }

private:
    int m_fd = -1;
};

std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() / (name + "." + std::to_string(getpid())))
        .string();
}

TEST(SimServer, AnswersLdgetOverThePseudoTerminalAndKeepsTheLink) {
    const std::string link = TempPath("tarvik-sim-link");
    sim::SimOptions options;
    options.linkPath = link;
    sim::SimServer server(options);
    const QString path = server.Start();
    ASSERT_FALSE(path.isEmpty()) << server.ErrorString().toStdString();
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), path.toStdString());

    {
        ToolPort port(link);
        ASSERT_TRUE(port.IsOpen());
        port.Write(ToolFrame("LDGET"));
        const std::vector<Bytes> frames = SplitFrames(port.Read(7 * 24, std::chrono::seconds(5)));
        ASSERT_EQ(frames.size(), 7u);
        for (std::size_t i = 0; i < 7; ++i) {
            EXPECT_TRUE(IsValidReply(frames[i]));
            EXPECT_EQ(frames[i][3], 'R');
            EXPECT_EQ(frames[i][4], i + 1);
        }
    }
    // The tool closing and reopening the port does not end the simulation.
    {
        ToolPort port(path.toStdString());
        port.Write(ToolFrame("SHOW"));
        EXPECT_EQ(port.Read(24, std::chrono::seconds(5)).size(), 24u);
    }
    EXPECT_EQ(server.Controller().Counters().parameterReads, 1u);
    server.Stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(SimServer, LineRatePacesTheAnswer) {
    sim::SimOptions options;
    options.lineRate = true;
    options.baud = 9600;
    sim::SimServer server(options);
    const QString path = server.Start();
    ASSERT_FALSE(path.isEmpty());
    ToolPort port(path.toStdString());
    const auto start = SteadyClock::now();
    port.Write(ToolFrame("LDGET"));
    EXPECT_EQ(port.Read(7 * 24, std::chrono::seconds(5)).size(), 7u * 24u);
    // 24 bytes in and 168 out at 10 bits per byte and 9600 baud take 200 ms.
    EXPECT_GE(SteadyClock::now() - start, std::chrono::milliseconds(190));
}

TEST(SimServer, DroppingTheLinkClosesTheTerminal) {
    sim::SimServer server;
    const QString path = server.Start();
    ASSERT_FALSE(path.isEmpty());
    ToolPort port(path.toStdString());
    server.DropLink();
    bool ended = false;
    port.Read(1, std::chrono::seconds(5), &ended);
    EXPECT_TRUE(ended);
    EXPECT_FALSE(server.IsLinkUp());
}

TEST(SimServer, StartFailsOnABadParameterFile) {
    const std::string file = TempPath("tarvik-sim-params");
    {
        std::ofstream out(file);
        out << "1\r\n2\r\n";
    }
    sim::SimOptions options;
    options.paramsFile = file;
    sim::SimServer server(options);
    EXPECT_TRUE(server.Start().isEmpty());
    EXPECT_NE(server.ErrorString().toStdString().find(file), std::string::npos);
    std::filesystem::remove(file);
}

TEST(SimServer, SavesEveryReceivedImage) {
    const std::string file = TempPath("tarvik-sim-image");
    sim::SimOptions options;
    options.saveImageFile = file;
    sim::SimServer server(options);
    const QString path = server.Start();
    ASSERT_FALSE(path.isEmpty());
    ToolPort port(path.toStdString());
    port.Write(ToolFrame("BLOOD"));
    ASSERT_EQ(port.Read(1, std::chrono::seconds(5)), Bytes{'C'});

    // Block 0 for "a.bin", 3 bytes; one SOH packet; EOT twice; the empty block 0. CRC low first.
    auto packet = [](std::uint8_t block, Bytes data) {
        data.resize(128, block == 0 ? 0x00 : 0x1A);
        std::uint16_t crc = 0;
        for (std::uint8_t b : data) {
            crc ^= static_cast<std::uint16_t>(b << 8);
            for (int i = 0; i < 8; ++i) {
                crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                     : static_cast<std::uint16_t>(crc << 1);
            }
        }
        Bytes p{0x01, block, static_cast<std::uint8_t>(0xFF - block)};
        p.insert(p.end(), data.begin(), data.end());
        p.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        p.push_back(static_cast<std::uint8_t>(crc >> 8));
        return p;
    };
    port.Write(packet(0, {'a', '.', 'b', 'i', 'n', 0, '3'}));
    EXPECT_EQ(port.Read(2, std::chrono::seconds(5)), (Bytes{0x06, 'C'}));
    port.Write(packet(1, {7, 8, 9}));
    EXPECT_EQ(port.Read(1, std::chrono::seconds(5)), Bytes{0x06});
    port.Write({0x04});
    EXPECT_EQ(port.Read(1, std::chrono::seconds(5)), Bytes{0x15});
    port.Write({0x04});
    EXPECT_EQ(port.Read(1, std::chrono::seconds(5)), Bytes{0x06});
    port.Write(packet(0, {}));
    EXPECT_EQ(port.Read(1, std::chrono::seconds(5)), Bytes{0x06});
    const Bytes announce = port.Read(24, std::chrono::seconds(5));
    ASSERT_EQ(announce.size(), 24u);
    EXPECT_EQ(announce[3], 0xFE);

    std::ifstream in(file, std::ios::binary);
    const Bytes saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(saved, (Bytes{7, 8, 9}));
    std::filesystem::remove(file);
}

}  // namespace
