#include "pages/cpage3.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "ui/controls.h"

namespace {

using K = ControlKind;

// Hidden until the service key sequences reveal them; they are exchanged all the same.
constexpr std::uint32_t kService = kHidden;

DialogTemplate Build() {
    DialogTemplate t;
    t.width = 324;
    t.height = 188;
    t.fontFamily = "MS Shell Dlg";
    t.fontPointSize = 9;
    t.controls = {
        // Left column: motor settings.
        {0, K::GroupBox, "电机设置", "Motor Setting", 4, 2, 158, 97},
        {0, K::GroupBox, "正反转", "positive inversion", 8, 10, 72, 16, kHidden},
        {1038, K::Radio, "正转", "FWD", 11, 13, 32, 10, kGroup | kHiddenInEnglish},
        {1039, K::Radio, "反转", "REV", 45, 13, 32, 10, kHiddenInEnglish},
        {0, K::Label, "电机极对数:", "Pole pairs:", 84, 14, 44, 9, kRightAligned},
        {1023, K::Edit, "", "", 130, 12, 28, 12, kDigitsOnly},
        {1042, K::CheckBox, "霍尔黄蓝对调", "exchange hall wire color Yellow-Blue", 10, 28, 150,
         10},
        {1043, K::CheckBox, "相线蓝绿对调", "exchange phase wire color Blue-Green", 10, 40, 150,
         10},
        {0, K::GroupBox, "电机类型", "Motor type", 8, 52, 150, 25},
        {1047, K::Radio, "表贴", "surface-mount", 14, 62, 66, 10, kGroup},
        {1040, K::Radio, "V型", "V-type", 86, 62, 60, 10},
        {0, K::Label, "霍尔相移角(度):", "Hall shift Angle", 10, 84, 66, 9},
        {1009, K::Edit, "", "", 78, 82, 40, 12},

        {0, K::GroupBox, "输出选择", "Out-put", 4, 101, 158, 24},
        {1056, K::Radio, "一线通", "One-Lin", 10, 111, 58, 10, kGroup},
        {1053, K::Radio, "霍尔仪表", "Hall speedometter", 74, 111, 84, 10},
        {1044, K::CheckBox, "移车助力使能", "Moving venicle booster", 6, 128, 104, 10},
        {1046, K::CheckBox, "巡航使能", "Cruise", 112, 128, 48, 10},
        {0, K::Label, "移车助力限速(%)：", "Moving venicle booster Speed ratio(%):", 6, 142, 128,
         9},
        {1011, K::Edit, "", "", 134, 140, 18, 12, kDigitsOnly},
        {1054, K::UpDown, "", "", 152, 140, 10, 12},
        {0, K::Label, "移车助力扭矩值：", "Moving venicle booster torque:", 6, 156, 128, 9},
        {1012, K::Edit, "", "", 134, 154, 28, 12},

        {0, K::GroupBox, "双电压自动识别设置", "Double voltage automatic identification setting", 4,
         167, 162, 20},
        {1048, K::CheckBox, "双模使能", "Double-voltage", 8, 176, 66, 10},
        {1057, K::Radio, "低压", "Low", 80, 176, 36, 10, kGroup},
        {1055, K::Radio, "高压", "Hige", 120, 176, 36, 10},

        // Right column: ratios, two switches and the temperature protection.
        {0, K::Label, "倒车限速(%)：", "Reversing the speed limit(%):", 170, 8, 110, 9},
        {1010, K::Edit, "", "", 282, 6, 28, 12, kDigitsOnly},
        {1051, K::UpDown, "", "", 310, 6, 10, 12},
        {0, K::Label, "EBS比例(%)：", "EBS ratio(%):", 170, 22, 110, 9},
        {1014, K::Edit, "", "", 282, 20, 28, 12, kDigitsOnly},
        {1052, K::UpDown, "", "", 310, 20, 10, 12},
        {1045, K::CheckBox, "电机降噪", "Motor noise reduction", 170, 37, 120, 10},
        {1049, K::CheckBox, "安全启动使能", "Secure boot", 170, 50, 120, 10},

        {1050, K::GroupBox, "温度保护设置", "Temperature protection", 166, 64, 154, 123, kService},
        {1067, K::Label, "电机起始保护温度：", "Initial temperature", 172, 78, 100, 9, kService},
        {1013, K::Edit, "", "", 274, 76, 40, 12, kDigitsOnly | kService},
        {1068, K::Label, "电机过温保护温度：", "Over-temperature", 172, 94, 100, 9, kService},
        {1018, K::Edit, "", "", 274, 92, 40, 12, kDigitsOnly | kService},
        {1066, K::Label, "电机最高保护温度：", "Max temperature", 172, 110, 100, 9, kService},
        {1019, K::Edit, "", "", 274, 108, 40, 12, kDigitsOnly | kService},
        {1069, K::Label, "控制器温度保护：", "T.C.1:", 172, 126, 100, 9, kService},
        {1021, K::Edit, "", "", 274, 124, 40, 12, kDigitsOnly | kService},
        {1070, K::Label, "阻尼系数：", "DAMPING FACTOR:", 172, 142, 100, 9, kService},
        {1020, K::Edit, "", "", 274, 140, 40, 12, kDigitsOnly | kService},
        {1071, K::Label, "仪表显示转速调整：TCS灵敏度调整：",
         "Display speed adjustment/TCS sensitivity adjustment:", 172, 157, 100, 26, kService},
        {1022, K::Edit, "", "", 274, 160, 40, 12, kDigitsOnly | kService},
    };
    return t;
}

const DialogTemplate& PageTemplate() {
    static const DialogTemplate t = Build();
    return t;
}

constexpr int kHallAngleLimit = 180;

}  // namespace

Cpage3::Cpage3(UiLanguage language, QWidget* parent)
    : TemplateWidget(PageTemplate(), language, parent) {
    m_hallSwapCheck = Item<QCheckBox>(1042);
    m_phaseSwapCheck = Item<QCheckBox>(1043);
    m_pushAssistCheck = Item<QCheckBox>(1044);
    m_noiseReductionCheck = Item<QCheckBox>(1045);
    m_cruiseCheck = Item<QCheckBox>(1046);
    m_dualVoltageCheck = Item<QCheckBox>(1048);
    m_safeStartCheck = Item<QCheckBox>(1049);
    m_forwardRadio = Item<QRadioButton>(1038);
    m_reverseSpeedSpin = Item<UpDown>(1051);
    m_ebsSpin = Item<UpDown>(1052);
    m_pushAssistSpeedSpin = Item<UpDown>(1054);

    // The two-part caption of the display adjustment takes two lines in both languages.
    if (auto* label = Item<QLabel>(1071)) {
        label->setWordWrap(true);
        label->setFont(font());
    }
    if (auto* hallAngle = Item<QLineEdit>(1009)) {
        connect(hallAngle, &QLineEdit::textChanged, this, [this] {
            // Text the page writes itself is not a change to react to.
            if (!m_exchanging) {
                OnHallAngleChange();
            }
        });
    }
}

void Cpage3::OnInitDialog() {
    UpdateData(false);
    RegisterTips({
        {1038, 227}, {1039, 228}, {1023, 229}, {1042, 230}, {1043, 231}, {1047, 232}, {1040, 233},
        {1009, 234}, {1056, 235}, {1053, 236}, {1044, 237}, {1046, 238}, {1011, 239}, {1012, 240},
        {1048, 241}, {1057, 242}, {1055, 243}, {1010, 244}, {1014, 245}, {1045, 246}, {1049, 247},
        {1013, 248}, {1018, 249}, {1019, 250}, {1021, 251}, {1020, 252}, {1022, 253},
    });
}

void Cpage3::OnHallAngleChange() {
    const std::int32_t previous = m_hallAngle;
    UpdateData(true);
    if (m_hallAngle > kHallAngleLimit || m_hallAngle < -kHallAngleLimit) {
        m_hallAngle = previous;
    }
    // Rewriting the edit would put the caret at the end while the user types in the middle.
    auto* edit = Item<QLineEdit>(1009);
    const int caret = edit != nullptr ? edit->cursorPosition() : 0;
    const QString typed = edit != nullptr ? edit->text() : QString();
    UpdateData(false);
    if (edit != nullptr && edit->text() == typed) {
        edit->setCursorPosition(caret);
    }
}

void Cpage3::DoDataExchange(DataExchange& x) {
    m_exchanging = true;
    x.Int(1009, m_hallAngle);
    x.UInt(1011, m_pushAssistSpeed);
    x.RangeUInt(m_pushAssistSpeed, 0, 100);
    x.UInt(1012, m_pushAssistTorque);
    x.UInt(1010, m_reverseSpeedRatio);
    x.RangeUInt(m_reverseSpeedRatio, 0, 100);
    x.UInt(1013, m_motorTempStart);
    x.UInt(1018, m_motorTempOver);
    x.UInt(1019, m_motorTempMax);
    x.UInt(1021, m_controllerTempProtect);
    x.UInt(1020, m_dampingFactor);
    x.UInt(1022, m_speedDisplayAdjust);
    x.Radio(1038, m_direction);
    x.UInt(1023, m_polePairs);
    x.UInt(1014, m_ebsRatio);
    x.Radio(1047, m_motorType);
    x.Radio(1056, m_outputType);
    x.Radio(1057, m_dualVoltageLevel);
    // The check boxes and spins are bound as controls only; their state lives in them.
    m_exchanging = false;
}
