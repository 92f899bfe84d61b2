// Closing: its result, waiting for the receive thread, reopening, and a device that vanishes.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/protocol/link_flags.h"
#include "pty_peer.h"
#include "serial/serial.h"
#include "serial_test_support.h"

using namespace std::chrono_literals;

namespace {

TEST(SerialCloseTest, SecondCloseReturnsZero) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    CSerial port;
    EXPECT_EQ(port.Close(), 0);
    ASSERT_EQ(port.Open(peer.Path(), 9600), 1);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Close(), 1);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Close(), 0);
}

// The peer keeps sending while the port closes, and the callback is slow: when Close returns
// no callback is running and none comes later.
TEST(SerialCloseTest, NoCallbackAfterClose) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    ChunkRecorder chunks;
    std::atomic<bool> inCallback{false};
    chunks.SetOnChunk([&](const std::uint8_t*, std::uint32_t) {
        inCallback = true;
        std::this_thread::sleep_for(20ms);
        inCallback = false;
    });
    CSerial port;
    port.SetReceiveCallback(chunks.Callback());
    ASSERT_EQ(port.Open(peer.Path(), 9600), 1);

    std::atomic<bool> sending{true};
    // Short pauses end the bursts, so callbacks keep coming while the bytes do.
    std::thread sender([&] {
        for (int i = 1; sending; ++i) {
            peer.Send("x");
            std::this_thread::sleep_for(i % 10 == 0 ? 25ms : 1ms);
        }
    });
    ASSERT_TRUE(chunks.WaitForChunks(3));
    EXPECT_EQ(port.Close(), 1);
    EXPECT_FALSE(inCallback.load());
    const std::size_t atClose = chunks.Count();
    std::this_thread::sleep_for(100ms);
    sending = false;
    sender.join();
    EXPECT_EQ(chunks.Count(), atClose);
}

// A one-shot command is written and the port closed at once (the command line does exactly
// that): the bytes the write accepted must still reach the peer. Whether a close that discards
// the transmit side catches them in flight is a race, so the test gives it many chances.
TEST(SerialCloseTest, CloseRightAfterAWriteKeepsTheWrittenBytes) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    std::vector<std::uint8_t> frame(24);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint8_t>(0xA0 + i);
    for (int round = 0; round < 100; ++round) {
        CSerial port;
        ASSERT_EQ(port.Open(peer.Path(), 9600), 1);
        ASSERT_EQ(port.Write(frame.data(), static_cast<std::uint32_t>(frame.size())), 1);
        ASSERT_EQ(port.Close(), 1);
        ASSERT_EQ(peer.Receive(frame.size(), 1000ms), frame) << "round " << round;
    }
}

TEST(SerialCloseTest, ReopenReceivesOnlyNewBytes) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    ChunkRecorder chunks;
    CSerial port;
    port.SetReceiveCallback(chunks.Callback());
    ASSERT_EQ(port.Open(peer.Path(), 9600), 1);
    peer.Send("one");
    ASSERT_TRUE(chunks.WaitForBytes(3));
    ASSERT_EQ(port.Close(), 1);

    ASSERT_EQ(port.Open(peer.Path(), 115200), 1);
    peer.Send("two");
    ASSERT_TRUE(chunks.WaitForBytes(6));
    std::this_thread::sleep_for(50ms);
    const auto bytes = chunks.Bytes();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "onetwo");
    const std::uint8_t reply[2] = {'o', 'k'};
    EXPECT_EQ(port.Write(reply, 2), 1);
    EXPECT_EQ(peer.Receive(2, 2s), (std::vector<std::uint8_t>{'o', 'k'}));
}

// An unplugged adapter: receiving stops without a message, the port still counts as open until
// Close, and writes fail.
TEST(SerialCloseTest, VanishedPeerLeavesThePortOpenUntilClose) {
    ResetLinkFlags();
    auto peer = std::make_unique<PtyPeer>();
    ASSERT_TRUE(peer->Ok());
    MessageRecorder messages;
    ChunkRecorder chunks;
    CSerial port;
    port.SetMessageSink(&messages);
    port.SetReceiveCallback(chunks.Callback());
    ASSERT_EQ(port.Open(peer->Path(), 9600), 1);
    peer->Send("hi");
    ASSERT_TRUE(chunks.WaitForBytes(2));

    peer->Hangup();
    const std::uint8_t frame[4] = {1, 2, 3, 4};
    EXPECT_EQ(port.Write(frame, 4), 0);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Write(frame, 4), 0);
    EXPECT_EQ(g_echoSkipCount.load(), static_cast<std::uint16_t>(0xFFFF + 8));
    EXPECT_EQ(port.Close(), 1);
    EXPECT_EQ(port.Close(), 0);
    EXPECT_TRUE(messages.Messages().isEmpty());
}

TEST(SerialCloseTest, DestructorReleasesTheDevice) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    ChunkRecorder chunks;
    {
        CSerial port;
        port.SetReceiveCallback(chunks.Callback());
        ASSERT_EQ(port.Open(peer.Path(), 9600), 1);
    }
    CSerial next;
    EXPECT_EQ(next.Open(peer.Path(), 9600), 1);
    peer.Send("z");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(chunks.Count(), 0u);
}

// A callback that closes its own port: no further callback, and the port opens again later.
TEST(SerialCloseTest, CloseFromTheCallbackStopsReceiving) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    ChunkRecorder chunks;
    CSerial port;
    std::atomic<int> closeResult{-1};
    chunks.SetOnChunk([&](const std::uint8_t*, std::uint32_t) {
        if (closeResult == -1) {
            closeResult = port.Close();
        }
    });
    port.SetReceiveCallback(chunks.Callback());
    ASSERT_EQ(port.Open(peer.Path(), 9600), 1);
    peer.Send("a");
    ASSERT_TRUE(chunks.WaitForChunks(1));
    std::this_thread::sleep_for(30ms);
    peer.Send("b");
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(closeResult.load(), 1);
    EXPECT_EQ(chunks.Count(), 1u);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.Close(), 0);

    ASSERT_EQ(port.Open(peer.Path(), 9600), 1);
    peer.Send("c");
    ASSERT_TRUE(chunks.WaitForChunks(2));
}

}  // namespace
