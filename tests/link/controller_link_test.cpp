// The controller link against the simulated controller: what the receive thread decodes comes
// back as signals on the link's thread, after the shared flags were set; the download reports
// its progress and the boot loader's bytes the same way.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <vector>

#include "core/protocol/command_frame.h"
#include "core/protocol/live_status.h"
#include "link_test_support.h"

namespace {

using namespace std::chrono_literals;
using link_test::LinkFixture;

using ControllerLinkTest = LinkFixture;

TEST_F(ControllerLinkTest, ParameterBlocksArriveOnTheLinksThreadAfterTheFlag) {
    const QString path = StartSim();
    ASSERT_TRUE(m_link->Open(path, 115200, false));
    std::vector<int> numbers;
    std::vector<BlockBytes> blocks;
    bool onLinkThread = true;
    bool flagFirst = true;
    QObject::connect(m_link.get(), &ControllerLink::parameterBlockReceived, m_link.get(),
                     [&](int number, const BlockBytes& bytes) {
                         onLinkThread &= QThread::currentThread() == m_link->thread();
                         flagFirst &= g_paramFrameSeen.load() == 1;
                         numbers.push_back(number);
                         blocks.push_back(bytes);
                     });

    m_link->Write(MakeSealedCommand(command_letters::kReadParameters));

    ASSERT_TRUE(QTest::qWaitFor([&] { return numbers.size() >= 7; }, 3000));
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    const sim::SimParameterSet stored = Controller().Parameters();
    for (int block = 1; block <= 7; ++block) {
        const sim::Payload payload = stored.Block(block);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), blocks[block - 1].begin()))
            << "block " << block;
    }
    EXPECT_TRUE(onLinkThread);
    EXPECT_TRUE(flagFirst);
    EXPECT_EQ(g_frameCount.load(), 7u);
}

TEST_F(ControllerLinkTest, StatusFrameIsPublishedBeforeItsSignal) {
    const QString path = StartSim();
    Controller().SetFaultBits(0x00800200);
    Controller().SetStateCode(6);
    ASSERT_TRUE(m_link->Open(path, 9600, false));
    QSignalSpy spy(m_link.get(), &ControllerLink::statusReceived);

    CommandFrame request{};
    CopyFrameWithChecksum(g_showFrame, request);
    m_link->Write(request);

    ASSERT_TRUE(spy.wait(3000));
    const LiveStatus status = spy.first().at(0).value<LiveStatus>();
    EXPECT_EQ(status.m_faultBits, 0x00800200u);
    EXPECT_EQ(status.m_stateCode, 6);
    EXPECT_EQ(g_liveStatus.Load(), status);
}

TEST_F(ControllerLinkTest, AcknowledgementAndAnnouncementSetTheirFlagsAndSignal) {
    const QString path = StartSim();
    ASSERT_TRUE(m_link->Open(path, 9600, false));
    QSignalSpy acknowledged(m_link.get(), &ControllerLink::writeAcknowledged);
    QSignalSpy announced(m_link.get(), &ControllerLink::announced);
    g_writeAcknowledged = 0;

    // The controller's own set back, block by block.
    const sim::SimParameterSet stored = Controller().Parameters();
    for (int block = 1; block <= 7; ++block) {
        CommandFrame frame = MakeParamWriteFrame(block);
        const sim::Payload payload = stored.Block(block);
        std::copy(payload.begin(), payload.end(), frame.begin() + 5);
        SetFrameChecksum(frame);
        m_link->Write(frame);
    }
    ASSERT_TRUE(acknowledged.wait(3000));
    EXPECT_EQ(g_writeAcknowledged.load(), 1);

    // A restarted controller announces itself.
    m_link->Write(MakeSealedCommand(command_letters::kRestartController));
    ASSERT_TRUE(announced.wait(3000));
    EXPECT_EQ(g_announceSeen.load(), 1);
    EXPECT_EQ(acknowledged.size(), 1);
}

TEST_F(ControllerLinkTest, DownloadReportsProgressAndTheBootLoadersBytes) {
    const QString path = StartSim();
    ASSERT_TRUE(m_link->Open(path, 115200, false));
    m_link->Write(MakeSealedCommand(command_letters::kStartDownload));
    ASSERT_TRUE(Controller().WaitFor(
        [&] { return Controller().GetMode() == sim::SimController::Mode::BootLoader; }, 3s));
    std::vector<int> progress;
    QByteArray log;
    int logSignals = 0;
    QObject::connect(m_link.get(), &ControllerLink::downloadProgress, m_link.get(),
                     [&](int percent) { progress.push_back(percent); });
    QObject::connect(m_link.get(), &ControllerLink::downloadLog, m_link.get(),
                     [&](const QByteArray& bytes) {
                         log += bytes;
                         ++logSignals;
                     });

    std::vector<std::uint8_t> image(5000);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_EQ(m_link->StartDownload("app.bin", image, ModemDialect::kBootLoader), ModemLoad::kOk);
    EXPECT_TRUE(m_link->DownloadRunning());

    ASSERT_TRUE(
        QTest::qWaitFor([&] { return !progress.empty() && progress.back() == 100; }, 10000));
    EXPECT_FALSE(m_link->DownloadRunning());
    EXPECT_EQ(m_link->LastReportedPercent(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(std::count(progress.begin(), progress.end(), 100), 1);
    // Every data packet and both EOTs were acknowledged; the log holds what the boot loader sent.
    EXPECT_GE(log.count(char(0x06)), 5 + 1);
    EXPECT_GE(logSignals, 1);
    EXPECT_LE(logSignals, log.size());
    ASSERT_TRUE(
        Controller().WaitFor([&] { return Controller().Counters().imagesReceived == 1; }, 3s));
    EXPECT_EQ(Controller().LastImage()->data, image);
    EXPECT_EQ(Controller().LastImage()->name, "app.bin");
}

TEST_F(ControllerLinkTest, RefusedImageLeavesTheSenderAlone) {
    std::vector<std::uint8_t> tooLarge(kModemImageCapacity + 1);
    EXPECT_EQ(m_link->StartDownload("big.bin", tooLarge, ModemDialect::kBootLoader),
              ModemLoad::kImageTooLarge);
    const std::string longName(kModemNameCapacity, 'n');
    EXPECT_EQ(
        m_link->StartDownload(longName, std::vector<std::uint8_t>(10), ModemDialect::kBootLoader),
        ModemLoad::kNameTooLong);
    EXPECT_FALSE(m_link->DownloadRunning());
    EXPECT_EQ(m_link->LastReportedPercent(), -1);
}

TEST_F(ControllerLinkTest, OpenAndCloseSignalOnlyWhatHappened) {
    QSignalSpy opened(m_link.get(), &ControllerLink::opened);
    QSignalSpy closed(m_link.get(), &ControllerLink::closed);

    EXPECT_FALSE(m_link->Open("/dev/tarvik-no-such-port", 9600, false));
    ASSERT_EQ(m_sink.m_messages.size(), 1);
    m_link->Close();
    EXPECT_EQ(opened.size(), 0);
    EXPECT_EQ(closed.size(), 0);

    const QString path = StartSim();
    ASSERT_TRUE(m_link->Open(path, 9600, true));
    EXPECT_EQ(g_canEnabled.load(), 1);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first().at(0).toString(), path);
    m_link->Close();
    EXPECT_FALSE(m_link->IsOpen());
    EXPECT_EQ(closed.size(), 1);
}

TEST_F(ControllerLinkTest, LinkGoneWhileFramesArePendingIsHarmless) {
    const QString path = StartSim();
    ASSERT_TRUE(m_link->Open(path, 9600, false));
    m_link->Write(MakeSealedCommand(command_letters::kReadParameters));
    ASSERT_TRUE(QTest::qWaitFor([&] { return g_frameCount.load() == 7; }, 3000));
    // The posts for those frames wait in the queue; they must die with the link.
    m_link.reset();
    QCoreApplication::processEvents();
    SUCCEED();
}

}  // namespace
