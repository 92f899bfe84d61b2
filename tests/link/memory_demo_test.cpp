// Demo mode without a pseudo-terminal: the simulated controller behind the in-memory line, reached
// by its port name through the program's own CSerial and controller link, does everything it does
// on a terminal — the parameter block, an acknowledged write, status with remote control, the
// announcement, a whole firmware image, and a clean stop.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <random>
#include <vector>

#include "core/protocol/command_frame.h"
#include "core/protocol/controller_frame.h"
#include "core/protocol/status_request.h"
#include "link/port_source.h"
#include "link_test_support.h"
#include "serial/memory_line.h"
#include "tarvik/memory_demo_port.h"
#include "test_case_name.h"

namespace {

using namespace std::chrono_literals;
using link_test::LinkFixture;

class MemoryDemoTest : public LinkFixture {
protected:
    void SetUp() override {
        m_demo = std::make_unique<MemoryDemoPort>();
        m_name = m_demo->Start();
        ASSERT_EQ(m_name, QString::fromLatin1(MemoryDemoPort::kDefaultName))
            << m_demo->ErrorString().toStdString();
    }
    void TearDown() override {
        m_link->Close();
        m_demo.reset();
    }

    // As the port row opens it: the listed name through the platform's device folder.
    bool Open(std::uint32_t baud = 9600) {
        return m_link->Open(PortPathForName(m_name), baud, false);
    }
    sim::SimController& Sim() { return m_demo->Controller(); }

    std::unique_ptr<MemoryDemoPort> m_demo;
    QString m_name;
};

TEST_F(MemoryDemoTest, ParameterBlockComesBlockByBlockAsTheControllerHasIt) {
    ASSERT_TRUE(Open());
    std::vector<std::pair<int, BlockBytes>> blocks;
    QObject::connect(m_link.get(), &ControllerLink::parameterBlockReceived, m_link.get(),
                     [&](int number, const BlockBytes& bytes) {
                         blocks.push_back({number, bytes});
                     });
    m_link->Write(MakeSealedCommand(command_letters::kReadParameters));
    ASSERT_TRUE(QTest::qWaitFor([&] { return blocks.size() >= 7; }, 3000));
    const sim::SimParameterSet stored = Sim().Parameters();
    for (int block = 1; block <= 7; ++block) {
        SCOPED_TRACE("block " + std::to_string(block));
        const auto& [number, bytes] = blocks[static_cast<std::size_t>(block - 1)];
        EXPECT_EQ(number, block);
        const sim::Payload payload = stored.Block(block);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), bytes.begin()));
    }
    EXPECT_EQ(g_frameErrorCount.load(), 0u);
}

TEST_F(MemoryDemoTest, WrittenSetIsAcknowledgedAndStored) {
    ASSERT_TRUE(Open());
    QSignalSpy acknowledged(m_link.get(), &ControllerLink::writeAcknowledged);
    g_writeAcknowledged = 0;
    sim::SimParameterSet changed = Sim().Parameters();
    changed.SetByte(2, 7, static_cast<std::uint8_t>(changed.Byte(2, 7) ^ 0x15));
    for (int block = 1; block <= 7; ++block) {
        CommandFrame frame = MakeParamWriteFrame(block);
        const sim::Payload payload = changed.Block(block);
        std::copy(payload.begin(), payload.end(), frame.begin() + 5);
        SetFrameChecksum(frame);
        m_link->Write(frame);
    }
    ASSERT_TRUE(acknowledged.wait(3000));
    EXPECT_EQ(g_writeAcknowledged.load(), 1);
    EXPECT_EQ(Sim().Counters().writesStored, 1u);
    EXPECT_EQ(Sim().Parameters().Byte(2, 7), changed.Byte(2, 7));
}

// The status poll as the window's tick sends it, with remote control driving the controller:
// every request is answered, and the controller saw the tool's throttle.
TEST_F(MemoryDemoTest, StatusPollsAreAnsweredOneByOne) {
    ASSERT_TRUE(Open());
    Sim().SetFaultBits(0x00800200);
    std::vector<LiveStatus> statuses;
    QObject::connect(m_link.get(), &ControllerLink::statusReceived, m_link.get(),
                     [&](const LiveStatus& status) { statuses.push_back(status); });
    RemoteControlState remote;
    remote.m_remoteOn = 1;
    remote.m_throttle = ThrottleFromPosition(300);
    for (std::size_t poll = 1; poll <= 5; ++poll) {
        CommandFrame request{};
        CopyFrameWithChecksum(g_showFrame, request);
        FillRemoteControlBytes(request, remote);
        SetFrameChecksum(request);
        m_link->Write(request);
        ASSERT_TRUE(QTest::qWaitFor([&] { return statuses.size() == poll; }, 3000))
            << "poll " << poll;
    }
    EXPECT_EQ(statuses.back().m_faultBits, 0x00800200u);
    EXPECT_EQ(Sim().Counters().statusRequests, 5u);
    const auto seen = Sim().LastStatusRequest();
    ASSERT_TRUE(seen.has_value());
    EXPECT_TRUE(seen->remoteOn);
    EXPECT_GT(seen->throttle, 0);
    EXPECT_GT(Sim().Rpm(), 0);
}

// Output the controller makes by itself, away from any request: switched on by the program (a
// production station's next controller), it announces itself after its power-up delay.
TEST_F(MemoryDemoTest, SwitchedOnControllerAnnouncesItself) {
    ASSERT_TRUE(Open());
    QSignalSpy announced(m_link.get(), &ControllerLink::announced);
    Sim().PowerUp();
    ASSERT_TRUE(announced.wait(3000));
    EXPECT_EQ(g_announceSeen.load(), 1);
}

struct DownloadCase {
    const char* name;
    bool fast;
};

class MemoryDemoDownloadTest : public MemoryDemoTest,
                               public testing::WithParamInterface<DownloadCase> {};

// The largest image, with the bursts as they are and with the boot loader's bytes handed over
// as they come: every byte arrives, in order, under the name it was sent with.
TEST_P(MemoryDemoDownloadTest, LargestImageReachesTheBootLoaderIntact) {
    m_link->SetFastDownload(GetParam().fast);
    ASSERT_TRUE(Open(115200));
    m_link->Write(MakeSealedCommand(command_letters::kStartDownload));
    ASSERT_TRUE(
        Sim().WaitFor([&] { return Sim().GetMode() == sim::SimController::Mode::BootLoader; }, 3s));
    std::vector<int> progress;
    QObject::connect(m_link.get(), &ControllerLink::downloadProgress, m_link.get(),
                     [&](int percent) { progress.push_back(percent); });
    std::mt19937 generator(11);
    std::vector<std::uint8_t> image(kModemImageCapacity);
    for (auto& byte : image) {
        byte = static_cast<std::uint8_t>(generator());
    }
    ASSERT_EQ(m_link->StartDownload("demo.bin", image, ModemDialect::kBootLoader), ModemLoad::kOk);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !progress.empty() && progress.back() == 100; }, 120000))
        << "state " << static_cast<int>(g_modem.State());
    ASSERT_TRUE(Sim().WaitFor([&] { return Sim().Counters().imagesReceived == 1; }, 3s));
    const auto received = Sim().LastImage();
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(received->name, "demo.bin");
    EXPECT_TRUE(received->data == image) << "received " << received->data.size() << " bytes";
    EXPECT_EQ(Sim().Counters().transferPacketsRejected, 0u);
}

INSTANTIATE_TEST_SUITE_P(Delivery, MemoryDemoDownloadTest,
                         testing::Values(DownloadCase{"InBursts", false},
                                         DownloadCase{"Fast", true}),
                         CaseName());

// The demo ends while the window still has its port open: the port keeps its state until the
// window closes it, the name is free for the next demo, and a new one is reached by it again.
TEST_F(MemoryDemoTest, StoppedDemoFreesItsNameForTheNext) {
    ASSERT_TRUE(Open());
    EXPECT_EQ(MemoryDemoPort().Start(), QString()) << "a second demo cannot take the name";
    m_demo.reset();
    EXPECT_EQ(MemoryLine::Find(m_name), nullptr);
    EXPECT_TRUE(m_link->IsOpen());
    m_link->Close();
    EXPECT_TRUE(m_sink.m_messages.isEmpty());

    m_demo = std::make_unique<MemoryDemoPort>();
    ASSERT_EQ(m_demo->Start(), m_name);
    ASSERT_TRUE(Open());
    QSignalSpy blocks(m_link.get(), &ControllerLink::parameterBlockReceived);
    m_link->Write(MakeSealedCommand(command_letters::kReadParameters));
    EXPECT_TRUE(QTest::qWaitFor([&] { return blocks.size() == 7; }, 3000));
}

}  // namespace
