#include "core/protocol/status_request.h"

#include <cmath>
#include <limits>

#include "core/protocol/link_flags.h"

namespace {
std::uint8_t OnOff(bool on) {
    return on ? kRequestOn : kRequestOff;
}

void PutWord(CommandFrame& frame, std::size_t pos, std::uint16_t value) {
    frame[pos] = static_cast<std::uint8_t>(value >> 8);
    frame[pos + 1] = static_cast<std::uint8_t>(value);
}

// Truncation toward zero that stays defined for any value the fields can hold.
std::int64_t Truncate(double value) {
    if (std::isnan(value))
        return 0;
    constexpr double kLimit = 9.0e18;
    if (value >= kLimit)
        return static_cast<std::int64_t>(kLimit);
    if (value <= -kLimit)
        return -static_cast<std::int64_t>(kLimit);
    return static_cast<std::int64_t>(value);
}

int TruncateToInt(float value) {
    const std::int64_t v = Truncate(value);
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}
}  // namespace

void FillCableSelector(CommandFrame& frame, const RemoteControlState& state) {
    if (g_firstGenCable == 0) {
        frame[5] = 'O';
        frame[6] = 'W';
        return;
    }
    frame[5] = static_cast<std::uint8_t>('O' + state.m_canNode);
    frame[6] = state.m_autoMatchCheck ? std::uint8_t{'A'}
                                      : static_cast<std::uint8_t>('W' + state.m_canBitRate);
}

void FillRemoteControlBytes(CommandFrame& frame, RemoteControlState& state) {
    frame[12] = OnOff(state.m_remoteOn != 0);
    PutWord(frame, 13, static_cast<std::uint16_t>(Truncate(state.m_throttle)));
    std::uint8_t flags = static_cast<std::uint8_t>(state.m_gear & 3);
    if (state.m_displayMode == 2)
        flags |= 0x08;
    if (state.m_displayMode == 1)
        flags |= 0x10;
    if (state.m_lock != 0)
        flags |= 0x20;
    if (state.m_reverse != 0)
        flags |= 0x40;
    if (state.m_brake != 0)
        flags |= 0x80;
    frame[15] = flags;
    frame[16] = static_cast<std::uint8_t>(state.m_fieldWeakeningValue);
    if (state.m_calibWriteCount != 0) {
        --state.m_calibWriteCount;
        frame[17] = kRequestOn;
    } else {
        frame[17] = kRequestOff;
    }
    PutWord(frame, 18, static_cast<std::uint16_t>(state.m_voltageCalibValue));
    PutWord(frame, 20, static_cast<std::uint16_t>(state.m_currentCalibValue));
}

ThrottleRange ComputeThrottleRange(float lowProtect, float start, float end, float highProtect) {
    // Every intermediate stays in single precision: the double result can truncate one lower.
    const float low = lowProtect + start;
    const float high = end + highProtect;
    const float lowScaled = low * 50.0f;
    const float highScaled = high * 50.0f;
    return {TruncateToInt(lowScaled), TruncateToInt(highScaled)};
}
