// The boot loader: entry, its YMODEM receiver in the tool's variant, and its faults.

#include <gtest/gtest.h>

#include <string>

#include "sim/sim_controller.h"
#include "sim/sim_crc16.h"
#include "sim_test_support.h"

namespace {

using namespace sim_test;

constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEot = 0x04;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;
constexpr std::uint8_t kCan = 0x18;

// Reference CRC-16/XMODEM, written apart from the simulator's on purpose.
std::uint16_t ReferenceCrc(const Bytes& data) {
    std::uint32_t crc = 0;
    for (std::uint8_t byte : data) {
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = (crc & 0x8000) != 0;
            const bool in = ((byte >> bit) & 1) != 0;
            crc = (crc << 1) & 0xFFFF;
            if (top != in) {
                crc ^= 0x1021;
            }
        }
    }
    return static_cast<std::uint16_t>(crc);
}

enum class CrcOrder { LowFirst, HighFirst };

Bytes Packet(std::uint8_t block, Bytes data, CrcOrder order = CrcOrder::LowFirst) {
    const std::size_t size = data.size() <= 128 ? 128 : 1024;
    data.resize(size, 0x1A);
    Bytes p{size == 128 ? kSoh : kStx, block, static_cast<std::uint8_t>(0xFF - block)};
    p.insert(p.end(), data.begin(), data.end());
    const std::uint16_t crc = ReferenceCrc(data);
    const auto low = static_cast<std::uint8_t>(crc & 0xFF);
    const auto high = static_cast<std::uint8_t>(crc >> 8);
    if (order == CrcOrder::LowFirst) {
        p.insert(p.end(), {low, high});
    } else {
        p.insert(p.end(), {high, low});
    }
    return p;
}

Bytes FileHeader(const std::string& name, std::size_t size, CrcOrder order = CrcOrder::LowFirst) {
    Bytes info(name.begin(), name.end());
    info.push_back(0);
    const std::string digits = std::to_string(size);
    info.insert(info.end(), digits.begin(), digits.end());
    info.resize(128, 0);
    return Packet(0, info, order);
}

Bytes Image(std::size_t size) {
    Bytes image(size);
    for (std::size_t i = 0; i < size; ++i) {
        image[i] = static_cast<std::uint8_t>((i * 37 + i / 256) & 0xFF);
    }
    return image;
}

Bytes Slice(const Bytes& image, std::size_t from, std::size_t count) {
    return Bytes(image.begin() + static_cast<std::ptrdiff_t>(from),
                 image.begin() + static_cast<std::ptrdiff_t>(std::min(image.size(), from + count)));
}

TEST(SimCrc, MatchesTheCheckValueAndTheReference) {
    const Bytes digits = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(sim::Crc16Xmodem(digits), 0x31C3);
    const Bytes image = Image(1024);
    EXPECT_EQ(sim::Crc16Xmodem(image), ReferenceCrc(image));
    EXPECT_EQ(sim::Crc16Xmodem(Bytes(128, 0)), 0x0000);
}

class SimBootLoader : public ::testing::Test {
protected:
    void SetUpController(const sim::SimConfig& config = {}) {
        m_controller = std::make_unique<sim::SimController>(config, m_clock.Function());
    }

    void SetUp() override { SetUpController(); }

    // Enters the boot loader; the first "C" comes at once.
    void Enter(std::string_view letters = "BLOOD") {
        ASSERT_EQ(m_controller->Receive(ToolFrame(letters)), Bytes{'C'});
        ASSERT_EQ(m_controller->GetMode(), sim::SimController::Mode::BootLoader);
    }

    Bytes Send(const Bytes& bytes) { return m_controller->Receive(bytes); }

    FakeClock m_clock;
    std::unique_ptr<sim::SimController> m_controller;
};

TEST_F(SimBootLoader, AsksForCrcModeAboutOnceASecondUntilBlockZero) {
    Enter("BLOTD");
    EXPECT_EQ(m_controller->ReceivedCommands(), std::vector<std::string>{"BLOTD"});
    m_clock.now += 999ms;
    EXPECT_TRUE(m_controller->Poll().empty());
    m_clock.now += 1ms;
    EXPECT_EQ(m_controller->Poll(), Bytes{'C'});
    m_clock.now += 1000ms;
    EXPECT_EQ(m_controller->Poll(), Bytes{'C'});

    EXPECT_EQ(Send(FileHeader("app.bin", 10)), (Bytes{kAck, 'C'}));
    m_clock.now += 2500ms;
    EXPECT_TRUE(m_controller->Poll().empty()) << "no more \"C\" once block 0 is in";
}

struct CrcOrderCase {
    const char* name;
    bool receiverHighFirst;
    CrcOrder packetOrder;
    bool accepted;
};

class SimBootLoaderCrcOrder : public SimBootLoader,
                              public ::testing::WithParamInterface<CrcOrderCase> {};

TEST_P(SimBootLoaderCrcOrder, AcceptsOnlyTheConfiguredByteOrder) {
    sim::SimConfig config;
    config.crcHighFirst = GetParam().receiverHighFirst;
    SetUpController(config);
    Enter();
    const Bytes header = FileHeader("fw.bin", 300, GetParam().packetOrder);
    ASSERT_NE(header[131], header[132]) << "the test needs a CRC whose two bytes differ";
    EXPECT_EQ(Send(header), GetParam().accepted ? (Bytes{kAck, 'C'}) : Bytes{kNak});

    if (GetParam().accepted) {
        const Bytes data = Packet(1, Image(300), GetParam().packetOrder);
        ASSERT_NE(data[1027], data[1028]);
        EXPECT_EQ(Send(data), Bytes{kAck});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimBootLoaderCrcOrder,
    ::testing::Values(CrcOrderCase{"low_first_default", false, CrcOrder::LowFirst, true},
                      CrcOrderCase{"swapped_refused", false, CrcOrder::HighFirst, false},
                      CrcOrderCase{"standard_option", true, CrcOrder::HighFirst, true},
                      CrcOrderCase{"standard_refuses_low", true, CrcOrder::LowFirst, false}),
    [](const auto& info) { return std::string(info.param.name); });

// How long the program just written takes to start: the usual controller, and one that starts
// quickly enough to announce itself before the tool's next tick.
class SimBootLoaderStart : public SimBootLoader,
                           public ::testing::WithParamInterface<std::chrono::milliseconds> {};

TEST_P(SimBootLoaderStart, ReceivesABatchStoresTheImageCutToSizeAndPowersUp) {
    sim::SimConfig config;
    config.faults.startAfterTransfer = GetParam();
    SetUpController(config);
    const Bytes image = Image(1025);
    Enter();
    EXPECT_EQ(Send(FileHeader("app.bin", image.size())), (Bytes{kAck, 'C'}));
    EXPECT_EQ(Send(Packet(1, Slice(image, 0, 1024))), Bytes{kAck});
    EXPECT_EQ(Send(Packet(1, Slice(image, 0, 1024))), Bytes{kAck}) << "a repeat is acknowledged";
    EXPECT_EQ(Send(Packet(2, Slice(image, 1024, 128))), Bytes{kAck});
    EXPECT_EQ(Send({kEot}), Bytes{kNak});
    EXPECT_EQ(Send({kEot}), Bytes{kAck});
    ASSERT_TRUE(m_controller->LastImage());
    EXPECT_EQ(m_controller->LastImage()->name, "app.bin");
    EXPECT_EQ(m_controller->LastImage()->data, image) << "padding is cut at the announced size";

    EXPECT_EQ(Send(Packet(0, Bytes(128, 0))), Bytes{kAck});
    m_clock.now += GetParam() - 1ms;
    EXPECT_TRUE(m_controller->Poll().empty()) << "the last ACK must stand alone";
    m_clock.now += 1ms;
    const Bytes announce = m_controller->Poll();
    ASSERT_EQ(announce.size(), 24u);
    EXPECT_EQ(announce[3], 0xFE);
    EXPECT_EQ(announce[4], 0xEF);
    EXPECT_EQ(m_controller->GetMode(), sim::SimController::Mode::Controller);
    EXPECT_EQ(Send(ToolFrame("LDGET")).size(), 7u * 24u);
    EXPECT_EQ(m_controller->Counters().imagesReceived, 1u);
}

INSTANTIATE_TEST_SUITE_P(Start, SimBootLoaderStart,
                         ::testing::Values(sim::SimFaults{}.startAfterTransfer, 20ms),
                         [](const auto& info) { return std::to_string(info.param.count()) + "ms"; });

TEST_F(SimBootLoader, BlockNumbersWrapAfter255) {
    const std::size_t size = 257 * 128;
    const Bytes image = Image(size);
    Enter();
    Send(FileHeader("big.bin", size));
    for (std::size_t i = 0; i < 257; ++i) {
        const auto block = static_cast<std::uint8_t>((i + 1) & 0xFF);
        // Exactly 128 remaining bytes still go out as STX; use SOH packets throughout here.
        Bytes data = Slice(image, i * 128, 128);
        Bytes p{kSoh, block, static_cast<std::uint8_t>(0xFF - block)};
        p.insert(p.end(), data.begin(), data.end());
        const std::uint16_t crc = ReferenceCrc(data);
        p.insert(p.end(),
                 {static_cast<std::uint8_t>(crc & 0xFF), static_cast<std::uint8_t>(crc >> 8)});
        ASSERT_EQ(Send(p), Bytes{kAck}) << "packet " << i + 1;
    }
    Send({kEot});
    Send({kEot});
    ASSERT_TRUE(m_controller->LastImage());
    EXPECT_EQ(m_controller->LastImage()->data, image);
}

TEST_F(SimBootLoader, RepeatedStartCommandRestartsTheSession) {
    Enter();
    Send(FileHeader("a.bin", 2000));
    Send(Packet(1, Slice(Image(2000), 0, 1024)));
    EXPECT_EQ(Send(ToolFrame("BLOOD")), Bytes{'C'});
    EXPECT_EQ(Send(FileHeader("b.bin", 5)), (Bytes{kAck, 'C'}));
}

TEST_F(SimBootLoader, NakBlockOnceThenAcceptsItsRepeat) {
    sim::SimFaults faults;
    faults.transfer.nakBlock = 2;
    m_controller->SetFaults(faults);
    const Bytes image = Image(3000);
    Enter();
    Send(FileHeader("x.bin", image.size()));
    EXPECT_EQ(Send(Packet(1, Slice(image, 0, 1024))), Bytes{kAck});
    EXPECT_EQ(Send(Packet(2, Slice(image, 1024, 1024))), Bytes{kNak});
    EXPECT_EQ(Send(Packet(2, Slice(image, 1024, 1024))), Bytes{kAck});
    EXPECT_EQ(Send(Packet(3, Slice(image, 2048, 1024))), Bytes{kAck});
    Send({kEot});
    Send({kEot});
    ASSERT_TRUE(m_controller->LastImage());
    EXPECT_EQ(m_controller->LastImage()->data, image);
}

TEST_F(SimBootLoader, CanAtBlockCancelsAndTheBootLoaderAsksAgain) {
    sim::SimFaults faults;
    faults.transfer.canAtBlock = 2;
    m_controller->SetFaults(faults);
    const Bytes image = Image(3000);
    Enter();
    Send(FileHeader("x.bin", image.size()));
    Send(Packet(1, Slice(image, 0, 1024)));
    EXPECT_EQ(Send(Packet(2, Slice(image, 1024, 1024))), (Bytes{kCan, kCan}));
    m_clock.now += 1000ms;
    EXPECT_EQ(m_controller->Poll(), Bytes{'C'});
    EXPECT_FALSE(m_controller->LastImage());
}

TEST_F(SimBootLoader, CrcFloodFollowsTheFirstDataAck) {
    sim::SimFaults faults;
    faults.transfer.cFloodCount = 6;
    m_controller->SetFaults(faults);
    Enter();
    Send(FileHeader("x.bin", 3000));
    EXPECT_EQ(Send(Packet(1, Slice(Image(3000), 0, 1024))),
              (Bytes{kAck, 'C', 'C', 'C', 'C', 'C', 'C'}));
    EXPECT_EQ(Send(Packet(2, Slice(Image(3000), 1024, 1024))), Bytes{kAck});
    // The tool answers the flood with CAN CAN: the session ends.
    EXPECT_TRUE(Send({kCan, kCan}).empty());
    m_clock.now += 1000ms;
    EXPECT_EQ(m_controller->Poll(), Bytes{'C'});
}

TEST_F(SimBootLoader, SlowFlashDelaysEveryAck) {
    sim::SimFaults faults;
    faults.transfer.slowFlash = 400ms;
    m_controller->SetFaults(faults);
    Enter();
    EXPECT_TRUE(Send(FileHeader("x.bin", 100)).empty());
    m_clock.now += 399ms;
    EXPECT_TRUE(m_controller->Poll().empty());
    m_clock.now += 1ms;
    EXPECT_EQ(m_controller->Poll(), (Bytes{kAck, 'C'}));
    EXPECT_TRUE(Send(Packet(1, Image(100))).empty());
    m_clock.now += 400ms;
    EXPECT_EQ(m_controller->Poll(), Bytes{kAck});
}

TEST_F(SimBootLoader, TornPacketIsNakedAfterSilence) {
    Enter();
    Send(FileHeader("x.bin", 100));
    const Bytes packet = Packet(1, Image(100));
    EXPECT_TRUE(Send(Bytes(packet.begin(), packet.begin() + 60)).empty());
    m_clock.now += 1000ms;
    EXPECT_EQ(m_controller->Poll(), Bytes{kNak});
    EXPECT_EQ(Send(packet), Bytes{kAck});
}

// Frame-level faults shape what the tool's parser sees.
TEST(SimFrameFaults, CountedFaultsSpoilExactlyTheNextFrames) {
    FakeClock clock;
    sim::SimController controller({}, clock.Function());
    sim::SimFaults faults;
    faults.badChecksumFrames = 2;
    faults.badTerminatorFrames = 1;
    controller.SetFaults(faults);
    const std::vector<Bytes> r = SplitFrames(controller.Receive(ToolFrame("LDGET")));
    ASSERT_EQ(r.size(), 7u);
    EXPECT_NE(r[0][22], Xor(r[0], 22));
    EXPECT_NE(r[0][23], 0x0D);
    EXPECT_NE(r[1][22], Xor(r[1], 22));
    EXPECT_EQ(r[1][23], 0x0D);
    for (std::size_t i = 2; i < 7; ++i) {
        EXPECT_TRUE(IsValidReply(r[i])) << i;
    }
    EXPECT_EQ(controller.Faults().badChecksumFrames, 0);
}

TEST(SimFrameFaults, NoiseBetweenFramesNeverHoldsAHeaderByte) {
    FakeClock clock;
    sim::SimController controller({}, clock.Function());
    sim::SimFaults faults;
    faults.noiseBytes = 40;
    controller.SetFaults(faults);
    const Bytes out = controller.Receive(ToolFrame("LDGET"));
    ASSERT_EQ(out.size(), 7u * (40 + 24));
    for (std::size_t f = 0; f < 7; ++f) {
        const std::size_t start = f * 64;
        for (std::size_t i = start; i < start + 40; ++i) {
            EXPECT_NE(out[i], 0xC0);
            EXPECT_NE(out[i], 0xC9);
        }
        const Bytes frame(out.begin() + static_cast<std::ptrdiff_t>(start + 40),
                          out.begin() + static_cast<std::ptrdiff_t>(start + 64));
        EXPECT_TRUE(IsValidReply(frame));
        EXPECT_EQ(frame[4], f + 1);
    }
}

TEST(SimFrameFaults, MidFramePauseHoldsBackTheRestOfTheFrame) {
    FakeClock clock;
    sim::SimController controller({}, clock.Function());
    sim::SimFaults faults;
    faults.midFramePause = 3000ms;
    faults.midFramePauseFrames = 1;
    controller.SetFaults(faults);
    const Bytes head = controller.Receive(ToolFrame("SHOW"));
    ASSERT_EQ(head.size(), 12u);
    clock.now += 2999ms;
    EXPECT_TRUE(controller.Poll().empty());
    EXPECT_EQ(controller.NextDue(), clock.now + 1ms);
    clock.now += 1ms;
    Bytes frame = head;
    const Bytes tail = controller.Poll();
    frame.insert(frame.end(), tail.begin(), tail.end());
    EXPECT_TRUE(IsValidReply(frame));
    EXPECT_EQ(controller.Receive(ToolFrame("SHOW")).size(), 24u) << "only one frame was paused";
}

TEST(SimFrameFaults, CanEchoPrecedesTheAnswerAndSilenceFaultsHold) {
    FakeClock clock;
    sim::SimConfig config;
    config.canEcho = true;
    config.faults.noReadAnswer = true;
    sim::SimController controller(config, clock.Function());
    const Bytes ldget = ToolFrame("LDGET");
    EXPECT_EQ(controller.Receive(ldget), ldget);
    const Bytes show = ToolFrame("SHOW");
    const Bytes out = controller.Receive(show);
    ASSERT_EQ(out.size(), 48u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 24), show);
    EXPECT_TRUE(IsValidReply(Bytes(out.begin() + 24, out.end())));
}

TEST(SimFrameFaults, DamagedToolFramesAreSkippedAndCounted) {
    FakeClock clock;
    sim::SimController controller({}, clock.Function());
    Bytes bad = ToolFrame("LDGET");
    bad[22] ^= 1;
    Bytes stream = {0x00, 0xC9, 0x13};  // noise, and a header with the wrong length
    stream.insert(stream.end(), bad.begin(), bad.end());
    const Bytes good = ToolFrame("LDGET");
    stream.insert(stream.end(), good.begin(), good.end());
    EXPECT_EQ(controller.Receive(stream).size(), 7u * 24u);
    EXPECT_EQ(controller.Counters().framesRejected, 1u);
    EXPECT_EQ(controller.Counters().parameterReads, 1u);
}

}  // namespace
