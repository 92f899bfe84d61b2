#pragma once
// Page 2: current, speed and limit settings. The numeric fields and radio values are public so
// the parameter adapter can read and write them; the check boxes and the soft start level list
// hold their own state and are reached through their members.

#include <cstdint>

#include "ui/template_widget.h"

class QCheckBox;
class QComboBox;
class QRadioButton;

class Cpage1 : public TemplateWidget {
    Q_OBJECT
public:
    explicit Cpage1(UiLanguage language, QWidget* parent = nullptr);

    // The page's own initialisation: its exchange into the controls and its tips.
    void OnInitDialog();

    // Fields, all 0 at construction; every edit takes digits only.
    std::uint32_t m_busCurrentMax = 0;      // 1009, amperes
    std::uint32_t m_fluxWeakening = 0;      // 1010
    std::uint32_t m_currentKi = 0;          // 1011
    std::uint32_t m_sExitTime = 0;          // 1013, seconds
    std::uint32_t m_sRecoveryTime = 0;      // 1022, seconds
    std::uint32_t m_speedLimitRatio = 0;    // 1014, percent
    std::uint32_t m_lowSpeedRatio = 0;      // 1016, percent
    std::uint32_t m_midSpeedRatio = 0;      // 1015, percent
    std::uint32_t m_highSpeedRatio = 0;     // 1017, percent
    std::uint32_t m_startPhaseCurrent = 0;  // 1019
    std::uint32_t m_currentKp = 0;          // 1018
    std::uint32_t m_lowSpeedCurrent = 0;    // 1025, percent
    std::uint32_t m_midSpeedCurrent = 0;    // 1023, percent
    std::uint32_t m_overModulation = 0;     // 1024
    std::uint32_t m_capProtectTime = 0;     // 1026
    std::uint32_t m_limitPhaseCurrent = 0;  // 1027
    std::uint32_t m_maxRpm = 0;             // 1020, rpm
    std::uint32_t m_mtpa = 0;               // 1021

    // Radio groups: index of the checked button, -1 when none is checked.
    int m_defaultGear = 0;     // 1044 low, 1053 mid, 1056 high
    int m_threeSpeedMode = 0;  // 1040 button, 1041 switch

    // Controls without a field.
    QCheckBox* m_softStartCheck = nullptr;       // 1042
    QCheckBox* m_speedLimitCheck = nullptr;      // 1043
    QCheckBox* m_autoExitCheck = nullptr;        // 1045
    QCheckBox* m_constantSpeedCheck = nullptr;   // 1046
    QCheckBox* m_hillHoldCheck = nullptr;        // 1047
    QComboBox* m_softStartLevelCombo = nullptr;  // 1037, items "1".."16"
    QRadioButton* m_lowGearRadio = nullptr;      // 1044

protected:
    void DoDataExchange(DataExchange& exchange) override;
};
