#pragma once
// A link that records what the tool writes, with the time, and a controller whose answers go
// through the real receive path (echo skip, parser, dispatch) so the flags are set as in the
// program.

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "core/commands/auto_production.h"
#include "core/commands/link.h"
#include "core/commands/manual_clock.h"
#include "core/protocol/controller_frame.h"
#include "core/protocol/frame_parser.h"
#include "core/protocol/link_flags.h"
#include "core/protocol/live_status.h"
#include "core/protocol/receive_router.h"

struct SentFrame {
    std::int64_t m_time;
    CommandFrame m_frame;
};

class IgnoreFrames : public ControllerFrameHandler {
public:
    void OnStatusFrame(ControllerFrameView) override {}
    void OnParameterFrame(ControllerFrameView) override {}
};

class FakeLink : public Link {
public:
    explicit FakeLink(ManualClock& clock) : m_clock(clock) {}

    void Write(const CommandFrame& frame) override {
        if (!m_open)
            return;
        m_sent.push_back({m_clock.Now(), frame});
        if (m_onWrite)
            m_onWrite(frame);
    }
    bool IsOpen() const override { return m_open; }
    bool DownloadRunning() const override { return m_downloading; }

    std::vector<std::int64_t> SentTimes() const {
        std::vector<std::int64_t> times;
        for (const SentFrame& s : m_sent)
            times.push_back(s.m_time);
        return times;
    }

    // The controller's side: called with every frame that goes out.
    std::function<void(const CommandFrame&)> m_onWrite;
    bool m_open = true;
    bool m_downloading = false;
    std::vector<SentFrame> m_sent;

private:
    ManualClock& m_clock;
};

// A controller frame with L = 20: 0xC0, 20, 0, two letters, payload bytes 5..21, XOR, 0x0D.
inline std::vector<std::uint8_t> ControllerReply(std::uint8_t a, std::uint8_t b,
                                                 std::uint8_t fill = 0) {
    std::vector<std::uint8_t> bytes(24, fill);
    bytes[0] = 0xC0;
    bytes[1] = 20;
    bytes[2] = 0;
    bytes[3] = a;
    bytes[4] = b;
    std::uint8_t x = 0;
    for (int i = 0; i < 22; ++i)
        x ^= bytes[i];
    bytes[22] = x;
    bytes[23] = 0x0D;
    return bytes;
}

// Feeds chunks to the program's parser through the receive routing.
class FakeController {
public:
    void Send(const std::vector<std::uint8_t>& bytes) { m_router.OnSerialReceive(bytes); }
    // The seven parameter blocks, as the controller answers "LDGET".
    void SendParameterBlocks() {
        for (std::uint8_t n = 1; n <= 7; ++n)
            Send(ControllerReply('R', n, n));
    }
    void SendWriteAck() { Send(ControllerReply('P', 'N')); }

private:
    IgnoreFrames m_frames;
    ReceiveRouter m_router{g_frameParser, m_frames};
};

inline bool HasLetters(const CommandFrame& frame, std::string_view letters) {
    for (std::size_t i = 0; i < letters.size(); ++i) {
        if (frame[3 + i] != static_cast<std::uint8_t>(letters[i]))
            return false;
    }
    return true;
}

inline bool IsSealed(const CommandFrame& frame) {
    std::uint8_t x = 0;
    for (int i = 0; i < 22; ++i)
        x ^= frame[i];
    return frame[0] == 0xC9 && frame[1] == 0x14 && frame[2] == 0x02 && frame[22] == x &&
           frame[23] == 0x0D;
}

// Every test starts from the program's start-up state.
class CommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetLinkFlags();
        ResetAutoModes();
        g_frameParser.Reset();
        g_liveStatus.Store(LiveStatus{});
    }

    ManualClock m_clock;
    FakeLink m_link{m_clock};
    FakeController m_controller;
};
