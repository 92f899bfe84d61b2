#pragma once
// The names the tool gives the controller's fault bits, for the fault code tooltip and the
// command line.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct FaultBitName {
    std::uint32_t m_bit;
    std::string_view m_english;
    std::string_view m_chinese;  // empty where the Chinese list has no entry
};

inline constexpr std::array<FaultBitName, 26> kFaultBitNames{{
    {0x1, "E_BRAKE_ON", "刹车"},
    {0x2, "OVER_CURRENT", "硬件过流"},
    {0x4, "UNDER_VOLTAGE", "欠压"},
    {0x8, "HALL_ERROR", "霍尔故障"},
    {0x10, "OVER_VOLTAGE", "过压"},
    {0x20, "MCU_ERROR", "控制器故障"},
    {0x40, "MOTOR_BLOCK", "锁电机故障"},
    {0x80, "FOOTPLATE_ERR", "转把故障"},
    {0x100, "SPEED_CONTROL", "飞车"},
    {0x200, "WRITING_EEPROM", "EEROM写入"},
    {0x800, "START_UP_FAILURE", "质检故障"},
    {0x1000, "OVERHEAT", "控制器过热"},
    {0x2000, "OVER_CURRENT1", "软件过流"},
    {0x4000, "ACCELERATE_PADAL_ERR", "转把故障"},
    {0x8000, "ICS1_ERR", "电流传感器故障"},
    {0x10000, "ICS2_ERR", "电流传感器故障"},
    {0x20000, "BREAK_ERR", "刹车故障"},
    {0x40000, "HALL_SEL_ERROR", ""},
    {0x80000, "MOSFET_DRIVER_FAULT", "驱动故障"},
    {0x100000, "MOSFET_HIGH_SHORT", "MOS管高边短路"},
    {0x200000, "PHASE_OPEN", "缺相"},
    {0x400000, "PHASE_SHORT", "相线短路"},
    {0x800000, "MCU_CHIP_ERROR", "控制器故障"},
    {0x1000000, "PRE_CHARGE_ERROR", "预充故障"},
    {0x8000000, "OVERHEAT1", "电机过热"},
    {0x80000000, "SOC_ZERO_ERROR", "SOC为0"},
}};

// One name per set bit, lowest bit first. A bit without a name shows as "0x%X"; a bit without a
// Chinese name keeps its English one.
std::vector<std::string> ActiveFaultNames(std::uint32_t faultBits, bool chinese);
