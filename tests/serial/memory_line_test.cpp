// The in-memory line as the program's port: CSerial opens it by its name, and its worker cuts
// bursts, keeps writes whole and in order, closes and reopens as a device's worker does. The test
// is the line's far side. Nothing here needs a pseudo-terminal, so it runs on every platform.

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>

#include "core/protocol/link_flags.h"
#include "serial/memory_line.h"
#include "serial/serial.h"
#include "serial/serial_messages.h"
#include "serial_test_support.h"
#include "test_case_name.h"

using namespace std::chrono_literals;

namespace {

std::vector<std::uint8_t> Numbered(std::size_t count, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    }
    return bytes;
}

std::vector<std::uint8_t> Ascii(std::string_view text) {
    return {text.begin(), text.end()};
}

// Each test its own line, so a line a failed test left behind cannot stand in for the next.
QString UniqueLineName() {
    static std::atomic<int> next{0};
    return QStringLiteral("MEMTEST%1").arg(next++);
}

// What the far side got, read until `count` bytes came or the deadline passed.
std::vector<std::uint8_t> FarSideReceive(MemoryLine& line, std::size_t count,
                                         std::chrono::milliseconds within = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + within;
    std::vector<std::uint8_t> got;
    while (got.size() < count && std::chrono::steady_clock::now() < deadline) {
        const auto more = line.ReceiveFromTool(deadline);
        got.insert(got.end(), more.begin(), more.end());
    }
    return got;
}

class MemoryPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLinkFlags();
        m_line = MemoryLine::Create(UniqueLineName());
        ASSERT_TRUE(m_line);
        m_port.SetReceiveCallback(m_chunks.Callback());
        m_port.SetMessageSink(&m_messages);
    }
    void TearDown() override {
        m_port.Close();
        m_line->HangUp();
    }

    int Open(std::uint32_t readSize = 1024) {
        return m_port.Open(m_line->Name(), 115200, 8, 0, 0, 0, 0, &m_owner, readSize);
    }
    void Send(const std::vector<std::uint8_t>& bytes) { m_line->SendToTool(bytes); }
    std::vector<std::size_t> ChunkSizes() const {
        std::vector<std::size_t> sizes;
        for (const auto& chunk : m_chunks.Chunks()) {
            sizes.push_back(chunk.bytes.size());
        }
        return sizes;
    }

    std::shared_ptr<MemoryLine> m_line;
    ChunkRecorder m_chunks;
    MessageRecorder m_messages;
    int m_owner = 0;
    CSerial m_port;  // last: closes before the recorders go
};

// The far side: `bytes` bytes in `writes` sends, then a pause.
struct FarStep {
    std::size_t bytes;
    std::size_t writes;
    std::chrono::milliseconds pauseAfter;
};

struct BurstCase {
    const char* name;
    std::vector<FarStep> steps;
    std::vector<std::size_t> chunkSizes;
};

class MemoryBurstTest : public MemoryPortTest, public ::testing::WithParamInterface<BurstCase> {};

TEST_P(MemoryBurstTest, FarSideOutputArrivesInTheDevicesChunks) {
    const BurstCase& c = GetParam();
    ASSERT_EQ(Open(), 1);
    std::size_t total = 0;
    for (const FarStep& step : c.steps) {
        total += step.bytes;
    }
    const std::vector<std::uint8_t> sent = Numbered(total, 7);
    std::size_t offset = 0;
    for (const FarStep& step : c.steps) {
        const std::size_t per = step.bytes / step.writes;
        for (std::size_t i = 0; i < step.writes; ++i) {
            const std::size_t n = i + 1 == step.writes ? step.bytes - per * i : per;
            Send({sent.begin() + static_cast<std::ptrdiff_t>(offset),
                  sent.begin() + static_cast<std::ptrdiff_t>(offset + n)});
            offset += n;
        }
        // The pause is the stimulus here, not a wait for a result.
        std::this_thread::sleep_for(step.pauseAfter);
    }
    ASSERT_TRUE(m_chunks.WaitForChunks(c.chunkSizes.size()));
    // A chunk too many would come within a burst's silence time.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(ChunkSizes(), c.chunkSizes);
    EXPECT_EQ(m_chunks.Bytes(), sent);
    for (const auto& chunk : m_chunks.Chunks()) {
        EXPECT_EQ(chunk.owner, &m_owner);
    }
    EXPECT_TRUE(m_messages.Messages().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Bursts, MemoryBurstTest,
    ::testing::Values(
        BurstCase{"PauseOf30msMidFrameSplitsIt", {{10, 1, 30ms}, {14, 1, 0ms}}, {10, 14}},
        BurstCase{"ByteByByteWithoutPauseIsOneBurst", {{100, 100, 0ms}}, {100}},
        BurstCase{"ThreeThousandBytesAtOnceAreCutAtReadSize", {{3000, 1, 0ms}}, {1024, 1024, 952}},
        BurstCase{"ExactlyReadSize", {{1024, 1, 0ms}}, {1024}},
        BurstCase{"OneMoreThanReadSize", {{1025, 1, 0ms}}, {1024, 1}},
        BurstCase{
            "ThreeFramesWithPauses", {{24, 1, 40ms}, {48, 2, 40ms}, {24, 3, 0ms}}, {24, 48, 24}}),
    CaseName());

// A stream that never falls silent for the burst's silence: held back until it ends, unless
// readSize bytes are in or the link asked for its bytes at once.
struct StreamCase {
    const char* name;
    bool prompt;
    std::size_t piece;  // bytes per send, a send every 2 ms
    std::size_t pieces;
    bool firstBeforeTheEnd;
    std::vector<std::size_t> chunkSizes;  // empty: as they come
};

class MemoryStreamTest : public MemoryPortTest, public ::testing::WithParamInterface<StreamCase> {};

TEST_P(MemoryStreamTest, FirstBytesComeBeforeTheStreamEndsOnlyWhenDue) {
    const StreamCase& c = GetParam();
    const bool prompt = c.prompt;
    m_port.SetPromptDelivery([prompt] { return prompt; });
    ASSERT_EQ(Open(), 1);
    const auto sent = Numbered(c.piece * c.pieces, 3);
    for (std::size_t i = 0; i < c.pieces; ++i) {
        const auto from = sent.begin() + static_cast<std::ptrdiff_t>(i * c.piece);
        Send({from, from + static_cast<std::ptrdiff_t>(c.piece)});
        std::this_thread::sleep_for(2ms);
    }
    const auto streamEnd = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_chunks.WaitForBytes(sent.size()));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(m_chunks.Bytes(), sent);
    EXPECT_EQ(m_chunks.Chunks().front().at < streamEnd, c.firstBeforeTheEnd);
    if (!c.chunkSizes.empty()) {
        EXPECT_EQ(ChunkSizes(), c.chunkSizes);
    } else {
        EXPECT_GT(m_chunks.Count(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Delivery, MemoryStreamTest,
    ::testing::Values(StreamCase{"TrickleIsOneBurst", false, 1, 40, false, {40}},
                      StreamCase{"TrickleComesPromptlyWhenAsked", true, 1, 40, true, {}},
                      StreamCase{
                          "StreamIsCutAtReadSize", false, 100, 40, true, {1024, 1024, 1024, 928}}),
    CaseName());

// The far side keeps sending while the callback is slow: nothing lost, nothing reordered, no
// chunk above readSize.
TEST_F(MemoryPortTest, SlowCallbackLosesNothing) {
    m_chunks.SetOnChunk(
        [](const std::uint8_t*, std::uint32_t) { std::this_thread::sleep_for(30ms); });
    ASSERT_EQ(Open(256), 1);
    const auto sent = Numbered(5000, 5);
    for (std::size_t i = 0; i < sent.size(); i += 500) {
        Send({sent.begin() + static_cast<std::ptrdiff_t>(i),
              sent.begin() + static_cast<std::ptrdiff_t>(i + 500)});
        std::this_thread::sleep_for(7ms);
    }
    ASSERT_TRUE(m_chunks.WaitForBytes(sent.size(), 20s));
    for (std::size_t size : ChunkSizes()) {
        EXPECT_GE(size, 1u);
        EXPECT_LE(size, 256u);
    }
    EXPECT_EQ(m_chunks.Bytes(), sent);
}

// Write returns once the line has the bytes: a command written just before the far side looks
// is there, also when the port closes right after it.
TEST_F(MemoryPortTest, WrittenBytesAreWithTheFarSideWhenWriteReturns) {
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(Open(), 1);
        const auto frame = Numbered(24, static_cast<std::uint8_t>(round));
        ASSERT_EQ(m_port.Write(frame.data(), static_cast<std::uint32_t>(frame.size())), 1);
        if (round % 2 == 1) {
            ASSERT_EQ(m_port.Close(), 1);
        }
        EXPECT_EQ(m_line->ReceiveFromTool(std::chrono::steady_clock::now()), frame)
            << "round " << round;
        m_port.Close();
    }
    EXPECT_EQ(g_echoSkipCount.load(), static_cast<std::uint16_t>(0xFFFF + 20 * 24));
}

// Frames "<writer:sequence:...>" from several threads while the callback echoes what the far
// side sends: every write arrives whole, each writer's in its own order, the echoes in theirs.
TEST_F(MemoryPortTest, WritesFromManyThreadsAndTheCallbackStayWholeAndOrdered) {
    m_chunks.SetOnChunk([this](const std::uint8_t* data, std::uint32_t count) {
        EXPECT_EQ(m_port.Write(data, count), 1);
    });
    ASSERT_EQ(Open(), 1);
    constexpr int kWriters = 4;
    constexpr int kFrames = 60;
    constexpr std::size_t kFrameLength = 31;
    const auto frame = [](int writer, int seq) {
        std::string f = "<" + std::to_string(writer) + ":" + std::to_string(seq) + ":";
        f.resize(kFrameLength - 1, static_cast<char>('A' + writer));
        return f + ">";
    };
    std::string lower;
    for (int i = 0; i < 3000; ++i) {
        lower += static_cast<char>('a' + i % 26);
    }
    const std::size_t total = kWriters * kFrames * kFrameLength + lower.size();

    std::vector<std::uint8_t> received;
    std::thread reader([&] { received = FarSideReceive(*m_line, total, 15s); });
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            for (int s = 0; s < kFrames; ++s) {
                const std::string f = frame(w, s);
                EXPECT_EQ(m_port.Write(reinterpret_cast<const std::uint8_t*>(f.data()),
                                       static_cast<std::uint32_t>(f.size())),
                          1);
            }
        });
    }
    for (std::size_t i = 0; i < lower.size(); i += 100) {
        Send(Ascii(std::string_view(lower).substr(i, 100)));
        std::this_thread::sleep_for(1ms);
    }
    for (auto& t : writers) {
        t.join();
    }
    reader.join();

    ASSERT_EQ(received.size(), total);
    const std::string stream(received.begin(), received.end());
    std::string echoes;
    std::map<int, int> next;
    for (std::size_t pos = 0; pos < stream.size();) {
        if (stream[pos] != '<') {
            echoes += stream[pos++];
            continue;
        }
        const int writer = stream[pos + 1] - '0';
        const std::size_t colon = stream.find(':', pos + 3);
        const int seq = std::stoi(stream.substr(pos + 3, colon - pos - 3));
        ASSERT_EQ(stream.substr(pos, kFrameLength), frame(writer, seq)) << "cut at " << pos;
        EXPECT_EQ(seq, next[writer]++);
        pos += kFrameLength;
    }
    for (int w = 0; w < kWriters; ++w) {
        EXPECT_EQ(next[w], kFrames);
    }
    EXPECT_EQ(echoes, lower);
}

// The far side keeps sending while the port closes and the callback is slow: Close returns with
// no callback running, none comes later, and the next open hears only what comes after it.
TEST_F(MemoryPortTest, CloseWhileTheFarSideSendsThenReopen) {
    std::atomic<bool> inCallback{false};
    m_chunks.SetOnChunk([&](const std::uint8_t*, std::uint32_t) {
        inCallback = true;
        std::this_thread::sleep_for(20ms);
        inCallback = false;
    });
    ASSERT_EQ(Open(), 1);
    std::atomic<bool> sending{true};
    std::thread sender([&] {
        while (sending) {
            Send(Ascii("x"));
            std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(m_chunks.WaitForChunks(3));
    EXPECT_EQ(m_port.Close(), 1);
    EXPECT_FALSE(inCallback.load());
    EXPECT_FALSE(m_line->IsToolOpen());
    const std::size_t atClose = m_chunks.Count();
    std::this_thread::sleep_for(100ms);
    sending = false;
    sender.join();
    EXPECT_EQ(m_chunks.Count(), atClose);

    m_chunks.SetOnChunk({});
    const std::size_t before = m_chunks.Bytes().size();
    ASSERT_EQ(Open(), 1);
    Send(Ascii("two"));
    ASSERT_TRUE(m_chunks.WaitForBytes(before + 3));
    std::this_thread::sleep_for(50ms);
    const auto bytes = m_chunks.Bytes();
    EXPECT_EQ(std::string(bytes.begin() + static_cast<std::ptrdiff_t>(before), bytes.end()), "two");
    const std::uint8_t reply[2] = {'o', 'k'};
    EXPECT_EQ(m_port.Write(reply, 2), 1);
    EXPECT_EQ(FarSideReceive(*m_line, 2), Ascii("ok"));
}

// The far side goes away (demo mode ends): receiving stops without a message, the port counts
// as open until Close, writes fail; a new line may then take the name.
TEST_F(MemoryPortTest, HungUpFarSideLeavesThePortOpenUntilClose) {
    ASSERT_EQ(Open(), 1);
    Send(Ascii("hi"));
    ASSERT_TRUE(m_chunks.WaitForBytes(2));
    m_line->HangUp();
    const std::uint8_t frame[4] = {1, 2, 3, 4};
    EXPECT_EQ(m_port.Write(frame, 4), 0);
    EXPECT_TRUE(m_port.IsOpen());
    EXPECT_EQ(m_port.Close(), 1);
    EXPECT_TRUE(m_messages.Messages().isEmpty());

    EXPECT_EQ(MemoryLine::Find(m_line->Name()), nullptr);
    const auto successor = MemoryLine::Create(m_line->Name());
    ASSERT_TRUE(successor);
    successor->HangUp();
}

// What a device refuses, the line refuses with the same message; the port stays closed.
struct RefusalCase {
    const char* name;
    std::uint32_t baud;
    std::uint8_t byteSize;
    std::uint8_t parity;
    std::uint32_t readSize;
    const char* text;
};

class MemoryRefusalTest : public MemoryPortTest,
                          public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(MemoryRefusalTest, ShowsOneMessageAndStaysClosed) {
    const RefusalCase& c = GetParam();
    EXPECT_EQ(
        m_port.Open(m_line->Name(), c.baud, c.byteSize, 0, c.parity, 0, 0, nullptr, c.readSize), 0);
    EXPECT_FALSE(m_port.IsOpen());
    EXPECT_FALSE(m_line->IsToolOpen());
    EXPECT_EQ(m_messages.Messages(), QStringList{Text(c.text)});
}

INSTANTIATE_TEST_SUITE_P(
    Settings, MemoryRefusalTest,
    ::testing::Values(RefusalCase{"RateNoDriverTakes", 1234, 8, 0, 1024, kSerialConfigFailedText},
                      RefusalCase{"NineDataBits", 9600, 9, 0, 1024, kSerialConfigFailedText},
                      RefusalCase{"UnknownParity", 9600, 8, 5, 1024, kSerialConfigFailedText},
                      RefusalCase{"NoReadSize", 9600, 8, 0, 0, kSerialConfigFailedText}),
    CaseName());

// One user at a time, as a device: a second port is told the line is busy, and gets it once the
// first has closed. A line whose far side is gone cannot be opened.
TEST_F(MemoryPortTest, SecondPortFindsTheLineBusyUntilTheFirstCloses) {
    ASSERT_EQ(Open(), 1);
    MessageRecorder otherMessages;
    CSerial other;
    other.SetMessageSink(&otherMessages);
    EXPECT_EQ(other.Open(m_line->Name(), 9600), 0);
    EXPECT_EQ(otherMessages.Messages(),
              QStringList{Text(kSerialOpenFailedText) + "\n" + Text(kSerialBusyReason)});

    ASSERT_EQ(m_port.Close(), 1);
    EXPECT_EQ(other.Open(m_line->Name(), 9600), 1);
    EXPECT_EQ(other.Close(), 1);

    const auto held = m_line;  // as a port's worker still holding a line whose far side left
    m_line->HangUp();
    EXPECT_EQ(other.Open(m_line->Name(), 9600), 0);
    EXPECT_FALSE(other.IsOpen());
}

// How a port path names a line: as typed, behind either platform's device folder, in any case.
struct NameCase {
    const char* name;
    QString path;
    bool found;
};

class MemoryLineNameTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(MemoryLineNameTest, PathFindsTheLineItNames) {
    const auto line = MemoryLine::Create(QStringLiteral("DEMO"));
    ASSERT_TRUE(line);
    EXPECT_EQ(MemoryLine::Find(GetParam().path), GetParam().found ? line : nullptr);
    EXPECT_EQ(MemoryLine::Create(QStringLiteral("demo")), nullptr) << "the name is taken";
    line->HangUp();
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MemoryLineNameTest,
    ::testing::Values(NameCase{"AsListed", QStringLiteral("DEMO"), true},
                      NameCase{"UnixDeviceFolder", QStringLiteral("/dev/DEMO"), true},
                      NameCase{"WindowsDeviceNamespace", QStringLiteral("\\\\.\\DEMO"), true},
                      NameCase{"OtherCase", QStringLiteral("demo"), true},
                      NameCase{"LongerName", QStringLiteral("DEMO1"), false},
                      NameCase{"OtherFolder", QStringLiteral("/tmp/DEMO"), false},
                      NameCase{"ADevice", QStringLiteral("\\\\.\\COM3"), false},
                      NameCase{"Empty", QString(), false}),
    CaseName());

}  // namespace
