// A device that vanishes while the port is open (an unplugged adapter): the port waits for Close
// without keeping the processor busy.

#include <gtest/gtest.h>

#include <thread>

#include "process_cpu_time.h"
#include "pty_peer.h"
#include "serial/serial.h"
#include "serial_test_support.h"

using namespace std::chrono_literals;

namespace {

TEST(SerialHangupTest, VanishedPeerLeavesTheReceiveThreadIdle) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    MessageRecorder messages;
    ChunkRecorder chunks;
    CSerial port;
    port.SetMessageSink(&messages);
    port.SetReceiveCallback(chunks.Callback());
    ASSERT_EQ(port.Open(peer.Path(), 9600), 1);
    peer.Send("hi");
    ASSERT_TRUE(chunks.WaitForBytes(2));

    peer.Hangup();
    // Time for the port to find out; then a receive thread that keeps retrying a read that fails
    // at once would use most of the next half second.
    std::this_thread::sleep_for(100ms);
    const auto before = ProcessCpuTime();
    std::this_thread::sleep_for(500ms);
    const auto used = ProcessCpuTime() - before;
    EXPECT_LT(used, 100ms) << "the process used " << used.count() << " us of processor time";

    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.Close(), 1);
    EXPECT_EQ(chunks.Bytes(), (std::vector<std::uint8_t>{'h', 'i'}));
    EXPECT_TRUE(messages.Messages().isEmpty());
}

}  // namespace
