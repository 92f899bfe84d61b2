// Byte-exact packets of whole transfers. The CRC values were computed apart from this code, with
// an independent CRC-16/XMODEM implementation, over the same pattern image.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "modem_test_support.h"

namespace {

struct DataPacket {
    std::uint8_t header;
    std::uint8_t block;
    std::uint32_t offset;
    std::uint32_t count;  // image bytes; the rest of the packet is padding
    std::uint16_t crc;
};

struct TransferCase {
    const char* label;
    std::string name;
    std::uint32_t size;
    ModemDialect dialect;
    std::uint16_t headerCrc;
    std::vector<DataPacket> packets;
    std::vector<int> progress;
};

void AppendCrc(Bytes& b, std::uint16_t crc, ModemCrcOrder order) {
    const auto low = static_cast<std::uint8_t>(crc & 0xFF);
    const auto high = static_cast<std::uint8_t>(crc >> 8);
    if (order == ModemCrcOrder::kLowFirst) {
        b.insert(b.end(), {low, high});
    } else {
        b.insert(b.end(), {high, low});
    }
}

Bytes ExpectedHeader(const std::string& name, std::uint32_t size, std::uint16_t crc,
                     ModemCrcOrder order) {
    Bytes b{0x01, 0x00, 0xFF};
    const std::string info = name + '\0' + std::to_string(size);
    b.insert(b.end(), info.begin(), info.end());
    b.resize(3 + 128, 0x00);
    AppendCrc(b, crc, order);
    return b;
}

Bytes ExpectedData(const DataPacket& p, const Bytes& image, ModemCrcOrder order) {
    const std::size_t n = p.header == 0x02 ? 1024 : 128;
    Bytes b{p.header, p.block, static_cast<std::uint8_t>(255 - p.block)};
    b.insert(b.end(), image.begin() + p.offset, image.begin() + p.offset + p.count);
    b.resize(3 + n, 0x1A);
    AppendCrc(b, p.crc, order);
    return b;
}

Bytes EndOfBatch() {
    Bytes b{0x01, 0x00, 0xFF};
    b.resize(3 + 128 + 2, 0x00);
    return b;
}

constexpr auto kBoot = ModemDialect::kBootLoader;
constexpr auto kStd = ModemDialect::kStandard;

const std::vector<TransferCase> kTransfers = {
    {"one byte: SOH with 127 pads",
     "fw.bin",
     1,
     kBoot,
     0xB9B7,
     {{0x01, 1, 0, 1, 0xA1EE}},
     {0, 100}},
    {"128 bytes still go as STX",
     "fw.bin",
     128,
     kBoot,
     0x7D37,
     {{0x02, 1, 0, 128, 0x3B4B}},
     {0, 100}},
    {"exactly one STX packet",
     "fw.bin",
     1024,
     kBoot,
     0x065D,
     {{0x02, 1, 0, 1024, 0x9404}},
     {0, 100}},
    {"1025: STX then SOH tail",
     "fw.bin",
     1025,
     kBoot,
     0xC656,
     {{0x02, 1, 0, 1024, 0x9404}, {0x01, 2, 1024, 1, 0xCBF8}},
     {0, 99, 100}},
    {"1152: tail of 128 is STX",
     "fw.bin",
     1152,
     kBoot,
     0x1EBC,
     {{0x02, 1, 0, 1024, 0x9404}, {0x02, 2, 1024, 128, 0x9F3D}},
     {0, 88, 100}},
    {"1124: progress 0, 91, 100",
     "fw.bin",
     1124,
     kBoot,
     0xA162,
     {{0x02, 1, 0, 1024, 0x9404}, {0x01, 2, 1024, 100, 0x053F}},
     {0, 91, 100}},
    {"app.bin of 900 bytes", "app.bin", 900, kBoot, 0x6F6D, {{0x02, 1, 0, 900, 0xAA44}}, {0, 100}},
    {"single-precision percent of an exact 64",
     "fw.bin",
     1600,
     kBoot,
     0x604A,
     {{0x02, 1, 0, 1024, 0x9404}, {0x02, 2, 1024, 576, 0x3AFD}},
     {0, 64, 100}},
    {"standard: CRC high byte first, one EOT",
     "fw.bin",
     1025,
     kStd,
     0xC656,
     {{0x02, 1, 0, 1024, 0x9404}, {0x01, 2, 1024, 1, 0xCBF8}},
     {0, 99, 100}},
};

TEST(ModemPackets, WholeTransfersAreByteExact) {
    for (const TransferCase& c : kTransfers) {
        SCOPED_TRACE(c.label);
        SenderRig rig(c.size, c.name, c.dialect);
        rig.RunCleanTransfer();

        const ModemCrcOrder order = c.dialect == ModemDialect::kStandard ? ModemCrcOrder::kHighFirst
                                                                         : ModemCrcOrder::kLowFirst;
        std::vector<Bytes> expected{ExpectedHeader(c.name, c.size, c.headerCrc, order)};
        for (const DataPacket& p : c.packets)
            expected.push_back(ExpectedData(p, rig.image, order));
        expected.push_back({0x04});
        // The boot loader gets a second EOT; a standard receiver has taken the first.
        if (c.dialect == ModemDialect::kBootLoader)
            expected.push_back({0x04});
        expected.push_back(EndOfBatch());

        ASSERT_EQ(rig.out.writes.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(rig.out.writes[i], expected[i]) << "write " << i;
        }
        EXPECT_EQ(rig.progress, c.progress);
        EXPECT_EQ(rig.percentSeen, c.progress);
        EXPECT_EQ(rig.sender->m_busy.load(), 0);
        EXPECT_EQ(rig.sender->State(), ModemState::kFinished);
    }
}

TEST(ModemPackets, BlockZeroForAppBinSpelledOut) {
    SenderRig rig(900, "app.bin");
    rig.Feed(kModemCrcRequest);
    ASSERT_EQ(rig.out.writes.size(), 1u);
    const Bytes& b = rig.out.writes[0];
    ASSERT_EQ(b.size(), 133u);
    const Bytes start{0x01, 0x00, 0xFF, 'a', 'p', 'p', '.', 'b', 'i', 'n', 0x00, '9', '0', '0'};
    EXPECT_TRUE(std::equal(start.begin(), start.end(), b.begin()));
    EXPECT_TRUE(
        std::all_of(b.begin() + 14, b.begin() + 131, [](std::uint8_t x) { return x == 0; }));
    EXPECT_EQ(b[131], 0x6D);
    EXPECT_EQ(b[132], 0x6F);
}

TEST(ModemPackets, BlockNumbersWrapAfter255) {
    const std::uint32_t size = 256 * 1024 + 1;
    SenderRig rig(size);
    rig.RunCleanTransfer();
    // Block 0, 257 data packets, two EOTs, the end-of-batch block.
    ASSERT_EQ(rig.out.writes.size(), 1u + 257u + 3u);
    struct Expect {
        std::size_t packet;
        std::uint8_t number;
        std::uint8_t complement;
    };
    for (const Expect e : {Expect{1, 0x01, 0xFE}, Expect{255, 0xFF, 0x00}, Expect{256, 0x00, 0xFF},
                           Expect{257, 0x01, 0xFE}}) {
        const Bytes& w = rig.out.writes[e.packet];
        EXPECT_EQ(w[1], e.number) << "packet " << e.packet;
        EXPECT_EQ(w[2], e.complement) << "packet " << e.packet;
    }
    EXPECT_EQ(rig.out.writes[256][0], kModemStx);
    EXPECT_EQ(rig.out.writes[257][0], kModemSoh);
    EXPECT_EQ(rig.Received(), rig.image);
}

TEST(ModemPackets, LargestImageArrivesWholeWithValidCrcs) {
    SenderRig rig(static_cast<std::uint32_t>(kModemImageCapacity));
    rig.RunCleanTransfer();
    EXPECT_EQ(rig.Received(), rig.image);
    for (const Bytes& w : rig.out.writes) {
        if (w.size() < 133)
            continue;
        const std::size_t n = w.size() - 5;
        const std::uint16_t crc = ModemSender::Crc16(w.data() + 3, n);
        EXPECT_EQ(w[3 + n], crc & 0xFF);
        EXPECT_EQ(w[4 + n], crc >> 8);
    }
    ASSERT_EQ(rig.progress.size(), 501u);
    EXPECT_EQ(rig.progress[499], 99);
    EXPECT_EQ(rig.progress[500], 100);
    EXPECT_TRUE(std::is_sorted(rig.progress.begin(), rig.progress.end()));
}

TEST(ModemPackets, FileInfoIsCutAtTheBlockEnd) {
    struct Case {
        std::size_t nameLength;
        std::string tail;  // what follows the name inside the 128 bytes
    };
    for (const Case& c : {Case{123, std::string("\0"
                                                "900",
                                                4)},
                          Case{125, std::string("\0"
                                                "90",
                                                3)},
                          Case{127, std::string("\0", 1)}, Case{399, ""}}) {
        SCOPED_TRACE(c.nameLength);
        const std::string name(c.nameLength, 'n');
        SenderRig rig(900, name);
        rig.Feed(kModemCrcRequest);
        ASSERT_EQ(rig.out.writes.size(), 1u);
        const Bytes& b = rig.out.writes[0];
        std::string info = name.substr(0, 128) + c.tail;
        info.resize(128, '\0');
        EXPECT_EQ(std::string(b.begin() + 3, b.begin() + 131), info);
        const std::uint16_t crc = ModemSender::Crc16(b.data() + 3, 128);
        EXPECT_EQ(b[131], crc & 0xFF);
        EXPECT_EQ(b[132], crc >> 8);
    }
}

TEST(ModemCrc, KnownValuesAndTheBitwiseFormAgree) {
    const char* check = "123456789";
    const auto* digits = reinterpret_cast<const std::uint8_t*>(check);
    EXPECT_EQ(ModemSender::Crc16(digits, 9), 0x31C3);
    EXPECT_EQ(ModemSender::Crc16(digits, 0), 0x0000);

    // The shift register fed with the data and two zero bytes gives the same CRC, for every
    // length and for bytes with the top bit set.
    const Bytes data = PatternImage(1100);
    for (std::size_t length : {1u, 2u, 3u, 127u, 128u, 1024u, 1100u}) {
        std::uint16_t crc = 0;
        for (std::size_t i = 0; i < length; ++i)
            crc = ModemSender::Crc16Step(crc, data[i]);
        crc = ModemSender::Crc16Step(ModemSender::Crc16Step(crc, 0), 0);
        EXPECT_EQ(ModemSender::Crc16(data.data(), length), crc) << "length " << length;
    }
}

}  // namespace
