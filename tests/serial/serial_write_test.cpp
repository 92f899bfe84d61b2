// Writes: in call order from any thread, counted as echo while the port is open, handed to the
// system before Write returns, and safe from inside the receive callback.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>

#include "core/protocol/link_flags.h"
#include "pty_peer.h"
#include "serial/serial.h"
#include "serial_test_support.h"

using namespace std::chrono_literals;

namespace {

class SerialWriteTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLinkFlags();
        ASSERT_TRUE(m_peer.Ok());
        m_port.SetReceiveCallback(m_chunks.Callback());
        m_port.SetMessageSink(&m_messages);
        ASSERT_EQ(m_port.Open(m_peer.Path(), 115200), 1);
    }

    int WriteText(CSerial& port, std::string_view text) {
        return port.Write(reinterpret_cast<const std::uint8_t*>(text.data()),
                          static_cast<std::uint32_t>(text.size()));
    }

    PtyPeer m_peer;
    ChunkRecorder m_chunks;
    MessageRecorder m_messages;
    CSerial m_port;
};

class WriteLengthTest : public SerialWriteTest,
                        public ::testing::WithParamInterface<std::uint32_t> {};

TEST_P(WriteLengthTest, ArrivesIntactAndGrowsTheEchoCount) {
    const std::uint32_t length = GetParam();
    const auto data = Pattern(length, 1);
    std::vector<std::uint8_t> received;
    // The peer reads while the port writes: the terminal holds only a few kilobytes.
    std::thread reader([&] { received = m_peer.Receive(length, 5s); });
    EXPECT_EQ(m_port.Write(data.data(), length), 1);
    reader.join();
    EXPECT_EQ(received, data);
    // Starts at 0xFFFF and wraps at 65536.
    EXPECT_EQ(g_echoSkipCount.load(), static_cast<std::uint16_t>(0xFFFF + length));
}

INSTANTIATE_TEST_SUITE_P(Lengths, WriteLengthTest,
                         ::testing::Values(1u, 24u, 1029u, 1800u, 1801u, 2000u, 70000u));

TEST_F(SerialWriteTest, ZeroBytesWriteNothingAndCountNothing) {
    const std::uint8_t unused = 0x55;
    EXPECT_EQ(m_port.Write(&unused, 0), 1);
    EXPECT_EQ(m_port.Write(nullptr, 0), 1);
    EXPECT_EQ(g_echoSkipCount.load(), 0xFFFF);
    ASSERT_EQ(WriteText(m_port, "Z"), 1);
    const auto received = m_peer.ReceiveUntilQuiet(50ms, 2s);
    EXPECT_EQ(received, (std::vector<std::uint8_t>{'Z'}));
}

TEST_F(SerialWriteTest, ClosedPortWritesNothingAndCountsNothing) {
    CSerial neverOpened;
    const std::uint8_t frame[3] = {1, 2, 3};
    EXPECT_EQ(neverOpened.Write(frame, 3), 0);
    EXPECT_FALSE(g_serial.IsOpen());
    EXPECT_EQ(g_serial.Write(frame, 3), 0);
    ASSERT_EQ(m_port.Close(), 1);
    EXPECT_EQ(m_port.Write(frame, 3), 0);
    EXPECT_EQ(g_echoSkipCount.load(), 0xFFFF);
}

// A finished write's bytes may still sit in the system's queue; the next write must not drop
// them (at 9600 baud a frame takes 25 ms on the wire).
TEST_F(SerialWriteTest, WriteRightAfterWriteKeepsTheFirst) {
    const auto first = Pattern(8192, 2);
    const auto second = Pattern(16, 3);
    ASSERT_EQ(m_port.Write(first.data(), 8192), 1);
    ASSERT_EQ(m_port.Write(second.data(), 16), 1);
    auto expected = first;
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(m_peer.Receive(expected.size(), 5s), expected);
}

// A peer that takes nothing: the write gives up after about two seconds, and the next write
// starts by dropping what the failed one left queued.
TEST_F(SerialWriteTest, StalledWriteGivesUpAndIsPurgedByTheNext) {
    const auto big = Pattern(256 * 1024, 4);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(m_port.Write(big.data(), static_cast<std::uint32_t>(big.size())), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, 1900ms);
    EXPECT_LT(took, 3500ms);

    ASSERT_EQ(WriteText(m_port, "END"), 1);
    const auto received = m_peer.ReceiveUntilQuiet(200ms, 10s);
    ASSERT_GE(received.size(), 3u);
    EXPECT_LT(received.size(), big.size());
    EXPECT_EQ(std::string(received.end() - 3, received.end()), "END");
    // The echo count still grew by both lengths: the port was open.
    EXPECT_EQ(g_echoSkipCount.load(), static_cast<std::uint16_t>(0xFFFF + big.size() + 3));
}

// Frames "<writer:sequence>" from several threads: each write arrives whole, each writer's in
// its own order.
TEST_F(SerialWriteTest, WritesFromManyThreadsStayWholeAndOrdered) {
    constexpr int kWriters = 4;
    constexpr int kFrames = 60;
    auto frame = [](int writer, int seq) {
        std::string f = "<";
        f.append(std::to_string(writer)).append(":").append(std::to_string(seq)).append(":");
        f.resize(30, static_cast<char>('a' + writer));
        return f + ">";
    };
    std::size_t total = 0;
    for (int w = 0; w < kWriters; ++w) {
        for (int s = 0; s < kFrames; ++s) {
            total += frame(w, s).size();
        }
    }
    std::vector<std::uint8_t> received;
    std::thread reader([&] { received = m_peer.Receive(total, 10s); });
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            for (int s = 0; s < kFrames; ++s) {
                EXPECT_EQ(WriteText(m_port, frame(w, s)), 1);
            }
        });
    }
    for (auto& t : writers) {
        t.join();
    }
    reader.join();

    ASSERT_EQ(received.size(), total);
    const std::string stream(received.begin(), received.end());
    std::map<int, int> next;
    std::size_t pos = 0;
    while (pos < stream.size()) {
        ASSERT_EQ(stream[pos], '<') << "interleaved at " << pos;
        const int writer = stream[pos + 1] - '0';
        const std::size_t colon = stream.find(':', pos + 3);
        const int seq = std::stoi(stream.substr(pos + 3, colon - pos - 3));
        ASSERT_EQ(stream.substr(pos, 31), frame(writer, seq));
        EXPECT_EQ(seq, next[writer]++);
        pos += 31;
    }
    for (int w = 0; w < kWriters; ++w) {
        EXPECT_EQ(next[w], kFrames);
    }
}

// The firmware sender answers from inside the callback while the window keeps writing: the
// echoes and the frames both arrive, each write whole and in order, and nothing deadlocks.
TEST_F(SerialWriteTest, CallbackEchoesWhileAnotherThreadWrites) {
    m_chunks.SetOnChunk([this](const std::uint8_t* data, std::uint32_t count) {
        EXPECT_EQ(m_port.Write(data, count), 1);
    });
    constexpr int kFrames = 100;
    std::string lower;
    for (int i = 0; i < 3000; ++i) {
        lower += static_cast<char>('a' + i % 26);
    }
    std::size_t framesLength = 0;
    for (int i = 0; i < kFrames; ++i) {
        framesLength += std::to_string(i).size() + 2;
    }

    std::vector<std::uint8_t> received;
    std::thread reader([&] { received = m_peer.Receive(lower.size() + framesLength, 15s); });
    std::thread window([&] {
        for (int i = 0; i < kFrames; ++i) {
            EXPECT_EQ(WriteText(m_port, std::string("<").append(std::to_string(i)).append(">")), 1);
            std::this_thread::sleep_for(1ms);
        }
    });
    for (std::size_t i = 0; i < lower.size(); i += 100) {
        m_peer.Send(std::string_view(lower).substr(i, 100));
        std::this_thread::sleep_for(3ms);
    }
    window.join();
    reader.join();

    std::string echoes;
    std::string frames;
    bool inFrame = false;
    for (std::uint8_t b : received) {
        if (b == '<') {
            ASSERT_FALSE(inFrame) << "a frame was cut by another write";
            inFrame = true;
        }
        (inFrame ? frames : echoes) += static_cast<char>(b);
        if (b == '>') {
            inFrame = false;
        }
    }
    EXPECT_EQ(echoes, lower);
    std::string expectedFrames;
    for (int i = 0; i < kFrames; ++i) {
        expectedFrames += std::string("<").append(std::to_string(i)).append(">");
    }
    EXPECT_EQ(frames, expectedFrames);
}

}  // namespace
