#include "core/protocol/status_csv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

// Every field away from zero, a negative current and four of the six lamps lit.
LiveStatus BusyStatus() {
    LiveStatus s;
    s.m_voltageRaw = 0x01F4;  // 50.0 V, or 500 in the Q/D modes
    s.m_currentRaw = 0xFF9C;  // -10.0 A, or -100
    s.m_faultBits = 0x80200201;
    s.m_rpm = 1234;
    s.m_controllerTempRaw = 90;
    s.m_externalTempRaw = 20;
    s.m_tempCoefficient = 0xABCD;
    s.m_indicatorBits = 0xE5;  // gear M, reverse, anti-theft, side stand, regeneration
    s.m_stateCode = 7;
    return s;
}

std::size_t Commas(const std::string& line) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), ','));
}

struct RowCase {
    const char* name;
    std::int64_t ms;
    LiveStatus status;
    int mode;
    std::string row;
};

class StatusCsvRowTest : public testing::TestWithParam<RowCase> {};

TEST_P(StatusCsvRowTest, IsByteExact) {
    const RowCase& c = GetParam();
    const std::string row = StatusCsvRow(c.ms, c.status, c.mode);
    EXPECT_EQ(row, c.row);
    EXPECT_EQ(Commas(row), Commas(StatusCsvHeader()));
}

constexpr char kTail[] =
    ",40,-30,43981,80200201,FAULT,M,reverse+anti_theft+side_stand+regeneration";

INSTANTIATE_TEST_SUITE_P(
    Modes, StatusCsvRowTest,
    testing::Values(
        RowCase{"VoltageAndCurrent", 0, BusyStatus(), 0,
                std::string("0.000,1234,50.0,-10.0,,,,") + kTail},
        RowCase{"QdVoltage", 1005, BusyStatus(), 1, std::string("1.005,1234,,,500,-100,,") + kTail},
        RowCase{"QdCurrent", 3600250, BusyStatus(), 2,
                std::string("3600.250,1234,,,,,500,-100") + kTail},
        RowCase{"UnknownModeFillsNoPair", 7, BusyStatus(), 3,
                std::string("0.007,1234,,,,,,") + kTail},
        // All zero: temperatures at their floor, gear L, no lamp, state IDLE.
        RowCase{"ZeroStatus", 999, LiveStatus{}, 0,
                "0.999,0,0.0,0.0,,,,,-50,-50,0,00000000,IDLE,L,-"},
        // Raw 0xFFFF: unsigned voltage in mode 0, signed everywhere else; an unnamed state
        // code as its number; the lamp bits alone.
        RowCase{"RawExtremes", 1000,
                LiveStatus{0xFFFF, 0xFFFF, 0, -32768, 255, 0, 0xFFFF, 0x1B, 200}, 0,
                "1.000,-32768,6553.5,-0.1,,,,,205,-50,65535,00000000,200,S,park+brake"},
        RowCase{"RawExtremesQd", -1500, LiveStatus{0xFFFF, 0x8000, 0, 0, 50, 50, 0, 0x40, 0}, 1,
                "-1.500,0,,,-1,-32768,,,0,0,0,00000000,IDLE,L,side_stand"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StatusCsvHeader, NamesOneColumnPerValueKind) {
    EXPECT_EQ(StatusCsvHeader(),
              "time_s,rpm,voltage_V,current_A,q_voltage,d_voltage,q_current,d_current,"
              "controller_temp_C,external_temp_C,temp_coefficient,faults,state,gear,lamps");
}

}  // namespace
