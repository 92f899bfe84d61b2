#include "pages/cpage0.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include "app/language_switch.h"
#include "app/profile_settings.h"
#include "app/tool_settings.h"
#include "ui/prompts.h"

namespace {

using K = ControlKind;

const DialogTemplate& PageTemplate() {
    static const DialogTemplate t{
        316,
        181,
        "MS Shell Dlg",
        9,
        "",
        {
            // Top row: versions and the tool's own settings.
            {0, K::Label, "软件版本:", "SW:", 8, 8, 31, 10},
            {1050, K::Label, "", "", 40, 8, 24, 10},
            {0, K::Label, "硬件版本:", "HW:", 66, 8, 31, 10},
            {1057, K::Label, "", "", 98, 8, 24, 10},
            {0, K::Label, "波特率:", "buadrate:", 126, 8, 32, 10},
            {1040, K::ComboList, "", "", 159, 6, 46, 60},
            {1042, K::CheckBox, "CAN使能", "CAN enable", 211, 7, 48, 11},
            {1029, K::Button, "中文", "ENGLISH", 263, 5, 46, 14},

            {0, K::GroupBox, "基本设置", "Basic Settings", 7, 22, 150, 155},
            {0, K::Label, "产品型号：", "Model:", 13, 35, 76, 10},
            {1037, K::ComboList, "", "", 91, 33, 60, 80},
            {0, K::Label, "电池电压(V)：", "Battery Voltage(V):", 13, 53, 76, 10},
            {1038, K::ComboList, "", "", 91, 51, 60, 80},
            {0, K::Label, "过压(V)：", "Overvoltage(V):", 13, 71, 76, 10},
            {1009, K::Edit, "", "", 91, 69, 60, 12},
            {0, K::Label, "欠压(V)：", "Undervoltage(V):", 13, 89, 76, 10},
            {1010, K::Edit, "", "", 91, 87, 60, 12, kDigitsOnly},
            {0, K::Label, "软欠压(V)：", "Soft undervoltage(V):", 13, 107, 76, 10},
            {1011, K::Edit, "", "", 91, 105, 60, 12, kDigitsOnly},
            {0, K::Label, "欠压回差：", "Undervoltage variation:", 13, 125, 76, 10},
            {1012, K::Edit, "", "", 91, 123, 60, 12, kDigitsOnly},
            {0, K::Label, "反充电限流(A)：", "Regenerative(A):", 13, 143, 76, 10},
            {1013, K::Edit, "", "", 91, 141, 60, 12, kDigitsOnly},
            {0, K::Label, "相线限流值：", "Phase current:", 13, 161, 76, 10},
            {1014, K::Edit, "", "", 91, 159, 60, 12, kDigitsOnly},

            // The brand list is a service setting: hidden until revealed.
            {1067, K::Label, "厂家品牌：", "brand:", 169, 25, 72, 10, kHidden},
            {1039, K::ComboList, "", "", 243, 23, 60, 100, kHidden},

            {0, K::GroupBox, "油门电压设置(最大值5.5V)", "throttle voltage set(max. 5.5v)", 163, 37,
             146, 69},
            {0, K::Label, "低保护值:", "low protect value:", 169, 50, 72, 10},
            {1019, K::Edit, "", "", 243, 48, 60, 12},
            {0, K::Label, "启始电压:", "start voltage:", 169, 64, 72, 10},
            {1023, K::Edit, "", "", 243, 62, 60, 12},
            {0, K::Label, "结束电压:", "the end of the voltage:", 169, 78, 72, 10},
            {1024, K::Edit, "", "", 243, 76, 60, 12},
            {0, K::Label, "高保护值:", "high protect value:", 169, 92, 72, 10},
            {1025, K::Edit, "", "", 243, 90, 60, 12},

            {0, K::GroupBox, "启动设置", "start setting", 163, 108, 146, 69},
            {0, K::Label, "起始扭矩:", "start torque:", 169, 121, 72, 10},
            {1020, K::Edit, "", "", 243, 119, 60, 12},
            {0, K::Label, "结合扭矩:", "combinative torque:", 169, 135, 72, 10},
            {1026, K::Edit, "", "", 243, 133, 60, 12},
            {0, K::Label, "上升斜率:", "rate of rise:", 169, 149, 72, 10},
            {1027, K::Edit, "", "", 243, 147, 60, 12},
            {0, K::Label, "下降斜率:", "rate of decline:", 169, 163, 72, 10},
            {1028, K::Edit, "", "", 243, 161, 60, 12},
        }};
    return t;
}

const std::vector<TipRow> kTips = {
    {1037, 139}, {1040, 140}, {1029, 180}, {1042, 181}, {1039, 182}, {1038, 183}, {1009, 184},
    {1010, 185}, {1011, 186}, {1012, 187}, {1013, 188}, {1014, 189}, {1019, 190}, {1023, 191},
    {1024, 192}, {1025, 193}, {1020, 194}, {1026, 195}, {1027, 196}, {1028, 197},
};

}  // namespace

QStringList ArgumentsForRestart(const QStringList& arguments) {
    // --tab, --unfold and --reveal only mean something together with --screenshot.
    static const QStringList kWithValue = {QStringLiteral("--lang"), QStringLiteral("--screenshot"),
                                           QStringLiteral("--tab")};
    static const QStringList kFlags = {QStringLiteral("--unfold"), QStringLiteral("--reveal")};
    QStringList kept;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QStringLiteral("--")) {
            kept << arguments.mid(i);
            break;
        }
        if (kFlags.contains(argument)) {
            continue;
        }
        bool dropped = false;
        for (const QString& name : kWithValue) {
            if (argument == name) {
                ++i;  // and its value, the next argument
                dropped = true;
                break;
            }
            if (argument.startsWith(name + QLatin1Char('='))) {
                dropped = true;
                break;
            }
        }
        if (!dropped) {
            kept << argument;
        }
    }
    return kept;
}

Cpage0::Cpage0(UiLanguage language, QWidget* parent)
    : TemplateWidget(PageTemplate(), language, parent),
      m_modelCombo(Item<QComboBox>(1037)),
      m_voltageCombo(Item<QComboBox>(1038)),
      m_brandCombo(Item<QComboBox>(1039)),
      m_baudRateCombo(Item<QComboBox>(1040)),
      m_canEnableCheck(Item<QCheckBox>(1042)),
      m_languageButton(Item<QPushButton>(1029)) {
    // Only the user's picks count: lists set by the program (decoded blocks, the window's
    // start-up) must neither apply presets nor store settings.
    connect(m_voltageCombo, &QComboBox::activated, this, &Cpage0::OnVoltageSelChange);
    connect(m_baudRateCombo, &QComboBox::activated, this, &Cpage0::OnBaudRateSelChange);
    connect(m_canEnableCheck, &QCheckBox::clicked, this, &Cpage0::OnCanEnableClicked);
    connect(m_languageButton, &QPushButton::clicked, this, &Cpage0::OnLanguageClicked);
}

void Cpage0::OnInitDialog() {
    UpdateData(false);
    RegisterTips(kTips);
}

void Cpage0::DoDataExchange(DataExchange& exchange) {
    exchange.Float(1009, m_overVoltage);
    exchange.Float(1010, m_underVoltage);
    exchange.Float(1011, m_softUnderVoltage);
    exchange.Float(1012, m_underVoltageHysteresis);
    exchange.UInt(1013, m_regenCurrentLimit);
    exchange.UInt(1014, m_phaseCurrentLimit);
    exchange.Float(1050, m_swVersion);
    exchange.Float(1057, m_hwVersion);
    exchange.RangeFloat(m_underVoltageHysteresis, 0.0f, 6.0f);
    exchange.Float(1019, m_throttleLowProtect);
    exchange.Float(1025, m_throttleHighProtect);
    exchange.Float(1023, m_throttleStart);
    exchange.Float(1024, m_throttleEnd);
    exchange.Int(1020, m_startTorque);
    exchange.Int(1026, m_engageTorque);
    exchange.Int(1027, m_riseSlope);
    exchange.Int(1028, m_fallSlope);
}

void Cpage0::SetToolSettingsStore(ProfileSettings* settings, ProcessLauncher* launcher) {
    m_settings = settings;
    m_launcher = launcher;
}

void Cpage0::SetToolSettingsEnabled(bool enabled) {
    m_baudRateCombo->setEnabled(enabled);
    m_canEnableCheck->setEnabled(enabled);
    m_languageButton->setEnabled(enabled);
}

void Cpage0::OnVoltageSelChange() {
    // A failed read has shown its message; the preset applies all the same.
    UpdateData(true);
    const int index = m_voltageCombo->currentIndex();
    if (index >= 0 && index < static_cast<int>(kVoltagePresets.size())) {
        const VoltagePreset& preset = kVoltagePresets[static_cast<std::size_t>(index)];
        m_overVoltage = preset.overVoltage;
        m_underVoltage = preset.underVoltage;
        m_softUnderVoltage = preset.softUnderVoltage;
        m_underVoltageHysteresis = preset.hysteresis;
    }
    UpdateData(false);
}

void Cpage0::OnBaudRateSelChange() {
    if (m_settings == nullptr) {
        return;
    }
    StoreBaudRateSelection(*m_settings, m_baudRateCombo->currentIndex());
}

void Cpage0::OnCanEnableClicked() {
    if (m_settings == nullptr) {
        return;
    }
    m_baudRateCombo->setCurrentIndex(
        ApplyCanEnableClick(*m_settings, m_canEnableCheck->isChecked()));
}

void Cpage0::OnLanguageClicked() {
    if (m_settings == nullptr || m_launcher == nullptr) {
        return;
    }
    RestartCommand command = CurrentRestartCommand();
    command.arguments = ArgumentsForRestart(command.arguments);
    const LanguageSwitchResult result =
        SwitchLanguage(m_languageButton->text(), *m_settings, *m_launcher, command);
    m_languageButton->setText(result.caption);
    if (result.CloseWindow()) {
        // Posted, so the click finishes before the window goes; the new instance is already
        // starting.
        QMetaObject::invokeMethod(window(), &QWidget::close, Qt::QueuedConnection);
        return;
    }
    AppPrompts().Message(LanguageSwitchFailureText(result, Language()));
}
