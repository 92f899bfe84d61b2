#include "sim/sim_live_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace sim {

namespace {

constexpr double kAmbient = 25.0;
constexpr int kTempCoefficient = 3380;
// Open-circuit voltage of a charged pack, 0.1 V, by battery voltage index 48..96 V.
constexpr std::array<int, 5> kPackVoltage = {535, 668, 802, 935, 1068};

double ThrottleVolts(std::uint8_t stored) {
    const int q = stored * 550 / 255;
    return (q + 2) / 100.0;
}

void PutWord(Payload& p, std::size_t frameByte, std::uint16_t value) {
    p[frameByte - kPayloadFirst] = static_cast<std::uint8_t>(value >> 8);
    p[frameByte - kPayloadFirst + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

std::uint16_t Signed16(int value) {
    return static_cast<std::uint16_t>(std::clamp(value, -32768, 32767));
}

}  // namespace

StatusRequest StatusRequest::FromFrame(const Frame& f) {
    StatusRequest r;
    r.nodeSelector = f[5];
    r.bitRateSelector = f[6];
    r.remoteOn = f[12] == 0x55;
    r.throttle = static_cast<std::uint16_t>((f[13] << 8) | f[14]);
    r.gear = f[15] & 0x03;
    r.displayMode = (f[15] & 0x10) ? 1 : (f[15] & 0x08) ? 2 : 0;
    r.lock = (f[15] & 0x20) != 0;
    r.reverse = (f[15] & 0x40) != 0;
    r.brake = (f[15] & 0x80) != 0;
    r.fieldWeakening = f[16];
    r.calibrationStore = f[17] == 0x55;
    r.voltageCalibration = static_cast<std::uint16_t>((f[18] << 8) | f[19]);
    r.currentCalibration = static_cast<std::uint16_t>((f[20] << 8) | f[21]);
    return r;
}

SimLiveModel::SimLiveModel(std::uint64_t seed) : m_seed(seed), m_state(seed) {}

void SimLiveModel::PowerUp() {
    m_state = m_seed;
    m_rpm = 0;
    m_voltageDrift = 0;
    m_externalTemp = 23;
    m_coefficientDrift = 0;
    m_controllerTemp = kAmbient;
}

std::uint64_t SimLiveModel::NextRandom() {
    // splitmix64: fixed output for a seed on every platform.
    std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int SimLiveModel::RandomIn(int low, int high) {
    const auto span = static_cast<std::uint64_t>(high - low + 1);
    return low + static_cast<int>(NextRandom() % span);
}

Payload SimLiveModel::Answer(const StatusRequest& request, const SimParameterSet& parameters) {
    // Every draw happens on every step, so one branch does not shift the others' values.
    const int currentNoise = RandomIn(-3, 3);
    const int idleCurrent = RandomIn(0, 2);
    const int voltageStep = RandomIn(-1, 1);
    const int externalStep = RandomIn(-1, 1);
    const int coefficientStep = RandomIn(-2, 2);
    const int axisNoise = RandomIn(-4, 4);

    const double start = ThrottleVolts(parameters.Byte(7, 5));
    const double end = ThrottleVolts(parameters.Byte(7, 6));
    double fraction = 0.0;
    if (request.remoteOn && end > start) {
        const double volts = request.throttle / kThrottleUnitsPerVolt;
        fraction = std::clamp((volts - start) / (end - start), 0.0, 1.0);
    }
    int maxRpm = static_cast<std::int16_t>(parameters.Word(4, 10));
    if (maxRpm <= 0) {
        maxRpm = 3000;
    }
    int gearRatio = 100;
    if (request.gear < 3) {
        gearRatio = parameters.Byte(2, 7 + request.gear);
        if (gearRatio == 0) {
            gearRatio = 100;
        }
    }
    int target = static_cast<int>(std::lround(maxRpm * gearRatio / 100.0 * fraction));
    if (request.reverse) {
        int reverseRatio = parameters.Byte(3, 16);
        if (reverseRatio == 0) {
            reverseRatio = 30;
        }
        target = -target * reverseRatio / 100;
    }

    const int previousRpm = m_rpm;
    if (request.brake || request.lock) {
        m_rpm = 0;
    } else if (m_rpm < target) {
        m_rpm = std::min(target, m_rpm + kRpmStepPerRequest);
    } else if (m_rpm > target) {
        m_rpm = std::max(target, m_rpm - kRpmStepPerRequest);
    }

    int busCurrent = static_cast<std::int16_t>(parameters.Word(2, 5));
    if (busCurrent <= 0) {
        busCurrent = 30;
    }
    int current = idleCurrent;  // 0.1 A
    if (m_rpm != 0) {
        const bool slowing = std::abs(m_rpm) < std::abs(previousRpm);
        current = slowing ? -10 + currentNoise
                          : 8 + static_cast<int>(fraction * busCurrent * 8.0) + currentNoise;
    }

    const int batteryIndex = parameters.Byte(1, 6) & 0x0F;
    const int pack = batteryIndex < static_cast<int>(kPackVoltage.size())
                         ? kPackVoltage[static_cast<std::size_t>(batteryIndex)]
                         : kPackVoltage[2];
    m_voltageDrift = std::clamp(m_voltageDrift + voltageStep, -15, 15);
    const int voltage = pack + m_voltageDrift - current / 20;

    m_controllerTemp += std::abs(current) * 0.001 + (kAmbient - m_controllerTemp) * 0.01;
    m_externalTemp = std::clamp(m_externalTemp + externalStep, 20, 26);
    m_coefficientDrift = std::clamp(m_coefficientDrift + coefficientStep, -10, 10);

    Payload p{};
    switch (request.displayMode) {
        case 1:  // Q- and D-axis voltage
            PutWord(p, 5, Signed16(m_rpm / 8 + axisNoise));
            PutWord(p, 7, Signed16(-std::abs(m_rpm) / 40 - std::abs(axisNoise)));
            break;
        case 2:  // Q- and D-axis current
            PutWord(p, 5, Signed16(current * 4 + axisNoise));
            PutWord(p, 7, Signed16(-std::abs(m_rpm) / 20 - std::abs(axisNoise)));
            break;
        default:
            PutWord(p, 5, static_cast<std::uint16_t>(std::max(voltage, 0)));
            PutWord(p, 7, Signed16(current));
            break;
    }
    p[9 - kPayloadFirst] = 0;
    const std::uint32_t faults = m_faultBits | (request.brake ? 0x1u : 0u);
    for (int i = 0; i < 4; ++i) {
        p[10 - kPayloadFirst + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(faults >> (24 - 8 * i));
    }
    PutWord(p, 14, Signed16(m_rpm));
    p[16 - kPayloadFirst] = static_cast<std::uint8_t>(
        std::clamp(static_cast<int>(std::lround(m_controllerTemp)) + 50, 0, 255));
    p[17 - kPayloadFirst] = static_cast<std::uint8_t>(m_externalTemp + 50);
    PutWord(p, 18, static_cast<std::uint16_t>(kTempCoefficient + m_coefficientDrift));
    p[20 - kPayloadFirst] = static_cast<std::uint8_t>(
        (request.gear & 3) | (request.reverse ? 0x04 : 0) | (request.lock ? 0x08 : 0) |
        (request.brake ? 0x10 : 0) | m_extraIndicators);

    std::uint8_t state = 0;  // IDLE
    if (m_stateCode) {
        state = *m_stateCode;
    } else if (m_faultBits != 0) {
        state = 7;  // FAULT
    } else if (request.brake) {
        state = 5;  // BRAKE
    } else if (request.lock) {
        state = 4;  // STOP
    } else if (m_rpm != 0) {
        state = 3;  // RUN
    } else if (fraction > 0.0) {
        state = 2;  // START
    }
    p[21 - kPayloadFirst] = state;
    return p;
}

}  // namespace sim
