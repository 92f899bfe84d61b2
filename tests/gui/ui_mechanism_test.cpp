// The window mechanism on its own: numbers read as the C conversions read them, dialog units,
// controls built from a table, the data exchange and its failures, up-downs and balloon tips.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>
#include <cmath>

#include "gui_test_support.h"
#include "ui/c_number_text.h"
#include "ui/controls.h"
#include "ui/dialog_units.h"
#include "ui/template_widget.h"

namespace {

using K = ControlKind;

// A window with one field of each kind the exchange knows, in this order.
const DialogTemplate& SampleTemplate() {
    static const DialogTemplate t{
        200,
        100,
        "MS Shell Dlg",
        9,
        "",
        {
            {10, K::Edit, "", "", 5, 5, 40, 12, kDigitsOnly},
            {11, K::Edit, "", "", 5, 20, 40, 12},
            {12, K::Edit, "", "", 5, 35, 40, 12},
            {20, K::Radio, "甲", "A", 60, 5, 30, 10, kGroup},
            {21, K::Radio, "乙", "B", 60, 17, 30, 10},
            {22, K::Radio, "丙", "C", 60, 29, 30, 10},
            {30, K::CheckBox, "框", "Box", 100, 5, 40, 10, kGroup},
            {31, K::ThreeState, "三", "Three", 100, 20, 40, 14},
            {13, K::Edit, "", "", 5, 50, 40, 12},
            {40, K::GroupBox, "组", "Group", 0, 0, 150, 80},
            {50, K::Button, "中文专有", "", 150, 5, 40, 14, kChineseOnly},
            {51, K::Button, "", "English only", 150, 20, 40, 14, kEnglishOnly},
            {52, K::Button, "隐藏", "Hidden", 150, 35, 40, 14, kHiddenInEnglish},
            {60, K::ComboList, "", "", 150, 50, 40, 60},
        }};
    return t;
}

class SampleWindow : public TemplateWidget {
public:
    explicit SampleWindow(UiLanguage language = UiLanguage::English)
        : TemplateWidget(SampleTemplate(), language) {}

    std::uint32_t count = 0;
    int offset = 0;
    float voltage = 0;
    int choice = 0;
    int box = 0;
    int three = 0;
    std::uint32_t last = 0;

protected:
    void DoDataExchange(DataExchange& exchange) override {
        exchange.UInt(10, count);
        exchange.Int(11, offset);
        exchange.Float(12, voltage);
        exchange.RangeFloat(voltage, 0.0f, 6.0f);
        exchange.Radio(20, choice);
        exchange.RangeInt(choice, 0, 2);
        exchange.Check(30, box);
        exchange.Check(31, three);
        exchange.UInt(13, last);
    }
};

}  // namespace

class UiMechanismTest : public QObject {
    Q_OBJECT

private slots:
    void scanUnsigned_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("reads");
        QTest::addColumn<quint32>("value");
        QTest::newRow("plain") << "42" << true << 42u;
        QTest::newRow("leading blanks") << "  \t7" << true << 7u;
        QTest::newRow("trailing text ignored") << "12abc" << true << 12u;
        QTest::newRow("minus wraps") << "-5" << true << 4294967291u;
        QTest::newRow("plus sign") << "+3" << true << 3u;
        QTest::newRow("wraps past 32 bits") << "4294967297" << true << 1u;
        QTest::newRow("hex is a zero and text") << "0x10" << true << 0u;
        QTest::newRow("empty") << "" << false << 0u;
        QTest::newRow("blanks only") << "   " << false << 0u;
        QTest::newRow("lone minus") << "-" << false << 0u;
        QTest::newRow("letters first") << "V12" << false << 0u;
    }
    void scanUnsigned() {
        QFETCH(QString, text);
        QFETCH(bool, reads);
        QFETCH(quint32, value);
        const std::optional<std::uint32_t> scanned = ScanUnsigned(text);
        QCOMPARE(scanned.has_value(), reads);
        if (reads) {
            QCOMPARE(*scanned, value);
        }
    }

    void scanInt() {
        QCOMPARE(ScanInt(QStringLiteral("-60")).value(), -60);
        QCOMPARE(ScanInt(QStringLiteral("  -0012x")).value(), -12);
        QCOMPARE(ScanInt(QStringLiteral("2147483648")).value(), -2147483647 - 1);
        QVERIFY(!ScanInt(QStringLiteral("- 5")));
    }

    void scanDouble_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("reads");
        QTest::addColumn<double>("value");
        QTest::newRow("unit after number") << "1.5V" << true << 1.5;
        QTest::newRow("leading point") << ".5" << true << 0.5;
        QTest::newRow("trailing point") << "3." << true << 3.0;
        QTest::newRow("exponent") << "1e3x" << true << 1000.0;
        QTest::newRow("incomplete exponent") << "2e" << true << 2.0;
        QTest::newRow("negative") << " -60.8" << true << -60.8;
        QTest::newRow("comma is not a point") << "1,5" << true << 1.0;
        QTest::newRow("tiny underflows to zero") << "1e-400" << true << 0.0;
        QTest::newRow("empty") << "" << false << 0.0;
        QTest::newRow("lone point") << "." << false << 0.0;
        QTest::newRow("infinity is not a number") << "inf" << false << 0.0;
        QTest::newRow("nan is not a number") << "nan" << false << 0.0;
    }
    void scanDouble() {
        QFETCH(QString, text);
        QFETCH(bool, reads);
        QFETCH(double, value);
        const std::optional<double> scanned = ScanDouble(text);
        QCOMPARE(scanned.has_value(), reads);
        if (reads) {
            QCOMPARE(*scanned, value);
        }
    }

    void scanDoubleIgnoresTheProcessLocale() {
        // Qt sets the C locale from the environment; a German one must not change "1.5".
        const char* previous = std::setlocale(LC_NUMERIC, nullptr);
        const std::string saved = previous != nullptr ? previous : "C";
        if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
            QSKIP("no German locale on this machine");
        }
        QCOMPARE(ScanDouble(QStringLiteral("1.5")).value(), 1.5);
        QCOMPARE(FormatG(60.8, 6), QStringLiteral("60.8"));
        std::setlocale(LC_NUMERIC, saved.c_str());
    }

    void formatG_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("precision");
        QTest::addColumn<QString>("text");
        QTest::newRow("float 60.8") << double(60.8f) << 6 << "60.8";
        QTest::newRow("zero") << 0.0 << 6 << "0";
        QTest::newRow("float 1.23") << double(1.23f) << 6 << "1.23";
        QTest::newRow("rounds to precision") << 123456.7 << 6 << "123457";
        QTest::newRow("exponent form") << 1e6 << 6 << "1e+06";
        QTest::newRow("small") << 0.0001 << 6 << "0.0001";
        QTest::newRow("double precision") << 0.1 << 15 << "0.1";
    }
    void formatG() {
        QFETCH(double, value);
        QFETCH(int, precision);
        QFETCH(QString, text);
        QCOMPARE(FormatG(value, precision), text);
    }

    void dialogUnitsRoundLikeMulDiv() {
        const DialogUnits units(7, 15);
        QCOMPARE(units.X(4), 7);
        QCOMPARE(units.X(3), 5);  // 5.25
        QCOMPARE(units.X(2), 4);  // 3.5 rounds up
        QCOMPARE(units.Y(8), 15);
        QCOMPARE(units.Y(4), 8);  // 7.5 rounds up
        QCOMPARE(units.ToPixels(4, 8, 8, 16), QRect(7, 15, 14, 30));
    }

    void dialogUnitsFollowTheFont() {
        QFont small = DialogFont("MS Shell Dlg", 9);
        QFont large = DialogFont("MS Shell Dlg", 18);
        const DialogUnits a = DialogUnits::ForFont(small);
        const DialogUnits b = DialogUnits::ForFont(large);
        QVERIFY(a.BaseX() > 0 && a.BaseY() > 0);
        QVERIFY(b.BaseX() > a.BaseX());
        QVERIFY(b.BaseY() > a.BaseY());
    }

    void controlsArePlacedInDialogUnits() {
        SampleWindow window;
        const DialogUnits& units = window.Controls().Units();
        QCOMPARE(window.size(), QSize(units.X(200), units.Y(100)));
        QCOMPARE(window.Item<QLineEdit>(11)->geometry(), units.ToPixels(5, 20, 40, 12));
        // A list's table height is its dropped height; closed it is one line.
        auto* combo = window.Item<QComboBox>(60);
        QCOMPARE(combo->y(), units.Y(50));
        QVERIFY(combo->height() < units.Y(60));
        // The frame lies behind the controls it surrounds and lets the mouse through.
        auto* frame = window.Item<QGroupBox>(40);
        QVERIFY(frame->testAttribute(Qt::WA_TransparentForMouseEvents));
        QCOMPARE(window.children().indexOf(frame) <
                     window.children().indexOf(window.Item<QLineEdit>(10)),
                 true);
    }

    void controlsFollowTheLanguagesTemplate() {
        SampleWindow chinese(UiLanguage::Chinese);
        SampleWindow english(UiLanguage::English);
        QVERIFY(chinese.Controls().Has(50));
        QVERIFY(!chinese.Controls().Has(51));
        QVERIFY(!english.Controls().Has(50));
        QVERIFY(english.Controls().Has(51));
        QCOMPARE(chinese.Controls().Text(20), QStringLiteral("甲"));
        QCOMPARE(english.Controls().Text(20), QStringLiteral("A"));
        QVERIFY(!chinese.Item<QWidget>(52)->isHidden());
        QVERIFY(english.Item<QWidget>(52)->isHidden());
    }

    void digitsOnlyEditTakesOnlyDigits() {
        SampleWindow window;
        auto* edit = window.Item<QLineEdit>(10);
        QTest::keyClicks(edit, QStringLiteral("1a2-3.4"));
        QCOMPARE(edit->text(), QStringLiteral("1234"));
    }

    void exchangeLoadsFieldsIntoControls() {
        SampleWindow window;
        window.count = 4294967291u;
        window.offset = -60;
        window.voltage = 60.8f;
        window.choice = 1;
        window.box = 1;
        window.three = 2;
        QVERIFY(window.UpdateData(false));
        QCOMPARE(window.Controls().Text(10), QStringLiteral("4294967291"));
        QCOMPARE(window.Controls().Text(11), QStringLiteral("-60"));
        QCOMPARE(window.Controls().Text(12), QStringLiteral("60.8"));
        QCOMPARE(window.Controls().CheckedRadio(20), 1);
        QVERIFY(window.Item<QCheckBox>(30)->isChecked());
        QCOMPARE(window.Item<ThreeStateButton>(31)->State(), 2);

        window.choice = -1;
        window.UpdateData(false);
        QCOMPARE(window.Controls().CheckedRadio(20), -1);
    }

    void exchangeSavesWithTheCReadingRules() {
        RecordingPrompts prompts;
        SampleWindow window;
        window.Controls().SetText(10, QStringLiteral("12"));
        window.Controls().SetText(11, QStringLiteral("-5 degrees"));
        window.Controls().SetText(12, QStringLiteral("1.5V"));
        window.Controls().CheckRadio(20, 2);
        window.Item<QCheckBox>(30)->setChecked(true);
        window.Item<ThreeStateButton>(31)->click();  // off → on
        window.Controls().SetText(13, QStringLiteral("7"));
        QVERIFY(window.UpdateData(true));
        QVERIFY(prompts.messages.isEmpty());
        QCOMPARE(window.count, 12u);
        QCOMPARE(window.offset, -5);
        QCOMPARE(window.voltage, 1.5f);
        QCOMPARE(window.choice, 2);
        QCOMPARE(window.box, 1);
        QCOMPARE(window.three, 1);
        QCOMPARE(window.last, 7u);
    }

    // Each failure: its message, and which of count, offset, voltage, choice and last took
    // the value the controls hold (a range failure keeps the value it read).
    void exchangeStopsAtTheFirstFailure_data() {
        QTest::addColumn<int>("bad");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<bool>>("taken");
        QTest::newRow("empty unsigned")
            << 10 << "Enter a positive integer." << QList<bool>{false, false, false, false, false};
        QTest::newRow("empty int")
            << 11 << "Enter an integer." << QList<bool>{true, false, false, false, false};
        QTest::newRow("empty float")
            << 12 << "Enter a number." << QList<bool>{true, true, false, false, false};
        QTest::newRow("float out of range") << 120 << "Enter a number between 0 and 6."
                                            << QList<bool>{true, true, true, false, false};
        QTest::newRow("no radio checked") << 20 << "Enter an integer between 0 and 2."
                                          << QList<bool>{true, true, true, true, false};
    }
    void exchangeStopsAtTheFirstFailure() {
        QFETCH(int, bad);
        QFETCH(QString, message);
        QFETCH(QList<bool>, taken);
        RecordingPrompts prompts;
        SampleWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        window.count = 100;
        window.offset = 100;
        window.voltage = 100;
        window.choice = 100;
        window.last = 100;
        ControlSet& c = window.Controls();
        c.SetText(10, QStringLiteral("1"));
        c.SetText(11, QStringLiteral("2"));
        c.SetText(12, QStringLiteral("3"));
        c.CheckRadio(20, 0);
        c.SetText(13, QStringLiteral("5"));
        float voltageInControls = 3;
        int choiceInControls = 0;
        if (bad == 120) {
            c.SetText(12, QStringLiteral("7"));
            voltageInControls = 7;
        } else if (bad == 20) {
            c.CheckRadio(20, -1);
            choiceInControls = -1;
        } else {
            c.SetText(bad, QString());
        }

        QVERIFY(!window.UpdateData(true));
        QCOMPARE(prompts.messages, QStringList{message});
        const QList<bool> actual{window.count == 1, window.offset == 2,
                                 window.voltage == voltageInControls,
                                 window.choice == choiceInControls, window.last == 5};
        QCOMPARE(actual, taken);
        if (bad != 20) {
            auto* edit = window.Item<QLineEdit>(bad == 120 ? 12 : bad);
            QTRY_VERIFY(edit->hasFocus());
            QCOMPARE(edit->selectedText(), edit->text());
        }
    }

    void upDownStepsTheBuddysNumber() {
        QLineEdit edit;
        UpDown arrows;
        arrows.SetBuddy(&edit);
        arrows.SetRange(0, 10000);
        edit.setText(QStringLiteral("999"));
        arrows.Step(+1);
        QCOMPARE(edit.text(), QStringLiteral("1000"));  // no thousands separator
        edit.setText(QStringLiteral("10000"));
        arrows.Step(+1);
        QCOMPARE(edit.text(), QStringLiteral("10000"));
        edit.setText(QStringLiteral("0"));
        arrows.Step(-1);
        QCOMPARE(edit.text(), QStringLiteral("0"));
        edit.setText(QStringLiteral("41"));
        QTest::keyClick(&edit, Qt::Key_Up);
        QCOMPARE(edit.text(), QStringLiteral("42"));
        QTest::keyClick(&edit, Qt::Key_Down);
        QTest::keyClick(&edit, Qt::Key_Down);
        QCOMPARE(edit.text(), QStringLiteral("40"));
    }

    void threeStateCyclesLikeThePlatformBox() {
        ThreeStateButton button;
        QList<int> states;
        for (int i = 0; i < 4; ++i) {
            button.click();
            states << button.State();
        }
        QCOMPARE(states, (QList<int>{1, 2, 0, 1}));
    }

    void balloonShowsOnHoverAndClosesOnClick() {
        QWidget window;
        window.resize(200, 100);
        auto* control = new QLineEdit(&window);
        control->setGeometry(10, 10, 100, 20);
        BalloonTips tips(&window);
        const QString text = QStringLiteral("第一行\nsecond line ") + QString(300, QChar('x'));
        tips.Add(control, text);
        QCOMPARE(tips.TextFor(control), text);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(control, &enter);
        BalloonTip* balloon = tips.Visible();
        QVERIFY(balloon != nullptr);
        QCOMPARE(balloon->Text(), text);
        QVERIFY(balloon->width() <= BalloonTip::kMaxWidth);
        QLabel* label = balloon->findChild<QLabel*>();
        QCOMPARE(label->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        QVERIFY(label->wordWrap());
        // The window has the balloon's shape: its rounded corners are not part of it.
        const QRegion shape = balloon->mask();
        QVERIFY(shape.contains(QPoint(balloon->width() / 2, balloon->height() / 2)));
        QVERIFY(!shape.contains(QPoint(0, balloon->height() - 1)));
        QVERIFY(!shape.contains(QPoint(balloon->width() - 1, 0)));

        QTest::mousePress(control, Qt::LeftButton);
        QVERIFY(tips.Visible() == nullptr);
        // It stays away while the mouse stays, and comes back after leaving and entering.
        QTest::mouseMove(control, QPoint(20, 5));
        QVERIFY(tips.Visible() == nullptr);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(control, &leave);
        QCoreApplication::sendEvent(control, &enter);
        QVERIFY(tips.Visible() != nullptr);
    }
};

QTEST_MAIN(UiMechanismTest)
#include "ui_mechanism_test.moc"
