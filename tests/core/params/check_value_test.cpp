#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>

#include "param_test_support.h"

namespace {

// The sum the check value is meant to be, written out on its own: all bytes of the set except
// the calibration values, block 3's flags byte, byte 21 of blocks 4 and 6, and block 7 from
// byte 15 on.
int ExpectedCheck(const ParameterBlock& b) {
    int sum = 0;
    for (int i = 5; i <= 17; ++i)
        sum += At(b, 1, i);
    for (int i = 5; i <= 21; ++i)
        sum += At(b, 2, i);
    for (int i = 5; i <= 21; ++i)
        if (i != 17)
            sum += At(b, 3, i);
    for (int i = 5; i <= 20; ++i)
        sum += At(b, 4, i);
    for (int i = 5; i <= 21; ++i)
        sum += At(b, 5, i);
    for (int i = 5; i <= 20; ++i)
        sum += At(b, 6, i);
    for (int i = 5; i <= 14; ++i)
        sum += At(b, 7, i);
    return sum;
}

TEST_F(ParamsTest, CheckTextIsEmptyUntilABlockIsDecoded) {
    EXPECT_EQ(g_paramCheckText.Get(), "");
}

TEST_F(ParamsTest, ThirteenOnesAndCalibrationGiveThirteen) {
    ParameterValues values;
    BlockBytes block{};
    for (int i = 5; i <= 17; ++i)
        block[i - kBlockFirstByte] = 1;
    for (int i = 18; i <= 21; ++i)
        block[i - kBlockFirstByte] = 0x55;
    DecodeParameterBlock(values, 1, block);
    EXPECT_EQ(g_paramCheckText.Get(), "13");
}

TEST_F(ParamsTest, CheckValueLeavesOutTheListedBytes) {
    ParameterBlock all{};
    for (BlockBytes& b : all)
        b.fill(1);
    ParameterValues values;
    DecodeParameterBlocks(values, all);
    // 119 bytes less 4 calibration, block 3 byte 17, block 4 byte 21, block 6 byte 21 and
    // block 7 bytes 15..21.
    EXPECT_EQ(g_paramCheckText.Get(), std::to_string(119 - 4 - 1 - 1 - 1 - 7));
    EXPECT_EQ(ParamCheckValue(g_paramWriteFrames), ExpectedCheck(all));
}

// The value must describe the set the tool holds once all seven blocks of a controller are in,
// whatever was read before, so that two controllers of a batch can be compared.
TEST_F(ParamsTest, CheckValueDescribesTheLastControllerRead) {
    std::mt19937 rng(99);
    const ParameterBlock a = RandomParameterBlock(rng);
    const ParameterBlock b = RandomParameterBlock(rng);
    ParameterValues values;
    DecodeParameterBlocks(values, a);
    EXPECT_EQ(g_paramCheckText.Get(), std::to_string(ExpectedCheck(a)));
    for (int n = 1; n <= kBlockCount; ++n) {
        DecodeParameterBlock(values, n, b[n - 1]);
        // Part-way through, the value mixes the blocks received so far with the older ones.
        ParameterBlock mixed = a;
        for (int k = 0; k < n; ++k)
            mixed[k] = b[k];
        EXPECT_EQ(g_paramCheckText.Get(), std::to_string(ExpectedCheck(mixed))) << "block " << n;
    }
    // The same value a fresh program shows for controller b.
    const std::string afterA = g_paramCheckText.Get();
    ResetParameterState();
    ParameterValues fresh;
    DecodeParameterBlocks(fresh, b);
    EXPECT_EQ(g_paramCheckText.Get(), afterA);
}

TEST_F(ParamsTest, EncodedFramesCountAtTheNextDecode) {
    ParameterValues values;
    values.m_page1.m_mtpa = 100;
    EncodeParameterBlock2(values);
    EXPECT_EQ(g_paramCheckText.Get(), "");
    DecodeParameterBlock(values, 7, BlockBytes{});
    // Block 2 as encoded: mtpa 100, default gear 0 sets bit 3 of byte 16, soft start level 1.
    EXPECT_EQ(g_paramCheckText.Get(), std::to_string(100 + 0x08 + 1));
}

// The tick reads the decoder's outputs on the GUI thread while blocks are decoded elsewhere;
// every read must see a whole value (run under the thread sanitizer to prove it).
TEST_F(ParamsTest, DecoderOutputsCanBeReadWhileBlocksAreDecoded) {
    std::atomic<bool> done{false};
    std::thread reader([&] {
        while (!done.load()) {
            const std::string text = g_paramCheckText.Get();
            ASSERT_TRUE(text.empty() || text == "13" || text == "0") << text;
            (void)g_voltageCalib.load();
            (void)g_calibReceived.exchange(0);
        }
    });
    ParameterValues values;
    BlockBytes ones{};
    for (int i = 5; i <= 17; ++i)
        ones[i - kBlockFirstByte] = 1;
    for (int round = 0; round < 2000; ++round)
        DecodeParameterBlock(values, 1, round % 2 ? ones : BlockBytes{});
    done = true;
    reader.join();
}

TEST_F(ParamsTest, CalibrationIsTakenOverOncePerReceivedBlock) {
    ParameterValues values;
    DecodeParameterBlock(values, 1, BlockWith({{18, 0x01}, {19, 0x2C}, {20, 0x00}, {21, 0x64}}));
    DecodeParameterBlock(values, 5, BlockWith({{21, 33}}));
    MainWindowValues window;
    EXPECT_TRUE(TakeOverCalibrationIfReceived(window));
    EXPECT_EQ(window.m_voltageCalibValue, 300u);
    EXPECT_EQ(window.m_currentCalibValue, 100u);
    EXPECT_EQ(window.m_fieldWeakeningValue, 33u);
    EXPECT_EQ(window.m_fieldWeakeningText, "33");
    EXPECT_EQ(g_calibReceived.load(), 0);
    window.SetFieldWeakening(7);
    EXPECT_FALSE(TakeOverCalibrationIfReceived(window));
    EXPECT_EQ(window.m_fieldWeakeningText, "7");
    // Block 5 alone does not raise the flag; block 7 does.
    DecodeParameterBlock(values, 5, BlockWith({{21, 44}}));
    EXPECT_FALSE(TakeOverCalibrationIfReceived(window));
    DecodeParameterBlock(values, 7, BlockBytes{});
    EXPECT_TRUE(TakeOverCalibrationIfReceived(window));
    EXPECT_EQ(window.m_fieldWeakeningText, "44");
}

}  // namespace
