// The simulated controller through the tool's own receive path: CSerial on the pseudo-terminal,
// then ReceiveRouter, FrameParser and the dispatch, exactly as the window wires them.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "core/protocol/command_frame.h"
#include "core/protocol/controller_frame.h"
#include "core/protocol/frame_parser.h"
#include "core/protocol/link_flags.h"
#include "core/protocol/live_status.h"
#include "core/protocol/receive_router.h"
#include "e2e_support.h"
#include "serial/serial.h"
#include "sim/sim_server.h"

namespace {

using namespace e2e;
using Window = std::array<std::uint8_t, kControllerFrameMax>;

// The tool's side of the link: every received chunk is kept raw and routed as the window
// routes it; the frames the dispatch hands out are recorded.
class ToolLink : public ControllerFrameHandler {
public:
    ToolLink() : m_router(m_parser, *this) {
        m_serial.SetReceiveCallback([this](void*, const std::uint8_t* data, std::uint32_t count) {
            {
                std::lock_guard lock(m_mutex);
                m_raw.insert(m_raw.end(), data, data + count);
            }
            m_router.OnSerialReceive({data, count});
            // Taking the waiter's lock orders this chunk before its next check: no lost wake-up.
            { std::lock_guard wake(m_waitMutex); }
            m_changed.notify_all();
        });
    }
    ~ToolLink() override { m_serial.Close(); }

    bool Open(const QString& path) { return m_serial.Open(path, 9600) == 1; }
    bool Send(const CommandFrame& frame) {
        return m_serial.Write(frame.data(), static_cast<std::uint32_t>(frame.size())) == 1;
    }

    void OnStatusFrame(ControllerFrameView frame) override { Keep(m_status, frame); }
    void OnParameterFrame(ControllerFrameView frame) override { Keep(m_parameters, frame); }

    std::vector<Window> StatusFrames() const {
        std::lock_guard lock(m_mutex);
        return m_status;
    }
    std::vector<Window> ParameterFrames() const {
        std::lock_guard lock(m_mutex);
        return m_parameters;
    }
    Bytes Raw() const {
        std::lock_guard lock(m_mutex);
        return m_raw;
    }

    // Waits until `done` holds, re-checking whenever a chunk arrived.
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::unique_lock lock(m_waitMutex);
        while (!done()) {
            if (m_changed.wait_until(lock, deadline) == std::cv_status::timeout) {
                return done();
            }
        }
        return true;
    }

private:
    void Keep(std::vector<Window>& list, ControllerFrameView frame) {
        Window copy{};
        std::copy(frame.begin(), frame.end(), copy.begin());
        std::lock_guard lock(m_mutex);
        list.push_back(copy);
    }

    CSerial m_serial;
    FrameParser m_parser;
    ReceiveRouter m_router;
    mutable std::mutex m_mutex;
    std::vector<Window> m_status;
    std::vector<Window> m_parameters;
    Bytes m_raw;
    std::mutex m_waitMutex;
    std::condition_variable m_changed;
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
    ASSERT_TRUE(m_link->WaitFor([&] { return m_link->ParameterFrames().size() >= 7; }, 3s))
        << "parameter frames: " << m_link->ParameterFrames().size();

    const std::vector<Window> frames = m_link->ParameterFrames();
    ASSERT_EQ(frames.size(), 7u);
    const sim::SimParameterSet stored = server.Controller().Parameters();
    for (int block = 1; block <= 7; ++block) {
        SCOPED_TRACE("block " + std::to_string(block));
        const Window& f = frames[static_cast<std::size_t>(block - 1)];
        EXPECT_EQ(f[0], 0xC0);
        EXPECT_EQ(f[1], 20);
        EXPECT_EQ(f[3], 'R');
        EXPECT_EQ(f[4], block);
        const sim::Payload payload = stored.Block(block);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), f.begin() + 5));
        EXPECT_EQ(f[23], 0x0D);
    }
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
    ASSERT_TRUE(m_link->WaitFor([&] { return !m_link->StatusFrames().empty(); }, 3s));

    const Window f = m_link->StatusFrames().front();
    EXPECT_EQ(f[0], 0xC0);
    EXPECT_EQ(f[1], 20);
    EXPECT_EQ(f[3], c.letter3);
    EXPECT_EQ(f[4], c.letter4);
    const LiveStatus status = DecodeStatusFrame(ControllerFrameView(f));
    EXPECT_EQ(status.m_faultBits, 0x00800200u);
    EXPECT_EQ(status.m_stateCode, 6);
    EXPECT_EQ(g_frameCount.load(), 1u);
    EXPECT_EQ(g_frameErrorCount.load(), 0u);
    EXPECT_TRUE(m_link->ParameterFrames().empty());

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
