// Opening on Linux: a device the user may not open explains how to get access.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "pty_peer.h"
#include "serial/serial.h"
#include "serial/serial_messages.h"
#include "serial_test_support.h"

namespace {

TEST(SerialOpenTest, ForbiddenPortExplainsTheGroup) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root may open any device";
    }
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    const QByteArray path = peer.Path().toLocal8Bit();
    ASSERT_EQ(::chmod(path.constData(), 0), 0);
    MessageRecorder messages;
    CSerial port;
    port.SetMessageSink(&messages);
    EXPECT_EQ(port.Open(peer.Path(), 9600), 0);
    const QStringList shown = messages.Messages();
    ASSERT_EQ(shown.size(), 1);
    const QStringList lines = shown.front().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], Text(kSerialOpenFailedText));
    EXPECT_EQ(lines[1], "Permission denied");
    EXPECT_TRUE(lines[2].contains("dialout"));
}

}  // namespace
