#include "pages/cpage1.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>

namespace {

using K = ControlKind;

// Caption of the English template's static that completes the default-gear frame's caption.
constexpr char kDefaultGearNote[] = "detauilt gear";

const DialogTemplate& PageTemplate() {
    static const DialogTemplate t{
        328,
        188,
        "MS Shell Dlg",
        9,
        "",
        {
            // Left column.
            {0, K::GroupBox, "电流/弱磁设置", "Current/Flux-Weakening", 4, 3, 100, 103},
            {0, K::Label, "母线最大电流(A)：", "Max Current(A):", 9, 17, 57, 10},
            {1009, K::Edit, "", "", 67, 15, 33, 12, kDigitsOnly},
            {0, K::Label, "弱磁值：", "Flux-Weakening:", 9, 32, 57, 10},
            {1010, K::Edit, "", "", 67, 30, 33, 12, kDigitsOnly},
            {0, K::Label, "电流环KI：", "KI", 9, 47, 57, 10},
            {1011, K::Edit, "", "", 67, 45, 33, 12, kDigitsOnly},
            {1045, K::CheckBox, "自动退出使能", "Automatic logout enadlers", 9, 61, 94, 10},
            {0, K::Label, "退出时间(S)：", "Logout time(S):", 9, 76, 57, 10},
            {1013, K::Edit, "", "", 67, 74, 33, 12, kDigitsOnly},
            {0, K::Label, "恢复时间(S)：", "Recovery time(S):", 9, 91, 57, 10},
            {1022, K::Edit, "", "", 67, 89, 33, 12, kDigitsOnly},

            {0, K::GroupBox, "限速设置", "Speed limit setting", 4, 109, 100, 42},
            {1043, K::CheckBox, "限速使能", "Speed limited enable", 9, 121, 90, 10},
            {0, K::Label, "限速比例(%)：", "Speed ratio(%):", 9, 136, 57, 10},
            {1014, K::Edit, "", "", 67, 134, 23, 12, kDigitsOnly},
            {1055, K::UpDown, "", "", 90, 134, 10, 12},

            // Middle column.
            {0, K::GroupBox, "三速设置", "Three-speed", 107, 3, 105, 181},
            {0, K::Label, "低速(%)", "Low(%):", 112, 17, 62, 10},
            {1016, K::Edit, "", "", 175, 15, 24, 12, kDigitsOnly},
            {1051, K::UpDown, "", "", 199, 15, 10, 12},
            {0, K::Label, "中速(%)", "Mid(%):", 112, 32, 62, 10},
            {1015, K::Edit, "", "", 175, 30, 24, 12, kDigitsOnly},
            {1052, K::UpDown, "", "", 199, 30, 10, 12},
            {0, K::Label, "高速(%)", "Hige(%):", 112, 47, 62, 10},
            {1017, K::Edit, "", "", 175, 45, 24, 12, kDigitsOnly},
            {1054, K::UpDown, "", "", 199, 45, 10, 12},
            {0, K::Label, "起步相电流", "Start phase current:", 112, 62, 62, 10},
            {1019, K::Edit, "", "", 175, 60, 34, 12, kDigitsOnly},
            {0, K::Label, "电流环KP", "KP", 112, 77, 62, 10},
            {1018, K::Edit, "", "", 175, 75, 34, 12, kDigitsOnly},
            {0, K::GroupBox, "点动拨动选择", "Button/Switch 3 speed", 111, 91, 99, 34},
            {1040, K::Radio, "点动三速", "Button 3 speed", 116, 102, 90, 10, kGroup},
            {1041, K::Radio, "拨动三速", "Switch 3 speed", 116, 113, 90, 10},
            {0, K::GroupBox, "三速默认档位", "Three speed ", 111, 127, 99, 25},
            // Sits on the frame's top line after its caption and covers the line there, so the
            // two read as one caption.
            {0, K::Label, "", kDefaultGearNote, 157, 127, 41, 9, kEnglishOnly | kOpaque},
            {1044, K::Radio, "低速", "Low", 116, 139, 30, 10, kGroup},
            {1053, K::Radio, "中速", "Mid", 147, 139, 30, 10},
            {1056, K::Radio, "高速", "Hige", 178, 139, 30, 10},
            {1042, K::CheckBox, "软启动使能", "Soft start enabled", 112, 155, 90, 10, kGroup},
            {0, K::Label, "软启动级别:", "Soft start grade:", 112, 170, 52, 10},
            {1037, K::ComboList, "", "", 166, 168, 43, 120},

            // Right column.
            {0, K::Label, "最大扭矩/电流比控制:", "MTPA", 216, 10, 71, 10},
            {1021, K::Edit, "", "", 288, 8, 22, 12, kDigitsOnly},
            {1057, K::UpDown, "", "", 310, 8, 10, 12},
            {0, K::Label, "低速电流%：", "Low speed current(%):", 216, 28, 71, 10},
            {1025, K::Edit, "", "", 288, 26, 22, 12, kDigitsOnly},
            {1060, K::UpDown, "", "", 310, 26, 10, 12},
            {0, K::Label, "中速电流%", "Mid speed current(%):", 216, 44, 71, 10},
            {1023, K::Edit, "", "", 288, 42, 22, 12, kDigitsOnly},
            {1058, K::UpDown, "", "", 310, 42, 10, 12},
            {0, K::Label, "超调：", "Over Modulation:", 216, 60, 71, 10},
            {1024, K::Edit, "", "", 288, 58, 22, 12, kDigitsOnly},
            {1059, K::UpDown, "", "", 310, 58, 10, 12},
            {0, K::Label, "电容保护时间", "protect time:", 216, 76, 71, 10},
            {1026, K::Edit, "", "", 288, 74, 32, 12, kDigitsOnly},
            {0, K::Label, "限制相线电流", "Limit phase current:", 216, 92, 71, 10},
            {1027, K::Edit, "", "", 288, 90, 32, 12, kDigitsOnly},

            {0, K::GroupBox, "恒速/驻坡", "Constant speed/HHC", 213, 109, 111, 54},
            {1047, K::CheckBox, "坡道起步驻车辅助使能", "HHC Enable", 218, 121, 100, 10},
            {1046, K::CheckBox, "恒速使能", "Constant speed", 218, 134, 100, 10},
            {0, K::Label, "最高速度限制RPM:", " Max. limited RPM:", 218, 149, 69, 10},
            {1020, K::Edit, "", "", 288, 147, 32, 12, kDigitsOnly},
        }};
    return t;
}

const std::vector<TipRow> kTips = {
    {1009, 198}, {1010, 199}, {1011, 200}, {1045, 201}, {1013, 202}, {1022, 203},
    {1047, 204}, {1046, 205}, {1020, 206}, {1043, 207}, {1014, 208}, {1021, 209},
    {1016, 210}, {1015, 211}, {1017, 212}, {1019, 213}, {1018, 214}, {1025, 215},
    {1023, 216}, {1024, 217}, {1026, 218}, {1027, 219}, {1040, 220}, {1041, 221},
    {1044, 222}, {1053, 223}, {1056, 224}, {1042, 225}, {1037, 226},
};

}  // namespace

Cpage1::Cpage1(UiLanguage language, QWidget* parent)
    : TemplateWidget(PageTemplate(), language, parent),
      m_softStartCheck(Item<QCheckBox>(1042)),
      m_speedLimitCheck(Item<QCheckBox>(1043)),
      m_autoExitCheck(Item<QCheckBox>(1045)),
      m_constantSpeedCheck(Item<QCheckBox>(1046)),
      m_hillHoldCheck(Item<QCheckBox>(1047)),
      m_softStartLevelCombo(Item<QComboBox>(1037)),
      m_lowGearRadio(Item<QRadioButton>(1044)) {}

void Cpage1::OnInitDialog() {
    UpdateData(false);
    RegisterTips(kTips);
}

void Cpage1::DoDataExchange(DataExchange& exchange) {
    exchange.UInt(1009, m_busCurrentMax);
    exchange.UInt(1010, m_fluxWeakening);
    exchange.UInt(1011, m_currentKi);
    exchange.UInt(1022, m_sRecoveryTime);
    exchange.UInt(1013, m_sExitTime);
    exchange.UInt(1014, m_speedLimitRatio);
    exchange.UInt(1016, m_lowSpeedRatio);
    exchange.UInt(1015, m_midSpeedRatio);
    exchange.UInt(1017, m_highSpeedRatio);
    exchange.UInt(1025, m_lowSpeedCurrent);
    exchange.UInt(1023, m_midSpeedCurrent);
    exchange.UInt(1024, m_overModulation);
    exchange.UInt(1019, m_startPhaseCurrent);
    exchange.UInt(1018, m_currentKp);
    exchange.UInt(1026, m_capProtectTime);
    exchange.UInt(1027, m_limitPhaseCurrent);
    exchange.Radio(1044, m_defaultGear);
    exchange.Radio(1040, m_threeSpeedMode);
    exchange.UInt(1020, m_maxRpm);
    exchange.UInt(1021, m_mtpa);
}
