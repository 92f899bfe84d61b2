// The parameter set on the wire: 'R' frames, configuration files and the write/read round trip.

#include <gtest/gtest.h>

#include <string>

#include "sim/sim_controller.h"
#include "sim/sim_parameter_set.h"
#include "sim_test_support.h"

namespace {

using namespace sim_test;

// Throttle volts from a stored byte, as the tool decodes them.
double ThrottleVolts(int b) {
    const int q = b * 550 / 255;
    return (q + 2) / 100.0;
}

std::vector<Bytes> ReadParameters(sim::SimController& controller) {
    return SplitFrames(controller.Receive(ToolFrame("LDGET")));
}

TEST(SimParameterFrames, LdgetIsAnsweredWithSevenReadFramesInBlockOrder) {
    FakeClock clock;
    sim::SimController controller({}, clock.Function());
    const Bytes reply = controller.Receive(ToolFrame("LDGET"));
    ASSERT_EQ(reply.size(), 7u * 24u);
    const std::vector<Bytes> frames = SplitFrames(reply);
    for (int block = 1; block <= 7; ++block) {
        SCOPED_TRACE(block);
        const Bytes& f = frames[static_cast<std::size_t>(block - 1)];
        EXPECT_EQ(f[0], 0xC0);
        EXPECT_EQ(f[1], 20);
        EXPECT_EQ(f[3], 'R');
        EXPECT_EQ(f[4], block);
        EXPECT_EQ(f[22], Xor(f, 22));
        EXPECT_EQ(f[23], 0x0D);
    }
}

TEST(SimParameterFrames, ReadBlocksFaultSendsOnlyTheFirstBlocks) {
    for (const int sent : {0, 3, 6}) {
        SCOPED_TRACE(sent);
        FakeClock clock;
        sim::SimConfig config;
        config.faults.readBlocks = sent;
        sim::SimController controller(config, clock.Function());
        const std::vector<Bytes> frames = ReadParameters(controller);
        ASSERT_EQ(frames.size(), static_cast<std::size_t>(sent));
        for (int block = 1; block <= sent; ++block)
            EXPECT_EQ(frames[static_cast<std::size_t>(block - 1)][4], block);
        EXPECT_EQ(controller.Counters().parameterReads, 1u);
    }
}

// The default set must decode into a plausible 72 V controller, byte for byte where the tool
// reads it.
TEST(SimParameterFrames, DefaultSetDecodesAsA72VoltController) {
    FakeClock clock;
    sim::SimController controller({}, clock.Function());
    const std::vector<Bytes> r = ReadParameters(controller);
    ASSERT_EQ(r.size(), 7u);
    const Bytes& b1 = r[0];
    const Bytes& b2 = r[1];
    const Bytes& b3 = r[2];
    const Bytes& b4 = r[3];
    const Bytes& b5 = r[4];
    const Bytes& b6 = r[5];
    const Bytes& b7 = r[6];

    EXPECT_EQ(b1[5], 20);                // "Zerth-100"
    EXPECT_EQ(b1[6] & 0x0F, 2);          // "72V"
    EXPECT_EQ(SignedWord(b1, 7), 895);   // overvoltage 89.5 V, the 72 V preset
    EXPECT_EQ(SignedWord(b1, 9), 660);   // soft undervoltage 66 V
    EXPECT_EQ(b1[11], 10);               // hysteresis 1 V
    EXPECT_EQ(SignedWord(b1, 16), 630);  // undervoltage 63 V
    EXPECT_GT(Word(b1, 12), 0);          // regenerative current
    EXPECT_GT(Word(b1, 14), 0);          // phase current limit

    EXPECT_GT(SignedWord(b2, 5), 0);  // bus current
    EXPECT_LT(b2[7], b2[8]);          // low < middle <= high gear ratio
    EXPECT_LE(b2[8], b2[9]);
    EXPECT_GE(b2[18], 1);  // soft start level 1..16
    EXPECT_LE(b2[18], 16);
    EXPECT_NE(b2[16] & 0x0E, 0);  // a default gear

    EXPECT_EQ(b3[18], 4);  // pole pairs
    EXPECT_GT(b3[20], 0);  // software version

    EXPECT_EQ((SignedWord(b4, 6) * 100 + 99) / 32768, 30);  // push assist speed 30 %
    EXPECT_GT(SignedWord(b4, 10), 0);                       // maximum rpm
    EXPECT_EQ(b4[21], 0);  // the written coefficient is reported in block 5

    int assignedPins = 0;
    for (const Bytes* block : {&b5, &b6}) {
        for (std::size_t at = 5; at <= 19; at += 2) {
            assignedPins += (Word(*block, at) & 0x7F) != 0 ? 1 : 0;
            EXPECT_EQ(Word(*block, at) & 0xF000, 0);
        }
    }
    EXPECT_GE(assignedPins, 3);
    EXPECT_GT(b5[21], 0);  // field-weakening coefficient

    EXPECT_DOUBLE_EQ(ThrottleVolts(b7[5]), 1.31);  // start
    EXPECT_DOUBLE_EQ(ThrottleVolts(b7[6]), 4.33);  // end (4.32 stored, read back as 4.33)
    EXPECT_DOUBLE_EQ(ThrottleVolts(b7[7]), 0.34);  // low protection
    EXPECT_DOUBLE_EQ(ThrottleVolts(b7[8]), 5.00);  // high protection
}

std::string NumberedConfig() {
    std::string text;
    for (int line = 1; line <= 119; ++line) {
        text += std::to_string(line) + "\r\n";
    }
    return text;
}

// Line k of the file is block (k-1)/17+1, byte 5+(k-1)%17; the file holds what the tool writes,
// so the coefficient of block 4 byte 21 (line 68) is reported in block 5 byte 21.
TEST(SimParameterFrames, ConfigFileLinesLandAtTheirFrameBytes) {
    std::string error;
    const auto set = sim::SimParameterSet::FromConfigText(NumberedConfig(), &error);
    ASSERT_TRUE(set) << error;
    sim::SimConfig config;
    config.parameters = *set;
    FakeClock clock;
    sim::SimController controller(config, clock.Function());
    const std::vector<Bytes> r = ReadParameters(controller);
    ASSERT_EQ(r.size(), 7u);
    for (int block = 1; block <= 7; ++block) {
        for (int byte = 5; byte <= 21; ++byte) {
            int expected = (block - 1) * 17 + (byte - 5) + 1;
            if (block == 4 && byte == 21) {
                expected = 0;
            } else if (block == 5 && byte == 21) {
                expected = 68;
            }
            EXPECT_EQ(r[static_cast<std::size_t>(block - 1)][static_cast<std::size_t>(byte)],
                      expected)
                << "block " << block << " byte " << byte;
        }
    }
}

TEST(SimParameterFrames, SavedConfigLoadsBackToTheSameSet) {
    const sim::SimParameterSet original = sim::SimParameterSet::Default();
    const std::string text = original.ToConfigText();
    EXPECT_EQ(text.substr(0, 4), "20\r\n");
    const auto loaded = sim::SimParameterSet::FromConfigText(text);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(*loaded, original);
}

struct ConfigCase {
    const char* name;
    std::string text;
    bool accepted;
};

class SimConfigFile : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(SimConfigFile, IsAcceptedOnlyWhenWellFormed) {
    std::string error;
    const auto set = sim::SimParameterSet::FromConfigText(GetParam().text, &error);
    EXPECT_EQ(set.has_value(), GetParam().accepted) << error;
    if (!GetParam().accepted) {
        EXPECT_FALSE(error.empty());
    }
}

std::string Lines(int count, const std::string& value = "7", const std::string& eol = "\r\n") {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += value + eol;
    }
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimConfigFile,
    ::testing::Values(ConfigCase{"crlf", Lines(119), true},
                      ConfigCase{"lf_only", Lines(119, "7", "\n"), true},
                      ConfigCase{"trailing_blank_line", Lines(119) + "\r\n", true},
                      ConfigCase{"no_final_newline", Lines(118) + "255", true},
                      ConfigCase{"too_short", Lines(118), false},
                      ConfigCase{"too_long", Lines(120), false},
                      ConfigCase{"value_256", Lines(118) + "256\r\n", false},
                      ConfigCase{"negative", "-1\r\n" + Lines(118), false},
                      ConfigCase{"trailing_letters", "12abc\r\n" + Lines(118), false},
                      ConfigCase{"blank_line_inside", Lines(60) + "\r\n" + Lines(59), false},
                      ConfigCase{"empty", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

Bytes Block(int seed) {
    Bytes b(17);
    for (std::size_t i = 0; i < 17; ++i) {
        b[i] = static_cast<std::uint8_t>(seed * 31 + static_cast<int>(i) * 7 + 1);
    }
    return b;
}

class SimParameterWrite : public ::testing::Test {
protected:
    FakeClock m_clock;
    sim::SimController m_controller{{}, m_clock.Function()};
};

TEST_F(SimParameterWrite, PnFollowsOnlyTheSeventhBlockAndReadBackShowsTheQuirk) {
    const sim::SimParameterSet before = m_controller.Parameters();
    for (int block = 1; block <= 6; ++block) {
        EXPECT_TRUE(m_controller.Receive(WriteFrame(block, Block(block))).empty()) << block;
    }
    EXPECT_EQ(m_controller.Parameters(), before) << "a partial write must not be stored";

    const Bytes ack = m_controller.Receive(WriteFrame(7, Block(7)));
    ASSERT_EQ(ack.size(), 24u);
    EXPECT_TRUE(IsValidReply(ack));
    EXPECT_EQ(ack[3], 'P');
    EXPECT_EQ(ack[4], 'N');

    const std::vector<Bytes> r = ReadParameters(m_controller);
    ASSERT_EQ(r.size(), 7u);
    for (int block = 1; block <= 7; ++block) {
        Bytes expected = Block(block);
        if (block == 4) {
            expected[16] = 0;
        } else if (block == 5) {
            expected[16] = Block(4)[16];
        }
        const Bytes& f = r[static_cast<std::size_t>(block - 1)];
        EXPECT_EQ(Bytes(f.begin() + 5, f.begin() + 22), expected) << "block " << block;
    }
}

TEST_F(SimParameterWrite, RepeatedRoundCompletesTheSetOnceMore) {
    for (int block = 1; block <= 7; ++block) {
        m_controller.Receive(WriteFrame(block, Block(block)));
    }
    // A second round (the tool repeats when it missed the 'PN') is acknowledged again.
    Bytes out;
    for (int block = 1; block <= 7; ++block) {
        const Bytes reply = m_controller.Receive(WriteFrame(block, Block(block + 10)));
        out.insert(out.end(), reply.begin(), reply.end());
    }
    ASSERT_EQ(out.size(), 24u);
    EXPECT_EQ(out[4], 'N');
    EXPECT_EQ(m_controller.Parameters().Block(1)[0], Block(11)[0]);
    EXPECT_EQ(m_controller.Counters().writeAcks, 2u);
}

TEST_F(SimParameterWrite, WithoutAckFaultTheSetIsStoredSilently) {
    sim::SimFaults faults;
    faults.noWriteAck = true;
    m_controller.SetFaults(faults);
    Bytes out;
    for (int block = 1; block <= 7; ++block) {
        const Bytes reply = m_controller.Receive(WriteFrame(block, Block(block)));
        out.insert(out.end(), reply.begin(), reply.end());
    }
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(m_controller.Parameters().Block(2)[3], Block(2)[3]);
}

TEST_F(SimParameterWrite, FactoryRestoreUndoesAWriteAndStoreKeepsIt) {
    const sim::SimParameterSet factory = m_controller.Parameters();
    for (int block = 1; block <= 7; ++block) {
        m_controller.Receive(WriteFrame(block, Block(block)));
    }
    const sim::SimParameterSet written = m_controller.Parameters();
    ASSERT_NE(written, factory);
    m_controller.Receive(ToolFrame("RSFSE"));
    EXPECT_EQ(m_controller.Parameters(), factory);

    m_controller.SetParameters(written);
    m_controller.Receive(ToolFrame("STFSE"));
    m_controller.SetParameters(factory);
    m_controller.Receive(ToolFrame("RSFSE"));
    EXPECT_EQ(m_controller.Parameters(), written);
}

}  // namespace
