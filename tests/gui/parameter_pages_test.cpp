// The parameter set on screen: decoded blocks reach the pages' lists and boxes at once and
// their fields at the refresh, a whole read survives until that refresh, the pages read back
// what they show, and an exchange failure stops the read at its page.

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>
#include <memory>

#include "app/string_table.h"
#include "core/params/param_state.h"
#include "core/params/parameter_codec.h"
#include "gui_test_support.h"
#include "link/controller_link.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/cpage0.h"
#include "pages/cpage1.h"
#include "pages/cpage3.h"
#include "pages/cpage6.h"
#include "pages/parameter_pages.h"

namespace {

// Page indexes as the tabs order them: 0 page 1, 1 page 2, 2 page 3, 4 port settings.
struct Fixture {
    Fixture() {
        ResetParameterState();
        window = std::make_unique<CTarvikDlg>(*temp.settings, keys);
        window->OnInitDialog();
    }
    // A block as the link hands it to the window.
    void Receive(int block, const QByteArray& bytes) {
        BlockBytes data{};
        for (std::size_t i = 0; i < data.size(); ++i) {
            data[i] = static_cast<std::uint8_t>(bytes.at(static_cast<qsizetype>(i)));
        }
        emit window->LinkToController().parameterBlockReceived(block, data);
    }
    // What a control shows: a box's or radio's state, else its text.
    QString Shown(int page, int id) const {
        const ControlSet& controls = window->PageAt(page).Controls();
        if (auto* radio = controls.Item<QRadioButton>(id)) {
            return radio->isChecked() ? QStringLiteral("(o)") : QStringLiteral("( )");
        }
        if (auto* box = controls.Item<QCheckBox>(id)) {
            return box->isChecked() ? QStringLiteral("[x]") : QStringLiteral("[ ]");
        }
        return controls.Text(id);
    }

    RecordingPrompts prompts;
    TempSettings temp;
    HeldKeys keys;
    std::unique_ptr<CTarvikDlg> window;
};

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray bytes;
    for (int value : values) {
        bytes.append(static_cast<char>(value));
    }
    return bytes;
}

struct Expected {
    int page;
    int id;
    QString text;
};

// "page/id/text" entries of a _data row.
QList<Expected> Parse(const QStringList& entries) {
    QList<Expected> out;
    for (const QString& entry : entries) {
        const QStringList parts = entry.split(u'/');
        out.append({parts[0].toInt(), parts[1].toInt(), parts.mid(2).join(u'/')});
    }
    return out;
}

}  // namespace

class ParameterPagesTest : public QObject {
    Q_OBJECT

private slots:
    void decodedBlockShowsOnThePages_data() {
        QTest::addColumn<int>("block");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("atOnce");
        QTest::addColumn<QStringList>("atRefresh");

        QTest::newRow("block 1: no voltage, brand 2, -10 V")
            << 1
            << Bytes({20, 0x27, 0x02, 0x60, 0x01, 0xC2, 10, 0, 30, 0x01, 0x2C, 0xFF, 0x9C, 0x12,
                      0x34, 0x05, 0x06})
            << QStringList{"0/1037/Zerth-100", "0/1038/", "0/1039/" + Tr(113)}
            << QStringList{"0/1009/60.8", "0/1011/45",  "0/1012/1",
                           "0/1013/30",   "0/1014/300", "0/1010/-10"};
        QTest::newRow("block 2: gear bits 0x06, soft start 16")
            << 2
            << Bytes({0x00, 0x64, 30, 60, 100, 0x01, 0x00, 0x00, 0x05, 0x00, 0x32, 0xF7, 80, 16, 5,
                      7, 15})
            << QStringList{"1/1042/[x]", "1/1043/[x]", "2/1045/[x]", "1/1037/16"}
            << QStringList{"1/1009/100", "1/1016/30",  "1/1015/60",  "1/1017/100",
                           "1/1010/256", "1/1018/5",   "1/1019/50",  "1/1014/80",
                           "1/1013/5",   "1/1022/7",   "1/1021/15",  "1/1044/( )",
                           "1/1053/(o)", "1/1056/( )", "1/1041/(o)", "2/1040/(o)"};
        QTest::newRow("block 3: versions 1.23 and 0.05")
            << 3
            << Bytes({0xFF, 0x9C, 90, 100, 110, 0x00, 0x55, 0x00, 0x03, 0x00, 0x02, 40, 0xF8, 8, 20,
                      123, 5})
            << QStringList{"2/1042/[x]", "2/1043/[x]", "1/1045/[x]", "1/1047/[x]"}
            << QStringList{"2/1009/-100", "2/1013/90",   "2/1018/100", "2/1019/110", "2/1021/85",
                           "2/1020/3",    "2/1022/2",    "2/1010/40",  "2/1023/8",   "2/1014/20",
                           "2/1039/(o)",  "0/1050/1.23", "0/1057/0.05"};
        QTest::newRow("block 4: push assist 0x8000")
            << 4
            << Bytes({0x7B, 0x80, 0x00, 0x00, 0x64, 0x0F, 0xA0, 70, 80, 3, 0x00, 0x0A, 0x00, 0xC8,
                      0x00, 0x14, 99})
            << QStringList{"2/1044/[x]", "1/1046/[x]", "2/1046/[x]", "2/1048/[x]", "2/1049/[x]"}
            << QStringList{"2/1011/4294967197", "2/1012/100", "1/1020/4000", "1/1025/70",
                           "1/1023/80",         "1/1024/3",   "1/1011/10",   "1/1027/200",
                           "1/1026/20",         "2/1053/(o)", "2/1055/(o)"};
        QTest::newRow("block 5: pin word 0xFFFF")
            << 5 << Bytes({0xFF, 0xFF, 0x0A, 0x85, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 12})
            << QStringList{"4/1043/128:A_CAN_ID",
                           "4/1046/[x]",
                           "4/1181/[x]",
                           "4/1182/[x]",
                           "4/1073/6:拨动三档 high_speed_switch",
                           "4/1183/[x]",
                           "4/1184/[ ]",
                           "4/1185/[x]"}
            << QStringList{"4/1053/( )", "4/1051/( )", "4/1052/( )",
                           "4/1077/( )", "4/1075/(o)", "4/1076/( )"};
        QTest::newRow("block 6: D mode")
            << 6 << Bytes({0x04, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x9A})
            << QStringList{"4/1115/6:拨动三档 high_speed_switch", "4/1216/[ ]"}
            << QStringList{"4/1119/( )", "4/1117/( )", "4/1118/(o)"};
        QTest::newRow("block 7: throttle 0/76/255/230")
            << 7 << Bytes({0, 76, 255, 230, 10, 20, 0x01, 0x00, 0x00, 0x80, 1, 2, 3, 4, 5, 6, 7})
            << QStringList{}
            << QStringList{"0/1023/0.02", "0/1024/1.65", "0/1019/5.52", "0/1025/4.98",
                           "0/1028/10",   "0/1027/20",   "0/1020/256",  "0/1026/128"};
    }

    // Lists and boxes change with the frame; fields and radio choices wait for the refresh.
    void decodedBlockShowsOnThePages() {
        QFETCH(int, block);
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, atOnce);
        QFETCH(QStringList, atRefresh);
        Fixture f;
        QList<QString> before;
        for (const Expected& e : Parse(atRefresh)) {
            before << f.Shown(e.page, e.id);
        }

        f.Receive(block, bytes);
        for (const Expected& e : Parse(atOnce)) {
            QCOMPARE(f.Shown(e.page, e.id), e.text);
        }
        int i = 0;
        for (const Expected& e : Parse(atRefresh)) {
            QCOMPARE(f.Shown(e.page, e.id), before[i++]);
        }

        f.window->Parameters().Refresh();
        for (const Expected& e : Parse(atOnce) + Parse(atRefresh)) {
            QCOMPARE(f.Shown(e.page, e.id), e.text);
        }
        QVERIFY(f.prompts.messages.isEmpty());
    }

    // A read sends seven frames before the first refresh: each frame starts from the set the
    // pages hold, so the fields of the earlier frames must not fall back to the controls'.
    void wholeReadSurvivesUntilTheRefresh() {
        Fixture f;
        f.Receive(2, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF7, 0, 0, 0, 0, 0}));
        f.Receive(3, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0, 0, 0, 0}));
        f.Receive(5, Bytes({0x04, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        f.Receive(7, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
        // The set the window holds (the throttle range, the next write) before the refresh.
        const ParameterValues held = f.window->CurrentParameterValues();
        QCOMPARE(held.m_page1.m_defaultGear, 1);
        QCOMPARE(held.m_page3.m_motorType, 1);
        QCOMPARE(held.m_page3.m_direction, 1);
        QCOMPARE(held.m_portPage.m_pins[0].m_pinMode, 2);
        QCOMPARE(held.m_page0.m_throttleStart, 0.02f);
        f.window->Parameters().Refresh();
        QCOMPARE(f.Shown(1, 1053), QStringLiteral("(o)"));  // default gear 1 from block 2
        QCOMPARE(f.Shown(1, 1041), QStringLiteral("(o)"));  // three-speed mode from block 2
        QCOMPARE(f.Shown(2, 1040), QStringLiteral("(o)"));  // motor type from block 2
        QCOMPARE(f.Shown(2, 1039), QStringLiteral("(o)"));  // direction from block 3
        QCOMPARE(f.Shown(4, 1052), QStringLiteral("(o)"));  // pin 0 mode D from block 5
        QCOMPARE(f.Shown(0, 1023), QStringLiteral("0.02"));
    }

    // A block outside 1..7 touches nothing.
    void blockNumberOutsideTheSetChangesNothing() {
        Fixture f;
        const ParameterValues before = f.window->CurrentParameterValues();
        f.Receive(8, Bytes({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}));
        f.window->Parameters().Refresh();
        QVERIFY(f.window->CurrentParameterValues() == before);
    }

    // The pages read back what they show: edits, lists, boxes, radios and pins.
    void readTakesWhatThePagesShow() {
        Fixture f;
        Cpage0& page0 = f.window->Page0();
        page0.Controls().SetText(1009, QStringLiteral("70.5"));
        page0.m_voltageCombo->setCurrentIndex(3);
        f.window->Page1().Controls().SetText(1020, QStringLiteral("3200"));
        f.window->Page1().m_hillHoldCheck->setChecked(true);
        f.window->Page3().Controls().CheckRadio(1056, 1);
        f.window->Page6().FunctionBox(2)->setCurrentIndex(9);
        f.window->Page6().Controls().CheckRadio(1083, 2);

        ParameterValues values;
        QVERIFY(f.window->Parameters().Read(values));
        QCOMPARE(values.m_page0.m_overVoltage, 70.5f);
        QCOMPARE(values.m_page0.m_voltageIndex, 3);
        QCOMPARE(values.m_page1.m_maxRpm, 3200u);
        QVERIFY(values.m_page1.m_hillHoldCheck);
        QCOMPARE(values.m_page3.m_outputType, 1);
        QCOMPARE(values.m_page3.m_controllerTempProtect, 444u);
        QCOMPARE(values.m_page3.m_polePairs, 4u);
        QCOMPARE(values.m_portPage.m_pins[2].m_functionIndex, 9);
        QCOMPARE(values.m_portPage.m_pins[2].m_pinMode, 2);
    }

    void readStopsAtTheFailingPage_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::newRow("page 1 hysteresis 7") << 0 << 1012 << QStringLiteral("7");
        QTest::newRow("page 2 emptied edit") << 1 << 1009 << QString();
        QTest::newRow("page 3 push assist 150") << 2 << 1011 << QStringLiteral("150");
    }

    // One message; the pages after the failing one keep their fields.
    void readStopsAtTheFailingPage() {
        QFETCH(int, page);
        QFETCH(int, id);
        QFETCH(QString, text);
        Fixture f;
        f.window->PageAt(page).Controls().SetText(id, text);
        f.window->Page6().Controls().CheckRadio(1053, 1);  // pin 0 "U" on screen, F in its field

        ParameterValues values;
        QVERIFY(!f.window->Parameters().Read(values));
        QCOMPARE(f.prompts.messages.size(), 1);
        QCOMPARE(f.window->Page6().m_pinMode[0], 0);
    }
};

QTEST_MAIN(ParameterPagesTest)
#include "parameter_pages_test.moc"
