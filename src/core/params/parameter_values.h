#pragma once
// The values the settings pages and the main window hold for the parameter block: page fields,
// combo selections (-1 = no selection), check states, radio values (-1 = none checked), the
// sixteen pins and the main window's calibration edits. A default-constructed set is what a
// freshly started window holds.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr int kNoSelection = -1;
inline constexpr std::size_t kPinCount = 16;

// Page 1 (Cpage0): basic settings, versions, throttle and start settings.
struct Page0Values {
    float m_overVoltage = 0.0f;
    float m_underVoltage = 0.0f;
    float m_softUnderVoltage = 0.0f;
    float m_underVoltageHysteresis = 0.0f;
    std::uint32_t m_regenCurrentLimit = 0;
    std::uint32_t m_phaseCurrentLimit = 0;
    float m_swVersion = 0.0f;
    float m_hwVersion = 0.0f;
    float m_throttleLowProtect = 0.0f;
    float m_throttleStart = 0.0f;
    float m_throttleEnd = 0.0f;
    float m_throttleHighProtect = 0.0f;
    std::int32_t m_startTorque = 0;
    std::int32_t m_engageTorque = 0;
    std::int32_t m_riseSlope = 0;
    std::int32_t m_fallSlope = 0;
    // Controls without a field: model 1037, battery voltage 1038, brand 1039.
    int m_modelIndex = kNoSelection;
    int m_voltageIndex = kNoSelection;
    int m_brandIndex = 0;

    friend bool operator==(const Page0Values&, const Page0Values&) = default;
};

// Page 2 (Cpage1): currents, speeds and limits. Every numeric field is unsigned.
struct Page1Values {
    std::uint32_t m_busCurrentMax = 0;
    std::uint32_t m_fluxWeakening = 0;
    std::uint32_t m_currentKi = 0;
    std::uint32_t m_sExitTime = 0;
    std::uint32_t m_sRecoveryTime = 0;
    std::uint32_t m_speedLimitRatio = 0;
    std::uint32_t m_lowSpeedRatio = 0;
    std::uint32_t m_midSpeedRatio = 0;
    std::uint32_t m_highSpeedRatio = 0;
    std::uint32_t m_startPhaseCurrent = 0;
    std::uint32_t m_currentKp = 0;
    std::uint32_t m_lowSpeedCurrent = 0;
    std::uint32_t m_midSpeedCurrent = 0;
    std::uint32_t m_overModulation = 0;
    std::uint32_t m_capProtectTime = 0;
    std::uint32_t m_limitPhaseCurrent = 0;
    std::uint32_t m_maxRpm = 0;
    std::uint32_t m_mtpa = 0;
    int m_defaultGear = 0;     // radio 1044/1053/1056: 0 low, 1 middle, 2 high
    int m_threeSpeedMode = 0;  // radio 1040/1041: 0 button, 1 switch
    // Controls without a field.
    bool m_softStartCheck = false;      // 1042
    bool m_speedLimitCheck = false;     // 1043
    bool m_autoExitCheck = false;       // 1045
    bool m_constantSpeedCheck = false;  // 1046
    bool m_hillHoldCheck = false;       // 1047
    int m_softStartLevelIndex = 0;      // combo 1037, item "1".."16"

    friend bool operator==(const Page1Values&, const Page1Values&) = default;
};

// Page 3 (Cpage3): motor, output and temperature settings.
struct Page3Values {
    std::int32_t m_hallAngle = 0;
    std::uint32_t m_reverseSpeedRatio = 0;
    std::uint32_t m_ebsRatio = 0;
    std::uint32_t m_polePairs = 4;
    std::uint32_t m_pushAssistSpeed = 0;
    std::uint32_t m_pushAssistTorque = 0;
    std::uint32_t m_motorTempStart = 0;
    std::uint32_t m_motorTempOver = 0;
    std::uint32_t m_motorTempMax = 0;
    std::uint32_t m_controllerTempProtect = 444;
    std::uint32_t m_dampingFactor = 0;
    std::uint32_t m_speedDisplayAdjust = 0;
    int m_direction = 0;         // radio 1038/1039
    int m_motorType = 0;         // radio 1047/1040
    int m_outputType = 0;        // radio 1056/1053: 0 one-line, 1 Hall speedometer
    int m_dualVoltageLevel = 0;  // radio 1057/1055
    // Controls without a field.
    bool m_hallSwapCheck = false;        // 1042
    bool m_phaseSwapCheck = false;       // 1043
    bool m_pushAssistCheck = false;      // 1044
    bool m_noiseReductionCheck = false;  // 1045
    bool m_cruiseCheck = false;          // 1046
    bool m_dualVoltageCheck = false;     // 1048
    bool m_safeStartCheck = false;       // 1049

    friend bool operator==(const Page3Values&, const Page3Values&) = default;
};

// One pin of the port settings page: function box, three check boxes, F/U/D radio field.
struct PinValues {
    int m_functionIndex = 0;  // function code; -1 when the box's text was typed over
    bool m_ioCheck = false;
    bool m_swCheck = false;
    bool m_laCheck = false;
    int m_pinMode = 0;  // 0 F, 1 U, 2 D; 3 or -1 leave all three radios unchecked

    friend bool operator==(const PinValues&, const PinValues&) = default;
};

// Port settings page (Cpage6), pins in the fixed order "PD0" .. "PD15(empty)".
struct PortPageValues {
    std::array<PinValues, kPinCount> m_pins{};

    friend bool operator==(const PortPageValues&, const PortPageValues&) = default;
};

// The main window's calibration edits. The encoder of block 4 reads the field-weakening edit's
// text, not the number, so the text is kept as the window shows it.
struct MainWindowValues {
    std::uint32_t m_voltageCalibValue = 0;    // edit 1010
    std::uint32_t m_currentCalibValue = 0;    // edit 1011
    std::uint32_t m_fieldWeakeningValue = 0;  // edit 1012, as exchanged
    std::string m_fieldWeakeningText = "0";   // edit 1012, as shown

    // Sets the number and the text the edit then shows ("%u").
    void SetFieldWeakening(std::uint32_t value);

    friend bool operator==(const MainWindowValues&, const MainWindowValues&) = default;
};

struct ParameterValues {
    Page0Values m_page0;
    Page1Values m_page1;
    Page3Values m_page3;
    PortPageValues m_portPage;
    MainWindowValues m_mainWindow;

    friend bool operator==(const ParameterValues&, const ParameterValues&) = default;
};
