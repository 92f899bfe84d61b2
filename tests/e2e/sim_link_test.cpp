// The simulated controller through the tool's own receive path: the controller link that the
// window and the command line use, with CSerial on the pseudo-terminal, then ReceiveRouter,
// FrameParser and the dispatch.

#include <gtest/gtest.h>

#include <QTest>

#include <algorithm>
#include <array>
#include <functional>
#include <mutex>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "core/protocol/command_frame.h"
#include "core/protocol/controller_frame.h"
#include "core/protocol/link_flags.h"
#include "core/protocol/live_status.h"
#include "e2e_support.h"
#include "link/controller_link.h"
#include "serial/serial.h"
#include "sim/sim_server.h"

namespace {

using namespace e2e;

// The tool's side of the link: the program's controller link on a port of its own. Every
// received chunk is also kept raw; what the link decodes comes back as its signals.
class ToolLink {
public:
    ToolLink() : m_link(m_serial) {
        m_link.SetReceiveTap([this](std::span<const std::uint8_t> chunk) {
            std::lock_guard lock(m_mutex);
            m_raw.insert(m_raw.end(), chunk.begin(), chunk.end());
        });
        QObject::connect(&m_link, &ControllerLink::statusReceived, &m_link,
                         [this](const LiveStatus& status) { m_status.push_back(status); });
        QObject::connect(&m_link, &ControllerLink::parameterBlockReceived, &m_link,
                         [this](int number, const BlockBytes& bytes) {
                             m_parameters.push_back({number, bytes});
                         });
    }

    bool Open(const QString& path) { return m_link.Open(path, 9600, g_canEnabled.load() == 1); }
    bool Send(const CommandFrame& frame) { return m_link.WriteBytes(frame); }

    const std::vector<LiveStatus>& Statuses() const { return m_status; }
    const std::vector<std::pair<int, BlockBytes>>& ParameterBlocks() const { return m_parameters; }
    Bytes Raw() const {
        std::lock_guard lock(m_mutex);
        return m_raw;
    }

    // Runs the event loop until `done` holds.
    static bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
        return QTest::qWaitFor(done, static_cast<int>(timeout.count()));
    }

private:
    CSerial m_serial;
    ControllerLink m_link;
    mutable std::mutex m_mutex;
    Bytes m_raw;
    std::vector<LiveStatus> m_status;
    std::vector<std::pair<int, BlockBytes>> m_parameters;
};

// A link condition the tool must read through unchanged.
struct LinkCase {
    const char* name;
    bool canCable = false;    // the simulator echoes, the tool's "CAN enable" skips the echo
    int noiseBytes = 0;       // noise before every frame
    int midFramePauseMs = 0;  // longer than CSerial's burst gap, so frames arrive in two pieces
};

class SimLinkTest : public testing::Test {
protected:
    void SetUp() override { ResetLinkFlags(); }
    void TearDown() override {
        m_link.reset();
        m_server.reset();
        ResetLinkFlags();
    }

    sim::SimServer& StartServer(const sim::SimOptions& options) {
        m_server = std::make_unique<sim::SimServer>(options);
        const QString path = m_server->Start();
        EXPECT_FALSE(path.isEmpty()) << m_server->ErrorString().toStdString();
        m_link = std::make_unique<ToolLink>();
        EXPECT_TRUE(m_link->Open(path)) << path.toStdString();
        return *m_server;
    }

    std::unique_ptr<sim::SimServer> m_server;
    std::unique_ptr<ToolLink> m_link;
};

class SimLinkReadTest : public SimLinkTest, public testing::WithParamInterface<LinkCase> {};

TEST_P(SimLinkReadTest, LdgetBringsSevenValidParameterFramesInOrder) {
    const LinkCase& c = GetParam();
    sim::SimOptions options;
    options.controller.canEcho = c.canCable;
    options.controller.faults.noiseBytes = c.noiseBytes;
    options.controller.faults.midFramePause = std::chrono::milliseconds(c.midFramePauseMs);
    sim::SimServer& server = StartServer(options);
    if (c.canCable) {
        // As after the window's earlier traffic with "CAN enable" off, which zeroes the count.
        g_echoSkipCount = 0;
        g_canEnabled = 1;
    }

    ASSERT_TRUE(m_link->Send(MakeSealedCommand(command_letters::kReadParameters)));
    ASSERT_TRUE(m_link->WaitFor([&] { return m_link->ParameterBlocks().size() >= 7; }, 3s))
        << "parameter frames: " << m_link->ParameterBlocks().size();

    const auto& blocks = m_link->ParameterBlocks();
    ASSERT_EQ(blocks.size(), 7u);
    const sim::SimParameterSet stored = server.Controller().Parameters();
    for (int block = 1; block <= 7; ++block) {
        SCOPED_TRACE("block " + std::to_string(block));
        const auto& [number, bytes] = blocks[static_cast<std::size_t>(block - 1)];
        EXPECT_EQ(number, block);
        const sim::Payload payload = stored.Block(block);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), bytes.begin()));
    }
    // Seven 24-byte frames (length 20) behind their noise, after our own echo on the CAN cable.
    EXPECT_EQ(m_link->Raw().size(),
              (c.canCable ? 24u : 0u) + 7u * (24u + static_cast<std::size_t>(c.noiseBytes)));
    EXPECT_EQ(g_frameCount.load(), 7u);
    EXPECT_EQ(g_frameErrorCount.load(), 0u);
    EXPECT_EQ(g_paramFrameSeen.load(), 1);
    EXPECT_EQ(server.Controller().Counters().parameterReads, 1u);
    if (c.canCable) {
        // Exactly our own 24 bytes were dropped: nothing of the answer, nothing left over.
        EXPECT_EQ(g_echoSkipCount.load(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Links, SimLinkReadTest,
                         testing::Values(LinkCase{"Direct"}, LinkCase{"CanCableEcho", true},
                                         LinkCase{"NoiseBetweenFrames", false, 5},
                                         LinkCase{"PauseInsideFrames", false, 0, 40},
                                         LinkCase{"CanEchoAndSplitFrames", true, 0, 40}),
                         [](const auto& info) { return std::string(info.param.name); });

struct StatusCase {
    const char* name;
    sim::StatusKind kind;
    char letter3;
    char letter4;
    bool canCable;
};

class SimLinkStatusTest : public SimLinkTest, public testing::WithParamInterface<StatusCase> {};

TEST_P(SimLinkStatusTest, StatusRequestBringsOneStatusFrameWithTheControllersValues) {
    const StatusCase& c = GetParam();
    sim::SimOptions options;
    options.controller.statusKind = c.kind;
    options.controller.canEcho = c.canCable;
    sim::SimServer& server = StartServer(options);
    server.Controller().SetFaultBits(0x00800200);
    server.Controller().SetStateCode(6);
    if (c.canCable) {
        g_echoSkipCount = 0;
        g_canEnabled = 1;
    }

    CommandFrame request{};
    CopyFrameWithChecksum(g_showFrame, request);
    ASSERT_TRUE(m_link->Send(request));
    ASSERT_TRUE(m_link->WaitFor([&] { return !m_link->Statuses().empty(); }, 3s));

    // The one frame received is the last 24 bytes, after our own echo on the CAN cable.
    const Bytes raw = m_link->Raw();
    ASSERT_EQ(raw.size(), c.canCable ? 48u : 24u);
    std::array<std::uint8_t, kControllerFrameMax> f{};
    std::copy(raw.end() - 24, raw.end(), f.begin());
    EXPECT_EQ(f[0], 0xC0);
    EXPECT_EQ(f[1], 20);
    EXPECT_EQ(f[3], c.letter3);
    EXPECT_EQ(f[4], c.letter4);
    EXPECT_EQ(f[23], 0x0D);
    const LiveStatus status = m_link->Statuses().front();
    EXPECT_EQ(status, DecodeStatusFrame(ControllerFrameView(f)));
    EXPECT_EQ(status.m_faultBits, 0x00800200u);
    EXPECT_EQ(status.m_stateCode, 6);
    EXPECT_EQ(g_frameCount.load(), 1u);
    EXPECT_EQ(g_frameErrorCount.load(), 0u);
    EXPECT_TRUE(m_link->ParameterBlocks().empty());

    // The controller understood the request the tool built.
    const auto seen = server.Controller().LastStatusRequest();
    ASSERT_TRUE(seen.has_value());
    EXPECT_EQ(seen->nodeSelector, g_showFrame[5]);
    EXPECT_EQ(seen->bitRateSelector, g_showFrame[6]);
    EXPECT_EQ(server.Controller().Counters().statusRequests, 1u);
    EXPECT_EQ(server.Controller().Counters().framesRejected, 0u);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SimLinkStatusTest,
                         testing::Values(StatusCase{"YB", sim::StatusKind::YB, 'Y', 'B', false},
                                         StatusCase{"E1", sim::StatusKind::E1, 'E', '1', false},
                                         StatusCase{"E2", sim::StatusKind::E2, 'E', '2', false},
                                         StatusCase{"YBOverCanCable", sim::StatusKind::YB, 'Y', 'B',
                                                    true}),
                         [](const auto& info) { return std::string(info.param.name); });

class SimLinkBootTest : public SimLinkTest, public testing::WithParamInterface<const char*> {};

TEST_P(SimLinkBootTest, StartDownloadCommandMakesTheBootLoaderAskWithC) {
    const std::string letters = GetParam();
    sim::SimServer& server = StartServer({});

    ASSERT_TRUE(m_link->Send(MakeSealedCommand(letters)));
    ASSERT_TRUE(m_link->WaitFor([&] { return !m_link->Raw().empty(); }, 3s));

    // The boot loader's first word is its CRC request; nothing came before it.
    EXPECT_EQ(m_link->Raw().front(), 'C');
    EXPECT_EQ(server.Controller().GetMode(), sim::SimController::Mode::BootLoader);
    EXPECT_EQ(server.Controller().ReceivedCommands(), std::vector<std::string>{letters});
    EXPECT_EQ(g_frameErrorCount.load(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Commands, SimLinkBootTest, testing::Values("BLOOD", "BLOTD"),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
