#pragma once
// The controller's live values as status frames report them: the motor follows the remote
// throttle, voltage, current, temperatures and the temperature coefficient drift. The model
// moves one step per status request and draws from its own seeded generator, so the same seed
// and the same requests give the same frames.

#include <cstdint>
#include <optional>

#include "sim/sim_frames.h"
#include "sim/sim_parameter_set.h"

namespace sim {

// What a status request ("SHOW") carries.
struct StatusRequest {
    std::uint8_t nodeSelector = 'O';
    std::uint8_t bitRateSelector = 'W';
    bool remoteOn = false;
    std::uint16_t throttle = 0;  // hundredths of a volt times 654/11
    int gear = 0;                // 0 low, 1 middle, 2 high, 3 S
    int displayMode = 0;         // 0 voltage/current, 1 Q/D voltage, 2 Q/D current
    bool lock = false;
    bool reverse = false;
    bool brake = false;
    std::uint8_t fieldWeakening = 0;
    bool calibrationStore = false;
    std::uint16_t voltageCalibration = 0;
    std::uint16_t currentCalibration = 0;

    static StatusRequest FromFrame(const Frame& frame);
    bool operator==(const StatusRequest&) const = default;
};

class SimLiveModel {
public:
    static constexpr int kRpmStepPerRequest = 800;
    static constexpr double kThrottleUnitsPerVolt = 100.0 * 654.0 / 11.0;

    explicit SimLiveModel(std::uint64_t seed = 1);

    // One step with this request; returns bytes 5..21 of the status frame.
    Payload Answer(const StatusRequest& request, const SimParameterSet& parameters);
    // A restart: motor at rest, temperatures and drift back to their start.
    void PowerUp();

    // Fault word reported at bytes 10-13 (the brake input adds bit 0 while it is on).
    void SetFaultBits(std::uint32_t bits) { m_faultBits = bits; }
    std::uint32_t FaultBits() const { return m_faultBits; }
    // Fixed state code at byte 21 instead of the one the model derives.
    void SetStateCode(std::optional<std::uint8_t> code) { m_stateCode = code; }
    std::optional<std::uint8_t> StateCode() const { return m_stateCode; }
    // Lamp bits (side stand 0x40, energy recovery 0x80, ...) added to byte 20.
    void SetExtraIndicatorBits(std::uint8_t bits) { m_extraIndicators = bits; }
    std::uint8_t ExtraIndicatorBits() const { return m_extraIndicators; }

    int Rpm() const { return m_rpm; }

private:
    std::uint64_t NextRandom();
    int RandomIn(int low, int high);

    std::uint64_t m_seed;
    std::uint64_t m_state;
    int m_rpm = 0;
    int m_voltageDrift = 0;
    int m_externalTemp = 23;
    int m_coefficientDrift = 0;
    double m_controllerTemp = 25.0;
    std::uint32_t m_faultBits = 0;
    std::optional<std::uint8_t> m_stateCode;
    std::uint8_t m_extraIndicators = 0;
};

}  // namespace sim
