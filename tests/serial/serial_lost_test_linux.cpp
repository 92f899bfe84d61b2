// A device that vanishes while the port is open is told as lost, whatever its name does next: a
// pseudo-terminal's number (like an adapter's name) may be given to another device at once, so
// the name's presence cannot tell.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "pty_peer.h"
#include "serial/serial.h"
#include "serial_test_support.h"

using namespace std::chrono_literals;

namespace {

bool WaitUntilLost(const CSerial& port) {
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (!port.DeviceLost() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(10ms);
    return port.DeviceLost();
}

TEST(SerialLostTest, AVanishedDeviceIsLostUntilThePortIsOpenedAgain) {
    MessageRecorder messages;
    CSerial port;
    port.SetMessageSink(&messages);
    EXPECT_FALSE(port.DeviceLost());  // never opened

    PtyPeer first;
    ASSERT_TRUE(first.Ok());
    ASSERT_EQ(port.Open(first.Path(), 9600), 1);
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(port.DeviceLost());

    first.Hangup();
    // The same name back at once, as another device, must not hide the loss.
    PtyPeer second;
    ASSERT_TRUE(second.Ok());
    EXPECT_TRUE(WaitUntilLost(port));
    EXPECT_TRUE(port.IsOpen());

    EXPECT_EQ(port.Close(), 1);
    EXPECT_FALSE(port.DeviceLost());
    ASSERT_EQ(port.Open(second.Path(), 9600), 1);
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(port.DeviceLost());
    EXPECT_EQ(port.Close(), 1);
    EXPECT_TRUE(messages.Messages().isEmpty());
}

}  // namespace
