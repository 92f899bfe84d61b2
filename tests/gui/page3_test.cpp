// Page 3: its controls in both languages, the start state the main window gives it, the
// exchange order with its stop-at-first-failure semantics, the Hall angle rule and the
// direction buttons that travel even when the English page hides them.

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>
#include <functional>
#include <memory>

#include "app/string_table.h"
#include "gui_test_support.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/cpage3.h"
#include "ui/controls.h"

namespace {

const QString kRangeMessage = QStringLiteral("Enter an integer between 0 and 100.");
const QString kIntegerMessage = QStringLiteral("Enter an integer.");
const QString kPositiveMessage = QStringLiteral("Enter a positive integer.");

// A page on its own, initialised, shown so focus and visibility behave as on screen.
struct PageFixture {
    explicit PageFixture(UiLanguage language = UiLanguage::Chinese) {
        SetUiLanguage(language);
        page = std::make_unique<Cpage3>(language);
        page->OnInitDialog();
        page->show();
    }
    QLineEdit* Edit(int id) const { return page->Item<QLineEdit>(id); }
    QString Text(int id) const { return page->Controls().Text(id); }

    RecordingPrompts prompts;
    std::unique_ptr<Cpage3> page;
};

// The page's fields in exchange order, each with its control and a value the test types.
struct Field {
    const char* name;
    int id;  // edit, or first radio of a group
    std::function<qint64(const Cpage3&)> get;
    std::function<void(Cpage3&, qint64)> set;
    const char* typed;  // for an edit; empty for a radio group (it takes button 1)
    qint64 typedValue;
};

template <class T>
Field EditField(const char* name, int id, T Cpage3::*member, const char* typed, qint64 typedValue) {
    return {name,
            id,
            [member](const Cpage3& p) { return static_cast<qint64>(p.*member); },
            [member](Cpage3& p, qint64 v) { p.*member = static_cast<T>(v); },
            typed,
            typedValue};
}

Field RadioField(const char* name, int firstId, int Cpage3::*member) {
    return {name,
            firstId,
            [member](const Cpage3& p) { return static_cast<qint64>(p.*member); },
            [member](Cpage3& p, qint64 v) { p.*member = static_cast<int>(v); },
            "",
            1};
}

const std::vector<Field>& ExchangeOrder() {
    static const std::vector<Field> fields = {
        EditField("hall angle", 1009, &Cpage3::m_hallAngle, "-60", -60),
        EditField("push assist speed", 1011, &Cpage3::m_pushAssistSpeed, "55", 55),
        EditField("push assist torque", 1012, &Cpage3::m_pushAssistTorque, "-5", 4294967291LL),
        EditField("reverse speed", 1010, &Cpage3::m_reverseSpeedRatio, "30", 30),
        EditField("motor temp start", 1013, &Cpage3::m_motorTempStart, "120", 120),
        EditField("motor temp over", 1018, &Cpage3::m_motorTempOver, "140", 140),
        EditField("motor temp max", 1019, &Cpage3::m_motorTempMax, "150", 150),
        EditField("controller temp", 1021, &Cpage3::m_controllerTempProtect, "90", 90),
        EditField("damping", 1020, &Cpage3::m_dampingFactor, "10", 10),
        EditField("speed display", 1022, &Cpage3::m_speedDisplayAdjust, "18432", 18432),
        RadioField("direction", 1038, &Cpage3::m_direction),
        EditField("pole pairs", 1023, &Cpage3::m_polePairs, "  8 pairs", 8),
        EditField("ebs", 1014, &Cpage3::m_ebsRatio, "15", 15),
        RadioField("motor type", 1047, &Cpage3::m_motorType),
        RadioField("output type", 1056, &Cpage3::m_outputType),
        RadioField("dual voltage", 1057, &Cpage3::m_dualVoltageLevel),
    };
    return fields;
}

constexpr qint64 kOld = 7;  // every edit's value before the test types

bool IsEdit(const Field& field) {
    return field.typed[0] != '\0';
}
// Radio groups start at their first button.
qint64 OldValue(const Field& field) {
    return IsEdit(field) ? kOld : 0;
}

}  // namespace

class Page3Test : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetUiLanguage(UiLanguage::Chinese); }

    // id 0: an unnumbered static with this caption exists.
    void controls_data() {
        QTest::addColumn<bool>("english");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("shown");
        const auto row = [](const char* caption, int id, const char* zh, const char* en,
                            bool shownZh, bool shownEn) {
            QTest::addRow("zh %s", caption) << false << id << QString::fromUtf8(zh) << shownZh;
            QTest::addRow("en %s", caption) << true << id << QString::fromUtf8(en) << shownEn;
        };
        row("motor frame", 0, "电机设置", "Motor Setting", true, true);
        row("forward", 1038, "正转", "FWD", true, false);
        row("reverse", 1039, "反转", "REV", true, false);
        row("pole pairs", 0, "电机极对数:", "Pole pairs:", true, true);
        row("pole pairs edit", 1023, "", "", true, true);
        row("hall swap", 1042, "霍尔黄蓝对调", "exchange hall wire color Yellow-Blue", true, true);
        row("phase swap", 1043, "相线蓝绿对调", "exchange phase wire color Blue-Green", true, true);
        row("motor type", 0, "电机类型", "Motor type", true, true);
        row("surface mount", 1047, "表贴", "surface-mount", true, true);
        row("v type", 1040, "V型", "V-type", true, true);
        row("hall angle", 0, "霍尔相移角(度):", "Hall shift Angle", true, true);
        row("hall angle edit", 1009, "", "", true, true);
        row("output frame", 0, "输出选择", "Out-put", true, true);
        row("one line", 1056, "一线通", "One-Lin", true, true);
        row("hall meter", 1053, "霍尔仪表", "Hall speedometter", true, true);
        row("push assist", 1044, "移车助力使能", "Moving venicle booster", true, true);
        row("cruise", 1046, "巡航使能", "Cruise", true, true);
        row("push speed", 0, "移车助力限速(%)：", "Moving venicle booster Speed ratio(%):", true,
            true);
        row("push torque", 0, "移车助力扭矩值：", "Moving venicle booster torque:", true, true);
        row("dual frame", 0, "双电压自动识别设置",
            "Double voltage automatic identification setting", true, true);
        row("dual check", 1048, "双模使能", "Double-voltage", true, true);
        row("low", 1057, "低压", "Low", true, true);
        row("high", 1055, "高压", "Hige", true, true);
        row("reverse speed", 0, "倒车限速(%)：", "Reversing the speed limit(%):", true, true);
        row("ebs", 0, "EBS比例(%)：", "EBS ratio(%):", true, true);
        row("noise", 1045, "电机降噪", "Motor noise reduction", true, true);
        row("safe start", 1049, "安全启动使能", "Secure boot", true, true);
        row("temperature frame", 1050, "温度保护设置", "Temperature protection", false, false);
        row("temp start", 1067, "电机起始保护温度：", "Initial temperature", false, false);
        row("temp over", 1068, "电机过温保护温度：", "Over-temperature", false, false);
        row("temp max", 1066, "电机最高保护温度：", "Max temperature", false, false);
        row("controller temp", 1069, "控制器温度保护：", "T.C.1:", false, false);
        row("damping", 1070, "阻尼系数：", "DAMPING FACTOR:", false, false);
        row("speed display", 1071, "仪表显示转速调整：TCS灵敏度调整：",
            "Display speed adjustment/TCS sensitivity adjustment:", false, false);
        for (int id : {1013, 1018, 1019, 1021, 1020, 1022}) {
            row(qPrintable(QStringLiteral("hidden edit %1").arg(id)), id, "", "", false, false);
        }
        for (int id : {1010, 1014, 1011, 1012}) {
            row(qPrintable(QStringLiteral("edit %1").arg(id)), id, "", "", true, true);
        }
    }
    void controls() {
        QFETCH(bool, english);
        QFETCH(int, id);
        QFETCH(QString, caption);
        QFETCH(bool, shown);
        Cpage3 page(english ? UiLanguage::English : UiLanguage::Chinese);
        QWidget* control = nullptr;
        if (id == 0) {
            for (QWidget* child : page.findChildren<QWidget*>()) {
                auto* label = qobject_cast<QLabel*>(child);
                auto* frame = qobject_cast<QGroupBox*>(child);
                if ((label && label->text() == caption) || (frame && frame->title() == caption)) {
                    control = child;
                }
            }
            QVERIFY2(control != nullptr, qPrintable(caption));
        } else {
            control = page.Controls().Control(id);
            QVERIFY(control != nullptr);
            QCOMPARE(page.Controls().Text(id), caption);
        }
        QCOMPARE(!control->isHidden(), shown);
        // Inside the page, so nothing is cut at its edges.
        QVERIFY(QRect(QPoint(0, 0), page.size()).contains(control->geometry()));
    }

    // Every caption fits its control in the page's own font: none is cut off, and none had
    // to be drawn smaller to fit.
    void captionsFit_data() {
        QTest::addColumn<bool>("english");
        QTest::newRow("zh") << false;
        QTest::newRow("en") << true;
    }
    void captionsFit() {
        QFETCH(bool, english);
        Cpage3 page(english ? UiLanguage::English : UiLanguage::Chinese);
        for (QWidget* child : page.findChildren<QWidget*>()) {
            auto* label = qobject_cast<QLabel*>(child);
            auto* button = qobject_cast<QAbstractButton*>(child);
            if ((label == nullptr || label->text().isEmpty()) &&
                (button == nullptr || button->text().isEmpty())) {
                continue;
            }
            const QString caption = label ? label->text() : button->text();
            QVERIFY2(child->font().pointSizeF() == page.font().pointSizeF(), qPrintable(caption));
            if (label == nullptr || !label->wordWrap()) {
                QVERIFY2(child->sizeHint().width() <= child->width(), qPrintable(caption));
            } else {
                QVERIFY2(label->heightForWidth(label->width()) <= label->height(),
                         qPrintable(caption));
            }
        }
    }

    void startsWithTheMainWindowsDefaults_data() {
        QTest::addColumn<bool>("english");
        QTest::newRow("zh") << false;
        QTest::newRow("en") << true;
    }
    void startsWithTheMainWindowsDefaults() {
        QFETCH(bool, english);
        const UiLanguage language = english ? UiLanguage::English : UiLanguage::Chinese;
        SetUiLanguage(language);
        RecordingPrompts prompts;
        TempSettings temp;
        HeldKeys keys;
        CTarvikDlg window(*temp.settings, keys);
        window.OnInitDialog();
        Cpage3& page = window.Page3();
        QCOMPARE(page.m_controllerTempProtect, 444u);
        QCOMPARE(page.m_polePairs, 4u);
        QCOMPARE(page.Controls().Text(1021), QStringLiteral("444"));
        QCOMPARE(page.Controls().Text(1023), QStringLiteral("4"));
        for (int id : {1009, 1010, 1014, 1011, 1012, 1013, 1018, 1019, 1020, 1022}) {
            QCOMPARE(page.Controls().Text(id), QStringLiteral("0"));
        }
        for (int id : {1038, 1047, 1056, 1057}) {
            QVERIFY(page.Item<QAbstractButton>(id)->isChecked());
        }
        for (int id : {1039, 1040, 1053, 1055}) {
            QVERIFY(!page.Item<QAbstractButton>(id)->isChecked());
        }
        for (QCheckBox* box : page.findChildren<QCheckBox*>()) {
            QVERIFY(!box->isChecked());
        }
        // Each up-down steps the edit before it, within 0..100.
        const QList<QPair<int, int>> spins = {{1054, 1011}, {1051, 1010}, {1052, 1014}};
        for (const auto& [spinId, editId] : spins) {
            auto* spin = page.Item<UpDown>(spinId);
            QVERIFY(spin != nullptr);
            QCOMPARE(spin->Buddy(), page.Item<QLineEdit>(editId));
            QCOMPARE(spin->Minimum(), 0);
            QCOMPARE(spin->Maximum(), 100);
        }
        QVERIFY(prompts.messages.isEmpty());
        // Revealing shows the whole temperature group.
        keys.Hold({SideKey::LeftShift, SideKey::RightShift});
        QKeyEvent f12(QEvent::KeyPress, Qt::Key_F12, Qt::NoModifier);
        QCoreApplication::sendEvent(window.Controls().Control(1022), &f12);
        for (int id :
             {1050, 1067, 1068, 1066, 1069, 1070, 1071, 1013, 1018, 1019, 1020, 1021, 1022}) {
            QVERIFY2(!page.Controls().Control(id)->isHidden(), qPrintable(QString::number(id)));
        }
    }

    // Every field starts at kOld, every control then gets a new value, one edit gets `text`;
    // reading stops at that edit: the fields before it are new, it keeps kOld (unreadable) or
    // takes its out-of-range value, and the fields after it keep kOld.
    void exchangeStopsAtFirstFailure_data() {
        QTest::addColumn<int>("failingId");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::addColumn<qint64>("failingValue");  // what the failing field holds afterwards
        QTest::newRow("all read") << 0 << QString() << QString() << qint64(0);
        QTest::newRow("hall angle empty") << 1009 << "" << kIntegerMessage << kOld;
        QTest::newRow("hall angle lone minus") << 1009 << "-" << kIntegerMessage << kOld;
        QTest::newRow("push speed 150") << 1011 << "150" << kRangeMessage << qint64(150);
        QTest::newRow("push speed 100 is fine") << 1011 << "100" << QString() << qint64(100);
        QTest::newRow("torque text") << 1012 << "x1" << kPositiveMessage << kOld;
        QTest::newRow("reverse speed 101") << 1010 << "101" << kRangeMessage << qint64(101);
        QTest::newRow("reverse speed 0 is fine") << 1010 << "0" << QString() << qint64(0);
        QTest::newRow("hidden controller temp empty") << 1021 << "" << kPositiveMessage << kOld;
        QTest::newRow("pole pairs empty") << 1023 << "" << kPositiveMessage << kOld;
        QTest::newRow("ebs empty") << 1014 << "" << kPositiveMessage << kOld;
    }
    void exchangeStopsAtFirstFailure() {
        QFETCH(int, failingId);
        QFETCH(QString, text);
        QFETCH(QString, message);
        QFETCH(qint64, failingValue);
        PageFixture f;
        Cpage3& page = *f.page;
        for (const Field& field : ExchangeOrder()) {
            field.set(page, OldValue(field));
        }
        page.UpdateData(false);
        {
            // Typed as a whole, not keystroke by keystroke through the Hall angle rule.
            const QSignalBlocker quiet(f.Edit(1009));
            for (const Field& field : ExchangeOrder()) {
                if (IsEdit(field)) {
                    f.Edit(field.id)->setText(QString::fromLatin1(field.typed));
                } else {
                    page.Controls().CheckRadio(field.id, 1);
                }
            }
            if (failingId != 0) {
                f.Edit(failingId)->setText(text);
            }
        }
        const bool failingIsRead = failingId != 0 && message.isEmpty();

        QCOMPARE(page.UpdateData(true), message.isEmpty());
        QCOMPARE(f.prompts.messages, message.isEmpty() ? QStringList() : QStringList{message});
        if (!message.isEmpty() && !f.Edit(failingId)->isHidden()) {
            QCOMPARE(page.focusWidget(), f.Edit(failingId));
            QCOMPARE(f.Edit(failingId)->selectedText(), text);
        }
        bool before = true;
        for (const Field& field : ExchangeOrder()) {
            const bool failing = field.id == failingId;
            qint64 expected = before ? field.typedValue : OldValue(field);
            if (failing) {
                expected = failingValue;
                before = failingIsRead;
            }
            QVERIFY2(field.get(page) == expected,
                     qPrintable(QStringLiteral("%1: %2, expected %3")
                                    .arg(QString::fromLatin1(field.name))
                                    .arg(field.get(page))
                                    .arg(expected)));
        }
    }

    void hallAngleRule_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("angle");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("message");
        QTest::newRow("181 puts the previous angle back") << "181" << 60 << "60" << QString();
        QTest::newRow("-181 puts it back") << "-181" << 60 << "60" << QString();
        QTest::newRow("180 stays") << "180" << 180 << "180" << QString();
        QTest::newRow("-180 stays") << "-180" << -180 << "-180" << QString();
        QTest::newRow("emptied") << "" << 60 << "60" << kIntegerMessage;
        QTest::newRow("lone minus") << "-" << 60 << "60" << kIntegerMessage;
        QTest::newRow("trailing text dropped") << "45deg" << 45 << "45" << QString();
        QTest::newRow("leading zeros dropped") << "007" << 7 << "7" << QString();
    }
    void hallAngleRule() {
        QFETCH(QString, typed);
        QFETCH(int, angle);
        QFETCH(QString, shown);
        QFETCH(QString, message);
        PageFixture f;
        f.page->m_hallAngle = 60;
        f.page->UpdateData(false);
        QVERIFY(f.prompts.messages.isEmpty());
        f.Edit(1009)->setText(typed);
        QCOMPARE(f.page->m_hallAngle, angle);
        QCOMPARE(f.Text(1009), shown);
        QCOMPARE(f.prompts.messages, message.isEmpty() ? QStringList() : QStringList{message});
    }

    // Keystroke by keystroke: 60 becomes -60 by a minus typed in front; typing on to 181 and
    // erasing everything each put the last accepted angle back.
    void hallAngleKeystrokes() {
        PageFixture f;
        QLineEdit* edit = f.Edit(1009);
        f.page->m_hallAngle = 60;
        f.page->UpdateData(false);
        edit->setFocus();
        edit->setCursorPosition(0);
        QTest::keyClick(edit, Qt::Key_Minus);
        QCOMPARE(f.page->m_hallAngle, -60);
        QCOMPARE(edit->text(), QStringLiteral("-60"));
        QCOMPARE(edit->cursorPosition(), 1);  // the caret stays where the user typed

        edit->setText(QStringLiteral("18"));
        edit->setCursorPosition(2);
        QTest::keyClick(edit, Qt::Key_1);
        QCOMPARE(f.page->m_hallAngle, 18);
        QCOMPARE(edit->text(), QStringLiteral("18"));

        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(f.prompts.messages, QStringList{kIntegerMessage});
        QCOMPARE(edit->text(), QStringLiteral("18"));
        QCOMPARE(f.page->m_hallAngle, 18);
    }

    // Each keystroke in the Hall angle edit reads the whole page: with 150 left in the push
    // assist speed the range message comes again, and the edits after it in the exchange are
    // rewritten from their fields, dropping what was typed there.
    void hallAngleKeystrokeReadsWholePage() {
        PageFixture f;
        f.Edit(1011)->setText(QStringLiteral("150"));
        f.Edit(1012)->setText(QStringLiteral("320"));
        f.Edit(1023)->setText(QStringLiteral("8"));
        f.Edit(1009)->setText(QStringLiteral("-6"));
        QCOMPARE(f.prompts.messages, QStringList{kRangeMessage});
        QCOMPARE(f.page->m_hallAngle, -6);
        QCOMPARE(f.page->m_pushAssistSpeed, 150u);
        QCOMPARE(f.Text(1011), QStringLiteral("150"));
        QCOMPARE(f.page->m_pushAssistTorque, 0u);
        QCOMPARE(f.Text(1012), QStringLiteral("0"));
        QCOMPARE(f.Text(1023), QStringLiteral("0"));
        QCOMPARE(f.Text(1009), QStringLiteral("-6"));

        f.Edit(1009)->setText(QStringLiteral("-60"));
        QCOMPARE(f.prompts.messages, (QStringList{kRangeMessage, kRangeMessage}));
        QCOMPARE(f.page->m_hallAngle, -60);
    }

    // Writing the fields into the controls is not typing: a refresh that changes the angle
    // must not read the page back (which would undo the other refreshed fields).
    void refreshDoesNotRunTheHallAngleRule() {
        PageFixture f;
        f.Edit(1011)->setText(QStringLiteral("150"));
        f.page->m_hallAngle = -60;
        f.page->m_polePairs = 7;
        f.page->m_pushAssistSpeed = 20;
        f.page->UpdateData(false);
        QVERIFY(f.prompts.messages.isEmpty());
        QCOMPARE(f.page->m_polePairs, 7u);
        QCOMPARE(f.Text(1009), QStringLiteral("-60"));
        QCOMPARE(f.Text(1023), QStringLiteral("7"));
        QCOMPARE(f.Text(1011), QStringLiteral("20"));
    }

    // The English page hides the direction buttons; the value still goes both ways.
    void directionTravelsWhenHidden_data() {
        QTest::addColumn<bool>("english");
        QTest::newRow("zh") << false;
        QTest::newRow("en") << true;
    }
    void directionTravelsWhenHidden() {
        QFETCH(bool, english);
        PageFixture f(english ? UiLanguage::English : UiLanguage::Chinese);
        QCOMPARE(f.page->Controls().Control(1039)->isHidden(), english);
        f.page->m_direction = 1;
        f.page->UpdateData(false);
        QVERIFY(f.page->Item<QAbstractButton>(1039)->isChecked());
        QVERIFY(!f.page->m_forwardRadio->isChecked());
        f.page->m_direction = 0;
        QVERIFY(f.page->UpdateData(true));
        QCOMPARE(f.page->m_direction, 1);
    }

    // A radio group without a checked button reads as -1, and -1 clears the group.
    void radioWithoutCheckedButton() {
        PageFixture f;
        f.page->m_outputType = -1;
        f.page->UpdateData(false);
        QVERIFY(!f.page->Item<QAbstractButton>(1056)->isChecked());
        QVERIFY(!f.page->Item<QAbstractButton>(1053)->isChecked());
        f.page->m_outputType = 0;
        QVERIFY(f.page->UpdateData(true));
        QCOMPARE(f.page->m_outputType, -1);
        QVERIFY(f.prompts.messages.isEmpty());
    }

    void digitsOnlyEdits() {
        PageFixture f;
        for (int id : {1010, 1014, 1023, 1011, 1013, 1018, 1019, 1021, 1020, 1022}) {
            QLineEdit* edit = f.Edit(id);
            edit->clear();
            QTest::keyClicks(edit, QStringLiteral("-1a2"));
            QCOMPARE(edit->text(), QStringLiteral("12"));
        }
        // The Hall angle and the push assist torque take free text.
        f.Edit(1012)->clear();
        QTest::keyClicks(f.Edit(1012), QStringLiteral("-5"));
        QCOMPARE(f.Text(1012), QStringLiteral("-5"));
    }

    void tips_data() {
        QTest::addColumn<bool>("english");
        QTest::newRow("zh") << false;
        QTest::newRow("en") << true;
    }
    void tips() {
        QFETCH(bool, english);
        PageFixture f(english ? UiLanguage::English : UiLanguage::Chinese);
        QList<int> withTips;
        for (QWidget* control : f.page->Tips().Controls()) {
            withTips << control->objectName().mid(7).toInt();  // "control1234"
        }
        std::sort(withTips.begin(), withTips.end());
        QList<int> expected = {1038, 1039, 1023, 1042, 1043, 1047, 1040, 1009, 1056,
                               1053, 1044, 1046, 1011, 1012, 1048, 1057, 1055, 1010,
                               1014, 1045, 1049, 1013, 1018, 1019, 1021, 1020, 1022};
        std::sort(expected.begin(), expected.end());
        QCOMPARE(withTips, expected);
        const QString hallTip = f.page->Tips().TextFor(f.page->Controls().Control(1009));
        QVERIFY2(hallTip.contains(english ? QStringLiteral("Hub motors are usually -60°")
                                          : QStringLiteral("轮毂电机通常为-60°")),
                 qPrintable(hallTip));
        QCOMPARE(f.page->Tips().TextFor(f.page->Controls().Control(1022)), Tr(253));
    }
};

QTEST_MAIN(Page3Test)
#include "page3_test.moc"
