#include "core/protocol/receive_router.h"

#include <gtest/gtest.h>

#include "frame_test_support.h"

namespace {

class FakeDownload : public DownloadByteSink {
public:
    bool DownloadRunning() const override { return running; }
    void TakeDownloadByte(std::uint8_t byte) override {
        taken.push_back(byte);
        echoedWhenTaken.push_back(echoed.size());
    }
    void EchoDownloadBytes(std::span<const std::uint8_t> bytes) override {
        echoed.insert(echoed.end(), bytes.begin(), bytes.end());
    }
    bool running = false;
    Bytes taken;
    Bytes echoed;
    std::vector<std::size_t> echoedWhenTaken;
};

class ReceiveRouting : public ::testing::Test {
protected:
    void SetUp() override { ResetReceiveSide(); }
    void Receive(const Bytes& chunk) { router.OnSerialReceive(chunk); }

    RecordingHandler handler;
    FakeDownload download;
    ReceiveRouter router{g_frameParser, handler, &download};
    const Bytes status = ControllerFrame('Y', 'B');
    const Bytes echo = ControllerFrame('S', 'H', {}, 0xC9);  // what the cable gives back
};

TEST_F(ReceiveRouting, WithoutCanEveryChunkClearsTheEchoCountAndReachesTheParser) {
    AddEchoSkip(24);
    Receive(status);
    EXPECT_EQ(g_echoSkipCount.load(), 0);
    EXPECT_EQ(handler.seen, std::vector<std::string>{"YB"});
    EXPECT_EQ(g_rxActivity.load(), 1);
}

TEST_F(ReceiveRouting, CanEchoIsSkippedAcrossChunks) {
    g_canEnabled = 1;
    g_echoSkipCount = 0;
    AddEchoSkip(24);
    const Bytes stream = Concat({echo, status});
    // Cut so that the echo ends inside the second chunk and the frame spans three chunks.
    Receive(Bytes(stream.begin(), stream.begin() + 10));
    EXPECT_EQ(g_echoSkipCount.load(), 14);
    EXPECT_EQ(g_rxActivity.load(), 0) << "an all-echo chunk is not activity";
    Receive(Bytes(stream.begin() + 10, stream.begin() + 30));
    EXPECT_EQ(g_echoSkipCount.load(), 0);
    Receive(Bytes(stream.begin() + 30, stream.end()));
    EXPECT_EQ(handler.seen, std::vector<std::string>{"YB"});
    EXPECT_EQ(g_frameErrorCount.load(), 0u);
}

TEST_F(ReceiveRouting, CountStartsAt0xFFFFSoTheFirstWriteLeaves23) {
    g_canEnabled = 1;
    Receive(status);
    EXPECT_TRUE(handler.seen.empty()) << "nothing written yet: every byte counts as echo";
    EXPECT_EQ(g_echoSkipCount.load(), 0xFFFF - status.size());

    ResetReceiveSide();
    g_canEnabled = 1;
    AddEchoSkip(24);
    EXPECT_EQ(g_echoSkipCount.load(), 23);
}

TEST_F(ReceiveRouting, WhileDownloadingBytesGoToTheSenderThenToTheLog) {
    download.running = true;
    const Bytes chunk = Concat({Bytes{'C', 0x06, 0x15}, status});
    Receive(chunk);
    EXPECT_EQ(download.taken, chunk);
    EXPECT_EQ(download.echoed, chunk);
    EXPECT_EQ(download.echoedWhenTaken.back(), 0u) << "the log echo follows the whole chunk";
    EXPECT_TRUE(handler.seen.empty());
    EXPECT_EQ(g_frameCount.load(), 0u);
    EXPECT_EQ(g_rxActivity.load(), 0);
}

TEST_F(ReceiveRouting, EchoIsSkippedBeforeTheSenderSeesAnything) {
    download.running = true;
    g_canEnabled = 1;
    g_echoSkipCount = 3;
    Receive(Bytes{1, 2, 3, 'C'});
    EXPECT_EQ(download.taken, Bytes{'C'});
}

TEST_F(ReceiveRouting, ParserStateSurvivesADownload) {
    Receive(Bytes(status.begin(), status.begin() + 12));
    download.running = true;
    Receive(Bytes{0x06});
    download.running = false;
    Receive(Bytes(status.begin() + 12, status.end()));
    EXPECT_EQ(handler.seen, std::vector<std::string>{"YB"});
}

}  // namespace
