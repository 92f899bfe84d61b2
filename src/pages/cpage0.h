#pragma once
// Page 1: basic settings (voltages, current limits, throttle and start settings, versions) and
// the tool's own settings (baud rate, CAN enable, language). The fields are public so the
// parameter adapter can read and write them; the lists, the box and the button are reached
// through their members.

#include <QStringList>
#include <array>
#include <cstdint>

#include "ui/template_widget.h"

class ProcessLauncher;
class ProfileSettings;
class QCheckBox;
class QComboBox;
class QPushButton;

// The arguments a restarted instance gets: the running ones without the options that fix the
// language for one run (`--lang X`, `--lang=X`) or make it render a picture and exit
// (`--screenshot FILE` and the options that only go with it), so the stored language applies
// and a window opens.
QStringList ArgumentsForRestart(const QStringList& arguments);

// One row of the battery voltage presets: over, under and soft under voltage, hysteresis.
struct VoltagePreset {
    float overVoltage;
    float underVoltage;
    float softUnderVoltage;
    float hysteresis;
};
// By item of the battery voltage list: "48V", "60V", "72V", "84V", "96V".
inline constexpr std::array<VoltagePreset, 5> kVoltagePresets{{
    {60.8f, 42.0f, 45.0f, 1.0f},
    {72.5f, 52.5f, 55.5f, 1.0f},
    {89.5f, 63.0f, 66.0f, 1.0f},
    {104.9f, 73.5f, 76.5f, 1.0f},
    {119.6f, 84.0f, 87.0f, 1.0f},
}};

class Cpage0 : public TemplateWidget {
    Q_OBJECT
public:
    explicit Cpage0(UiLanguage language, QWidget* parent = nullptr);

    // The page's own initialisation: its exchange into the controls and its tips.
    void OnInitDialog();

    // Where the baud rate, "CAN enable" and language choices are stored, and what starts the
    // new instance after a language switch. Until both are set those controls store nothing.
    void SetToolSettingsStore(ProfileSettings* settings, ProcessLauncher* launcher);
    // The baud rate list, "CAN enable" and the language button cannot change while a port is
    // open.
    void SetToolSettingsEnabled(bool enabled);

    // Fields, all 0 at construction.
    float m_overVoltage = 0;                // 1009, volts
    float m_underVoltage = 0;               // 1010, volts
    float m_softUnderVoltage = 0;           // 1011, volts
    float m_underVoltageHysteresis = 0;     // 1012, volts, 0..6
    std::uint32_t m_regenCurrentLimit = 0;  // 1013, amperes
    std::uint32_t m_phaseCurrentLimit = 0;  // 1014
    float m_swVersion = 0;                  // static 1050
    float m_hwVersion = 0;                  // static 1057
    float m_throttleLowProtect = 0;         // 1019, volts
    float m_throttleStart = 0;              // 1023, volts
    float m_throttleEnd = 0;                // 1024, volts
    float m_throttleHighProtect = 0;        // 1025, volts
    int m_startTorque = 0;                  // 1020
    int m_engageTorque = 0;                 // 1026
    int m_riseSlope = 0;                    // 1027
    int m_fallSlope = 0;                    // 1028

    // Controls without a field.
    QComboBox* m_modelCombo = nullptr;        // 1037
    QComboBox* m_voltageCombo = nullptr;      // 1038
    QComboBox* m_brandCombo = nullptr;        // 1039, hidden until revealed
    QComboBox* m_baudRateCombo = nullptr;     // 1040
    QCheckBox* m_canEnableCheck = nullptr;    // 1042
    QPushButton* m_languageButton = nullptr;  // 1029

public slots:
    // A battery voltage was picked: its four voltage presets replace what the edits show.
    void OnVoltageSelChange();
    void OnBaudRateSelChange();
    void OnCanEnableClicked();
    void OnLanguageClicked();

protected:
    void DoDataExchange(DataExchange& exchange) override;

private:
    ProfileSettings* m_settings = nullptr;
    ProcessLauncher* m_launcher = nullptr;
};
