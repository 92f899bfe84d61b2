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

class BurstTest : public SerialReceiveTest, public ::testing::WithParamInterface<BurstCase> {
protected:
    void PeerOutputArrivesInTheExpectedChunksBody();
};

void BurstTest::PeerOutputArrivesInTheExpectedChunksBody() {
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

TEST_P(BurstTest, PeerOutputArrivesInTheExpectedChunks) {
    PeerOutputArrivesInTheExpectedChunksBody();
}

std::vector<BurstCase> BurstCases() {
    return {
        BurstCase{"PauseOf20msMidFrameSplitsIt", {{10, 1, 20ms}, {14, 1, 0ms}}, {10, 14}},
        BurstCase{"ByteByByteWithoutPauseIsOneBurst", {{100, 100, 0ms}}, {100}},
        BurstCase{"PausesShorterThanTheSilenceKeepOneBurst",
                  {{10, 1, 4ms}, {10, 1, 4ms}, {10, 1, 4ms}, {10, 1, 0ms}},
                  {40}},
        BurstCase{"ThreeThousandBytesAtOnceAreCutAt1024", {{3000, 1, 0ms}}, {1024, 1024, 952}},
        BurstCase{"ExactlyReadSize", {{1024, 1, 0ms}}, {1024}},
        BurstCase{"OneMoreThanReadSize", {{1025, 1, 0ms}}, {1024, 1}},
        BurstCase{
            "ThreeFramesWithPauses", {{24, 1, 40ms}, {48, 2, 40ms}, {24, 3, 0ms}}, {24, 48, 24}}};
}

INSTANTIATE_TEST_SUITE_P(Bursts, BurstTest, ::testing::ValuesIn(BurstCases()),
                         [](const ::testing::TestParamInfo<BurstCase>& info) {
                             return info.param.name;
                         });

// A prompt-delivery rule that says no (fast download on, but no transfer running) leaves every
// burst as it was.
class BurstWithPromptDeliveryRefusedTest : public BurstTest {
protected:
    void SetUp() override {
        BurstTest::SetUp();
        m_port.SetPromptDelivery([] { return false; });
        ASSERT_EQ(m_port.Open(m_peer.Path(), 115200, 8, 0, 0, 0, 0, &m_owner, 1024), 1);
    }
};

TEST_P(BurstWithPromptDeliveryRefusedTest, PeerOutputArrivesInTheExpectedChunks) {
    PeerOutputArrivesInTheExpectedChunksBody();
}

INSTANTIATE_TEST_SUITE_P(Bursts, BurstWithPromptDeliveryRefusedTest,
                         ::testing::ValuesIn(BurstCases()),
                         [](const ::testing::TestParamInfo<BurstCase>& info) {
                             return info.param.name;
                         });

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

// With prompt delivery the callback gets the bytes as they come: a peer that never falls silent
// for 15 ms is not held back until it does, and no chunk exceeds readSize.
struct PromptCase {
    const char* name;
    std::uint32_t readSize;
    std::vector<PeerStep> steps;
};

class PromptDeliveryTest : public SerialReceiveTest,
                           public ::testing::WithParamInterface<PromptCase> {};

TEST_P(PromptDeliveryTest, BytesArriveWithoutWaitingForSilence) {
    const PromptCase& c = GetParam();
    m_port.SetPromptDelivery([] { return true; });
    ASSERT_EQ(m_port.Open(m_peer.Path(), 115200, 8, 0, 0, 0, 0, &m_owner, c.readSize), 1);
    std::size_t total = 0;
    for (const PeerStep& step : c.steps) {
        total += step.bytes * step.writes;
    }
    const std::vector<std::uint8_t> sent = Pattern(total, 11);
    auto next = sent.begin();
    const auto start = std::chrono::steady_clock::now();
    for (const PeerStep& step : c.steps) {
        for (std::size_t i = 0; i < step.writes; ++i) {
            m_peer.Send(std::vector<std::uint8_t>(next, next + static_cast<long>(step.bytes)));
            next += static_cast<long>(step.bytes);
            // The pause is the stimulus here, not a wait for a result.
            std::this_thread::sleep_for(step.pauseAfter);
        }
    }
    const auto peerDone = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_chunks.WaitForBytes(total));

    const auto chunks = m_chunks.Chunks();
    for (const auto& chunk : chunks) {
        EXPECT_LE(chunk.bytes.size(), c.readSize);
        EXPECT_EQ(chunk.owner, &m_owner);
    }
    EXPECT_EQ(m_chunks.Bytes(), sent);
    if (peerDone - start > 200ms) {
        // A burst would have ended only after the peer's last byte.
        EXPECT_GT(chunks.size(), 1u);
        EXPECT_LT(chunks.front().at, start + (peerDone - start) / 2);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Prompt, PromptDeliveryTest,
    ::testing::Values(PromptCase{"TrickleWithoutSilence", 1024, {{1, 80, 5ms}}},
                      PromptCase{"ThreeThousandBytesAtOnceAreCutAt1024", 1024, {{3000, 1, 0ms}}},
                      PromptCase{"SmallReadSizeCutsEvenAPromptChunk", 16, {{40, 8, 5ms}}}),
    [](const ::testing::TestParamInfo<PromptCase>& info) { return info.param.name; });

// The rule is asked again for every arrival: bytes of a burst being collected when it turns
// true go with the next arrival, and once it turns false the bursts are back.
TEST_F(SerialReceiveTest, PromptDeliveryFollowsItsRuleFromArrivalToArrival) {
    std::atomic<bool> prompt{false};
    m_port.SetPromptDelivery([&prompt] { return prompt.load(); });
    ASSERT_EQ(m_port.Open(m_peer.Path(), 115200, 8, 0, 0, 0, 0, &m_owner, 1024), 1);
    const auto sent = Pattern(30, 5);
    const auto part = [&](int i) {
        return std::vector<std::uint8_t>(sent.begin() + i * 10, sent.begin() + (i + 1) * 10);
    };

    m_peer.Send(part(0));
    std::this_thread::sleep_for(3ms);
    prompt = true;
    m_peer.Send(part(1));
    ASSERT_TRUE(m_chunks.WaitForBytes(20));
    prompt = false;
    m_peer.Send(part(2));
    ASSERT_TRUE(m_chunks.WaitForBytes(30));

    EXPECT_EQ(m_chunks.Bytes(), sent);
    const auto chunks = m_chunks.Chunks();
    // The first two parts came together as soon as the second arrived; the last is a burst.
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks.front().bytes.size(), 20u);
    EXPECT_EQ(chunks.back().bytes.size(), 10u);
}

}  // namespace
