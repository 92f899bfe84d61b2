#include "pages/cpage5.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

namespace {

using K = ControlKind;

constexpr int kStaleLine = 1090;
// The live values that go grey while the controller is silent.
constexpr int kLiveEdits[] = {1009, 1010, 1011, 1019, 1012, 1014, 1013};
// %1 the time of the last answer.
constexpr char kStaleChinese[] = "控制器无应答（最后应答 %1）";
constexpr char kStaleEnglish[] = "No answer since %1";

// Fault box captions by id; their rows run down the "fault display" frame in this order.
struct FaultCaption {
    int id;
    const char* chinese;
    const char* english;
};
constexpr FaultCaption kFaultCaptions[] = {
    {1050, "过热", "Overheating"},
    {1042, "转把故障", "Hall Fault"},
    {1043, "刹车", "Brake"},
    {1044, "电机霍尔", "Motor hall"},
    {1045, "欠压", "Undervoltage"},
    {1046, "过压", "Overvoltage"},
    {1047, "过流", "Overcurrent"},
    {1049, "飞车", "Out of control"},
    {1048, "控制器故障", "Controller Failure"},
};

DialogTemplate Build() {
    DialogTemplate t;
    t.width = 320;
    t.height = 179;
    t.fontFamily = "MS Shell Dlg";
    t.fontPointSize = 9;
    t.controls = {
        {1073, K::Label, "转速(rpm)：", "RPM:", 10, 11, 42, 10},
        {1009, K::Edit, "", "", 54, 9, 110, 42, kReadOnly},
        {1074, K::Label, "电压(V)：", "Voltage:", 10, 66, 34, 10},
        {1010, K::Edit, "", "", 54, 66, 110, 42, kReadOnly},
        {1075, K::Label, "电流(A)：", "Cuttent:", 10, 122, 32, 10},
        {1011, K::Edit, "", "", 54, 123, 110, 42, kReadOnly},
        // The status and fault frames start a little left of where the original has them: the
        // English captions need the room, the big digits do not miss it.
        {0, K::GroupBox, "控制器状态:", "Controller Status:", 170, 6, 135, 27},
        {1057, K::Label, "IDLE", "IDLE", 273, 18, 30, 7},
        {0, K::Label, "故障代码：", "Fault Code:", 174, 18, 44, 10},
        {1019, K::Edit, "", "", 222, 17, 44, 12, kReadOnly},
        {0, K::GroupBox, "故障显示", "Fault display", 170, 36, 72, 131},
    };
    int row = 0;
    for (const FaultCaption& fault : kFaultCaptions) {
        // Nine rows down to y 151. Here a frame's caption takes a whole line above the frame's
        // top line, so the first row starts a little lower than 45 to stay clear of both.
        t.controls.push_back(
            {fault.id, K::CheckBox, fault.chinese, fault.english, 173, 48 + row * 103 / 8, 67, 10});
        ++row;
    }
    const std::vector<ControlSpec> rest = {
        {0, K::Label, "控制器温度(℃)：", "Controller temp(?):", 246, 37, 72, 10},
        {1012, K::Edit, "", "", 246, 47, 54, 12, kReadOnly | kDisabled},
        {0, K::Label, "外部温度(℃)：", "External temp(?):", 246, 61, 72, 10},
        {1014, K::Edit, "", "", 246, 69, 54, 12, kReadOnly | kDisabled},
        {0, K::Label, "温度系数值：", "Temp coefficient value:", 246, 83, 72, 10},
        {1013, K::Edit, "", "", 246, 91, 54, 12, kReadOnly | kDisabled},
        {0, K::GroupBox, "档位显示", "Gears", 246, 104, 63, 33},
        {1038, K::Radio, "低", "L", 250, 113, 28, 10, kGroup},
        {1039, K::Radio, "中", "M", 280, 113, 28, 10},
        {1040, K::Radio, "高", "H", 250, 124, 28, 10},
        {1051, K::Radio, "S档", "S", 280, 124, 28, 10},
        {1041, K::Radio, "倒车", "R", 245, 138, 30, 10, kGroup},
        {1052, K::Radio, "刹车", "Brake", 245, 148, 30, 10, kGroup},
        {1053, K::Radio, "单撑", "SIDE", 245, 158, 30, 10, kGroup},
        {1054, K::Radio, "P档", "P", 276, 138, 44, 10, kGroup},
        {1055, K::Radio, "防盗", "ANTITHEFT", 276, 148, 44, 10, kGroup},
        {1056, K::Radio, "发电", "Regen", 276, 158, 44, 10, kGroup},
        // Under "SIDE", so the English lamp reads "SIDE STAND"; nothing refers to it.
        {1076, K::Label, "", "STAND", 257, 168, 24, 8, kEnglishOnly},
        // The tool's own: the status line when the controller stopped answering.
        {kStaleLine, K::Label, "", "", 10, 167, 156, 10, kHidden},
    };
    t.controls.insert(t.controls.end(), rest.begin(), rest.end());
    return t;
}

const DialogTemplate& DisplayPageTemplate() {
    static const DialogTemplate t = Build();
    return t;
}

}  // namespace

Cpage5::Cpage5(UiLanguage language, QWidget* parent)
    : TemplateWidget(DisplayPageTemplate(), language, parent) {
    // Each lamp is a radio button alone in its group: a click leaves it as it is, lit or dark.
    for (int id : {1041, 1052, 1053, 1054, 1055, 1056}) {
        if (auto* lamp = Item<QAbstractButton>(id)) {
            connect(lamp, &QAbstractButton::clicked, lamp,
                    [lamp](bool checked) { lamp->setChecked(!checked); });
        }
    }
    // The gear shows the controller's; a click or an arrow key brings that one back.
    for (int id : {1038, 1039, 1040, 1051}) {
        if (auto* gear = Item<QAbstractButton>(id)) {
            connect(gear, &QAbstractButton::clicked, this,
                    [this] { Controls().CheckRadio(1038, m_gearIndicator); });
        }
    }
}

void Cpage5::OnInitDialog() {
    UpdateData(false);
    RegisterTips({{1019, 254}});
}

void Cpage5::DoDataExchange(DataExchange& exchange) {
    exchange.Radio(1038, m_gearIndicator);
    exchange.Radio(1041, m_reverseLamp);
    exchange.Radio(1054, m_parkLamp);
    exchange.Radio(1052, m_brakeLamp);
    exchange.Radio(1055, m_antiTheftLamp);
    exchange.Radio(1053, m_sideStandLamp);
    exchange.Radio(1056, m_regenLamp);
}

void Cpage5::ShowStatus(const DisplayPageTexts& texts) {
    ControlSet& controls = Controls();
    controls.SetText(1012, QString::fromStdString(texts.m_controllerTemp));
    controls.SetText(1014, QString::fromStdString(texts.m_externalTemp));
    controls.SetText(1009, QString::fromStdString(texts.m_speed));
    controls.SetText(1010, QString::fromStdString(texts.m_voltage));
    controls.SetText(1011, QString::fromStdString(texts.m_current));
    controls.SetText(1019, QString::fromStdString(texts.m_faultCode));
    controls.SetText(1013, QString::fromStdString(texts.m_tempCoefficient));
    m_gearIndicator = texts.m_gearIndicator;
    m_reverseLamp = texts.m_reverseLamp;
    m_parkLamp = texts.m_parkLamp;
    m_brakeLamp = texts.m_brakeLamp;
    m_antiTheftLamp = texts.m_antiTheftLamp;
    m_sideStandLamp = texts.m_sideStandLamp;
    m_regenLamp = texts.m_regenLamp;
    UpdateData(false);
    controls.SetText(1057, QString::fromStdString(texts.m_stateName));
}

void Cpage5::ShowStale(const QTime& since) {
    m_stale = since.isValid();
    const QColor grey = palette().color(QPalette::Disabled, QPalette::Text);
    for (int id : kLiveEdits) {
        if (auto* edit = Item<QLineEdit>(id)) {
            QPalette colours = edit->palette();
            colours.setColor(QPalette::Active, QPalette::Text,
                             m_stale ? grey : palette().color(QPalette::Active, QPalette::Text));
            colours.setColor(QPalette::Inactive, QPalette::Text,
                             m_stale ? grey : palette().color(QPalette::Inactive, QPalette::Text));
            edit->setPalette(colours);
        }
    }
    if (auto* state = Item<QLabel>(1057)) {
        state->setEnabled(!m_stale);
    }
    if (auto* line = Item<QLabel>(kStaleLine)) {
        const char* text = Language() == UiLanguage::Chinese ? kStaleChinese : kStaleEnglish;
        line->setText(m_stale ? QString::fromUtf8(text).arg(since.toString(QStringLiteral("HH:mm:ss")))
                              : QString());
        line->setStyleSheet(QStringLiteral("color: #c00000"));
        line->setVisible(m_stale);
    }
}

void Cpage5::ShowFaults(const std::array<bool, kFaultBoxes.size()>& checked) {
    for (std::size_t i = 0; i < kFaultBoxes.size(); ++i) {
        if (auto* box = Item<QAbstractButton>(kFaultBoxes[i].m_controlId)) {
            box->setChecked(checked[i]);
        }
    }
}
