#pragma once
// Helpers for driving the simulated controller byte by byte in tests.

#include <chrono>
#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/sim_controller.h"

namespace sim_test {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// A clock the test moves by hand.
struct FakeClock {
    std::chrono::milliseconds now{1'000'000};
    sim::SimController::Clock Function() {
        return [this] { return now; };
    }
};

inline std::uint8_t Xor(const Bytes& bytes, std::size_t count) {
    std::uint8_t x = 0;
    for (std::size_t i = 0; i < count; ++i) {
        x ^= bytes[i];
    }
    return x;
}

// The tool's 24-byte frame: 0xC9 0x14 0x02, letters, zeros, XOR, 0x0D.
inline Bytes ToolFrame(std::string_view letters, const Bytes& payloadFrom5 = {}) {
    Bytes f(24, 0);
    f[0] = 0xC9;
    f[1] = 0x14;
    f[2] = 0x02;
    for (std::size_t i = 0; i < letters.size(); ++i) {
        f[3 + i] = static_cast<std::uint8_t>(letters[i]);
    }
    for (std::size_t i = 0; i < payloadFrom5.size(); ++i) {
        f[5 + i] = payloadFrom5[i];
    }
    f[22] = Xor(f, 22);
    f[23] = 0x0D;
    return f;
}

inline Bytes WriteFrame(int block, const Bytes& seventeen) {
    Bytes f = ToolFrame("P");
    f[4] = static_cast<std::uint8_t>(block);
    for (std::size_t i = 0; i < 17; ++i) {
        f[5 + i] = seventeen[i];
    }
    f[22] = Xor(f, 22);
    return f;
}

struct Request {
    bool remote = false;
    double throttleVolts = 0.0;
    int gear = 0;
    int displayMode = 0;
    bool lock = false;
    bool reverse = false;
    bool brake = false;
    std::uint8_t fieldWeakening = 0;
    bool calibrationStore = false;
    std::uint16_t voltageCalib = 0;
    std::uint16_t currentCalib = 0;
};

// "SHOW" laid out as the tool's periodic request does it.
inline Bytes StatusRequestFrame(const Request& r) {
    Bytes f = ToolFrame("SHOW");
    f[5] = 'O';
    f[6] = 'W';
    f[12] = r.remote ? 0x55 : 0xAA;
    const auto throttle = static_cast<std::uint16_t>(r.throttleVolts * 100.0 * 654.0 / 11.0);
    f[13] = static_cast<std::uint8_t>(throttle >> 8);
    f[14] = static_cast<std::uint8_t>(throttle & 0xFF);
    f[15] = static_cast<std::uint8_t>((r.gear & 3) | (r.displayMode == 2 ? 0x08 : 0) |
                                      (r.displayMode == 1 ? 0x10 : 0) | (r.lock ? 0x20 : 0) |
                                      (r.reverse ? 0x40 : 0) | (r.brake ? 0x80 : 0));
    f[16] = r.fieldWeakening;
    f[17] = r.calibrationStore ? 0x55 : 0xAA;
    f[18] = static_cast<std::uint8_t>(r.voltageCalib >> 8);
    f[19] = static_cast<std::uint8_t>(r.voltageCalib & 0xFF);
    f[20] = static_cast<std::uint8_t>(r.currentCalib >> 8);
    f[21] = static_cast<std::uint8_t>(r.currentCalib & 0xFF);
    f[22] = Xor(f, 22);
    return f;
}

// Consecutive 24-byte frames of a reply.
inline std::vector<Bytes> SplitFrames(const Bytes& bytes) {
    std::vector<Bytes> frames;
    for (std::size_t i = 0; i + 24 <= bytes.size(); i += 24) {
        frames.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(i),
                            bytes.begin() + static_cast<std::ptrdiff_t>(i + 24));
    }
    return frames;
}

// A frame the tool's parser accepts: header 0xC0, length 20, XOR of 0..21 at 22, 0x0D.
inline bool IsValidReply(const Bytes& f) {
    return f.size() == 24 && f[0] == 0xC0 && f[1] == 0x14 && f[22] == Xor(f, 22) && f[23] == 0x0D;
}

inline int Word(const Bytes& f, std::size_t at) {
    return (f[at] << 8) | f[at + 1];
}

inline int SignedWord(const Bytes& f, std::size_t at) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(Word(f, at)));
}

}  // namespace sim_test
