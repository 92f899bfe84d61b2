// Opening: the line settings that reach the device, and the fixed message (with the system's
// reason under it) for each way opening can fail.

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "core/protocol/link_flags.h"
#include "pty_peer.h"
#include "serial/serial.h"
#include "serial/serial_messages.h"
#include "serial_test_support.h"
#include "test_ports.h"

using namespace std::chrono_literals;

namespace {

// The port a case opens: the pseudo-terminal, or one of the platform's unopenable ones (whose
// message and reason are the platform's).
enum class Target { Pty, Missing, NotSerial };

struct OpenFailureCase {
    const char* name;
    Target target;
    std::uint32_t baud;
    std::uint8_t byteSize;
    std::uint8_t stopBits;
    std::uint8_t parity;
    std::uint32_t readSize;
    const char* message;  // for the pseudo-terminal
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
    UnopenablePort expected{peer.Path(), c.message, {}};
    if (c.target == Target::Missing) {
        expected = MissingPort();
    } else if (c.target == Target::NotSerial) {
        expected = NotASerialPort();
    }
    const QString& path = expected.path;

    EXPECT_EQ(port.Open(path, c.baud, c.byteSize, c.stopBits, c.parity, 0, 0, nullptr, c.readSize),
              0);
    EXPECT_FALSE(port.IsOpen());
    const QStringList shown = messages.Messages();
    ASSERT_EQ(shown.size(), 1);
    const QStringList lines = shown.front().split(QLatin1Char('\n'));
    EXPECT_EQ(lines.front(), Text(expected.message));
    if (!expected.reason.isEmpty()) {
        ASSERT_EQ(lines.size(), 2) << shown.front().toStdString();
        EXPECT_EQ(lines[1], expected.reason);
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
    ::testing::Values(
        OpenFailureCase{"MissingDevice", Target::Missing, 9600, 8, 0, 0, 1024, nullptr},
        OpenFailureCase{"NotASerialDevice", Target::NotSerial, 9600, 8, 0, 0, 1024, nullptr},
        OpenFailureCase{"MissingDeviceWithBadSettingsFailsAtOpen", Target::Missing, 0, 9, 7, 9, 0,
                        nullptr},
        OpenFailureCase{"BaudRateZero", Target::Pty, 0, 8, 0, 0, 1024, kSerialConfigFailedText},
        OpenFailureCase{"NineDataBits", Target::Pty, 9600, 9, 0, 0, 1024, kSerialConfigFailedText},
        OpenFailureCase{"FourDataBits", Target::Pty, 9600, 4, 0, 0, 1024, kSerialConfigFailedText},
        OpenFailureCase{"UnknownStopBits", Target::Pty, 9600, 8, 3, 0, 1024,
                        kSerialConfigFailedText},
        OpenFailureCase{"UnknownParity", Target::Pty, 9600, 8, 0, 5, 1024, kSerialConfigFailedText},
        OpenFailureCase{"ReadSizeZero", Target::Pty, 9600, 8, 0, 0, 0, kSerialConfigFailedText},
        OpenFailureCase{"ReadSizeAboveTheQueue", Target::Pty, 9600, 8, 0, 0, 0x28001,
                        kSerialConfigFailedText}),
    [](const ::testing::TestParamInfo<OpenFailureCase>& info) { return info.param.name; });

// A port held by someone else is busy, not forbidden: no advice about groups.
TEST(SerialOpenTest, BusyPortSaysBusy) {
    if (const QString why = WhyABusyPortCannotBeShown(); !why.isEmpty()) {
        GTEST_SKIP() << why.toStdString();
    }
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

TEST(SerialOpenTest, WithoutSinkTheMessageGoesToStderr) {
    CSerial port;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(port.Open(MissingPort().path, 9600), 0);
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
    bool oddParity;    // odd or mark
    bool stickParity;  // mark or space
    std::optional<std::uint32_t> speed;
};

class LineSettingsTest : public ::testing::TestWithParam<LineCase> {};

TEST_P(LineSettingsTest, DeviceGetsTheRequestedLine) {
    const LineCase& c = GetParam();
    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    CSerial port;
    ASSERT_EQ(port.Open(peer.Path(), c.baud, c.byteSize, c.stopBits, c.parity), 1);
    const PortLine line = peer.PortSettings();
    EXPECT_EQ(line.twoStopBits, c.twoStopBits);
    EXPECT_EQ(line.oddParity, c.oddParity);
    EXPECT_EQ(line.stickParity, c.stickParity);
    EXPECT_FALSE(line.rtsCtsFlow);
    EXPECT_FALSE(line.xonXoffFlow);
    EXPECT_FALSE(line.canonical);
    EXPECT_FALSE(line.echo);
    if (c.speed) {
        EXPECT_EQ(line.outputBaud, *c.speed);
        EXPECT_EQ(line.inputBaud, *c.speed);
    }
}

INSTANTIATE_TEST_SUITE_P(Lines, LineSettingsTest,
                         ::testing::Values(LineCase{9600, 8, 0, 0, false, false, false, 9600},
                                           LineCase{19200, 8, 0, 0, false, false, false, 19200},
                                           LineCase{115200, 8, 2, 0, true, false, false, 115200},
                                           LineCase{9600, 8, 0, 1, false, true, false, 9600},
                                           LineCase{9600, 8, 2, 3, true, true, true, 9600},
                                           LineCase{9600, 8, 0, 4, false, false, true, 9600},
                                           LineCase{256000, 8, 0, 0, false, false, false,
                                                    std::nullopt}));

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
