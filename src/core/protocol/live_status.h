#pragma once
// The controller's live values as the last status frame gave them, the fault check boxes they
// drive, and the texts the display page shows for them.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "core/protocol/controller_frame.h"

struct LiveStatus {
    // Display mode 0: battery voltage in 0.1 V (unsigned); modes 1, 2: Q-axis value (signed).
    std::uint16_t m_voltageRaw = 0;
    // Display mode 0: current in 0.1 A (signed); modes 1, 2: D-axis value (signed).
    std::uint16_t m_currentRaw = 0;
    std::uint32_t m_faultBits = 0;
    std::int16_t m_rpm = 0;
    std::uint8_t m_controllerTempRaw = 0;  // degrees C + 50
    std::uint8_t m_externalTempRaw = 0;    // degrees C + 50
    std::uint16_t m_tempCoefficient = 0;
    // Bits 0-1 gear, 2 reverse, 3 P gear, 4 brake, 5 anti-theft, 6 side stand, 7 regeneration.
    std::uint8_t m_indicatorBits = 0;
    std::uint16_t m_stateCode = 0;

    bool operator==(const LiveStatus&) const = default;
};

// Reads a 'YB', 'E1' or 'E2' frame (all three share the layout). Positions up to 21 are read
// whatever the frame's length says.
LiveStatus DecodeStatusFrame(ControllerFrameView frame);

// The display page's fault check boxes in the order the decoder sets them.
struct FaultBox {
    int m_controlId;
    std::uint32_t m_mask;  // checked when any of these bits is set
};
inline constexpr std::array<FaultBox, 9> kFaultBoxes{{
    {1050, 0x1000},    // overheating
    {1042, 0x80},      // throttle ("Hall Fault")
    {1043, 0x1},       // brake
    {1044, 0x8},       // motor hall
    {1045, 0x4},       // undervoltage
    {1046, 0x10},      // overvoltage
    {1047, 0x2},       // overcurrent
    {1049, 0x800},     // out of control
    {1048, 0x800200},  // controller failure
}};
// Checked state of each box of kFaultBoxes, same order.
std::array<bool, kFaultBoxes.size()> FaultBoxStates(std::uint32_t faultBits);

// The last decoded status, written by the receive thread and read by the GUI thread.
// A sequence lock over atomic words: the writer never waits for a reader, and a reader
// always gets the fields of one single frame (it retries while a write is in progress).
class LiveStatusStore {
public:
    void Store(const LiveStatus& status);
    LiveStatus Load() const;

    static constexpr std::size_t kWords = (sizeof(LiveStatus) + 3) / 4;

private:
    std::atomic<std::uint32_t> m_sequence{0};
    std::array<std::atomic<std::uint32_t>, kWords> m_words{};
};

extern LiveStatusStore g_liveStatus;

// Decodes the frame, stores it in g_liveStatus and returns it (for the fault boxes).
LiveStatus PublishStatusFrame(ControllerFrameView frame);

// The texts and radio fields the display page shows for one status.
struct DisplayPageTexts {
    std::string m_controllerTemp;   // edit 1012
    std::string m_externalTemp;     // edit 1014
    std::string m_speed;            // edit 1009
    std::string m_voltage;          // edit 1010
    std::string m_current;          // edit 1011
    std::string m_faultCode;        // edit 1019
    std::string m_tempCoefficient;  // edit 1013
    // Radio fields: the index of the checked button, so a lamp is lit at 0 and dark at 1.
    int m_gearIndicator = 0;
    int m_reverseLamp = 1;
    int m_parkLamp = 1;
    int m_brakeLamp = 1;
    int m_antiTheftLamp = 1;
    int m_sideStandLamp = 1;
    int m_regenLamp = 1;
    std::string m_stateName;  // label 1057

    bool operator==(const DisplayPageTexts&) const = default;
};

// displayMode is the mode the tool requested (0 voltage/current, 1 Q/D voltage, 2 Q/D current).
DisplayPageTexts FormatDisplayPage(const LiveStatus& status, int displayMode);

// "IDLE".."FAULT" for 0..7; any other code as its decimal number.
std::string ControllerStateName(std::uint16_t code);
