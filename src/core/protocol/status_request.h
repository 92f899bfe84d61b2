#pragma once
// The remote-control state that rides in every status request, and how it fills the request.

#include <cstdint>

#include "core/protocol/command_frame.h"

inline constexpr std::uint8_t kRequestOn = 0x55;
inline constexpr std::uint8_t kRequestOff = 0xAA;

// The main window's remote-control, display-mode, calibration and CAN cable fields.
struct RemoteControlState {
    std::uint8_t m_remoteOn = 0;
    double m_throttle = 0.0;  // trackbar position times kThrottlePerPosition
    int m_gear = 0;           // 0 low, 1 middle, 2 high, 3 S
    int m_brake = 0;
    int m_reverse = 0;
    int m_lock = 0;
    int m_displayMode = 0;  // 0 voltage/current, 1 Q/D voltage, 2 Q/D current
    unsigned m_voltageCalibValue = 0;
    unsigned m_currentCalibValue = 0;
    unsigned m_fieldWeakeningValue = 0;
    // Requests still to carry the calibration-store flag; the calibration button sets it to 2.
    std::uint8_t m_calibWriteCount = 0;
    int m_canNode = 0;     // 0..7, 'A'..'H'
    int m_canBitRate = 0;  // 0 1M, 1 500K, 2 250K, 3 125K
    bool m_autoMatchCheck = false;
};

// m_throttle for a trackbar position in hundredths of a volt.
inline constexpr double kThrottlePerPosition = 59.45454545454545;
inline double ThrottleFromPosition(int position) {
    return position * kThrottlePerPosition;
}
inline constexpr int kThrottleRestPosition = 50;

// Bytes 5 and 6: node and bit rate for a first-generation CAN cable ('O' 'W' without one, while
// g_firstGenCable is 0). Uses the cable values as they stand before the tick reads the controls.
void FillCableSelector(CommandFrame& frame, const RemoteControlState& state);

// Bytes 12..21. Counts m_calibWriteCount down when it writes the store flag, so it must be
// called only for a request that is really sent.
void FillRemoteControlBytes(CommandFrame& frame, RemoteControlState& state);

// Trackbar range for the page-1 throttle voltages (volts): the midpoints of the protection and
// working limits in hundredths of a volt, computed in single precision and truncated.
struct ThrottleRange {
    int m_minimum = 0;
    int m_maximum = 0;
    bool operator==(const ThrottleRange&) const = default;
};
ThrottleRange ComputeThrottleRange(float lowProtect, float start, float end, float highProtect);
