// Page 2: its controls and captions in both languages, the up-downs and their edits, the radio
// groups, the exchange order and where it stops, and the start state inside the main window.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>
#include <functional>

#include "app/string_table.h"
#include "gui_test_support.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/cpage1.h"
#include "ui/controls.h"

namespace {

// The exchanged fields in their exchange order; the two radio groups are the entries with
// the id of their first button.
struct Field {
    int id;
    bool radio;
    std::function<int(const Cpage1&)> get;
    std::function<void(Cpage1&, int)> set;
};

#define UINT_FIELD(id, member)                                                 \
    Field {                                                                    \
        id, false, [](const Cpage1& p) { return int(p.member); },              \
            [](Cpage1& p, int v) { p.member = static_cast<std::uint32_t>(v); } \
    }
#define RADIO_FIELD(id, member)                                                                    \
    Field {                                                                                        \
        id, true, [](const Cpage1& p) { return p.member; }, [](Cpage1& p, int v) { p.member = v; } \
    }

const std::vector<Field>& ExchangeOrder() {
    static const std::vector<Field> fields = {
        UINT_FIELD(1009, m_busCurrentMax),
        UINT_FIELD(1010, m_fluxWeakening),
        UINT_FIELD(1011, m_currentKi),
        UINT_FIELD(1022, m_sRecoveryTime),
        UINT_FIELD(1013, m_sExitTime),
        UINT_FIELD(1014, m_speedLimitRatio),
        UINT_FIELD(1016, m_lowSpeedRatio),
        UINT_FIELD(1015, m_midSpeedRatio),
        UINT_FIELD(1017, m_highSpeedRatio),
        UINT_FIELD(1025, m_lowSpeedCurrent),
        UINT_FIELD(1023, m_midSpeedCurrent),
        UINT_FIELD(1024, m_overModulation),
        UINT_FIELD(1019, m_startPhaseCurrent),
        UINT_FIELD(1018, m_currentKp),
        UINT_FIELD(1026, m_capProtectTime),
        UINT_FIELD(1027, m_limitPhaseCurrent),
        RADIO_FIELD(1044, m_defaultGear),
        RADIO_FIELD(1040, m_threeSpeedMode),
        UINT_FIELD(1020, m_maxRpm),
        UINT_FIELD(1021, m_mtpa),
    };
    return fields;
}

}  // namespace

class Page1Test : public QObject {
    Q_OBJECT

private slots:
    // Id 0: a static without an id, looked up by its caption. An empty caption: the control
    // is not in that language's template.
    void controls_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("chinese");
        QTest::addColumn<QString>("english");
        auto row = [](const char* name, int id, const char* zh, const char* en) {
            QTest::newRow(name) << id << QString::fromUtf8(zh) << QString::fromUtf8(en);
        };
        row("bus current", 0, "母线最大电流(A)：", "Max Current(A):");
        row("flux weakening", 0, "弱磁值：", "Flux-Weakening:");
        row("KI", 0, "电流环KI：", "KI");
        row("exit time", 0, "退出时间(S)：", "Logout time(S):");
        row("recovery time", 0, "恢复时间(S)：", "Recovery time(S):");
        row("speed ratio", 0, "限速比例(%)：", "Speed ratio(%):");
        row("low ratio", 0, "低速(%)", "Low(%):");
        row("mid ratio", 0, "中速(%)", "Mid(%):");
        row("high ratio", 0, "高速(%)", "Hige(%):");
        row("start phase current", 0, "起步相电流", "Start phase current:");
        row("KP", 0, "电流环KP", "KP");
        row("low current", 0, "低速电流%：", "Low speed current(%):");
        row("mid current", 0, "中速电流%", "Mid speed current(%):");
        row("over modulation", 0, "超调：", "Over Modulation:");
        row("protect time", 0, "电容保护时间", "protect time:");
        row("limit phase current", 0, "限制相线电流", "Limit phase current:");
        row("max rpm", 0, "最高速度限制RPM:", " Max. limited RPM:");
        row("MTPA", 0, "最大扭矩/电流比控制:", "MTPA");
        row("soft start grade", 0, "软启动级别:", "Soft start grade:");
        row("1044 low gear", 1044, "低速", "Low");
        row("1053 mid gear", 1053, "中速", "Mid");
        row("1056 high gear", 1056, "高速", "Hige");
        row("1040 button mode", 1040, "点动三速", "Button 3 speed");
        row("1041 switch mode", 1041, "拨动三速", "Switch 3 speed");
        row("1042 soft start", 1042, "软启动使能", "Soft start enabled");
        row("1043 speed limit", 1043, "限速使能", "Speed limited enable");
        row("1045 auto exit", 1045, "自动退出使能", "Automatic logout enadlers");
        row("1046 constant speed", 1046, "恒速使能", "Constant speed");
        row("1047 hill hold", 1047, "坡道起步驻车辅助使能", "HHC Enable");
        row("default gear group", 0, "三速默认档位", "Three speed ");
        row("default gear note", 0, "", "detauilt gear");
        row("mode group", 0, "点动拨动选择", "Button/Switch 3 speed");
        row("current group", 0, "电流/弱磁设置", "Current/Flux-Weakening");
        row("constant speed group", 0, "恒速/驻坡", "Constant speed/HHC");
        row("speed limit group", 0, "限速设置", "Speed limit setting");
        row("three speed group", 0, "三速设置", "Three-speed");
    }
    void controls() {
        QFETCH(int, id);
        QFETCH(QString, chinese);
        QFETCH(QString, english);
        for (const UiLanguage language : {UiLanguage::Chinese, UiLanguage::English}) {
            const Cpage1 page(language);
            const QString caption = language == UiLanguage::Chinese ? chinese : english;
            if (caption.isEmpty()) {
                QCOMPARE(StaticWithCaption(page, english), nullptr);
                continue;
            }
            const QWidget* control =
                id != 0 ? page.Controls().Control(id) : StaticWithCaption(page, caption);
            QVERIFY2(control != nullptr, qPrintable(caption));
            QVERIFY(!control->isHidden());
            if (id != 0) {
                QCOMPARE(page.Controls().Text(id), caption);
            }
        }
    }

    void editsTakeDigitsOnly() {
        const Cpage1 page(UiLanguage::English);
        QCOMPARE(page.size(),
                 QSize(page.Controls().Units().X(328), page.Controls().Units().Y(188)));
        for (const Field& field : ExchangeOrder()) {
            if (field.radio) {
                continue;
            }
            auto* edit = page.Item<QLineEdit>(field.id);
            QVERIFY2(edit != nullptr, qPrintable(QString::number(field.id)));
            QVERIFY(!edit->isHidden());
            edit->clear();
            QTest::keyClicks(edit, QStringLiteral("-1.5"));
            QCOMPARE(edit->text(), QStringLiteral("15"));
        }
        QVERIFY(page.Item<QComboBox>(1037) != nullptr);
        QVERIFY(!page.Item<QComboBox>(1037)->isEditable());
    }

    // Each up-down steps the edit right before it.
    void upDownsStepTheirEdit_data() {
        QTest::addColumn<int>("upDown");
        QTest::addColumn<int>("edit");
        QTest::newRow("speed ratio") << 1055 << 1014;
        QTest::newRow("low ratio") << 1051 << 1016;
        QTest::newRow("mid ratio") << 1052 << 1015;
        QTest::newRow("high ratio") << 1054 << 1017;
        QTest::newRow("low current") << 1060 << 1025;
        QTest::newRow("mid current") << 1058 << 1023;
        QTest::newRow("over modulation") << 1059 << 1024;
        QTest::newRow("MTPA") << 1057 << 1021;
    }
    void upDownsStepTheirEdit() {
        QFETCH(int, upDown);
        QFETCH(int, edit);
        SetUiLanguage(UiLanguage::English);
        TempSettings temp;
        HeldKeys keys;
        CTarvikDlg window(*temp.settings, keys);
        window.OnInitDialog();
        Cpage1& page = window.Page1();
        auto* arrows = page.Item<UpDown>(upDown);
        QVERIFY(arrows != nullptr);
        QCOMPARE(arrows->Buddy(), page.Item<QLineEdit>(edit));
        QVERIFY(arrows->geometry().left() > page.Item<QLineEdit>(edit)->geometry().right());
        page.Controls().SetText(edit, QStringLiteral("99"));
        arrows->Step(+1);
        arrows->Step(+1);
        QCOMPARE(page.Controls().Text(edit), QStringLiteral("100"));
        // A typed value beyond the arrows' range is taken as it is.
        page.Controls().SetText(edit, QStringLiteral("150"));
        QVERIFY(page.UpdateData(true));
        const auto field = std::find_if(ExchangeOrder().begin(), ExchangeOrder().end(),
                                        [edit](const Field& f) { return f.id == edit; });
        QCOMPARE(field->get(page), 150);
    }

    void startState() {
        SetUiLanguage(UiLanguage::Chinese);
        TempSettings temp;
        HeldKeys keys;
        CTarvikDlg window(*temp.settings, keys);
        window.OnInitDialog();
        Cpage1& page = window.Page1();
        for (const Field& field : ExchangeOrder()) {
            if (!field.radio) {
                QCOMPARE(page.Controls().Text(field.id), QStringLiteral("0"));
            }
        }
        QVERIFY(page.m_lowGearRadio->isChecked());
        QVERIFY(page.Item<QRadioButton>(1040)->isChecked());
        QVERIFY(!page.Item<QRadioButton>(1053)->isChecked());
        QVERIFY(!page.Item<QRadioButton>(1041)->isChecked());
        for (QCheckBox* box : {page.m_softStartCheck, page.m_speedLimitCheck, page.m_autoExitCheck,
                               page.m_constantSpeedCheck, page.m_hillHoldCheck}) {
            QVERIFY(box != nullptr);
            QVERIFY(!box->isChecked());
        }
        QCOMPARE(page.m_softStartLevelCombo->count(), 16);
        QCOMPARE(page.m_softStartLevelCombo->currentText(), QStringLiteral("1"));
        QCOMPARE(page.m_softStartLevelCombo->itemText(15), QStringLiteral("16"));
    }

    void tips() {
        SetUiLanguage(UiLanguage::Chinese);
        Cpage1 page(UiLanguage::Chinese);
        page.OnInitDialog();
        const QList<std::pair<int, int>> tips = {
            {1009, 198}, {1010, 199}, {1011, 200}, {1045, 201}, {1013, 202}, {1022, 203},
            {1047, 204}, {1046, 205}, {1020, 206}, {1043, 207}, {1014, 208}, {1021, 209},
            {1016, 210}, {1015, 211}, {1017, 212}, {1019, 213}, {1018, 214}, {1025, 215},
            {1023, 216}, {1024, 217}, {1026, 218}, {1027, 219}, {1040, 220}, {1041, 221},
            {1044, 222}, {1053, 223}, {1056, 224}, {1042, 225}, {1037, 226},
        };
        QCOMPARE(page.Tips().Controls().size(), tips.size());
        for (const auto& [id, stringId] : tips) {
            QVERIFY(!Tr(stringId).isEmpty());
            QCOMPARE(page.Tips().TextFor(page.Controls().Control(id)), Tr(stringId));
        }
        QCOMPARE(page.Tips().TextFor(page.Controls().Control(1042)),
                 QStringLiteral("软启动开启关闭\n不勾选为硬启动"));
    }

    void radioFieldsLoadIntoTheirGroups() {
        Cpage1 page(UiLanguage::English);
        page.m_defaultGear = 2;
        page.m_threeSpeedMode = 1;
        page.UpdateData(false);
        QVERIFY(page.Item<QRadioButton>(1056)->isChecked());
        QVERIFY(!page.Item<QRadioButton>(1044)->isChecked());
        QVERIFY(page.Item<QRadioButton>(1041)->isChecked());
        QVERIFY(!page.Item<QRadioButton>(1040)->isChecked());
        // The groups are separate: picking a gear leaves the mode alone.
        QTest::mouseClick(page.Item<QRadioButton>(1053), Qt::LeftButton);
        QVERIFY(page.Item<QRadioButton>(1041)->isChecked());
        QVERIFY(!page.Item<QRadioButton>(1056)->isChecked());
        page.m_defaultGear = -1;
        page.UpdateData(false);
        QCOMPARE(page.Controls().CheckedRadio(1044), -1);
        QVERIFY(page.UpdateData(true));
        QCOMPARE(page.m_defaultGear, -1);  // no range is checked
    }

    // `spoiled` is emptied; `taken` is how many fields, in exchange order, hold what their
    // controls show afterwards.
    void exchangeStopsAtTheFirstFailure_data() {
        QTest::addColumn<int>("spoiled");
        QTest::addColumn<int>("taken");
        QTest::newRow("all read") << 0 << 20;
        QTest::newRow("first edit") << 1009 << 0;
        QTest::newRow("speed ratio") << 1014 << 5;
        QTest::newRow("recovery before exit time") << 1022 << 3;
        QTest::newRow("limit phase current, before the radios") << 1027 << 15;
        QTest::newRow("max rpm, after the radios") << 1020 << 18;
        QTest::newRow("MTPA, the last") << 1021 << 19;
    }
    void exchangeStopsAtTheFirstFailure() {
        QFETCH(int, spoiled);
        QFETCH(int, taken);
        RecordingPrompts prompts;
        Cpage1 page(UiLanguage::Chinese);
        page.OnInitDialog();
        const std::vector<Field>& fields = ExchangeOrder();
        std::vector<int> shown(fields.size());
        std::vector<int> old(fields.size());
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (fields[i].radio) {
                old[i] = 0;
                shown[i] = fields[i].id == 1044 ? 2 : 1;
                page.Controls().CheckRadio(fields[i].id, shown[i]);
            } else {
                old[i] = 1000 + int(i);
                shown[i] = 10 + int(i);
                page.Controls().SetText(fields[i].id, QString::number(shown[i]));
            }
            fields[i].set(page, old[i]);
        }
        if (spoiled != 0) {
            page.Controls().SetText(spoiled, QString());
        }

        QCOMPARE(page.UpdateData(true), spoiled == 0);
        QCOMPARE(prompts.messages,
                 spoiled == 0 ? QStringList{} : QStringList{"Enter a positive integer."});
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const int expected = int(i) < taken ? shown[i] : old[i];
            QVERIFY2(fields[i].get(page) == expected,
                     qPrintable(QStringLiteral("field of %1 is %2, expected %3")
                                    .arg(fields[i].id)
                                    .arg(fields[i].get(page))
                                    .arg(expected)));
        }
    }
};

QTEST_MAIN(Page1Test)
#include "page1_test.moc"
