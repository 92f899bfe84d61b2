#include "core/protocol/command_frame.h"

#include <gtest/gtest.h>

namespace {

struct CatalogueCase {
    std::string_view letters;
    std::uint8_t checksum;
};

class Catalogue : public ::testing::TestWithParam<CatalogueCase> {};

TEST_P(Catalogue, SealedFrameIsByteExact) {
    const auto& c = GetParam();
    CommandFrame expected{};
    expected[0] = 0xC9;
    expected[1] = 0x14;
    expected[2] = 0x02;
    for (std::size_t i = 0; i < c.letters.size(); ++i)
        expected[3 + i] = c.letters[i];
    expected[22] = c.checksum;
    expected[23] = 0x0D;
    EXPECT_EQ(MakeSealedCommand(c.letters), expected);
}

// Checksums worked out by hand: XOR of 0xC9 0x14 0x02 and the letters.
INSTANTIATE_TEST_SUITE_P(
    Commands, Catalogue,
    ::testing::Values(CatalogueCase{"LDGET", 0x81}, CatalogueCase{"RESET", 0x8A},
                      CatalogueCase{"RESTT", 0x9B}, CatalogueCase{"CLERR", 0x95},
                      CatalogueCase{"CLESR", 0x94}, CatalogueCase{"RSFSE", 0x8E},
                      CatalogueCase{"STFSE", 0x88}, CatalogueCase{"BLOOD", 0x95},
                      CatalogueCase{"BLOTD", 0x8E}));

TEST(CommandFrame, ChecksumCoversBytes0To21Only) {
    CommandFrame f = MakeParamWriteFrame(3);
    f[21] = 0x5A;
    f[22] = 0xEE;  // stale checksum must not feed into the new one
    SetFrameChecksum(f);
    EXPECT_EQ(f[22], 0x8C ^ 0x5A);
    EXPECT_EQ(f[23], 0x0D);
}

TEST(CommandFrame, CopySealsTheCopyAndLeavesTheSource) {
    CommandFrame source = MakeParamWriteFrame(3);
    source[22] = 0x77;
    CommandFrame copy{};
    CopyFrameWithChecksum(source, copy);
    EXPECT_EQ(copy[22], 0x8C);
    EXPECT_EQ(source[22], 0x77);
    EXPECT_TRUE(std::equal(source.begin(), source.begin() + 22, copy.begin()));
}

TEST(CommandFrame, TemplatesStartAsCatalogued) {
    EXPECT_EQ(g_readFrame[3], 'L');
    EXPECT_EQ(g_readFrame[7], 'T');
    EXPECT_EQ(g_showFrame[3], 'S');
    EXPECT_EQ(g_showFrame[6], 'W');
    EXPECT_EQ(g_showFrame[7], 0);
    EXPECT_EQ(g_showFrame[23], 0x0D);
}

}  // namespace
