#include "core/protocol/live_status.h"

#include <cstdio>
#include <cstring>
#include <string_view>
#include <type_traits>

LiveStatusStore g_liveStatus;

namespace {
std::uint16_t Word(ControllerFrameView frame, std::size_t pos) {
    return static_cast<std::uint16_t>((frame[pos] << 8) | frame[pos + 1]);
}

std::string Format(const char* format, auto value) {
    char text[32];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Radio field of a lamp: 0 (its button checked, lit) while the bit is set.
int Lamp(std::uint8_t bits, int bit) {
    return (bits >> bit) & 1 ? 0 : 1;
}

static_assert(std::is_trivially_copyable_v<LiveStatus>);
}  // namespace

LiveStatus DecodeStatusFrame(ControllerFrameView frame) {
    LiveStatus s;
    s.m_rpm = static_cast<std::int16_t>(Word(frame, 14));
    s.m_voltageRaw = Word(frame, 5);
    s.m_currentRaw = Word(frame, 7);
    s.m_externalTempRaw = frame[17];
    s.m_controllerTempRaw = frame[16];
    s.m_tempCoefficient = Word(frame, 18);
    s.m_indicatorBits = frame[20];
    s.m_faultBits = (std::uint32_t{frame[10]} << 24) | (std::uint32_t{frame[11]} << 16) |
                    (std::uint32_t{frame[12]} << 8) | frame[13];
    s.m_stateCode = frame[21];
    return s;
}

std::array<bool, kFaultBoxes.size()> FaultBoxStates(std::uint32_t faultBits) {
    std::array<bool, kFaultBoxes.size()> checked{};
    for (std::size_t i = 0; i < kFaultBoxes.size(); ++i) {
        checked[i] = (faultBits & kFaultBoxes[i].m_mask) != 0;
    }
    return checked;
}

void LiveStatusStore::Store(const LiveStatus& status) {
    std::uint32_t words[kWords]{};
    std::memcpy(words, &status, sizeof status);
    // Only one receive thread writes, but a second writer must not interleave with it either.
    std::uint32_t seq = m_sequence.load(std::memory_order_relaxed);
    for (;;) {
        if ((seq & 1) == 0 &&
            m_sequence.compare_exchange_weak(seq, seq + 1, std::memory_order_acquire,
                                             std::memory_order_relaxed)) {
            break;
        }
        seq = m_sequence.load(std::memory_order_relaxed);
    }
    // Release stores: a reader that sees any new word also sees the odd sequence number.
    for (std::size_t i = 0; i < kWords; ++i)
        m_words[i].store(words[i], std::memory_order_release);
    m_sequence.store(seq + 2, std::memory_order_release);
}

LiveStatus LiveStatusStore::Load() const {
    std::uint32_t words[kWords];
    for (;;) {
        const std::uint32_t before = m_sequence.load(std::memory_order_acquire);
        if (before & 1)
            continue;
        // Acquire loads keep the second look at the sequence behind them.
        for (std::size_t i = 0; i < kWords; ++i) {
            words[i] = m_words[i].load(std::memory_order_acquire);
        }
        if (m_sequence.load(std::memory_order_relaxed) == before)
            break;
    }
    LiveStatus status;
    std::memcpy(&status, words, sizeof status);
    return status;
}

LiveStatus PublishStatusFrame(ControllerFrameView frame) {
    const LiveStatus status = DecodeStatusFrame(frame);
    g_liveStatus.Store(status);
    return status;
}

std::string ControllerStateName(std::uint16_t code) {
    static constexpr std::string_view kNames[] = {"IDLE", "INIT",  "START", "RUN",
                                                  "STOP", "BRAKE", "WAIT",  "FAULT"};
    if (code < std::size(kNames))
        return std::string(kNames[code]);
    return std::to_string(code);
}

DisplayPageTexts FormatDisplayPage(const LiveStatus& s, int displayMode) {
    DisplayPageTexts t;
    t.m_controllerTemp = Format("%d", int{s.m_controllerTempRaw} - 50);
    t.m_externalTemp = Format("%d", int{s.m_externalTempRaw} - 50);
    t.m_speed = Format("%d", int{s.m_rpm});
    const auto signedVoltage = static_cast<std::int16_t>(s.m_voltageRaw);
    const auto signedCurrent = static_cast<std::int16_t>(s.m_currentRaw);
    if (displayMode == 0) {
        // Single precision, as the values have always been shown.
        const float volts = static_cast<float>(s.m_voltageRaw) / 10.0f;
        const float amps = static_cast<float>(signedCurrent) / 10.0f;
        t.m_voltage = Format("%.1f", static_cast<double>(volts));
        t.m_current = Format("%.1f", static_cast<double>(amps));
    } else {
        t.m_voltage = Format("%d", int{signedVoltage});
        t.m_current = Format("%d", int{signedCurrent});
    }
    t.m_faultCode = Format("%08X", static_cast<unsigned>(s.m_faultBits));
    t.m_tempCoefficient = Format("%d", int{s.m_tempCoefficient});
    t.m_gearIndicator = s.m_indicatorBits & 3;
    t.m_reverseLamp = Lamp(s.m_indicatorBits, 2);
    t.m_parkLamp = Lamp(s.m_indicatorBits, 3);
    t.m_brakeLamp = Lamp(s.m_indicatorBits, 4);
    t.m_antiTheftLamp = Lamp(s.m_indicatorBits, 5);
    t.m_sideStandLamp = Lamp(s.m_indicatorBits, 6);
    t.m_regenLamp = Lamp(s.m_indicatorBits, 7);
    t.m_stateName = ControllerStateName(s.m_stateCode);
    return t;
}
