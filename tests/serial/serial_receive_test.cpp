// Received bytes reach the callback in bursts: cut by 15 ms of silence, at readSize bytes, or
// 2000 ms after the burst began.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/protocol/link_flags.h"
#include "pty_peer.h"
#include "serial/serial.h"
#include "serial_test_support.h"

using namespace std::chrono_literals;

namespace {

class SerialReceiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLinkFlags();
        ASSERT_TRUE(m_peer.Ok());
        m_port.SetReceiveCallback(m_chunks.Callback());
        m_port.SetMessageSink(&m_messages);
        ASSERT_EQ(m_port.Open(m_peer.Path(), 115200, 8, 0, 0, 0, 0, &m_owner, 1024), 1);
    }

    PtyPeer m_peer;
    ChunkRecorder m_chunks;
    MessageRecorder m_messages;
    int m_owner = 0;
    CSerial m_port;  // last: closes before the recorders go
};

// What the peer does: send `bytes` bytes in `writes` back-to-back writes, then pause.
struct PeerStep {
    std::size_t bytes;
    std::size_t writes;
    std::chrono::milliseconds pauseAfter;
};

struct BurstCase {
    const char* name;
    std::vector<PeerStep> steps;
    std::vector<std::size_t> chunkSizes;
};

class BurstTest : public SerialReceiveTest, public ::testing::WithParamInterface<BurstCase> {};

TEST_P(BurstTest, PeerOutputArrivesInTheExpectedChunks) {
    const BurstCase& c = GetParam();
    std::size_t total = 0;
    for (const PeerStep& step : c.steps) {
        total += step.bytes;
    }
    const std::vector<std::uint8_t> sent = Pattern(total, 7);
    std::size_t offset = 0;
    for (const PeerStep& step : c.steps) {
        const std::size_t per = step.bytes / step.writes;
        for (std::size_t i = 0; i < step.writes; ++i) {
            const std::size_t n = i + 1 == step.writes ? step.bytes - per * i : per;
            m_peer.Send(
                std::vector<std::uint8_t>(sent.begin() + offset, sent.begin() + offset + n));
            offset += n;
        }
        // The pause is the stimulus here, not a wait for a result.
        std::this_thread::sleep_for(step.pauseAfter);
    }

    ASSERT_TRUE(m_chunks.WaitForChunks(c.chunkSizes.size()));
    // A chunk too many would come within a burst's silence time.
    std::this_thread::sleep_for(50ms);
    const auto chunks = m_chunks.Chunks();
    std::vector<std::size_t> sizes;
    for (const auto& chunk : chunks) {
        sizes.push_back(chunk.bytes.size());
        EXPECT_EQ(chunk.owner, &m_owner);
    }
    EXPECT_EQ(sizes, c.chunkSizes);
    EXPECT_EQ(m_chunks.Bytes(), sent);
    EXPECT_TRUE(m_messages.Messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Bursts, BurstTest,
    ::testing::Values(
        BurstCase{"PauseOf20msMidFrameSplitsIt", {{10, 1, 20ms}, {14, 1, 0ms}}, {10, 14}},
        BurstCase{"ByteByByteWithoutPauseIsOneBurst", {{100, 100, 0ms}}, {100}},
        BurstCase{"PausesShorterThanTheSilenceKeepOneBurst",
                  {{10, 1, 4ms}, {10, 1, 4ms}, {10, 1, 4ms}, {10, 1, 0ms}},
                  {40}},
        BurstCase{"ThreeThousandBytesAtOnceAreCutAt1024", {{3000, 1, 0ms}}, {1024, 1024, 952}},
        BurstCase{"ExactlyReadSize", {{1024, 1, 0ms}}, {1024}},
        BurstCase{"OneMoreThanReadSize", {{1025, 1, 0ms}}, {1024, 1}},
        BurstCase{
            "ThreeFramesWithPauses", {{24, 1, 40ms}, {48, 2, 40ms}, {24, 3, 0ms}}, {24, 48, 24}}),
    [](const ::testing::TestParamInfo<BurstCase>& info) { return info.param.name; });

TEST_F(SerialReceiveTest, SmallerReadSizeCutsSmallerChunks) {
    ASSERT_EQ(m_port.Open(m_peer.Path(), 9600, 8, 0, 0, 0, 0, &m_owner, 16), 1);
    const auto sent = Pattern(40, 3);
    m_peer.Send(sent);
    ASSERT_TRUE(m_chunks.WaitForBytes(40));
    std::vector<std::size_t> sizes;
    for (const auto& chunk : m_chunks.Chunks()) {
        sizes.push_back(chunk.bytes.size());
    }
    EXPECT_EQ(sizes, (std::vector<std::size_t>{16, 16, 8}));
    EXPECT_EQ(m_chunks.Bytes(), sent);
}

// A peer that never falls silent for 15 ms and stays under 1024 bytes still gets its bytes
// delivered: a burst is cut 2000 ms after it began.
TEST_F(SerialReceiveTest, SteadyTrickleIsCutAfterTwoSeconds) {
    const auto sent = Pattern(600, 9);
    const auto start = std::chrono::steady_clock::now();
    for (std::uint8_t byte : sent) {
        m_peer.Send(std::vector<std::uint8_t>{byte});
        std::this_thread::sleep_for(5ms);
    }
    const auto trickleEnd = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_chunks.WaitForBytes(sent.size()));
    ASSERT_GT(trickleEnd - start, 2500ms) << "the trickle was too short to show the cut";

    // Without the cut the first callback would only come once the trickle stopped.
    auto previous = start;
    for (const auto& chunk : m_chunks.Chunks()) {
        if (chunk.at > trickleEnd) {
            break;
        }
        EXPECT_LT(chunk.at - previous, 2400ms);
        previous = chunk.at;
    }
    EXPECT_LT(trickleEnd - previous, 2400ms);
    EXPECT_EQ(m_chunks.Bytes(), sent);
}

// The port reads what arrives while the callback is busy; nothing is lost or reordered.
TEST_F(SerialReceiveTest, SlowCallbackLosesNothing) {
    m_chunks.SetOnChunk(
        [](const std::uint8_t*, std::uint32_t) { std::this_thread::sleep_for(30ms); });
    const auto sent = Pattern(5000, 5);
    for (std::size_t i = 0; i < sent.size(); i += 500) {
        m_peer.Send(std::vector<std::uint8_t>(sent.begin() + i, sent.begin() + i + 500));
        std::this_thread::sleep_for(7ms);
    }
    ASSERT_TRUE(m_chunks.WaitForBytes(sent.size(), 10s));
    for (const auto& chunk : m_chunks.Chunks()) {
        EXPECT_GE(chunk.bytes.size(), 1u);
        EXPECT_LE(chunk.bytes.size(), 1024u);
    }
    EXPECT_EQ(m_chunks.Bytes(), sent);
}

}  // namespace
