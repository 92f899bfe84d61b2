#pragma once
// Page 3: motor, output and temperature settings. The numeric fields and radio values are
// public so the parameter adapter can read and write them; the check boxes hold their own
// state and are reached through their members.

#include <cstdint>

#include "ui/template_widget.h"

class QCheckBox;
class QRadioButton;
class UpDown;

class Cpage3 : public TemplateWidget {
    Q_OBJECT
public:
    explicit Cpage3(UiLanguage language, QWidget* parent = nullptr);

    // The page's own initialisation: its exchange into the controls and its tips.
    void OnInitDialog();

    // Edit 1009 changed: re-reads the page and keeps the angle within -180..180.
    void OnHallAngleChange();

    // Fields, all 0 until the main window sets the protection temperature and pole pairs.
    std::int32_t m_hallAngle = 0;               // 1009, degrees
    std::uint32_t m_reverseSpeedRatio = 0;      // 1010, percent
    std::uint32_t m_ebsRatio = 0;               // 1014, percent
    std::uint32_t m_polePairs = 0;              // 1023
    std::uint32_t m_pushAssistSpeed = 0;        // 1011, percent
    std::uint32_t m_pushAssistTorque = 0;       // 1012
    std::uint32_t m_motorTempStart = 0;         // 1013 (hidden)
    std::uint32_t m_motorTempOver = 0;          // 1018 (hidden)
    std::uint32_t m_motorTempMax = 0;           // 1019 (hidden)
    std::uint32_t m_controllerTempProtect = 0;  // 1021 (hidden)
    std::uint32_t m_dampingFactor = 0;          // 1020 (hidden)
    std::uint32_t m_speedDisplayAdjust = 0;     // 1022 (hidden)

    // Radio groups: index of the checked button, -1 when none is checked.
    int m_direction = 0;         // 1038 forward, 1039 reverse
    int m_motorType = 0;         // 1047 surface-mount, 1040 V-type
    int m_outputType = 0;        // 1056 one-line, 1053 Hall speedometer
    int m_dualVoltageLevel = 0;  // 1057 low, 1055 high

    // Controls without a field.
    QCheckBox* m_hallSwapCheck = nullptr;        // 1042
    QCheckBox* m_phaseSwapCheck = nullptr;       // 1043
    QCheckBox* m_pushAssistCheck = nullptr;      // 1044
    QCheckBox* m_noiseReductionCheck = nullptr;  // 1045
    QCheckBox* m_cruiseCheck = nullptr;          // 1046
    QCheckBox* m_dualVoltageCheck = nullptr;     // 1048
    QCheckBox* m_safeStartCheck = nullptr;       // 1049
    QRadioButton* m_forwardRadio = nullptr;      // 1038
    UpDown* m_reverseSpeedSpin = nullptr;        // 1051
    UpDown* m_ebsSpin = nullptr;                 // 1052
    UpDown* m_pushAssistSpeedSpin = nullptr;     // 1054

protected:
    void DoDataExchange(DataExchange& exchange) override;

private:
    // Set while the page exchanges: its own writes into the controls are not user input.
    bool m_exchanging = false;
};
