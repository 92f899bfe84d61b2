// How the sender reacts to what the receiver answers: NAKs, aborts, noise, reloading, the
// receive queue and the routing of received bytes.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/modem/modem_receive_sink.h"
#include "core/protocol/frame_parser.h"
#include "core/protocol/link_flags.h"
#include "core/protocol/receive_router.h"
#include "modem_test_support.h"

namespace {

// Receiver script: C = "C", A = ACK, N = NAK, X = CAN, . = a noise byte.
Bytes Script(std::string_view s) {
    Bytes b;
    for (char c : s) {
        switch (c) {
            case 'C':
                b.push_back(kModemCrcRequest);
                break;
            case 'A':
                b.push_back(kModemAck);
                break;
            case 'N':
                b.push_back(kModemNak);
                break;
            case 'X':
                b.push_back(kModemCan);
                break;
            default:
                b.push_back(0x55);
                break;
        }
    }
    return b;
}

// H = file-information block 0, D<n> = data packet n, END = end-of-batch block.
std::string Describe(const std::vector<Bytes>& writes) {
    std::string s;
    for (const Bytes& w : writes) {
        if (!s.empty())
            s += ' ';
        if (w.size() == 1 && w[0] == kModemEot) {
            s += "EOT";
        } else if (w.size() == 1 && w[0] == kModemCan) {
            s += "CAN";
        } else if (IsEndOfBatch(w)) {
            s += "END";
        } else if (IsBlockZero(w)) {
            s += "H";
        } else {
            s += "D" + std::to_string(w[1]);
        }
    }
    return s;
}

struct Scenario {
    const char* label;
    ModemDialect dialect;
    std::uint32_t size;
    const char* receiver;
    const char* writes;
    ModemState state;
    int busy;
    std::vector<int> progress;
};

using S = ModemState;
constexpr auto kBoot = ModemDialect::kBootLoader;
constexpr auto kStd = ModemDialect::kStandard;

// 3000 bytes: three STX packets, reported at 0, 34 and 68 percent.
const std::vector<Scenario> kScenarios = {
    {"clean transfer",
     kBoot,
     3000,
     "CACAAAAAA",
     "H D1 D2 D3 EOT EOT END",
     S::kFinished,
     0,
     {0, 34, 68, 100}},
    {"opening NAKs wait for C", kBoot, 3000, "NNC", "H", S::kWaitHeaderAck, 1, {}},
    {"NAK of block 0 is not answered", kBoot, 3000, "CNC", "H", S::kWaitHeaderAck, 1, {}},
    {"ACK after a NAK of block 0 goes on", kBoot, 3000, "CNAC", "H D1", S::kSendingData, 1, {0}},
    {"NAK of a middle packet: no repeat", kBoot, 3000, "CACN", "H D1", S::kSendingData, 1, {0}},
    {"ACK after that NAK sends the next",
     kBoot,
     3000,
     "CACNA",
     "H D1 D2",
     S::kSendingData,
     1,
     {0, 34}},
    {"NAK of the last packet and of EOTs count as ACK",
     kBoot,
     3000,
     "CACAANNNN",
     "H D1 D2 D3 EOT EOT END",
     S::kFinished,
     0,
     {0, 34, 68, 100}},
    {"end-of-batch goes out without waiting for C",
     kBoot,
     3000,
     "CACAAAAA",
     "H D1 D2 D3 EOT EOT END",
     S::kFinished,
     1,
     {0, 34, 68}},
    {"CAN before the first C", kBoot, 3000, "X", "CAN CAN", S::kFinished, 0, {}},
    {"CAN in the data phase", kBoot, 3000, "CACX", "H D1 CAN CAN", S::kFinished, 0, {0}},
    {"CAN before the last ACK: never 100",
     kBoot,
     3000,
     "CACAAAAAX",
     "H D1 D2 D3 EOT EOT END CAN CAN",
     S::kFinished,
     0,
     {0, 34, 68}},
    {"ACK after an abort reports nothing",
     kBoot,
     3000,
     "CACXA",
     "H D1 CAN CAN",
     S::kFinished,
     0,
     {0}},
    {"repeated ACK after the end reports once",
     kBoot,
     3000,
     "CACAAAAAAAN",
     "H D1 D2 D3 EOT EOT END",
     S::kFinished,
     0,
     {0, 34, 68, 100}},
    {"five C in the data phase are tolerated",
     kBoot,
     3000,
     "CACCCCCCA",
     "H D1 D2",
     S::kSendingData,
     1,
     {0, 34}},
    {"six C, then any byte, abort",
     kBoot,
     3000,
     "CACCCCCCC.",
     "H D1 CAN CAN",
     S::kFinished,
     0,
     {0}},
    {"C are counted across packets",
     kBoot,
     3000,
     "CACCCCACCCA",
     "H D1 D2 CAN CAN",
     S::kFinished,
     0,
     {0, 34}},
    {"C outside the data phase is not counted",
     kBoot,
     3000,
     "CCCCCCCCACA",
     "H D1 D2",
     S::kSendingData,
     1,
     {0, 34}},
    {"noise is dropped in every state",
     kBoot,
     3000,
     "..C..A..C..A..A..A..A..A..A",
     "H D1 D2 D3 EOT EOT END",
     S::kFinished,
     0,
     {0, 34, 68, 100}},
    {"no image: C is not answered", kBoot, 0, "CCA", "", S::kWaitStart, 1, {}},
    // Standard YMODEM: what is lost is asked for again and sent again.
    {"standard clean transfer",
     kStd,
     3000,
     "CACAAAACA",
     "H D1 D2 D3 EOT END",
     S::kFinished,
     0,
     {0, 34, 68, 100}},
    {"standard: NAK repeats block 0", kStd, 3000, "CN", "H H", S::kWaitHeaderAck, 1, {}},
    {"standard: another C repeats block 0", kStd, 3000, "CC", "H H", S::kWaitHeaderAck, 1, {}},
    {"standard: another C repeats the first packet",
     kStd,
     3000,
     "CACC",
     "H D1 D1",
     S::kSendingData,
     1,
     {0}},
    {"standard: NAK repeats a middle packet, reported once",
     kStd,
     3000,
     "CACAN",
     "H D1 D2 D2",
     S::kSendingData,
     1,
     {0, 34}},
    {"standard: C after the first packet is not answered",
     kStd,
     3000,
     "CACAC",
     "H D1 D2",
     S::kSendingData,
     1,
     {0, 34}},
    {"standard: NAK repeats the last packet",
     kStd,
     3000,
     "CACAAN",
     "H D1 D2 D3 D3",
     S::kSendingData,
     1,
     {0, 34, 68}},
    {"standard: NAK of the first EOT",
     kStd,
     3000,
     "CACAAANACA",
     "H D1 D2 D3 EOT EOT END",
     S::kFinished,
     0,
     {0, 34, 68, 100}},
    {"standard: C before the EOT is acknowledged waits",
     kStd,
     3000,
     "CACAAAC",
     "H D1 D2 D3 EOT",
     S::kWaitEotAck,
     1,
     {0, 34, 68}},
    {"standard: lost end-of-batch block is repeated",
     kStd,
     3000,
     "CACAAAACCNA",
     "H D1 D2 D3 EOT END END END",
     S::kFinished,
     0,
     {0, 34, 68, 100}},
    {"standard: CAN aborts", kStd, 3000, "CACX", "H D1 CAN CAN", S::kFinished, 0, {0}},
    {"standard: six C, then any byte, abort",
     kStd,
     3000,
     "CACCCCCCC.",
     "H D1 D1 D1 D1 D1 D1 D1 CAN CAN",
     S::kFinished,
     0,
     {0}},
};

TEST(ModemSenderProtocol, ReactsToTheReceiverAsScripted) {
    for (const Scenario& c : kScenarios) {
        SCOPED_TRACE(c.label);
        SenderRig rig(c.size, "fw.bin", c.dialect);
        for (std::uint8_t b : Script(c.receiver))
            rig.Feed(b);
        EXPECT_EQ(Describe(rig.out.writes), c.writes);
        EXPECT_EQ(rig.sender->State(), c.state);
        EXPECT_EQ(rig.sender->m_busy.load(), c.busy);
        EXPECT_EQ(rig.progress, c.progress);
    }
}

TEST(ModemSenderQueue, NothingIsLostOrRepeatedBeyondTheQueueSize) {
    // A chatty boot loader: thousands of bytes in one transfer, handed over one at a time.
    SenderRig paced(5000);
    Bytes script(3000, '.');
    const Bytes rest = Script("CACAAAAAAAA");
    script.insert(script.end(), rest.begin(), rest.end());
    for (std::uint8_t b : script) {
        paced.sender->PushByte(b);
        paced.sender->ProcessQueue();
    }
    EXPECT_EQ(Describe(paced.out.writes), "H D1 D2 D3 D4 D5 EOT EOT END");
    EXPECT_EQ(paced.Received(), paced.image);
    EXPECT_EQ(paced.progress, (std::vector<int>{0, 20, 40, 61, 81, 100}));

    // The answers queued all at once, spread among far more noise than the queue holds, before
    // any is handled: same outcome, same order.
    SenderRig burst(5000);
    for (std::uint8_t b : rest) {
        for (int i = 0; i < 300; ++i)
            burst.sender->PushByte('.');
        burst.sender->PushByte(b);
    }
    burst.sender->ProcessQueue();
    EXPECT_EQ(burst.out.writes, paced.out.writes);
    EXPECT_EQ(burst.progress, paced.progress);
}

TEST(ModemSenderQueue, QueuedBytesWaitForProcessQueue) {
    SenderRig rig(3000);
    rig.sender->PushByte(kModemCrcRequest);
    EXPECT_TRUE(rig.out.writes.empty());
    rig.sender->ProcessQueue();
    EXPECT_EQ(Describe(rig.out.writes), "H");
    rig.sender->ProcessQueue();
    EXPECT_EQ(rig.out.writes.size(), 1u);
}

TEST(ModemSenderLoad, RefusesWhatDoesNotFitAndKeepsTheImage) {
    SenderRig rig(1000, "old.bin");
    const Bytes big(kModemImageCapacity + 1, 0xEE);
    EXPECT_EQ(rig.sender->SetFileInfo("big.bin", kModemImageCapacity + 1),
              ModemLoad::kImageTooLarge);
    EXPECT_EQ(rig.sender->SetFileData(big.data(), big.size()), ModemLoad::kImageTooLarge);
    EXPECT_EQ(rig.sender->SetFileInfo(std::string(400, 'x'), 10), ModemLoad::kNameTooLong);
    EXPECT_EQ(rig.sender->GetImageSize(), 1000u);

    rig.RunCleanTransfer();
    EXPECT_EQ(std::string(rig.out.writes[0].begin() + 3, rig.out.writes[0].begin() + 7), "old.");
    EXPECT_EQ(rig.Received(), rig.image);
}

TEST(ModemSenderLoad, AcceptsTheLimitsExactly) {
    auto sender = std::make_unique<ModemSender>();
    const Bytes full(kModemImageCapacity, 0x11);
    EXPECT_EQ(sender->SetFileInfo(std::string(399, 'x'), kModemImageCapacity), ModemLoad::kOk);
    EXPECT_EQ(sender->SetFileData(full.data(), full.size()), ModemLoad::kOk);
    EXPECT_EQ(sender->GetImageSize(), kModemImageCapacity);
    // A size that is a multiple of 65536 still counts as loaded.
    EXPECT_EQ(sender->SetFileInfo("a.bin", 0x10000), ModemLoad::kOk);
    EXPECT_EQ(sender->GetImageSize(), 0x10000u);
    sender->Init(nullptr);
    EXPECT_EQ(sender->GetImageSize(), 0u);
    EXPECT_EQ(sender->State(), ModemState::kWaitStart);
}

TEST(ModemSenderLoad, NewImageDuringATransferStartsOverAtTheNextC) {
    SenderRig rig(3000);
    for (std::uint8_t b : Script("CACA"))
        rig.Feed(b);
    ASSERT_EQ(Describe(rig.out.writes), "H D1 D2");

    const Bytes other = PatternImage(200);
    rig.sender->SetFileInfo("new.bin", 200);
    rig.sender->SetFileData(other.data(), other.size());
    EXPECT_EQ(rig.sender->State(), ModemState::kWaitStart);
    EXPECT_EQ(rig.sender->m_busy.load(), 1);
    rig.out.writes.clear();
    for (std::uint8_t b : Script("CAC"))
        rig.Feed(b);
    ASSERT_EQ(Describe(rig.out.writes), "H D1");
    EXPECT_EQ(std::string(rig.out.writes[0].begin() + 3, rig.out.writes[0].begin() + 15),
              std::string("new.bin\0"
                          "200",
                          11) +
                  '\0');
    EXPECT_EQ(rig.out.writes[1][0], kModemStx);
}

TEST(ModemSenderLoad, RestartAfterManyCDoesNotAbortAtOnce) {
    SenderRig rig(3000);
    for (std::uint8_t b : Script("CACCCCCCC"))
        rig.Feed(b);
    // The user starts the download again before the receiver sends another byte.
    rig.sender->Init(&rig);
    rig.sender->SetFileInfo("fw.bin", 3000);
    rig.out.writes.clear();
    rig.Feed(kModemCrcRequest);
    EXPECT_EQ(Describe(rig.out.writes), "H");
}

class NullFrames : public ControllerFrameHandler {
public:
    void OnStatusFrame(ControllerFrameView) override { ++frames; }
    void OnParameterFrame(ControllerFrameView) override { ++frames; }
    int frames = 0;
};

TEST(ModemReceiveSink, RoutesBytesToTheSenderOnlyWhileBusy) {
    ResetLinkFlags();
    SenderRig rig(3000);
    FrameParser parser;
    NullFrames frames;
    Bytes echoed;
    ModemReceiveSink sink(*rig.sender, [&](std::span<const std::uint8_t> b) {
        echoed.insert(echoed.end(), b.begin(), b.end());
    });
    ReceiveRouter router(parser, frames, &sink);

    const Bytes start = Script("C.A");
    router.OnSerialReceive(start);
    EXPECT_EQ(Describe(rig.out.writes), "H");
    EXPECT_EQ(echoed, start);
    EXPECT_EQ(g_rxActivity.load(), 0);

    // The last answers arrive in one chunk together with bytes after the end.
    const Bytes rest = Script("CAAAAAA..");
    router.OnSerialReceive(rest);
    EXPECT_EQ(Describe(rig.out.writes), "H D1 D2 D3 EOT EOT END");
    EXPECT_EQ(rig.progress.back(), 100);
    EXPECT_EQ(rig.sender->m_busy.load(), 0);

    // Transfer over: bytes go back to the frame parser.
    const std::size_t writes = rig.out.writes.size();
    router.OnSerialReceive(Script("C"));
    EXPECT_EQ(rig.out.writes.size(), writes);
    EXPECT_EQ(g_rxActivity.load(), 1);
    ResetLinkFlags();
}

// Whoever polls m_busy from another thread (the command line, the production mode) takes its
// drop as the end of the transfer and must then find the 100 percent already reported.
TEST(ModemSenderProgress, HundredPercentIsReportedBeforeBusyDrops) {
    for (const ModemDialect dialect : {ModemDialect::kBootLoader, ModemDialect::kStandard}) {
        SenderRig rig(1124, "fw.bin", dialect);
        rig.RunCleanTransfer();
        ASSERT_FALSE(rig.progress.empty());
        EXPECT_EQ(rig.progress.back(), 100);
        EXPECT_EQ(rig.busyWhenReported.back(), 1);
        EXPECT_EQ(rig.sender->m_busy.load(), 0);
    }
}

class CountingOutput : public ModemOutput {
public:
    void WritePacket(const std::uint8_t*, std::size_t length) override { bytes += length; }
    std::atomic<std::size_t> bytes{0};
};

TEST(ModemSenderThreads, ReloadWhileBytesArriveIsSafe) {
    // The download button may re-arm the sender while the receive thread feeds it.
    SenderRig rig(3000);
    CountingOutput counter;
    rig.sender->SetOutput(&counter);
    std::atomic<bool> stop{false};
    std::thread receiver([&] {
        const Bytes script = Script("CACAAAAAA");
        while (!stop) {
            for (std::uint8_t b : script) {
                rig.sender->PushByte(b);
                rig.sender->ProcessQueue();
            }
        }
    });
    // Keep reloading until the receiver has made the sender write a fair amount.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (int i = 0;
         i < 200 || (counter.bytes < 100000 && std::chrono::steady_clock::now() < deadline); ++i) {
        rig.sender->Init(&rig);
        rig.sender->SetFileInfo("fw.bin", 3000);
        rig.sender->SetFileData(rig.image.data(), rig.image.size());
        rig.sender->m_busy = 1;
    }
    stop = true;
    receiver.join();
    EXPECT_GE(counter.bytes.load(), 100000u);

    // Whatever state the race left, a fresh start sends the image intact.
    rig.sender->SetOutput(&rig.out);
    rig.sender->Init(&rig);
    rig.sender->SetFileInfo("fw.bin", 3000);
    rig.sender->m_busy = 1;
    rig.RunCleanTransfer();
    EXPECT_EQ(rig.Received(), rig.image);
}

}  // namespace
