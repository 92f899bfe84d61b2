// The open/close button's and the cable's sequences on a real pseudo-terminal, timed by a manual
// clock: what happens at each step, and what a failed open leaves behind.

#include <gtest/gtest.h>

#include <QObject>
#include <string>
#include <vector>

#include "core/commands/manual_clock.h"
#include "fake_port_source.h"
#include "link/cable_watcher.h"
#include "link/port_open_sequence.h"
#include "link_test_support.h"
#include "serial/serial_messages.h"

namespace {

using link_test::FakePortSource;
using link_test::LinkFixture;
using Request = PortOpenSequence::Request;

class PortOpenSequenceTest : public LinkFixture {
protected:
    PortOpenSequenceTest() {
        QObject::connect(&m_sequence, &PortOpenSequence::statusText,
                         [this](int id) { m_events.push_back("status " + std::to_string(id)); });
        QObject::connect(&m_sequence, &PortOpenSequence::transferAbandoned,
                         [this] { m_events.push_back("abandoned"); });
        QObject::connect(&m_sequence, &PortOpenSequence::downloadViewReset,
                         [this] { m_events.push_back("view reset"); });
        QObject::connect(
            &m_sequence, &PortOpenSequence::finished, [this](Request request, bool open) {
                m_events.push_back(std::string(request == Request::kOpen    ? "open"
                                               : request == Request::kClose ? "close"
                                                                            : "reopen") +
                                   (open ? " -> open" : " -> closed"));
            });
    }

    // A sender in the middle of a transfer, as the open sequence may find it.
    void LoadSender() {
        const std::vector<std::uint8_t> image(3000, 0x5A);
        ASSERT_EQ(m_link->StartDownload("old.bin", image, ModemDialect::kBootLoader),
                  ModemLoad::kOk);
    }

    ManualClock m_clock;
    PortOpenSequence m_sequence{*m_link, m_clock};
    std::vector<std::string> m_events;
};

TEST_F(PortOpenSequenceTest, OpenClosesWaitsNamesThenOpensAndResetsTheDownloadView) {
    const QString path = StartSim();
    ASSERT_TRUE(m_link->Open(path, 9600, false));
    LoadSender();

    ASSERT_TRUE(m_sequence.Open(path, "115200", false));
    EXPECT_TRUE(m_sequence.Running());
    EXPECT_FALSE(m_link->IsOpen()) << "an open port is closed first";
    EXPECT_EQ(m_events, std::vector<std::string>{"status 117"});
    EXPECT_FALSE(m_sequence.Open(path, "115200", false)) << "no input while it runs";

    m_clock.Advance(199);
    EXPECT_TRUE(m_sequence.PortName().isEmpty());
    m_clock.Advance(1);
    EXPECT_EQ(m_sequence.PortName(), path);
    EXPECT_FALSE(m_link->DownloadRunning());
    EXPECT_FALSE(m_link->IsOpen()) << "the second wait comes before the open";

    m_clock.Advance(200);
    EXPECT_TRUE(m_link->IsOpen());
    EXPECT_FALSE(m_sequence.Running());
    EXPECT_EQ(g_modem.GetImageSize(), 0u) << "the sender was prepared again";
    EXPECT_EQ(m_events,
              (std::vector<std::string>{"status 117", "abandoned", "view reset", "open -> open"}));
    EXPECT_TRUE(m_sink.m_messages.isEmpty());

    // The port works at the rate taken from the list text.
    m_link->Write(MakeSealedCommand(command_letters::kReadParameters));
    ASSERT_TRUE(Controller().WaitFor([&] { return Controller().Counters().parameterReads == 1; },
                                     std::chrono::seconds(3)));
}

struct FailureCase {
    const char* name;
    bool missingPort;
    const char* baudText;
    const char* message;
};

class PortOpenFailure : public PortOpenSequenceTest,
                        public testing::WithParamInterface<FailureCase> {};

TEST_P(PortOpenFailure, KeepsTheNameAbandonsTheTransferAndLeavesTheViewAlone) {
    const FailureCase& c = GetParam();
    const QString path = StartSim();
    const QString name = c.missingPort ? QString("/dev/tarvik-no-such-port") : path;
    LoadSender();

    ASSERT_TRUE(m_sequence.Open(name, c.baudText, false));
    m_clock.Advance(400);

    EXPECT_FALSE(m_link->IsOpen());
    EXPECT_FALSE(m_sequence.Running());
    EXPECT_EQ(m_sequence.PortName(), name) << "named before the open, also when it fails";
    EXPECT_FALSE(m_link->DownloadRunning()) << "step one runs whatever follows";
    EXPECT_EQ(g_modem.GetImageSize(), 3000u) << "the sender is not prepared again";
    EXPECT_EQ(m_events, (std::vector<std::string>{"status 117", "abandoned", "open -> closed"}));
    ASSERT_EQ(m_sink.m_messages.size(), 1);
    EXPECT_TRUE(m_sink.m_messages[0].startsWith(QString::fromUtf8(c.message)))
        << m_sink.m_messages[0].toStdString();
    if (c.missingPort) {
        EXPECT_TRUE(m_sink.m_messages[0].contains('\n')) << "with its reason line";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, PortOpenFailure,
    testing::Values(FailureCase{"MissingPort", true, "9600", kSerialOpenFailedText},
                    FailureCase{"EmptyBaudList", false, "", kSerialConfigFailedText},
                    FailureCase{"NonNumericBaud", false, "auto", kSerialConfigFailedText}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PortOpenSequenceTest, CloseWaitsAndLeavesTheStatusAlone) {
    const QString path = StartSim();
    ASSERT_TRUE(m_sequence.Open(path, "9600", false));
    m_clock.Advance(400);
    m_events.clear();

    ASSERT_TRUE(m_sequence.Close());
    EXPECT_FALSE(m_link->IsOpen());
    EXPECT_TRUE(m_sequence.Running());
    m_clock.Advance(200);
    EXPECT_FALSE(m_sequence.Running());
    EXPECT_EQ(m_events, std::vector<std::string>{"close -> closed"});
}

TEST_F(PortOpenSequenceTest, ReopenWithoutANameOpensNothingButResetsTheDownloadSide) {
    StartSim();
    LoadSender();

    ASSERT_TRUE(m_sequence.Reopen("9600", false));
    m_clock.Advance(200);

    EXPECT_FALSE(m_link->IsOpen());
    EXPECT_FALSE(m_link->DownloadRunning());
    EXPECT_EQ(g_modem.GetImageSize(), 0u);
    EXPECT_EQ(g_modem.State(), ModemState::kWaitStart);
    EXPECT_EQ(m_events, (std::vector<std::string>{"abandoned", "view reset", "reopen -> closed"}));
    EXPECT_TRUE(m_sink.m_messages.isEmpty());
}

// The cable watcher and the sequence as the window joins them: the return of the cable reopens
// the port the user last opened, also after the user closed it.
TEST_F(PortOpenSequenceTest, ReplugReopensTheLastOpenedPortAfterTheUserClosedIt) {
    const QString path = StartSim();
    ASSERT_TRUE(m_sequence.Open(path, "9600", false));
    m_clock.Advance(400);
    ASSERT_TRUE(m_sequence.Close());
    m_clock.Advance(200);
    ASSERT_FALSE(m_link->IsOpen());
    m_events.clear();

    FakePortSource source;
    source.SetSamples("AA AP", PortSource::Cable::kPresent);
    CableWatcher watcher(source, m_clock);
    QObject::connect(&watcher, &CableWatcher::cableReturned,
                     [this] { m_sequence.Reopen("9600", false); });
    watcher.Start();
    m_clock.Advance(501 + 500);
    EXPECT_FALSE(m_link->IsOpen()) << "after the 200 ms wait";
    m_clock.Advance(200);

    EXPECT_TRUE(m_link->IsOpen());
    EXPECT_EQ(m_events, (std::vector<std::string>{"abandoned", "view reset", "reopen -> open"}));
}

}  // namespace
