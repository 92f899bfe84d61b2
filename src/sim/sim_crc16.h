#pragma once
// CRC-16/XMODEM for the boot loader's packet check (polynomial 0x1021, start 0, no reflection).

#include <cstdint>
#include <span>

namespace sim {

std::uint16_t Crc16Xmodem(std::span<const std::uint8_t> data);

}  // namespace sim
