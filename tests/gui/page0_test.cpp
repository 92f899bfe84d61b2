// Page 1: its controls and captions in both languages, the exchange order and where it stops,
// the battery voltage presets, the versions, and the tool's own settings (baud rate, CAN
// enable, language switch and the restarted instance's arguments).

#include <QCheckBox>
#include <QClipboard>
#include <QMimeData>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <functional>

#include "app/fixed_texts.h"
#include "app/language_switch.h"
#include "app/string_table.h"
#include "core/protocol/link_flags.h"
#include "gui_test_support.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/cpage0.h"
#include "ui/c_number_text.h"

namespace {

// Starts nothing; remembers what it was asked to start.
class RecordingLauncher : public ProcessLauncher {
public:
    LaunchResult StartDetached(const QString& program, const QStringList& arguments) override {
        programs << program;
        argumentLists << arguments;
        LaunchResult result;
        result.started = starts;
        if (!starts) {
            result.error = QStringLiteral("No such file or directory");
        }
        return result;
    }
    QStringList programs;
    QList<QStringList> argumentLists;
    bool starts = true;
};

// A page after its own initialisation, with the lists filled as the main window fills them.
struct PageFixture {
    explicit PageFixture(UiLanguage language = UiLanguage::Chinese) : page(language) {
        SetUiLanguage(language);
        page.OnInitDialog();
        page.m_voltageCombo->addItems({"48V", "60V", "72V", "84V", "96V"});
        page.m_voltageCombo->setCurrentIndex(-1);
        page.m_baudRateCombo->addItems({"9600", "19200", "115200", "256000"});
        page.m_baudRateCombo->setCurrentIndex(0);
    }
    Cpage0 page;
};

// A pick from the list as the user makes it, with the keyboard.
void Pick(QComboBox* combo, int index) {
    if (index == 0) {
        combo->setCurrentIndex(1);
        QTest::keyClick(combo, Qt::Key_Up);
    } else {
        combo->setCurrentIndex(index - 1);
        QTest::keyClick(combo, Qt::Key_Down);
    }
    QCOMPARE(combo->currentIndex(), index);
}

// The exchanged fields in their exchange order, read as doubles.
struct Field {
    int id;
    bool isFloat;
    std::function<double(const Cpage0&)> get;
    std::function<void(Cpage0&, double)> set;
};

#define FLOAT_FIELD(id, member)                                           \
    Field {                                                               \
        id, true, [](const Cpage0& p) { return double(p.member); },       \
            [](Cpage0& p, double v) { p.member = static_cast<float>(v); } \
    }
#define UINT_FIELD(id, member)                                                    \
    Field {                                                                       \
        id, false, [](const Cpage0& p) { return double(p.member); },              \
            [](Cpage0& p, double v) { p.member = static_cast<std::uint32_t>(v); } \
    }
#define INT_FIELD(id, member)                                           \
    Field {                                                             \
        id, false, [](const Cpage0& p) { return double(p.member); },    \
            [](Cpage0& p, double v) { p.member = static_cast<int>(v); } \
    }

const std::vector<Field>& ExchangeOrder() {
    static const std::vector<Field> fields = {
        FLOAT_FIELD(1009, m_overVoltage),
        FLOAT_FIELD(1010, m_underVoltage),
        FLOAT_FIELD(1011, m_softUnderVoltage),
        FLOAT_FIELD(1012, m_underVoltageHysteresis),
        UINT_FIELD(1013, m_regenCurrentLimit),
        UINT_FIELD(1014, m_phaseCurrentLimit),
        FLOAT_FIELD(1050, m_swVersion),
        FLOAT_FIELD(1057, m_hwVersion),
        FLOAT_FIELD(1019, m_throttleLowProtect),
        FLOAT_FIELD(1025, m_throttleHighProtect),
        FLOAT_FIELD(1023, m_throttleStart),
        FLOAT_FIELD(1024, m_throttleEnd),
        INT_FIELD(1020, m_startTorque),
        INT_FIELD(1026, m_engageTorque),
        INT_FIELD(1027, m_riseSlope),
        INT_FIELD(1028, m_fallSlope),
    };
    return fields;
}

// What the controls hold in the exchange tests: distinct per control, with a fraction where
// the field is a float (the hysteresis, 4.5, within its range).
double NewValue(std::size_t index) {
    return double(index) + (ExchangeOrder()[index].isFloat ? 1.5 : 1.0);
}
double OldValue(std::size_t index) {
    return 100.0 + double(index);
}

}  // namespace

class Page0Test : public QObject {
    Q_OBJECT

private slots:
    // Id 0: a static without an id, looked up by its caption. An empty caption: the control
    // is not in that language's template.
    void controls_data() {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("chinese");
        QTest::addColumn<QString>("english");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<bool>("digitsOnly");
        auto row = [](const char* name, int id, const char* zh, const char* en, bool visible,
                      bool digitsOnly) {
            QTest::newRow(name) << id << QString::fromUtf8(zh) << QString::fromUtf8(en) << visible
                                << digitsOnly;
        };
        row("1009 over", 1009, "", "", true, false);
        row("over caption", 0, "过压(V)：", "Overvoltage(V):", true, false);
        row("1010 under", 1010, "", "", true, true);
        row("under caption", 0, "欠压(V)：", "Undervoltage(V):", true, false);
        row("1011 soft under", 1011, "", "", true, true);
        row("soft under caption", 0, "软欠压(V)：", "Soft undervoltage(V):", true, false);
        row("1012 hysteresis", 1012, "", "", true, true);
        row("hysteresis caption", 0, "欠压回差：", "Undervoltage variation:", true, false);
        row("1013 regen", 1013, "", "", true, true);
        row("regen caption", 0, "反充电限流(A)：", "Regenerative(A):", true, false);
        row("1014 phase", 1014, "", "", true, true);
        row("phase caption", 0, "相线限流值：", "Phase current:", true, false);
        row("sw caption", 0, "软件版本:", "SW:", true, false);
        row("hw caption", 0, "硬件版本:", "HW:", true, false);
        row("1019 low protect", 1019, "", "", true, false);
        row("low protect caption", 0, "低保护值:", "low protect value:", true, false);
        row("1023 start", 1023, "", "", true, false);
        row("start caption", 0, "启始电压:", "start voltage:", true, false);
        row("1024 end", 1024, "", "", true, false);
        row("end caption", 0, "结束电压:", "the end of the voltage:", true, false);
        row("1025 high protect", 1025, "", "", true, false);
        row("high protect caption", 0, "高保护值:", "high protect value:", true, false);
        row("1020 start torque", 1020, "", "", true, false);
        row("start torque caption", 0, "起始扭矩:", "start torque:", true, false);
        row("1026 engage torque", 1026, "", "", true, false);
        row("engage caption", 0, "结合扭矩:", "combinative torque:", true, false);
        row("1027 rise", 1027, "", "", true, false);
        row("rise caption", 0, "上升斜率:", "rate of rise:", true, false);
        row("1028 fall", 1028, "", "", true, false);
        row("fall caption", 0, "下降斜率:", "rate of decline:", true, false);
        row("model caption", 0, "产品型号：", "Model:", true, false);
        row("voltage caption", 0, "电池电压(V)：", "Battery Voltage(V):", true, false);
        row("1067 brand label", 1067, "厂家品牌：", "brand:", false, false);
        row("baud caption", 0, "波特率:", "buadrate:", true, false);
        row("1042 CAN enable", 1042, "CAN使能", "CAN enable", true, false);
        row("1029 language", 1029, "中文", "ENGLISH", true, false);
        row("basic group", 0, "基本设置", "Basic Settings", true, false);
        row("throttle group", 0, "油门电压设置(最大值5.5V)", "throttle voltage set(max. 5.5v)",
            true, false);
        row("start group", 0, "启动设置", "start setting", true, false);
    }
    void controls() {
        QFETCH(int, id);
        QFETCH(QString, chinese);
        QFETCH(QString, english);
        QFETCH(bool, visible);
        QFETCH(bool, digitsOnly);
        for (const UiLanguage language : {UiLanguage::Chinese, UiLanguage::English}) {
            const Cpage0 page(language);
            const QString caption = language == UiLanguage::Chinese ? chinese : english;
            const QWidget* control =
                id != 0 ? page.Controls().Control(id) : StaticWithCaption(page, caption);
            QVERIFY2(control != nullptr, qPrintable(caption));
            QCOMPARE(page.Controls().Text(id), id != 0 ? caption : QString());
            QCOMPARE(!control->isHidden(), visible);
            if (auto* edit = qobject_cast<const QLineEdit*>(control)) {
                QCOMPARE(edit->validator() != nullptr, digitsOnly);
            }
        }
    }

    void listsAndVersionTextsHaveTheirKinds() {
        const Cpage0 page(UiLanguage::English);
        for (int id : {1037, 1038, 1039, 1040}) {
            QVERIFY(page.Item<QComboBox>(id) != nullptr);
            QVERIFY(!page.Item<QComboBox>(id)->isEditable());
        }
        QVERIFY(page.Item<QComboBox>(1039)->isHidden());
        QVERIFY(page.Item<QLabel>(1050) != nullptr);
        QVERIFY(page.Item<QLabel>(1057) != nullptr);
        QCOMPARE(page.size(),
                 QSize(page.Controls().Units().X(316), page.Controls().Units().Y(181)));
        // The English template's web-address box is left out.
        for (const QLineEdit* edit : page.findChildren<QLineEdit*>()) {
            QVERIFY(page.Controls().Ids().contains(edit->objectName().mid(7).toInt()));
        }
    }

    void typedInputFollowsTheEditsRule() {
        PageFixture f;
        QLineEdit* free = f.page.Item<QLineEdit>(1009);
        QLineEdit* digits = f.page.Item<QLineEdit>(1010);
        free->clear();
        digits->clear();
        QTest::keyClicks(free, QStringLiteral("-52.5V"));
        QTest::keyClicks(digits, QStringLiteral("-52.5V"));
        QCOMPARE(free->text(), QStringLiteral("-52.5V"));
        QCOMPARE(digits->text(), QStringLiteral("525"));
    }

    // A preset puts fractions into edits that take digits only as typed input; typing stays
    // filtered, so "-52.5" can never be typed and written to the controller.
    void digitsOnlyEditsStayFilteredAfterAPresetFraction() {
        RecordingPrompts prompts;
        PageFixture f;
        Pick(f.page.m_voltageCombo, 1);  // 60V
        for (int id : {1010, 1011, 1012}) {
            QLineEdit* edit = f.page.Item<QLineEdit>(id);
            const QString preset = edit->text();
            edit->setCursorPosition(0);
            QTest::keyClicks(edit, QStringLiteral("-"));
            edit->end(false);
            QTest::keyClicks(edit, QStringLiteral(".x-"));
            QCOMPARE(edit->text(), preset);
            QTest::keyClicks(edit, QStringLiteral("7"));
            QCOMPARE(edit->text(), preset + QStringLiteral("7"));
        }
        QCOMPARE(f.page.Controls().Text(1010), QStringLiteral("52.57"));
    }

    // Text that enters at once follows the same rule as typed text, however it comes and
    // whatever the edit holds: after the "60V" preset's fraction as with digits only.
    void digitsOnlyEditsRefuseOtherTextHoweverItEnters_data() {
        QTest::addColumn<int>("way");
        QTest::addColumn<bool>("presetFraction");
        const char* const ways[] = {"Ctrl+V", "Shift+Insert", "paste over all", "drop",
                                    "input method"};
        for (int way = 0; way < 5; ++way) {
            for (const bool fraction : {true, false}) {
                QTest::addRow("%s, %s", ways[way], fraction ? "preset fraction" : "digits only")
                    << way << fraction;
            }
        }
    }
    void digitsOnlyEditsRefuseOtherTextHoweverItEnters() {
        QFETCH(int, way);
        QFETCH(bool, presetFraction);
        RecordingPrompts prompts;
        PageFixture f;
        Pick(f.page.m_voltageCombo, 1);  // 60V
        f.page.show();
        QLineEdit* edit = f.page.Item<QLineEdit>(1010);
        if (!presetFraction) {
            f.page.Controls().SetText(1010, QStringLiteral("52"));
        }
        const QString held = edit->text();
        QCOMPARE(held, presetFraction ? QStringLiteral("52.5") : QStringLiteral("52"));
        const auto enter = [&](const QString& text) {
            QGuiApplication::clipboard()->setText(text);
            edit->setFocus();
            edit->setCursorPosition(0);
            switch (way) {
                case 0:
                    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
                    break;
                case 1:
                    QTest::keyClick(edit, Qt::Key_Insert, Qt::ShiftModifier);
                    break;
                case 2:
                    edit->selectAll();
                    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
                    break;
                case 3: {
                    // As a drag from another program arrives: enter, move, drop.
                    QMimeData data;
                    data.setText(text);
                    QDragEnterEvent enter(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton,
                                          Qt::NoModifier);
                    QCoreApplication::sendEvent(edit, &enter);
                    QDragMoveEvent move(QPoint(2, 2), Qt::CopyAction, &data, Qt::LeftButton,
                                        Qt::NoModifier);
                    QCoreApplication::sendEvent(edit, &move);
                    QDropEvent drop(QPointF(2, 2), Qt::CopyAction, &data, Qt::LeftButton,
                                    Qt::NoModifier);
                    QCoreApplication::sendEvent(edit, &drop);
                    break;
                }
                case 4: {
                    QInputMethodEvent composed;
                    composed.setCommitString(text);
                    QCoreApplication::sendEvent(edit, &composed);
                    break;
                }
            }
        };
        // Whatever happens, no character but digits joins the ones the edit held.
        const auto others = [](const QString& text) {
            QString kept;
            for (QChar c : text) {
                if (!c.isDigit()) {
                    kept += c;
                }
            }
            return kept;
        };
        enter(QStringLiteral("-52.5"));
        QCOMPARE(others(edit->text()), others(held));
        QVERIFY(!f.page.Controls().Text(1010).startsWith(QLatin1Char('-')));
        // Digits still enter the same way.
        const QString before = edit->text();
        enter(QStringLiteral("7"));
        QCOMPARE(edit->text(), way == 2 ? QStringLiteral("7") : QStringLiteral("7") + before);
    }

    void initShowsZerosAndTips() {
        SetUiLanguage(UiLanguage::English);
        Cpage0 page(UiLanguage::English);
        page.OnInitDialog();
        for (const Field& field : ExchangeOrder()) {
            QCOMPARE(page.Controls().Text(field.id), QStringLiteral("0"));
        }
        const QList<std::pair<int, int>> tips = {
            {1037, 139}, {1040, 140}, {1029, 180}, {1042, 181}, {1039, 182},
            {1038, 183}, {1009, 184}, {1010, 185}, {1011, 186}, {1012, 187},
            {1013, 188}, {1014, 189}, {1019, 190}, {1023, 191}, {1024, 192},
            {1025, 193}, {1020, 194}, {1026, 195}, {1027, 196}, {1028, 197},
        };
        QCOMPARE(page.Tips().Controls().size(), tips.size());
        for (const auto& [id, stringId] : tips) {
            QVERIFY(!Tr(stringId).isEmpty());
            QCOMPARE(page.Tips().TextFor(page.Controls().Control(id)), Tr(stringId));
        }
        QCOMPARE(page.Tips().TextFor(page.Controls().Control(1029)),
                 QStringLiteral("Click to switch the display between Chinese and English in the "
                                "debugging software"));
    }

    // `spoiled` gets `text`; `taken` is how many fields, in exchange order, hold what their
    // controls show afterwards (a range failure keeps the value it read).
    void exchangeStopsAtTheFirstFailure_data() {
        QTest::addColumn<QList<int>>("spoiled");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("taken");
        QTest::newRow("all read") << QList<int>{} << QStringList{} << QString() << 16;
        QTest::newRow("number with a unit")
            << QList<int>{1024} << QStringList{"4.32V"} << QString() << 16;
        QTest::newRow("float not a number")
            << QList<int>{1009} << QStringList{"V60"} << "Enter a number." << 0;
        QTest::newRow("unsigned emptied")
            << QList<int>{1013} << QStringList{""} << "Enter a positive integer." << 4;
        QTest::newRow("hysteresis above 6")
            << QList<int>{1012} << QStringList{"7"} << "Enter a number between 0 and 6." << 8;
        QTest::newRow("hysteresis below 0")
            << QList<int>{1012} << QStringList{"-0.5"} << "Enter a number between 0 and 6." << 8;
        QTest::newRow("hysteresis 6 is in range")
            << QList<int>{1012} << QStringList{"6"} << QString() << 16;
        // The versions are read before the hysteresis is checked.
        QTest::newRow("version not a number before the range")
            << QList<int>{1012, 1057} << QStringList{"7", ""} << "Enter a number." << 7;
        QTest::newRow("throttle not a number")
            << QList<int>{1023} << QStringList{"x"} << "Enter a number." << 10;
        QTest::newRow("int emptied")
            << QList<int>{1026} << QStringList{" "} << "Enter an integer." << 13;
        QTest::newRow("last int") << QList<int>{1028} << QStringList{"-"} << "Enter an integer."
                                  << 15;
    }
    void exchangeStopsAtTheFirstFailure() {
        QFETCH(QList<int>, spoiled);
        QFETCH(QStringList, texts);
        QFETCH(QString, message);
        QFETCH(int, taken);
        RecordingPrompts prompts;
        PageFixture f;
        const std::vector<Field>& fields = ExchangeOrder();
        std::vector<double> shown(fields.size());
        for (std::size_t i = 0; i < fields.size(); ++i) {
            fields[i].set(f.page, OldValue(i));
            shown[i] = NewValue(i);
            f.page.Controls().SetText(fields[i].id, QString::number(shown[i]));
        }
        for (qsizetype s = 0; s < spoiled.size(); ++s) {
            f.page.Controls().SetText(spoiled[s], texts[s]);
            for (std::size_t i = 0; i < fields.size(); ++i) {
                if (fields[i].id == spoiled[s]) {
                    shown[i] = ScanDouble(texts[s]).value_or(0);  // for the ones that read
                }
            }
        }

        QCOMPARE(f.page.UpdateData(true), message.isEmpty());
        QCOMPARE(prompts.messages, message.isEmpty() ? QStringList{} : QStringList{message});
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const double expected = int(i) < taken ? shown[i] : OldValue(i);
            QVERIFY2(float(fields[i].get(f.page)) == float(expected),
                     qPrintable(QStringLiteral("field of %1 is %2, expected %3")
                                    .arg(fields[i].id)
                                    .arg(fields[i].get(f.page))
                                    .arg(expected)));
        }
    }

    void versionsAreShownAndReadAsNumbers() {
        PageFixture f;
        f.page.m_swVersion = 1.23f;
        f.page.m_hwVersion = 0.45f;
        f.page.UpdateData(false);
        QCOMPARE(f.page.Controls().Text(1050), QStringLiteral("1.23"));
        QCOMPARE(f.page.Controls().Text(1057), QStringLiteral("0.45"));
        f.page.Controls().SetText(1050, QStringLiteral("2.5"));
        f.page.Controls().SetText(1057, QStringLiteral(" 0.05"));
        QVERIFY(f.page.UpdateData(true));
        QCOMPARE(f.page.m_swVersion, 2.5f);
        QCOMPARE(f.page.m_hwVersion, 0.05f);
    }

    void voltagePresets_data() {
        QTest::addColumn<int>("item");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QList<float>>("values");
        QTest::newRow("48V") << 0 << QStringList{"60.8", "42", "45", "1"}
                             << QList<float>{60.8f, 42.0f, 45.0f, 1.0f};
        QTest::newRow("60V") << 1 << QStringList{"72.5", "52.5", "55.5", "1"}
                             << QList<float>{72.5f, 52.5f, 55.5f, 1.0f};
        QTest::newRow("72V") << 2 << QStringList{"89.5", "63", "66", "1"}
                             << QList<float>{89.5f, 63.0f, 66.0f, 1.0f};
        QTest::newRow("84V") << 3 << QStringList{"104.9", "73.5", "76.5", "1"}
                             << QList<float>{104.9f, 73.5f, 76.5f, 1.0f};
        QTest::newRow("96V") << 4 << QStringList{"119.6", "84", "87", "1"}
                             << QList<float>{119.6f, 84.0f, 87.0f, 1.0f};
    }
    void voltagePresets() {
        QFETCH(int, item);
        QFETCH(QStringList, shown);
        QFETCH(QList<float>, values);
        RecordingPrompts prompts;
        PageFixture f;
        for (int id : {1009, 1010, 1011, 1012}) {
            f.page.Controls().SetText(id, QStringLiteral("3"));
        }
        f.page.Controls().SetText(1013, QStringLiteral("25"));
        Pick(f.page.m_voltageCombo, item);
        QVERIFY(prompts.messages.isEmpty());
        const QStringList texts{f.page.Controls().Text(1009), f.page.Controls().Text(1010),
                                f.page.Controls().Text(1011), f.page.Controls().Text(1012)};
        QCOMPARE(texts, shown);
        // Single precision, exactly: 60.8 is 60.79999923706055.
        const QList<float> fields{f.page.m_overVoltage, f.page.m_underVoltage,
                                  f.page.m_softUnderVoltage, f.page.m_underVoltageHysteresis};
        QCOMPARE(fields, values);
        // What the user typed elsewhere was taken in first.
        QCOMPARE(f.page.m_regenCurrentLimit, 25u);
        QCOMPARE(f.page.Controls().Text(1013), QStringLiteral("25"));
    }

    // The exchange in fails at the range check; the preset applies anyway and the fields after
    // the check, never read, are written back over what was typed.
    void presetAfterAFailedExchange() {
        RecordingPrompts prompts;
        PageFixture f;
        f.page.m_throttleStart = 1.31f;
        f.page.m_fallSlope = 80;
        f.page.Controls().SetText(1012, QStringLiteral("7"));
        f.page.Controls().SetText(1013, QStringLiteral("12"));
        f.page.Controls().SetText(1023, QStringLiteral("2.2"));
        f.page.Controls().SetText(1028, QStringLiteral("99"));
        Pick(f.page.m_voltageCombo, 2);
        QCOMPARE(prompts.messages, QStringList{"Enter a number between 0 and 6."});
        QCOMPARE(f.page.Controls().Text(1009), QStringLiteral("89.5"));
        QCOMPARE(f.page.Controls().Text(1012), QStringLiteral("1"));
        QCOMPARE(f.page.m_underVoltageHysteresis, 1.0f);
        QCOMPARE(f.page.Controls().Text(1013), QStringLiteral("12"));
        QCOMPARE(f.page.Controls().Text(1023), QStringLiteral("1.31"));
        QCOMPARE(f.page.Controls().Text(1028), QStringLiteral("80"));
        QCOMPARE(f.page.m_fallSlope, 80);
    }

    void programSelectionAppliesNoPreset() {
        RecordingPrompts prompts;
        PageFixture f;
        f.page.Controls().SetText(1009, QStringLiteral("58"));
        f.page.m_voltageCombo->setCurrentIndex(3);  // as a decoded block sets it
        QCOMPARE(f.page.Controls().Text(1009), QStringLiteral("58"));
        QCOMPARE(f.page.m_overVoltage, 0.0f);
        QVERIFY(prompts.messages.isEmpty());
    }

    void inTheMainWindow() {
        SetUiLanguage(UiLanguage::Chinese);
        TempSettings temp;
        temp.settings->SetBaudRate(115200);
        HeldKeys keys;
        CTarvikDlg window(*temp.settings, keys);
        window.OnInitDialog();
        Cpage0& page = window.Page0();
        QCOMPARE(page.m_brandCombo->count(), 16);
        QCOMPARE(page.m_brandCombo->currentIndex(), 0);
        QCOMPARE(page.m_brandCombo->itemText(0), QStringLiteral("普通"));
        QCOMPARE(page.m_brandCombo->itemText(6), QStringLiteral("?\?-3"));
        QCOMPARE(page.m_brandCombo->itemText(15), QStringLiteral("?\?-12"));
        QCOMPARE(page.m_modelCombo->count(), 5);
        QCOMPARE(page.m_modelCombo->currentIndex(), -1);
        QCOMPARE(page.m_voltageCombo->count(), 5);
        QCOMPARE(page.m_voltageCombo->currentIndex(), -1);
        QCOMPARE(page.m_baudRateCombo->currentText(), QStringLiteral("115200"));
        QCOMPARE(page.m_languageButton->text(), QStringLiteral("ENGLISH"));
        QVERIFY(page.m_brandCombo->isHidden());
        QVERIFY(page.Controls().Control(1067)->isHidden());
        window.RevealServiceControls(false);
        QVERIFY(!page.m_brandCombo->isHidden());
        QVERIFY(!page.Controls().Control(1067)->isHidden());
    }

    void baudRatePickIsStored_data() {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("rate");
        QTest::newRow("9600") << 0 << 9600;
        QTest::newRow("19200") << 1 << 19200;
        QTest::newRow("115200") << 2 << 115200;
        QTest::newRow("256000") << 3 << 256000;
    }
    void baudRatePickIsStored() {
        QFETCH(int, item);
        QFETCH(int, rate);
        TempSettings temp;
        temp.settings->SetBaudRate(12345);
        RecordingLauncher launcher;
        PageFixture f;
        f.page.SetToolSettingsStore(temp.settings.get(), &launcher);
        Pick(f.page.m_baudRateCombo, item);
        QCOMPARE(temp.settings->BaudRate(), rate);
    }

    void canEnableSelectsAndStoresTheRate() {
        TempSettings temp;
        RecordingLauncher launcher;
        PageFixture f;
        f.page.SetToolSettingsStore(temp.settings.get(), &launcher);
        f.page.m_baudRateCombo->setCurrentIndex(3);

        QTest::mouseClick(f.page.m_canEnableCheck, Qt::LeftButton);
        QVERIFY(f.page.m_canEnableCheck->isChecked());
        QCOMPARE(f.page.m_baudRateCombo->currentText(), QStringLiteral("115200"));
        QCOMPARE(temp.settings->BaudRate(), 115200);
        QCOMPARE(temp.settings->CanEnable(), 1);
        QCOMPARE(int(g_canEnabled), 1);

        QTest::mouseClick(f.page.m_canEnableCheck, Qt::LeftButton);
        QCOMPARE(f.page.m_baudRateCombo->currentText(), QStringLiteral("9600"));
        QCOMPARE(temp.settings->BaudRate(), 9600);
        QCOMPARE(temp.settings->CanEnable(), 0);
        QCOMPARE(int(g_canEnabled), 0);
    }

    // Until the window hands the page its store, the tool settings do nothing.
    void withoutAStoreNothingHappens() {
        RecordingPrompts prompts;
        PageFixture f;
        g_canEnabled = 0;
        f.page.m_baudRateCombo->setCurrentIndex(1);
        QTest::mouseClick(f.page.m_canEnableCheck, Qt::LeftButton);
        QCOMPARE(int(g_canEnabled), 0);
        QCOMPARE(f.page.m_baudRateCombo->currentIndex(), 1);
        f.page.m_languageButton->setText(QString::fromUtf8(kLanguageButtonEnglish));
        QTest::mouseClick(f.page.m_languageButton, Qt::LeftButton);
        QCOMPARE(f.page.m_languageButton->text(), QString::fromUtf8(kLanguageButtonEnglish));
        QVERIFY(prompts.messages.isEmpty());
    }

    void toolSettingsAreDisabledWhileAPortIsOpen() {
        PageFixture f;
        f.page.SetToolSettingsEnabled(false);
        for (int id : {1040, 1042, 1029}) {
            QVERIFY(!f.page.Controls().Control(id)->isEnabled());
        }
        QVERIFY(f.page.Controls().Control(1037)->isEnabled());
        QVERIFY(f.page.Controls().Control(1009)->isEnabled());
        f.page.SetToolSettingsEnabled(true);
        for (int id : {1040, 1042, 1029}) {
            QVERIFY(f.page.Controls().Control(id)->isEnabled());
        }
    }

    void languageSwitchStoresAndRestarts_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("newCaption");
        QTest::newRow("to English")
            << QString::fromUtf8(kLanguageButtonEnglish) << ProfileSettings::kLanguageEnglish
            << QString::fromUtf8(kLanguageButtonChinese);
        QTest::newRow("to Chinese")
            << QString::fromUtf8(kLanguageButtonChinese) << ProfileSettings::kLanguageChinese
            << QString::fromUtf8(kLanguageButtonEnglish);
    }
    void languageSwitchStoresAndRestarts() {
        QFETCH(QString, caption);
        QFETCH(int, stored);
        QFETCH(QString, newCaption);
        RecordingPrompts prompts;
        TempSettings temp;
        RecordingLauncher launcher;
        QWidget top;
        auto* page = new Cpage0(UiLanguage::Chinese, &top);
        page->SetToolSettingsStore(temp.settings.get(), &launcher);
        page->m_languageButton->setText(caption);
        top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&top));

        QTest::mouseClick(page->m_languageButton, Qt::LeftButton);
        QCOMPARE(temp.settings->Language(), stored);
        QCOMPARE(page->m_languageButton->text(), newCaption);
        QCOMPARE(launcher.programs, QStringList{QCoreApplication::applicationFilePath()});
        QCOMPARE(launcher.argumentLists.value(0),
                 ArgumentsForRestart(QCoreApplication::arguments().mid(1)));
        QTRY_VERIFY(!top.isVisible());
        QVERIFY(prompts.messages.isEmpty());
    }

    void languageSwitchWithoutRestartKeepsTheWindow() {
        RecordingPrompts prompts;
        TempSettings temp;
        RecordingLauncher launcher;
        launcher.starts = false;
        QWidget top;
        auto* page = new Cpage0(UiLanguage::Chinese, &top);
        page->SetToolSettingsStore(temp.settings.get(), &launcher);
        page->m_languageButton->setText(QString::fromUtf8(kLanguageButtonEnglish));
        top.show();
        QVERIFY(QTest::qWaitForWindowExposed(&top));

        QTest::mouseClick(page->m_languageButton, Qt::LeftButton);
        QCOMPARE(temp.settings->Language(), ProfileSettings::kLanguageEnglish);
        QCOMPARE(prompts.messages.size(), 1);
        QVERIFY(prompts.messages[0].startsWith(QString::fromUtf8(kRestartFailedChinese)));
        QVERIFY(prompts.messages[0].contains(QStringLiteral("No such file or directory")));
        QTest::qWait(20);
        QVERIFY(top.isVisible());
    }

    void restartArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("none") << QStringList{} << QStringList{};
        QTest::newRow("nothing to drop") << QStringList{"--demo"} << QStringList{"--demo"};
        QTest::newRow("language and its value")
            << QStringList{"--lang", "zh", "--demo"} << QStringList{"--demo"};
        QTest::newRow("language attached")
            << QStringList{"--demo", "--lang=en"} << QStringList{"--demo"};
        QTest::newRow("language without value")
            << QStringList{"--demo", "--lang"} << QStringList{"--demo"};
        QTest::newRow("screenshot and its options")
            << QStringList{"--screenshot", "/tmp/a.png", "--tab", "1",
                           "--reveal",     "--unfold",   "--demo"}
            << QStringList{"--demo"};
        QTest::newRow("screenshot attached")
            << QStringList{"--screenshot=/tmp/--lang.png", "--tab=2"} << QStringList{};
        QTest::newRow("after the end of options") << QStringList{"--demo", "--", "--lang", "zh"}
                                                  << QStringList{"--demo", "--", "--lang", "zh"};
    }
    void restartArguments() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, kept);
        QCOMPARE(ArgumentsForRestart(arguments), kept);
    }
};

QTEST_MAIN(Page0Test)
#include "page0_test.moc"
