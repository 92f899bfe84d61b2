#include "sim/sim_parameter_set.h"

#include <cctype>

namespace sim {

namespace {

constexpr int kFieldWeakeningWriteBlock = 4;
constexpr int kFieldWeakeningReadBlock = 5;
constexpr int kLastByte = 21;

// Pin word: function code in bits 0-6, IO bit 7, SW bit 8, F/U/D mode in bits 9-10, LA bit 11.
constexpr std::uint16_t Pin(int function, int mode = 0, bool io = false, bool sw = false,
                            bool la = false) {
    return static_cast<std::uint16_t>((function & 0x7F) | (io ? 0x80 : 0) | (sw ? 0x100 : 0) |
                                      ((mode & 3) << 9) | (la ? 0x800 : 0));
}

// Throttle voltage as the controller stores it: volts * 255 / 5.5.
constexpr std::uint8_t ThrottleByte(int centivolts) {
    return static_cast<std::uint8_t>(centivolts * 255 / 550);
}

}  // namespace

SimParameterSet SimParameterSet::Default() {
    SimParameterSet p;
    // Block 1: model "Zerth-100", 72 V with its presets, currents, calibration values.
    p.SetByte(1, 5, 20);
    p.SetByte(1, 6, 0x02);   // 72 V, brand 0
    p.SetWord(1, 7, 895);    // overvoltage 89.5 V
    p.SetWord(1, 9, 660);    // soft undervoltage 66 V
    p.SetByte(1, 11, 10);    // undervoltage hysteresis 1 V
    p.SetWord(1, 12, 10);    // regenerative current 10 A
    p.SetWord(1, 14, 350);   // phase current limit
    p.SetWord(1, 16, 630);   // undervoltage 63 V
    p.SetWord(1, 18, 4950);  // voltage calibration
    p.SetWord(1, 20, 500);   // current calibration

    // Block 2: bus current, gear ratios, flux weakening, soft start, default gear middle.
    p.SetWord(2, 5, 60);
    p.SetByte(2, 7, 40);
    p.SetByte(2, 8, 70);
    p.SetByte(2, 9, 100);
    p.SetWord(2, 10, 3000);
    p.SetWord(2, 12, 9000);
    p.SetWord(2, 14, 6000);
    p.SetByte(2, 16, 0x80 | 0x04);  // soft start on, default gear middle
    p.SetByte(2, 17, 80);
    p.SetByte(2, 18, 12);  // soft start level
    p.SetByte(2, 19, 30);
    p.SetByte(2, 20, 10);
    p.SetByte(2, 21, 15);  // MTPA

    // Block 3: motor and temperatures, pole pairs 4, versions 1.23 / 1.05.
    p.SetWord(3, 5, 30);  // Hall angle
    p.SetByte(3, 7, 120);
    p.SetByte(3, 8, 140);
    p.SetByte(3, 9, 150);
    p.SetWord(3, 10, 90);  // controller temperature protection
    p.SetWord(3, 12, 10);  // damping factor
    p.SetWord(3, 14, 16384);
    p.SetByte(3, 16, 30);  // reverse speed ratio
    p.SetByte(3, 17, 0x00);
    p.SetByte(3, 18, 4);  // pole pairs
    p.SetByte(3, 19, 15);
    p.SetByte(3, 20, 123);
    p.SetByte(3, 21, 105);

    // Block 4: push assist on, one-line output, 30 % push speed, 4200 rpm.
    p.SetByte(4, 5, 0x01 | 0x04);
    p.SetWord(4, 6, 30 * 32768 / 100);
    p.SetWord(4, 8, 320);
    p.SetWord(4, 10, 4200);
    p.SetByte(4, 12, 50);
    p.SetByte(4, 13, 75);
    p.SetByte(4, 14, 8);
    p.SetWord(4, 15, 200);  // current Ki
    p.SetWord(4, 17, 400);
    p.SetWord(4, 19, 100);

    // Blocks 5 and 6: the usual inputs of a scooter, coefficient 20, CAN node A at 1M.
    const std::array<std::uint16_t, 8> block5 = {
        Pin(1),      // PD0: low speed switch
        Pin(9),      // JTCK: reverse
        Pin(10),     // SWD: single-wire communication
        Pin(15, 1),  // PA11: high brake, pull-up
        Pin(27, 2),  // PB3: low brake, pull-down
        Pin(7),      // PD1: anti-theft
        Pin(14),     // PA12: cruise button
        Pin(0),      // PC15: empty
    };
    const std::array<std::uint16_t, 8> block6 = {
        Pin(16),           // PA0: P gear
        Pin(11),           // PB9: side stand
        Pin(12, 0, true),  // PB4: Hall speedometer output
        Pin(37),           // PA15: motor temperature sensor KTY83-122
        Pin(0),           Pin(0), Pin(0), Pin(0),
    };
    for (int i = 0; i < 8; ++i) {
        p.SetWord(5, 5 + 2 * i, block5[static_cast<std::size_t>(i)]);
        p.SetWord(6, 5 + 2 * i, block6[static_cast<std::size_t>(i)]);
    }
    p.SetByte(5, 21, 20);
    p.SetByte(6, 21, 0x00);

    // Block 7: throttle 1.31 / 4.32 V, protection 0.34 / 5.0 V, slopes 80 / 120.
    p.SetByte(7, 5, ThrottleByte(131));
    p.SetByte(7, 6, ThrottleByte(432));
    p.SetByte(7, 7, ThrottleByte(34));
    p.SetByte(7, 8, ThrottleByte(500));
    p.SetByte(7, 9, 80);
    p.SetByte(7, 10, 120);
    p.SetWord(7, 11, 0);
    p.SetWord(7, 13, 0);
    return p;
}

std::optional<SimParameterSet> SimParameterSet::FromConfigText(std::string_view text,
                                                               std::string* error) {
    auto fail = [error](std::string message) -> std::optional<SimParameterSet> {
        if (error != nullptr) {
            *error = std::move(message);
        }
        return std::nullopt;
    };

    std::array<std::uint8_t, kConfigLineCount> bytes{};
    std::size_t count = 0;
    std::size_t lineNumber = 0;
    std::size_t blankRun = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNumber;
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
            line.remove_suffix(1);
        }
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front()))) {
            line.remove_prefix(1);
        }
        if (line.empty()) {
            ++blankRun;
            continue;
        }
        if (blankRun > 0) {
            return fail("line " + std::to_string(lineNumber - blankRun) + " is empty");
        }
        int value = 0;
        for (char c : line) {
            if (!std::isdigit(static_cast<unsigned char>(c)) || value > 255) {
                value = 256;
                break;
            }
            value = value * 10 + (c - '0');
        }
        if (value > 255) {
            return fail("line " + std::to_string(lineNumber) + ": \"" + std::string(line) +
                        "\" is not a byte value 0..255");
        }
        if (count == kConfigLineCount) {
            return fail("more than 119 values");
        }
        bytes[count++] = static_cast<std::uint8_t>(value);
    }
    if (count != kConfigLineCount) {
        return fail("expected 119 values, found " + std::to_string(count));
    }

    SimParameterSet set;
    for (int block = 1; block <= kBlockCount; ++block) {
        Payload payload{};
        for (std::size_t i = 0; i < kPayloadSize; ++i) {
            payload[i] = bytes[static_cast<std::size_t>(block - 1) * kPayloadSize + i];
        }
        set.StoreWrittenBlock(block, payload);
    }
    return set;
}

std::string SimParameterSet::ToConfigText() const {
    std::string text;
    for (int block = 1; block <= kBlockCount; ++block) {
        Payload payload = Block(block);
        if (block == kFieldWeakeningWriteBlock) {
            payload[kPayloadSize - 1] = Byte(kFieldWeakeningReadBlock, kLastByte);
        }
        for (std::uint8_t b : payload) {
            text += std::to_string(b);
            text += "\r\n";
        }
    }
    return text;
}

Payload SimParameterSet::Block(int block) const {
    return ValidBlock(block) ? m_blocks[static_cast<std::size_t>(block - 1)] : Payload{};
}

void SimParameterSet::SetBlock(int block, const Payload& bytes) {
    if (ValidBlock(block)) {
        m_blocks[static_cast<std::size_t>(block - 1)] = bytes;
    }
}

void SimParameterSet::StoreWrittenBlock(int block, const Payload& bytes) {
    if (!ValidBlock(block)) {
        return;
    }
    Payload stored = bytes;
    if (block == kFieldWeakeningWriteBlock) {
        SetByte(kFieldWeakeningReadBlock, kLastByte, bytes[kPayloadSize - 1]);
        stored[kPayloadSize - 1] = 0;
    } else if (block == kFieldWeakeningReadBlock) {
        stored[kPayloadSize - 1] = Byte(kFieldWeakeningReadBlock, kLastByte);
    }
    SetBlock(block, stored);
}

std::uint8_t SimParameterSet::Byte(int block, int frameByte) const {
    if (!ValidBlock(block) || !ValidByte(frameByte)) {
        return 0;
    }
    return m_blocks[static_cast<std::size_t>(block - 1)]
                   [static_cast<std::size_t>(frameByte) - kPayloadFirst];
}

void SimParameterSet::SetByte(int block, int frameByte, std::uint8_t value) {
    if (ValidBlock(block) && ValidByte(frameByte)) {
        m_blocks[static_cast<std::size_t>(block - 1)]
                [static_cast<std::size_t>(frameByte) - kPayloadFirst] = value;
    }
}

std::uint16_t SimParameterSet::Word(int block, int frameByte) const {
    return static_cast<std::uint16_t>((Byte(block, frameByte) << 8) | Byte(block, frameByte + 1));
}

void SimParameterSet::SetWord(int block, int frameByte, std::uint16_t value) {
    SetByte(block, frameByte, static_cast<std::uint8_t>(value >> 8));
    SetByte(block, frameByte + 1, static_cast<std::uint8_t>(value & 0xFF));
}

}  // namespace sim
