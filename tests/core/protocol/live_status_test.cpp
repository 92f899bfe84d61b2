#include "core/protocol/live_status.h"

#include <gtest/gtest.h>

#include <ostream>

#include <atomic>
#include <thread>

#include "core/protocol/fault_names.h"

namespace {

using Window = std::array<std::uint8_t, kControllerFrameMax>;

// A status window: 0xC0, 20, letters, then the given bytes from position 5 on.
Window StatusWindow(std::initializer_list<std::uint8_t> from5, std::uint8_t fill = 0) {
    Window w;
    w.fill(fill);
    w[0] = 0xC0;
    w[1] = 20;
    w[3] = 'Y';
    w[4] = 'B';
    std::size_t pos = 5;
    for (const std::uint8_t b : from5)
        w[pos++] = b;
    return w;
}

TEST(DecodeStatusFrame, ReadsEveryFieldBigEndian) {
    //                     5     6     7     8     9     10    11    12    13    14    15
    const Window w = StatusWindow({0x01, 0xF4, 0xFF, 0x9C, 0x77, 0x80, 0x20, 0x02, 0x01, 0x80, 0x00,
                                   //  16  17    18    19    20    21
                                   0x5A, 0x14, 0xAB, 0xCD, 0xE5, 0x07});
    const LiveStatus s = DecodeStatusFrame(ControllerFrameView(w));
    EXPECT_EQ(s.m_voltageRaw, 0x01F4);
    EXPECT_EQ(s.m_currentRaw, 0xFF9C);
    EXPECT_EQ(s.m_faultBits, 0x80200201u);
    EXPECT_EQ(s.m_rpm, -32768);
    EXPECT_EQ(s.m_controllerTempRaw, 0x5A);
    EXPECT_EQ(s.m_externalTempRaw, 0x14);
    EXPECT_EQ(s.m_tempCoefficient, 0xABCD);
    EXPECT_EQ(s.m_indicatorBits, 0xE5);
    EXPECT_EQ(s.m_stateCode, 7);
}

TEST(DecodeStatusFrame, IgnoresPosition9AndEverythingPast21) {
    const Window a =
        StatusWindow({1, 2, 3, 4, 0x00, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}, 0x00);
    Window b = StatusWindow({1, 2, 3, 4, 0xEE, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}, 0xFF);
    b[2] = 0x33;
    EXPECT_EQ(DecodeStatusFrame(ControllerFrameView(a)), DecodeStatusFrame(ControllerFrameView(b)));
}

struct FaultBoxCase {
    const char* m_name;
    std::uint32_t m_bits;
    std::vector<int> m_checkedIds;
    friend void PrintTo(const FaultBoxCase& c, std::ostream* os) { *os << c.m_name; }
};

class FaultBoxes : public ::testing::TestWithParam<FaultBoxCase> {};

TEST_P(FaultBoxes, ChecksTheBoxesOfItsBits) {
    const auto states = FaultBoxStates(GetParam().m_bits);
    std::vector<int> checked;
    for (std::size_t i = 0; i < kFaultBoxes.size(); ++i) {
        if (states[i])
            checked.push_back(kFaultBoxes[i].m_controlId);
    }
    EXPECT_EQ(checked, GetParam().m_checkedIds);
}

INSTANTIATE_TEST_SUITE_P(
    LiveStatus, FaultBoxes,
    ::testing::Values(
        FaultBoxCase{"None", 0, {}}, FaultBoxCase{"McuChipError", 0x00800000, {1048}},
        FaultBoxCase{"WritingEeprom", 0x00000200, {1048}},
        FaultBoxCase{"SpeedControlHasNoBox", 0x00000100, {}},
        FaultBoxCase{"OutOfControlFollowsBit11", 0x00000800, {1049}},
        FaultBoxCase{"OverheatAndBrake", 0x00001001, {1050, 1043}},
        FaultBoxCase{"LowBits", 0x0000009E, {1042, 1044, 1045, 1046, 1047}},
        FaultBoxCase{"All", 0xFFFFFFFF, {1050, 1042, 1043, 1044, 1045, 1046, 1047, 1049, 1048}}),
    [](const auto& info) { return info.param.m_name; });

struct DisplayCase {
    const char* m_name;
    LiveStatus m_status;
    int m_mode;
    DisplayPageTexts m_texts;
    friend void PrintTo(const DisplayCase& c, std::ostream* os) { *os << c.m_name; }
};

LiveStatus Status(auto&& change) {
    LiveStatus s;
    change(s);
    return s;
}

DisplayPageTexts Texts(auto&& change) {
    // What an all-zero status shows.
    DisplayPageTexts t{"-50", "-50", "0", "0.0", "0.0", "00000000", "0",   0,
                       1,     1,     1,   1,     1,     1,          "IDLE"};
    change(t);
    return t;
}

class DisplayPage : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayPage, Formats) {
    EXPECT_EQ(FormatDisplayPage(GetParam().m_status, GetParam().m_mode), GetParam().m_texts);
}

INSTANTIATE_TEST_SUITE_P(
    LiveStatus, DisplayPage,
    ::testing::Values(
        DisplayCase{"Zero", {}, 0, Texts([](auto&) {})},
        DisplayCase{"TemperatureExtremes", Status([](auto& s) {
                        s.m_controllerTempRaw = 255;
                        s.m_externalTempRaw = 0;
                    }),
                    0, Texts([](auto& t) { t.m_controllerTemp = "205"; })},
        DisplayCase{"AllOnesInVoltageMode", Status([](auto& s) {
                        s.m_voltageRaw = 0xFFFF;
                        s.m_currentRaw = 0xFFFF;
                    }),
                    0, Texts([](auto& t) {
                        t.m_voltage = "6553.5";
                        t.m_current = "-0.1";
                    })},
        DisplayCase{"AllOnesInQdVoltageMode", Status([](auto& s) {
                        s.m_voltageRaw = 0xFFFF;
                        s.m_currentRaw = 0xFFFF;
                    }),
                    1, Texts([](auto& t) {
                        t.m_voltage = "-1";
                        t.m_current = "-1";
                    })},
        DisplayCase{"AllOnesInQdCurrentMode", Status([](auto& s) {
                        s.m_voltageRaw = 0xFFFF;
                        s.m_currentRaw = 0xFFFF;
                    }),
                    2, Texts([](auto& t) {
                        t.m_voltage = "-1";
                        t.m_current = "-1";
                    })},
        DisplayCase{"TypicalVoltageAndCurrent", Status([](auto& s) {
                        s.m_voltageRaw = 484;
                        s.m_currentRaw = 0xFF9C;
                    }),
                    0, Texts([](auto& t) {
                        t.m_voltage = "48.4";
                        t.m_current = "-10.0";
                    })},
        DisplayCase{"QdValuesUnscaled", Status([](auto& s) {
                        s.m_voltageRaw = 484;
                        s.m_currentRaw = 0x8000;
                    }),
                    2, Texts([](auto& t) {
                        t.m_voltage = "484";
                        t.m_current = "-32768";
                    })},
        DisplayCase{"SpeedMostNegative", Status([](auto& s) { s.m_rpm = -32768; }), 0,
                    Texts([](auto& t) { t.m_speed = "-32768"; })},
        DisplayCase{"FaultWordAndCoefficient", Status([](auto& s) {
                        s.m_faultBits = 0x100;
                        s.m_tempCoefficient = 0xFFFF;
                    }),
                    0, Texts([](auto& t) {
                        t.m_faultCode = "00000100";
                        t.m_tempCoefficient = "65535";
                    })},
        DisplayCase{"FaultWordUppercase", Status([](auto& s) { s.m_faultBits = 0x8000ABCD; }), 0,
                    Texts([](auto& t) { t.m_faultCode = "8000ABCD"; })},
        DisplayCase{"GearSWithReverse", Status([](auto& s) { s.m_indicatorBits = 0x07; }), 0,
                    Texts([](auto& t) {
                        t.m_gearIndicator = 3;
                        t.m_reverseLamp = 0;
                    })},
        DisplayCase{"EveryLampLit", Status([](auto& s) { s.m_indicatorBits = 0xFD; }), 0,
                    Texts([](auto& t) {
                        t.m_gearIndicator = 1;
                        t.m_reverseLamp = t.m_parkLamp = t.m_brakeLamp = t.m_antiTheftLamp =
                            t.m_sideStandLamp = t.m_regenLamp = 0;
                    })},
        DisplayCase{"ParkAndRegenOnly", Status([](auto& s) { s.m_indicatorBits = 0x88; }), 0,
                    Texts([](auto& t) {
                        t.m_parkLamp = 0;
                        t.m_regenLamp = 0;
                    })},
        DisplayCase{"StateFault", Status([](auto& s) { s.m_stateCode = 7; }), 0,
                    Texts([](auto& t) { t.m_stateName = "FAULT"; })},
        // Codes without a name show as their number, not as a left-over text.
        DisplayCase{"StateWithoutName", Status([](auto& s) {
                        s.m_stateCode = 8;
                        s.m_tempCoefficient = 77;
                    }),
                    0, Texts([](auto& t) {
                        t.m_stateName = "8";
                        t.m_tempCoefficient = "77";
                    })},
        DisplayCase{"StateHighest", Status([](auto& s) { s.m_stateCode = 255; }), 0,
                    Texts([](auto& t) { t.m_stateName = "255"; })}),
    [](const auto& info) { return info.param.m_name; });

TEST(ControllerStateName, NamesOfTheEightStates) {
    const char* names[] = {"IDLE", "INIT", "START", "RUN", "STOP", "BRAKE", "WAIT", "FAULT"};
    for (std::uint16_t code = 0; code < 8; ++code)
        EXPECT_EQ(ControllerStateName(code), names[code]);
}

TEST(LiveStatusStore, PublishStoresTheDecodedFrame) {
    const Window w = StatusWindow({0, 10, 0, 20, 0, 0, 0, 0, 1, 0x12, 0x34, 60, 70});
    const LiveStatus published = PublishStatusFrame(ControllerFrameView(w));
    EXPECT_EQ(published.m_rpm, 0x1234);
    EXPECT_EQ(g_liveStatus.Load(), published);
    g_liveStatus.Store(LiveStatus{});
    EXPECT_EQ(g_liveStatus.Load(), LiveStatus{});
}

// A reader on another thread always sees the fields of one single frame.
TEST(LiveStatusStore, ReaderNeverMixesTwoFrames) {
    LiveStatusStore store;
    auto make = [](std::uint32_t k) {
        LiveStatus s;
        s.m_voltageRaw = static_cast<std::uint16_t>(k);
        s.m_currentRaw = static_cast<std::uint16_t>(~k);
        s.m_faultBits = k * 2654435761u;
        s.m_rpm = static_cast<std::int16_t>(k);
        s.m_controllerTempRaw = static_cast<std::uint8_t>(k);
        s.m_externalTempRaw = static_cast<std::uint8_t>(k >> 8);
        s.m_tempCoefficient = static_cast<std::uint16_t>(k * 3);
        s.m_indicatorBits = static_cast<std::uint8_t>(k * 5);
        s.m_stateCode = static_cast<std::uint16_t>(k & 0xFF);
        return s;
    };
    constexpr std::uint32_t kFrames = 20000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (std::uint32_t k = 1; k <= kFrames; ++k)
            store.Store(make(k));
        done = true;
    });
    int mixed = 0;
    std::uint16_t last = 0;
    while (!done) {
        const LiveStatus s = store.Load();
        if (s != make(s.m_voltageRaw) && s != LiveStatus{})
            ++mixed;
        EXPECT_GE(s.m_voltageRaw, last) << "never goes back to an older frame";
        last = s.m_voltageRaw;
    }
    writer.join();
    EXPECT_EQ(mixed, 0);
    EXPECT_EQ(store.Load(), make(kFrames));
}

TEST(FaultNames, NamesOfTheSetBits) {
    EXPECT_EQ(ActiveFaultNames(0, false), std::vector<std::string>{});
    EXPECT_EQ(ActiveFaultNames(0x80000401, false),
              (std::vector<std::string>{"E_BRAKE_ON", "0x400", "SOC_ZERO_ERROR"}));
    EXPECT_EQ(ActiveFaultNames(0x00048008, false),
              (std::vector<std::string>{"HALL_ERROR", "ICS1_ERR", "HALL_SEL_ERROR"}));
    // No Chinese entry for 0x40000: the English name stands in.
    EXPECT_EQ(ActiveFaultNames(0x00048008, true),
              (std::vector<std::string>{"霍尔故障", "电流传感器故障", "HALL_SEL_ERROR"}));
    EXPECT_EQ(ActiveFaultNames(0x00800020, true),
              (std::vector<std::string>{"控制器故障", "控制器故障"}));
}

// The controller's own spellings stay, odd as they are.
TEST(FaultNames, KeepTheControllersSpellings) {
    EXPECT_EQ(ActiveFaultNames(0x00024200, false),
              (std::vector<std::string>{"WRITING_EEPROM", "ACCELERATE_PADAL_ERR", "BREAK_ERR"}));
    EXPECT_EQ(ActiveFaultNames(0x00024200, true),
              (std::vector<std::string>{"EEROM写入", "转把故障", "刹车故障"}));
    EXPECT_EQ(ActiveFaultNames(0x08100800, true),
              (std::vector<std::string>{"质检故障", "MOS管高边短路", "电机过热"}));
}

TEST(FaultNames, EachEntryIsOneDistinctBit) {
    std::uint32_t seen = 0;
    for (const FaultBitName& entry : kFaultBitNames) {
        EXPECT_EQ(entry.m_bit & (entry.m_bit - 1), 0u) << entry.m_english;
        EXPECT_EQ(seen & entry.m_bit, 0u) << entry.m_english;
        seen |= entry.m_bit;
    }
    EXPECT_EQ(seen, 0x89FFFBFFu);
}

}  // namespace
