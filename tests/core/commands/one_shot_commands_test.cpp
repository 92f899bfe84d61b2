#include "core/commands/one_shot_commands.h"

#include <gtest/gtest.h>

#include <ostream>

#include "command_test_support.h"
#include "core/commands/boot_entry_sequence.h"

namespace {

CommandFrame Expected(const char (&letters)[6], std::uint8_t checksum) {
    CommandFrame f{};
    f[0] = 0xC9;
    f[1] = 0x14;
    f[2] = 0x02;
    for (int i = 0; i < 5; ++i)
        f[3 + i] = static_cast<std::uint8_t>(letters[i]);
    f[22] = checksum;
    f[23] = 0x0D;
    return f;
}

struct OneShotCase {
    const char* m_name;
    CommandFrame (*m_build)();
    std::uint8_t m_firstGenCable;
    CommandFrame m_expected;
    friend void PrintTo(const OneShotCase& c, std::ostream* os) { *os << c.m_name; }
};

class OneShotFrames : public CommandTest, public ::testing::WithParamInterface<OneShotCase> {};

TEST_P(OneShotFrames, ByteExact) {
    g_firstGenCable = GetParam().m_firstGenCable;
    EXPECT_EQ(GetParam().m_build(), GetParam().m_expected);
}

INSTANTIATE_TEST_SUITE_P(
    OneShot, OneShotFrames,
    ::testing::Values(
        OneShotCase{"RestartController", RestartControllerFrame, 0, Expected("RESET", 0x8A)},
        OneShotCase{"RestartCable", RestartCableFrame, 0, Expected("RESTT", 0x9B)},
        OneShotCase{"OfflineLaterCable", OfflineDownloadFrame, 0, Expected("CLESR", 0x94)},
        OneShotCase{"OfflineFirstGenCable", OfflineDownloadFrame, 1, Expected("CLERR", 0x95)},
        OneShotCase{"RestoreFactory", RestoreFactoryFrame, 0, Expected("RSFSE", 0x8E)},
        OneShotCase{"StoreFactory", StoreFactoryFrame, 1, Expected("STFSE", 0x88)}),
    [](const auto& info) { return info.param.m_name; });

TEST(BootEntryFrame, ByteSixFollowsTheVoltageCalibration) {
    EXPECT_EQ(BootEntryFrame(32767), Expected("BLOTD", 0x8E));
    for (const unsigned value : {0u, 32766u, 32768u, 65535u, 32767u + 65536u}) {
        EXPECT_EQ(BootEntryFrame(value), Expected("BLOOD", 0x95)) << value;
    }
}

TEST_F(CommandTest, BootEntryWaitsForTheBootLoader) {
    BootEntrySequence boot(m_link, m_clock);
    std::int64_t doneAt = -1;
    ASSERT_EQ(boot.Start(true, 32767, [&] { doneAt = m_clock.Now(); }), Refusal::kNone);
    EXPECT_TRUE(boot.Running());
    m_clock.Advance(199);
    EXPECT_EQ(doneAt, -1);
    m_clock.Advance(1);
    EXPECT_EQ(doneAt, 200);
    ASSERT_EQ(m_link.m_sent.size(), 1u);
    EXPECT_EQ(m_link.m_sent[0].m_time, 0);
    EXPECT_EQ(m_link.m_sent[0].m_frame, Expected("BLOTD", 0x8E));
}

TEST_F(CommandTest, BootEntryWithoutImageSendsNothing) {
    BootEntrySequence boot(m_link, m_clock);
    bool done = false;
    ASSERT_EQ(boot.Start(false, 0, [&] { done = true; }), Refusal::kNone);
    EXPECT_TRUE(done) << "reported before Start returned";
    EXPECT_TRUE(m_link.m_sent.empty());
}

TEST_F(CommandTest, BootEntryRefusedWhilePortClosed) {
    m_link.m_open = false;
    BootEntrySequence boot(m_link, m_clock);
    bool done = false;
    EXPECT_EQ(boot.Start(true, 0, [&] { done = true; }), Refusal::kPortClosed);
    m_clock.Advance(1000);
    EXPECT_FALSE(done);
    EXPECT_FALSE(boot.Running());
}

}  // namespace
