#include "core/protocol/frame_parser.h"

#include <gtest/gtest.h>

#include "test_case_name.h"

#include "frame_test_support.h"

namespace {

struct StreamCase {
    const char* name;
    std::vector<Bytes> chunks;
    std::vector<std::string> dispatched;
    std::uint32_t frames;  // growth of g_frameCount
    std::uint32_t errors;  // growth of g_frameErrorCount
};

Bytes Filler(std::size_t n, std::uint8_t value = 0x11) {
    return Bytes(n, value);
}

Bytes WithByte(Bytes f, std::size_t pos, std::uint8_t value) {
    f[pos] = value;
    return f;
}

std::vector<Bytes> ByteByByte(const Bytes& b) {
    std::vector<Bytes> out;
    for (std::uint8_t x : b)
        out.push_back({x});
    return out;
}

const Bytes kStatus = ControllerFrame('Y', 'B', {0x01, 0xF4});
const Bytes kParam3 = ControllerFrame('R', 3, {1, 2, 3});

std::vector<StreamCase> StreamCases() {
    return {
        {"status frame", {kStatus}, {"YB"}, 1, 0},
        {"each status kind",
         {Concat({ControllerFrame('E', '1'), ControllerFrame('E', '2')})},
         {"E1", "E2"},
         2,
         0},
        {"frame split byte by byte", ByteByByte(kStatus), {"YB"}, 1, 0},
        {"frame split at the checksum",
         {Bytes(kStatus.begin(), kStatus.end() - 2), Bytes(kStatus.end() - 2, kStatus.end())},
         {"YB"},
         1,
         0},
        {"two frames in one chunk", {Concat({kStatus, kParam3})}, {"YB", "R3"}, 2, 0},
        {"noise before a frame", {Concat({Bytes{0x00, 0x55, 0x0D, 0xAA}, kStatus})}, {"YB"}, 1, 0},
        {"header followed by 0x00 starts nothing",
         {Concat({Bytes{0xC0, 0x00}, Bytes(kStatus.begin() + 1, kStatus.end())})},
         {},
         0,
         0},
        {"header at window position 47 is not seen",
         {Concat({Filler(47), Bytes(kStatus.begin(), kStatus.end())})},
         {},
         0,
         0},
        {"bad checksum", {WithByte(kStatus, 22, kStatus[22] ^ 0x01)}, {}, 0, 1},
        {"bad terminator", {WithByte(kStatus, 23, 0x0A)}, {}, 0, 1},
        {"valid frame with our own header vanishes",
         {ControllerFrame('S', 'H', {}, 0xC9)},
         {},
         0,
         0},
        {"damaged frame with our own header counts",
         {WithByte(ControllerFrame('S', 'H', {}, 0xC9), 22, 0)},
         {},
         0,
         1},
        {"length 0xFF takes the next byte as terminator", {Bytes{0xC0, 0xFF, 0x0D}}, {}, 0, 1},
        {"oversized length is dropped silently, then hunting resumes",
         {Concat({Bytes{0xC0, 45}, Filler(46), kStatus})},
         {"YB"},
         1,
         0},
        {"length 0xFE never completes",
         {Concat({Bytes{0xC0, 0xFE}, Filler(46), kStatus})},
         {"YB"},
         1,
         0},
        {"longest frame fits the window", {ControllerFrame('Y', 'B', {}, 0xC0, 44)}, {"YB"}, 1, 0},
        {"unknown letters are counted only", {ControllerFrame('Q', 'Q')}, {}, 1, 0},
        {"write acknowledgement", {ControllerFrame('P', 'N')}, {"PN"}, 1, 0},
        {"write acknowledgement with bad checksum",
         {WithByte(ControllerFrame('P', 'N'), 22, 0)},
         {},
         0,
         1},
        {"announcement", {ControllerFrame(0xFE, 0xEF, {0x55, 0xAA})}, {"ANN"}, 1, 0},
        {"announcement needs 0xAA at byte 6",
         {ControllerFrame(0xFE, 0xEF, {0x55, 0xAB})},
         {},
         1,
         0},
        {"a frame inside a frame's payload is not seen",
         // Inside a frame only its end is looked for, so a frame in the payload never surfaces.
         {WithByte(ControllerFrame('Q', 'Q', Bytes(ControllerFrame('P', 'N', {}, 0xC0, 8))), 22,
                   0x00)},
         {},
         0,
         1},
    };
}

class FrameStream : public ::testing::TestWithParam<StreamCase> {
protected:
    void SetUp() override {
        ResetReceiveSide();
        g_writeAcknowledged = 0;
    }
};

TEST_P(FrameStream, DispatchesAndCounts) {
    const StreamCase& c = GetParam();
    RecordingHandler handler;
    for (const Bytes& chunk : c.chunks)
        g_frameParser.Feed(chunk, handler);
    EXPECT_EQ(handler.seen, c.dispatched);
    EXPECT_EQ(g_frameCount.load(), c.frames);
    EXPECT_EQ(g_frameErrorCount.load(), c.errors);
    const bool acknowledged =
        std::find(c.dispatched.begin(), c.dispatched.end(), "PN") != c.dispatched.end();
    EXPECT_EQ(g_writeAcknowledged.load(), acknowledged ? 1 : 0);
    const bool announced =
        std::find(c.dispatched.begin(), c.dispatched.end(), "ANN") != c.dispatched.end();
    EXPECT_EQ(g_announceSeen.load(), announced ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Streams, FrameStream, ::testing::ValuesIn(StreamCases()), CaseName());

TEST(FrameParser, ParameterFrameRaisesTheFlagBeforeDecodingAndRefreshAfter) {
    ResetReceiveSide();
    RecordingHandler handler;
    g_frameParser.Feed(kParam3, handler);
    ASSERT_EQ(handler.seen, std::vector<std::string>{"R3"});
    EXPECT_EQ(handler.paramFlagDuringDecode, std::vector<int>{1});
    EXPECT_EQ(handler.refreshTicksDuringDecode, std::vector<int>{0});
    EXPECT_EQ(g_refreshTicks.load(), 8);
}

TEST(FrameParser, DecoderSeesTheWholeFrameAtWindowStart) {
    ResetReceiveSide();
    struct Capture : RecordingHandler {
        void OnStatusFrame(ControllerFrameView frame) override {
            window.assign(frame.begin(), frame.end());
        }
        Bytes window;
    } handler;
    g_frameParser.Feed(Concat({Filler(30), kStatus}), handler);
    ASSERT_EQ(handler.window.size(), kControllerFrameMax);
    EXPECT_TRUE(std::equal(kStatus.begin(), kStatus.end(), handler.window.begin()));
}

TEST(FrameParser, EveryByteZeroesTheIdleCount) {
    ResetReceiveSide();
    RecordingHandler handler;
    g_idleTicks = 7;
    g_frameParser.Feed(Bytes{0x42}, handler);
    EXPECT_EQ(g_idleTicks.load(), 0);
}

TEST(FrameParser, IdleRewindOnTheEleventhSilentTickKeepsTheFrameState) {
    ResetReceiveSide();
    RecordingHandler handler;
    g_frameParser.Feed(Bytes(kStatus.begin(), kStatus.begin() + 10), handler);
    ASSERT_EQ(g_frameParser.m_state, FrameParser::InFrame);
    for (int tick = 0; tick < 10; ++tick)
        g_frameParser.IdleTick();
    g_frameParser.Feed(Bytes{}, handler);  // an empty read is no byte
    EXPECT_EQ(g_frameParser.m_pos, 10);
    g_frameParser.IdleTick();
    EXPECT_EQ(g_idleTicks.load(), 0);

    // The next byte lands at position 0, in the frame state it had.
    g_frameParser.Feed(Bytes(kStatus.begin() + 10, kStatus.begin() + 11), handler);
    EXPECT_EQ(g_frameParser.m_window[0], kStatus[10]);
    EXPECT_EQ(g_frameParser.m_pos, 1);
    EXPECT_EQ(g_frameParser.m_state, FrameParser::InFrame);

    // The rest of the broken frame and the next one end as one counted error; hunting then
    // resumes and a later frame gets through.
    g_frameParser.Feed(Bytes(kStatus.begin() + 11, kStatus.end()), handler);
    g_frameParser.Feed(kStatus, handler);
    EXPECT_EQ(g_frameErrorCount.load(), 1u);
    EXPECT_TRUE(handler.seen.empty());
    g_frameParser.Feed(Concat({Filler(48), kStatus}), handler);
    EXPECT_EQ(handler.seen, std::vector<std::string>{"YB"});
}

}  // namespace
