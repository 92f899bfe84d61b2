#pragma once
// The controller's side of the frame format: what it sends (header 0xC0, length 20, letters at
// 3-4, 17 payload bytes at 5..21, XOR of 0..21, 0x0D) and the 24-byte frames it accepts.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace sim {

inline constexpr std::size_t kFrameSize = 24;
inline constexpr std::uint8_t kReplyHeader = 0xC0;
inline constexpr std::uint8_t kToolHeader = 0xC9;
inline constexpr std::uint8_t kFrameLength = 0x14;  // bytes 2..21
// Byte 2 of our frames; the tool does not look at it.
inline constexpr std::uint8_t kReplyByte2 = 0x01;
inline constexpr std::uint8_t kTerminator = 0x0D;
inline constexpr std::size_t kPayloadFirst = 5;
inline constexpr std::size_t kPayloadSize = 17;  // bytes 5..21
inline constexpr std::size_t kChecksumPos = 22;
inline constexpr std::size_t kTerminatorPos = 23;

using Frame = std::array<std::uint8_t, kFrameSize>;
using Payload = std::array<std::uint8_t, kPayloadSize>;

std::uint8_t XorOf(std::span<const std::uint8_t> bytes);

// A sealed controller frame with the two letters and bytes 5..21.
Frame MakeReplyFrame(std::uint8_t letter3, std::uint8_t letter4, const Payload& payload);
// One block of the parameter set: 'R', block number, the block at 5..21.
Frame MakeParameterFrame(int block, const Payload& bytes);
// The write acknowledgement 'PN'.
Frame MakeWriteAckFrame();
// The power-up announcement: 0xFE 0xEF 0x55 0xAA at bytes 3..6.
Frame MakeAnnouncementFrame();

// Bytes 5..21 of a received frame.
Payload PayloadOf(const Frame& frame);

}  // namespace sim
