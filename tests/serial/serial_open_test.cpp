// Opening: the line settings that reach the device, and the fixed message (with the system's
// reason under it) for each way opening can fail.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "core/protocol/link_flags.h"
#include "pty_peer.h"
#include "serial/serial.h"
#include "serial/serial_messages.h"
#include "serial_test_support.h"

using namespace std::chrono_literals;

namespace {

struct OpenFailureCase {
    const char* name;
    const char* path;  // null: the pseudo-terminal
    std::uint32_t baud;
    std::uint8_t byteSize;
    std::uint8_t stopBits;
    std::uint8_t parity;
    std::uint32_t readSize;
    const char* message;
    const char* reason;  // expected second line; null: no second line
};

class OpenFailureTest : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(OpenFailureTest, ShowsOneMessageAndStaysClosed) {
    const OpenFailureCase& c = GetParam();
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    MessageRecorder messages;
    ChunkRecorder chunks;
    CSerial port;
    port.SetMessageSink(&messages);
    port.SetReceiveCallback(chunks.Callback());
    const QString path = c.path != nullptr ? QString::fromUtf8(c.path) : peer.Path();

    EXPECT_EQ(port.Open(path, c.baud, c.byteSize, c.stopBits, c.parity, 0, 0, nullptr, c.readSize),
              0);
    EXPECT_FALSE(port.IsOpen());
    const QStringList shown = messages.Messages();
    ASSERT_EQ(shown.size(), 1);
    const QStringList lines = shown.front().split(QLatin1Char('\n'));
    EXPECT_EQ(lines.front(), Text(c.message));
    if (c.reason != nullptr) {
        ASSERT_EQ(lines.size(), 2) << shown.front().toStdString();
        EXPECT_EQ(lines[1], Text(c.reason));
    } else {
        EXPECT_EQ(lines.size(), 1) << shown.front().toStdString();
    }
    EXPECT_EQ(port.Close(), 0);

    // Nothing of the failed attempt stays behind: the same object opens the terminal now.
    ASSERT_EQ(port.Open(peer.Path(), 9600), 1);
    peer.Send("ok");
    EXPECT_TRUE(chunks.WaitForBytes(2));
    EXPECT_EQ(messages.Messages().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, OpenFailureTest,
    ::testing::Values(OpenFailureCase{"MissingDevice", "/dev/tarvik-no-such-port", 9600, 8, 0, 0,
                                      1024, kSerialOpenFailedText, "No such file or directory"},
                      OpenFailureCase{"NotASerialDevice", "/dev/null", 9600, 8, 0, 0, 1024,
                                      kSerialOpenFailedText, "Inappropriate ioctl for device"},
                      OpenFailureCase{"MissingDeviceWithBadSettingsFailsAtOpen",
                                      "/dev/tarvik-no-such-port", 0, 9, 7, 9, 0,
                                      kSerialOpenFailedText, "No such file or directory"},
                      OpenFailureCase{"BaudRateZero", nullptr, 0, 8, 0, 0, 1024,
                                      kSerialConfigFailedText, nullptr},
                      OpenFailureCase{"NineDataBits", nullptr, 9600, 9, 0, 0, 1024,
                                      kSerialConfigFailedText, nullptr},
                      OpenFailureCase{"FourDataBits", nullptr, 9600, 4, 0, 0, 1024,
                                      kSerialConfigFailedText, nullptr},
                      OpenFailureCase{"UnknownStopBits", nullptr, 9600, 8, 3, 0, 1024,
                                      kSerialConfigFailedText, nullptr},
                      OpenFailureCase{"UnknownParity", nullptr, 9600, 8, 0, 5, 1024,
                                      kSerialConfigFailedText, nullptr},
                      OpenFailureCase{"ReadSizeZero", nullptr, 9600, 8, 0, 0, 0,
                                      kSerialConfigFailedText, nullptr},
                      OpenFailureCase{"ReadSizeAboveTheQueue", nullptr, 9600, 8, 0, 0, 0x28001,
                                      kSerialConfigFailedText, nullptr}),
    [](const ::testing::TestParamInfo<OpenFailureCase>& info) { return info.param.name; });

// A port held by someone else is busy, not forbidden: no advice about groups.
TEST(SerialOpenTest, BusyPortSaysBusy) {
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    ChunkRecorder chunks;
    CSerial holder;
    holder.SetReceiveCallback(chunks.Callback());
    ASSERT_EQ(holder.Open(peer.Path(), 9600), 1);

    MessageRecorder messages;
    CSerial second;
    second.SetMessageSink(&messages);
    EXPECT_EQ(second.Open(peer.Path(), 9600), 0);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(messages.Messages(),
              QStringList{Text(kSerialOpenFailedText) + "\n" + Text(kSerialBusyReason)});

    // The holder is not disturbed.
    peer.Send("still here");
    EXPECT_TRUE(chunks.WaitForBytes(10));
}

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

TEST(SerialOpenTest, WithoutSinkTheMessageGoesToStderr) {
    CSerial port;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(port.Open("/dev/tarvik-no-such-port", 9600), 0);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find(kSerialOpenFailedText), std::string::npos) << err;
}

// A pseudo-terminal insists on 8 data bits without a parity bit (and refuses even parity), but
// keeps the stop bits, the kind of parity, the rate and the flow control as set.
struct LineCase {
    std::uint32_t baud;
    std::uint8_t byteSize;
    std::uint8_t stopBits;
    std::uint8_t parity;
    bool twoStopBits;
    tcflag_t parityKind;  // of PARODD | CMSPAR
    std::optional<speed_t> speed;
};

class LineSettingsTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineSettingsTest, DeviceGetsTheRequestedLine) {
    const LineCase& c = GetParam();
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    CSerial port;
    ASSERT_EQ(port.Open(peer.Path(), c.baud, c.byteSize, c.stopBits, c.parity), 1);
    const termios t = peer.PortSettings();
    EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStopBits);
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), c.parityKind);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO), 0u);
    if (c.speed) {
        EXPECT_EQ(cfgetospeed(&t), *c.speed);
        EXPECT_EQ(cfgetispeed(&t), *c.speed);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, LineSettingsTest,
                         ::testing::Values(LineCase{9600, 8, 0, 0, false, 0, B9600},
                                           LineCase{19200, 8, 0, 0, false, 0, B19200},
                                           LineCase{115200, 8, 2, 0, true, 0, B115200},
                                           LineCase{9600, 8, 0, 1, false, PARODD, B9600},
                                           LineCase{9600, 8, 2, 3, true, PARODD | CMSPAR, B9600},
                                           LineCase{9600, 8, 0, 4, false, CMSPAR, B9600},
                                           LineCase{256000, 8, 0, 0, false, 0, std::nullopt}));

// Opening an open port closes it first: the old device is free and silent afterwards.
TEST(SerialOpenTest, OpenWhileOpenMovesToTheNewPort) {
    PtyPeer first;
    PtyPeer second;
    ASSERT_TRUE(first.Ok() && second.Ok());
    ChunkRecorder chunks;
    CSerial port;
    port.SetReceiveCallback(chunks.Callback());
    ASSERT_EQ(port.Open(first.Path(), 9600), 1);
    ASSERT_EQ(port.Open(second.Path(), 9600), 1);

    CSerial other;
    EXPECT_EQ(other.Open(first.Path(), 9600), 1) << "the first device is still held";
    first.Send("old");
    second.Send("new");
    ASSERT_TRUE(chunks.WaitForBytes(3));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(chunks.Bytes(), (std::vector<std::uint8_t>{'n', 'e', 'w'}));
}

}  // namespace
