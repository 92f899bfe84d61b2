#include <gtest/gtest.h>

#include "test_case_name.h"

#include <cctype>
#include <ostream>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "core/params/config_file.h"
#include "core/params/window_save.h"
#include "core/protocol/frame_parser.h"
#include "param_test_support.h"

namespace {

std::vector<std::string> Lines(const std::string& text, const std::string& end = "\r\n") {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t e = text.find(end, pos);
        lines.push_back(text.substr(pos, e - pos));
        pos = e == std::string::npos ? text.size() : e + end.size();
    }
    return lines;
}

std::string FileOf(const ParameterBlock& blocks, const std::string& end = "\r\n") {
    std::string text;
    for (const BlockBytes& block : blocks)
        for (std::uint8_t b : block)
            text += std::to_string(b) + end;
    return text;
}

// Line k (1-based) holds block (k-1)/17 + 1, byte 5 + (k-1) % 17.
constexpr int LineOf(int block, int byte) {
    return (block - 1) * 17 + (byte - 5) + 1;
}

ParameterBlock SampleBlocks(unsigned seed) {
    std::mt19937 rng(seed);
    return RandomParameterBlock(rng);
}

TEST_F(ParamsTest, SaveWritesOneHundredNineteenDecimalLines) {
    ParameterValues values;
    values.m_page0.m_modelIndex = 1;
    values.m_page0.m_voltageIndex = 0;
    values.m_page0.m_overVoltage = 60.8f;
    values.m_page3.m_polePairs = 4;
    values.m_mainWindow.m_voltageCalibValue = 4660;
    values.m_mainWindow.m_fieldWeakeningText = "200";
    g_paramWriteFrames[6][21] = 0xAB;  // as received: no encoder owns it
    const std::optional<std::string> text = SaveConfiguration(values, true);
    ASSERT_TRUE(text);
    const std::vector<std::string> lines = Lines(*text);
    ASSERT_EQ(lines.size(), 119u);
    EXPECT_EQ(text->substr(0, 10), "10\r\n0\r\n2\r\n");
    EXPECT_EQ(lines[LineOf(1, 8) - 1], "96");
    EXPECT_EQ(lines[LineOf(1, 18) - 1], "18");
    EXPECT_EQ(lines[LineOf(1, 19) - 1], "52");
    EXPECT_EQ(lines[LineOf(3, 18) - 1], "4");
    EXPECT_EQ(lines[LineOf(4, 21) - 1], "200");
    EXPECT_EQ(lines[LineOf(7, 21) - 1], "171");
    EXPECT_EQ(text->back(), '\n');
    // The encoded bytes stay in the write frames.
    EXPECT_EQ(g_paramWriteFrames[0][5], 10);
    EXPECT_EQ(*text, FormatConfiguration(g_paramWriteFrames));
}

TEST_F(ParamsTest, NothingIsSavedOrEncodedWhenThePagesDidNotExchange) {
    ParameterValues values;
    values.m_page0.m_modelIndex = 2;
    EXPECT_FALSE(SaveConfiguration(values, false));
    EXPECT_EQ(g_paramWriteFrames, InitialParamWriteFrames());
}

TEST_F(ParamsTest, ImportDecodesTheFileAndTakesTheCalibrationOver) {
    const ParameterBlock blocks = SampleBlocks(1);
    ParameterValues values;
    const ImportResult result = ImportConfiguration(FileOf(blocks), values);
    ASSERT_TRUE(result.m_imported);
    for (int n = 1; n <= kBlockCount; ++n)
        EXPECT_EQ(WrittenBlock(n), blocks[n - 1]);
    const auto word = [&](int block, int byte) {
        return static_cast<std::uint32_t>((At(blocks, block, byte) << 8) |
                                          At(blocks, block, byte + 1));
    };
    EXPECT_EQ(values.m_mainWindow.m_voltageCalibValue, word(1, 18));
    EXPECT_EQ(values.m_mainWindow.m_currentCalibValue, word(1, 20));
    EXPECT_EQ(values.m_mainWindow.m_fieldWeakeningText, std::to_string(At(blocks, 5, 21)));
    EXPECT_EQ(values.m_page1.m_mtpa, static_cast<std::uint32_t>(At(blocks, 2, 21)));
    EXPECT_EQ(static_cast<std::uint32_t>(values.m_page0.m_engageTorque), word(7, 13));
    ParameterValues read;
    ResetParameterState();
    DecodeParameterBlocks(read, blocks);
    const std::string checkOfRead = g_paramCheckText.Get();
    ResetParameterState();
    ParameterValues imported;
    ImportConfiguration(FileOf(blocks), imported);
    // The check value covers the file's seven blocks, not block 1 with older ones.
    EXPECT_EQ(g_paramCheckText.Get(), checkOfRead);
}

TEST_F(ParamsTest, ImportReadsItsOwnBufferNotTheParsersWindow) {
    g_frameParser.m_window.fill(0x3C);
    const auto before = g_frameParser.m_window;
    ParameterValues values;
    ASSERT_TRUE(ImportConfiguration(FileOf(SampleBlocks(2)), values).m_imported);
    EXPECT_EQ(g_frameParser.m_window, before);
}

TEST_F(ParamsTest, SaveImportSaveGivesTheFileBackButTheCoefficient) {
    ParameterValues values;
    DecodeParameterBlocks(values, SampleBlocks(3));
    TakeOverCalibrationIfReceived(values.m_mainWindow);
    values.m_page3.m_pushAssistSpeed = 42;
    values.m_mainWindow.m_fieldWeakeningText = "77";  // typed, unlike block 5 byte 21
    const std::string first = *SaveConfiguration(values, true);

    ResetParameterState();
    ParameterValues window;
    ASSERT_TRUE(ImportConfiguration(first, window).m_imported);
    const std::string second = *SaveConfiguration(window, true);

    std::vector<std::string> expected = Lines(first);
    ASSERT_NE(expected[LineOf(4, 21) - 1], expected[LineOf(5, 21) - 1]);
    expected[LineOf(4, 21) - 1] = expected[LineOf(5, 21) - 1];
    EXPECT_EQ(Lines(second), expected);
}

struct Accepted {
    const char* name;
    std::string (*text)(const ParameterBlock&);
};

void PrintTo(const Accepted& c, std::ostream* os) {
    *os << c.name;
}

const Accepted kAccepted[] = {
    {"CR LF", [](const ParameterBlock& b) { return FileOf(b); }},
    {"LF only", [](const ParameterBlock& b) { return FileOf(b, "\n"); }},
    {"last line without its end",
     [](const ParameterBlock& b) {
         std::string t = FileOf(b);
         t.resize(t.size() - 2);
         return t;
     }},
    {"blanks around the numbers",
     [](const ParameterBlock& b) {
         std::string t;
         for (const BlockBytes& block : b)
             for (std::uint8_t v : block)
                 t += " \t" + std::to_string(v) + "  \r\n";
         return t;
     }},
    {"leading zeros",
     [](const ParameterBlock& b) {
         std::string t;
         for (const BlockBytes& block : b)
             for (std::uint8_t v : block)
                 t += "000" + std::to_string(v) + "\r\n";
         return t;
     }},
    {"lines after the 119th are ignored",
     [](const ParameterBlock& b) { return FileOf(b) + "garbage\r\n300\r\n\r\n"; }},
};

class ImportAccepts : public ParamsTest, public ::testing::WithParamInterface<Accepted> {};

TEST_P(ImportAccepts, TheSevenBlocks) {
    const ParameterBlock blocks = SampleBlocks(4);
    ParameterValues values;
    const ImportResult result = ImportConfiguration(GetParam().text(blocks), values);
    ASSERT_TRUE(result.m_imported) << DescribeImportFailure(result.m_failure);
    for (int n = 1; n <= kBlockCount; ++n)
        EXPECT_EQ(WrittenBlock(n), blocks[n - 1]) << n;
}

INSTANTIATE_TEST_SUITE_P(Files, ImportAccepts, ::testing::ValuesIn(kAccepted), CaseName());

struct Refused {
    const char* name;
    std::string text;
    ImportFailure failure;
};

void PrintTo(const Refused& c, std::ostream* os) {
    *os << c.name;
}

std::string WithLine(int line, const std::string& content) {
    std::vector<std::string> lines(119, "7");
    lines[line - 1] = content;
    std::string t;
    for (const std::string& l : lines)
        t += l + "\r\n";
    return t;
}

std::string RepeatedLines(int count) {
    std::string t;
    for (int i = 0; i < count; ++i)
        t += "1\r\n";
    return t;
}

const Refused kRefused[] = {
    {"empty file", "", {ImportError::kMissingLine, 1}},
    {"118 lines", RepeatedLines(118), {ImportError::kMissingLine, 119}},
    {"118 lines and an empty one", RepeatedLines(118) + "\r\n", {ImportError::kEmptyLine, 119}},
    {"300", WithLine(5, "300"), {ImportError::kOutOfRange, 5}},
    {"256", WithLine(119, "256"), {ImportError::kOutOfRange, 119}},
    {"a very long number", WithLine(2, "99999999999999999999999"), {ImportError::kOutOfRange, 2}},
    // 2^32: a parser that lets the number run on wraps it to exactly 0.
    {"a number that wraps to zero", WithLine(6, "4294967296"), {ImportError::kOutOfRange, 6}},
    {"12abc", WithLine(7, "12abc"), {ImportError::kNotANumber, 7}},
    {"empty line", WithLine(3, ""), {ImportError::kEmptyLine, 3}},
    {"blank line", WithLine(40, "  \t "), {ImportError::kEmptyLine, 40}},
    {"minus one", WithLine(9, "-1"), {ImportError::kNotANumber, 9}},
    {"plus sign", WithLine(10, "+5"), {ImportError::kNotANumber, 10}},
    {"decimal point", WithLine(11, "1.0"), {ImportError::kNotANumber, 11}},
    {"two numbers", WithLine(12, "1 2"), {ImportError::kNotANumber, 12}},
    {"CR only line ends", std::string("1\r2\r3\r"), {ImportError::kNotANumber, 1}},
    {"a stray CR", WithLine(50, "5\r"), {ImportError::kNotANumber, 50}},
    {"a NUL byte", WithLine(60, std::string("5\0", 2)), {ImportError::kNotANumber, 60}},
    {"the first bad line counts",
     WithLine(100, "x").replace(0, 1, "y"),
     {ImportError::kNotANumber, 1}},
};

class ImportRefuses : public ParamsTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(ImportRefuses, WithTheLineAndChangesNothing) {
    // A window that has read a controller and had a value typed.
    ParameterValues values;
    DecodeParameterBlocks(values, SampleBlocks(5));
    TakeOverCalibrationIfReceived(values.m_mainWindow);
    values.m_mainWindow.m_fieldWeakeningText = "12";
    const ParameterValues valuesBefore = values;
    const ParamWriteFrames framesBefore = g_paramWriteFrames;
    const std::string checkBefore = g_paramCheckText.Get();
    const std::uint16_t calibBefore = g_voltageCalib.load();
    g_calibReceived = 0;

    const ImportResult result = ImportConfiguration(GetParam().text, values);
    EXPECT_FALSE(result.m_imported);
    EXPECT_EQ(result.m_failure, GetParam().failure) << DescribeImportFailure(result.m_failure);
    EXPECT_EQ(values, valuesBefore);
    EXPECT_EQ(g_paramWriteFrames, framesBefore);
    EXPECT_EQ(g_paramCheckText.Get(), checkBefore);
    EXPECT_EQ(g_voltageCalib.load(), calibBefore);
    EXPECT_EQ(g_calibReceived.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Files, ImportRefuses, ::testing::ValuesIn(kRefused), CaseName());

TEST(ImportFailureText, NamesTheLineAndTheReason) {
    EXPECT_EQ(DescribeImportFailure({ImportError::kOutOfRange, 5}), "line 5: not within 0..255");
    EXPECT_EQ(DescribeImportFailure({ImportError::kMissingLine, 119}),
              "line 119: missing (a configuration file has 119 lines)");
    EXPECT_EQ(DescribeImportFailure({ImportError::kNotANumber, 7}), "line 7: not a whole number");
    EXPECT_EQ(DescribeImportFailure({ImportError::kEmptyLine, 3}), "line 3: empty");
}

TEST_F(ParamsTest, ImportTakesByteBuffersAsWell) {
    const std::string text = FileOf(SampleBlocks(6));
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    ParameterValues values;
    EXPECT_TRUE(ImportConfiguration(std::span<const std::uint8_t>(bytes), values).m_imported);
    const ConfigParseResult parsed = ParseConfiguration(std::span<const std::uint8_t>(bytes));
    EXPECT_TRUE(parsed.m_ok);
    EXPECT_EQ(parsed.m_blocks, SampleBlocks(6));
}

// What the window saves right after connecting, nothing touched: the received blocks, with
// block 4 byte 21 replaced by the coefficient the main window took over from block 5 byte 21,
// and the encoders' canonical forms.
TEST_F(ParamsTest, SaveAfterConnectIsTheReceivedSetAsTheWindowWritesIt) {
    ParameterBlock received = SampleBlocks(8);
    received[0][11 - 5] = 10;   // hysteresis 1.0 V
    received[2][16 - 5] = 80;   // reverse speed 80 %
    received[3][6 - 5] = 0x40;  // push assist 50 %
    received[3][7 - 5] = 0x00;
    received[0][5 - 5] = 30;     // a known model code
    received[0][6 - 5] = 0x13;   // brand 1, 84 V
    received[1][16 - 5] = 0x84;  // soft start, gear 1
    received[1][18 - 5] = 12;
    received[2][17 - 5] = 0x80;
    received[3][5 - 5] = 0x04;
    for (int byte : {5, 7, 9, 11, 13, 15, 17, 19}) {
        received[4][byte - 5] &= 0x0F;
        received[5][byte - 5] &= 0x0F;
    }
    received[3][21 - 5] = 0x11;  // not what block 5 byte 21 says
    ParameterValues values;
    const WindowSave save = SaveAfterConnect(values, received);
    ASSERT_TRUE(save.Saved());
    ParameterBlock expected = received;
    expected[3][21 - 5] = received[4][21 - 5];
    EXPECT_EQ(save.m_file, FileOf(expected));
    EXPECT_EQ(values.m_mainWindow.m_fieldWeakeningText, std::to_string(received[4][21 - 5]));
    EXPECT_EQ(g_calibReceived.load(), 0);
}

struct PageRefusal {
    const char* name;
    int block;
    int byte;
    std::uint8_t value;
    int controlId;
    const char* message;
};

void PrintTo(const PageRefusal& c, std::ostream* os) {
    *os << c.name;
}

const PageRefusal kPageRefusals[] = {
    {"hysteresis 6.1", 1, 11, 61, 1012, "Enter a number between 0 and 6."},
    {"reverse speed 101", 3, 16, 101, 1010, "Enter an integer between 0 and 100."},
    {"negative push assist", 4, 6, 0x80, 1011, "Enter an integer between 0 and 100."},
};

class SaveAfterConnectRefuses : public ParamsTest,
                                public ::testing::WithParamInterface<PageRefusal> {};

TEST_P(SaveAfterConnectRefuses, WhenAPageWouldNotExchange) {
    const PageRefusal& r = GetParam();
    ParameterBlock received{};
    received[0][11 - 5] = 60;  // 6.0 V is still within the range
    received[2][16 - 5] = 100;
    received[3][6 - 5] = 0x7F;
    received[r.block - 1][r.byte - 5] = r.value;
    ParameterValues values;
    const WindowSave save = SaveAfterConnect(values, received);
    EXPECT_FALSE(save.Saved());
    ASSERT_TRUE(save.m_pageRefused);
    EXPECT_EQ(save.m_pageRefused->m_controlId, r.controlId);
    EXPECT_EQ(save.m_pageRefused->m_message, r.message);
    EXPECT_EQ(save.m_file, "");
    // The frames hold the received blocks, not encoded ones.
    for (int n = 1; n <= kBlockCount; ++n)
        EXPECT_EQ(WrittenBlock(n), received[n - 1]);
}

INSTANTIATE_TEST_SUITE_P(Pages, SaveAfterConnectRefuses, ::testing::ValuesIn(kPageRefusals),
                         CaseName());

TEST_F(ParamsTest, EdgesOfThePageRangesStillSave) {
    ParameterBlock received{};
    received[0][11 - 5] = 60;
    received[2][16 - 5] = 100;
    received[3][6 - 5] = 0x7F;
    received[3][7 - 5] = 0xFF;
    ParameterValues values;
    EXPECT_TRUE(SaveAfterConnect(values, received).Saved());
    ParameterValues typed;
    typed.m_page3.m_pushAssistSpeed = 100;
    EXPECT_FALSE(FirstPageRangeFailure(typed));
    typed.m_page0.m_underVoltageHysteresis = -0.5f;
    EXPECT_TRUE(FirstPageRangeFailure(typed));
}

TEST_F(ParamsTest, SaveAfterImportGivesTheFileBackButTheCoefficient) {
    ParameterBlock blocks = SampleBlocks(9);
    blocks[0][11 - 5] = 45;
    blocks[2][16 - 5] = 30;
    blocks[3][6 - 5] = 0x20;
    blocks[3][7 - 5] = 0x00;
    blocks[0][5 - 5] = 10;
    blocks[0][6 - 5] = 0x52;
    blocks[1][16 - 5] = (blocks[1][16 - 5] & 0xF1) | 0x02;
    blocks[1][18 - 5] = 16;
    blocks[2][17 - 5] &= 0xF8;
    blocks[3][5 - 5] &= 0x7F;
    for (int byte : {5, 7, 9, 11, 13, 15, 17, 19}) {
        blocks[4][byte - 5] &= 0x0F;
        blocks[5][byte - 5] &= 0x0F;
    }
    ParameterValues values;
    const WindowSave save = SaveAfterImport(values, FileOf(blocks, "\n"));
    ASSERT_TRUE(save.Saved());
    ParameterBlock expected = blocks;
    expected[3][21 - 5] = blocks[4][21 - 5];
    EXPECT_EQ(save.m_file, FileOf(expected));

    const WindowSave refused = SaveAfterImport(values, RepeatedLines(118));
    EXPECT_FALSE(refused.Saved());
    ASSERT_TRUE(refused.m_importRefused);
    EXPECT_EQ(refused.m_importRefused->m_line, 119);
}

}  // namespace
