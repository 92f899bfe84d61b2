#pragma once
// The controller's stored configuration: seven blocks of 17 bytes (frame bytes 5..21), kept in
// the layout the controller reports them in 'R' frames.
//
// Reading and writing differ in one place: the field-weakening coefficient that arrives in
// block 4 byte 21 of a write is stored as block 5 byte 21, and block 4 byte 21 reads back as 0.
// Block 5 byte 21 of a write is therefore not stored.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/sim_frames.h"

namespace sim {

class SimParameterSet {
public:
    static constexpr int kBlockCount = 7;
    static constexpr std::size_t kConfigLineCount = 119;

    // A 72 V controller as it leaves the factory.
    static SimParameterSet Default();

    // A configuration file: 119 decimal lines, block 1 bytes 5..21 first. The file holds the
    // blocks as the tool writes them, so they are stored as seven writes would store them.
    static std::optional<SimParameterSet> FromConfigText(std::string_view text,
                                                         std::string* error = nullptr);
    // The same file as the tool would save it right after reading this set: "%d\r\n" lines, the
    // coefficient of block 5 byte 21 also in block 4 byte 21.
    std::string ToConfigText() const;

    // Blocks are numbered 1..7; other numbers read as zeros and are not stored.
    Payload Block(int block) const;
    void SetBlock(int block, const Payload& bytes);
    void StoreWrittenBlock(int block, const Payload& bytes);

    // Frame byte numbers 5..21; multi-byte values high byte first.
    std::uint8_t Byte(int block, int frameByte) const;
    void SetByte(int block, int frameByte, std::uint8_t value);
    std::uint16_t Word(int block, int frameByte) const;
    void SetWord(int block, int frameByte, std::uint16_t value);

    bool operator==(const SimParameterSet&) const = default;

private:
    static bool ValidBlock(int block) { return block >= 1 && block <= kBlockCount; }
    static bool ValidByte(int frameByte) {
        return frameByte >= static_cast<int>(kPayloadFirst) &&
               frameByte < static_cast<int>(kPayloadFirst + kPayloadSize);
    }

    std::array<Payload, kBlockCount> m_blocks{};
};

}  // namespace sim
