#pragma once
// The fixed 24-byte frame the tool sends, and the catalogue of commands.

#include <array>
#include <cstdint>
#include <string_view>

inline constexpr std::size_t kCommandFrameSize = 24;
inline constexpr std::uint8_t kCommandHeader = 0xC9;
inline constexpr std::uint8_t kCommandLength = 0x14;
inline constexpr std::uint8_t kCommandByte2 = 0x02;
inline constexpr std::uint8_t kFrameTerminator = 0x0D;
inline constexpr std::size_t kCommandChecksumPos = 22;
inline constexpr std::size_t kCommandPayloadFirst = 5;  // block and status payload: bytes 5..21
inline constexpr std::size_t kCommandPayloadLast = 21;

using CommandFrame = std::array<std::uint8_t, kCommandFrameSize>;

// Byte 22 = XOR of bytes 0..21.
void SetFrameChecksum(CommandFrame& frame);
// Copies all 24 bytes and seals the copy; the source keeps its old checksum.
void CopyFrameWithChecksum(const CommandFrame& source, CommandFrame& destination);

// 0xC9 0x14 0x02, the letters from byte 3 on (at most 19), zeros, 0x0D; not sealed.
CommandFrame MakeCommandFrame(std::string_view letters);
// MakeCommandFrame plus SetFrameChecksum: ready to write.
CommandFrame MakeSealedCommand(std::string_view letters);

// Command letters of the catalogue.
namespace command_letters {
inline constexpr std::string_view kStatusRequest = "SHOW";
inline constexpr std::string_view kReadParameters = "LDGET";
inline constexpr std::string_view kRestartController = "RESET";
inline constexpr std::string_view kRestartCable = "RESTT";
inline constexpr std::string_view kOfflineFirstGen = "CLERR";
inline constexpr std::string_view kOffline = "CLESR";
inline constexpr std::string_view kRestoreFactory = "RSFSE";
inline constexpr std::string_view kStoreFactory = "STFSE";
inline constexpr std::string_view kStartDownload = "BLOOD";
inline constexpr std::string_view kStartDownloadT = "BLOTD";
inline constexpr std::uint8_t kParamWrite = 'P';
}  // namespace command_letters

// 'P' n with zero payload; the encoders fill bytes 5..21.
CommandFrame MakeParamWriteFrame(int blockNumber);

// Transmit buffers shared by the status request, connect and parameter write (GUI thread only).
extern CommandFrame g_txFrame;
// Template of the status request; only bytes 5, 6 and 12..21 ever change.
extern CommandFrame g_showFrame;
// Template of "LDGET"; never changes.
extern const CommandFrame g_readFrame;
