// The port settings page: sixteen pin frames with their exact ids, the function lists the main
// window fills, pin words composed from the controls and written back into them, and the
// width of an opened function list.

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QRadioButton>
#include <QtTest>
#include <memory>

#include "core/params/parameter_codec.h"
#include "core/params/port_function_names.h"
#include "gui_test_support.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/cpage6.h"

namespace {

struct PinIds {
    const char* caption;
    int io, sw, la, f, u, d, box;
};

// The ids as the controller's pin order fixes them; written out here, not taken from the code.
constexpr PinIds kPinIds[16] = {
    {"PD0", 1046, 1181, 1182, 1053, 1051, 1052, 1043},
    {"JTCK", 1183, 1184, 1185, 1077, 1075, 1076, 1073},
    {"SWD", 1189, 1190, 1191, 1083, 1081, 1082, 1079},
    {"PA11", 1186, 1187, 1188, 1089, 1087, 1088, 1085},
    {"PB3", 1192, 1193, 1194, 1095, 1093, 1094, 1091},
    {"PD1", 1195, 1196, 1197, 1101, 1099, 1100, 1097},
    {"PA12", 1201, 1202, 1203, 1107, 1105, 1106, 1103},
    {"PC15", 1198, 1199, 1200, 1113, 1111, 1112, 1109},
    {"PA0", 1216, 1217, 1218, 1119, 1117, 1118, 1115},
    {"PB9", 1219, 1220, 1221, 1125, 1123, 1124, 1121},
    {"PB4", 1225, 1226, 1227, 1131, 1129, 1130, 1127},
    {"PA15", 1222, 1223, 1224, 1137, 1135, 1136, 1133},
    {"PB2", 1228, 1229, 1230, 1143, 1141, 1142, 1139},
    {"PC14", 1231, 1232, 1233, 1149, 1147, 1148, 1145},
    {"PB5", 1234, 1235, 1236, 1155, 1153, 1154, 1151},
    {"PD15(empty)", 1241, 1242, 1243, 1237, 1238, 1239, 1240},
};

// The page as the main window leaves it after its initialisation.
struct WindowFixture {
    WindowFixture() {
        window = std::make_unique<CTarvikDlg>(*temp.settings, keys);
        window->OnInitDialog();
    }
    Cpage6& Page() const { return window->Page6(); }

    RecordingPrompts prompts;
    TempSettings temp;
    HeldKeys keys;
    std::unique_ptr<CTarvikDlg> window;
};

QGroupBox* FrameWithCaption(const Cpage6& page, const QString& caption) {
    for (QGroupBox* frame : page.findChildren<QGroupBox*>()) {
        if (frame->title() == caption) {
            return frame;
        }
    }
    return nullptr;
}

}  // namespace

class PortPageTest : public QObject {
    Q_OBJECT

private slots:
    void pinControls_data() {
        QTest::addColumn<int>("pin");
        for (int pin = 0; pin < 16; ++pin) {
            QTest::newRow(kPinIds[pin].caption) << pin;
        }
    }
    void pinControls() {
        QFETCH(int, pin);
        const PinIds& ids = kPinIds[pin];
        Cpage6 page(UiLanguage::Chinese);
        QGroupBox* frame = FrameWithCaption(page, QString::fromLatin1(ids.caption));
        QVERIFY(frame != nullptr);
        QVERIFY(!frame->isHidden());
        QVERIFY(QRect(QPoint(0, 0), page.size()).contains(frame->geometry()));
        // Four rows of four, in pin order.
        if (pin % 4 != 0) {
            QGroupBox* left = FrameWithCaption(page, QString::fromLatin1(kPinIds[pin - 1].caption));
            QCOMPARE(left->y(), frame->y());
            QVERIFY(left->geometry().right() < frame->x());
        }
        if (pin >= 4) {
            QGroupBox* above =
                FrameWithCaption(page, QString::fromLatin1(kPinIds[pin - 4].caption));
            QCOMPARE(above->x(), frame->x());
            QVERIFY(above->geometry().bottom() < frame->y());
        }
        const struct {
            int id;
            const char* caption;
        } checks[] = {{ids.io, "IO"}, {ids.sw, "SW"}, {ids.la, "LA"}},
          radios[] = {{ids.f, "F"}, {ids.u, "U"}, {ids.d, "D"}};
        int checkLine = -1;
        for (const auto& check : checks) {
            auto* box = page.Item<QCheckBox>(check.id);
            QVERIFY2(box != nullptr, qPrintable(QString::number(check.id)));
            QCOMPARE(box->text(), QString::fromLatin1(check.caption));
            QVERIFY(frame->geometry().contains(box->geometry()));
            QVERIFY(box->sizeHint().width() <= box->width());
            QCOMPARE(box->font().pointSizeF(), page.font().pointSizeF());
            checkLine = box->y();
        }
        int radioLine = -1;
        for (const auto& radio : radios) {
            auto* button = page.Item<QRadioButton>(radio.id);
            QVERIFY2(button != nullptr, qPrintable(QString::number(radio.id)));
            QCOMPARE(button->text(), QString::fromLatin1(radio.caption));
            QVERIFY(frame->geometry().contains(button->geometry()));
            QVERIFY(button->sizeHint().width() <= button->width());
            QCOMPARE(button->font().pointSizeF(), page.font().pointSizeF());
            radioLine = button->y();
        }
        QCOMPARE(page.Controls().RadioGroup(ids.f), (QList<int>{ids.f, ids.u, ids.d}));
        auto* box = page.Item<QComboBox>(ids.box);
        QVERIFY(box != nullptr);
        QVERIFY(frame->geometry().contains(box->geometry()));
        QVERIFY(checkLine < radioLine && radioLine < box->y());
        // Pick-only, so a typed-over box cannot stand for function code 127.
        QVERIFY(!box->isEditable());
        QCOMPARE(page.FunctionBox(pin), box);
        QCOMPARE(page.IoCheck(pin), page.Item<QCheckBox>(ids.io));
        QCOMPARE(page.SwCheck(pin), page.Item<QCheckBox>(ids.sw));
        QCOMPARE(page.LaCheck(pin), page.Item<QCheckBox>(ids.la));
    }

    // After the main window's initialisation: 128 names in code order in every box, item 0
    // selected, nothing checked, mode "F", so every pin word is 0.
    void startState() {
        WindowFixture f;
        Cpage6& page = f.Page();
        for (int pin = 0; pin < 16; ++pin) {
            QComboBox* box = page.FunctionBox(pin);
            QCOMPARE(box->count(), 128);
            QCOMPARE(box->currentIndex(), 0);
            QCOMPARE(box->currentText(), QStringLiteral("1:空 empty"));
            QCOMPARE(box->itemText(1), QStringLiteral("2:拨动一档 low_speed_switch "));
            QCOMPARE(box->itemText(127), QStringLiteral("128:A_CAN_ID"));
            QVERIFY(page.Item<QRadioButton>(kPinIds[pin].f)->isChecked());
            QVERIFY(!page.IoCheck(pin)->isChecked());
            QVERIFY(!page.SwCheck(pin)->isChecked());
            QVERIFY(!page.LaCheck(pin)->isChecked());
            QCOMPARE(page.PinWord(pin), std::uint16_t{0});
        }
        QVERIFY(page.Tips().Controls().isEmpty());
        QVERIFY(f.prompts.messages.isEmpty());
    }

    // The user sets a pin's controls; after the exchange its word is what the encoder of the
    // core writes for the same controls.
    void pinWordFromControls_data() {
        QTest::addColumn<int>("pin");
        QTest::addColumn<int>("function");
        QTest::addColumn<bool>("io");
        QTest::addColumn<bool>("sw");
        QTest::addColumn<int>("mode");  // button index: 0 F, 1 U, 2 D
        QTest::addColumn<bool>("la");
        QTest::addColumn<int>("word");
        QTest::newRow("6:high_speed_switch IO U LA")
            << 0 << 5 << true << false << 1 << true << 0x0A85;
        QTest::newRow("nothing set") << 3 << 0 << false << false << 0 << false << 0x0000;
        QTest::newRow("SW alone") << 7 << 0 << false << true << 0 << false << 0x0100;
        QTest::newRow("D and last function, second block")
            << 15 << 127 << false << false << 2 << false << 0x047F;
        QTest::newRow("everything") << 8 << 127 << true << true << 2 << true << 0x0DFF;
    }
    void pinWordFromControls() {
        QFETCH(int, pin);
        QFETCH(int, function);
        QFETCH(bool, io);
        QFETCH(bool, sw);
        QFETCH(int, mode);
        QFETCH(bool, la);
        QFETCH(int, word);
        WindowFixture f;
        Cpage6& page = f.Page();
        page.show();
        const PinIds& ids = kPinIds[pin];
        page.FunctionBox(pin)->setCurrentIndex(function);
        for (const auto& [id, on] : {std::pair{ids.io, io}, {ids.sw, sw}, {ids.la, la}}) {
            if (on) {
                QTest::mouseClick(page.Item<QCheckBox>(id), Qt::LeftButton);
            }
        }
        QTest::mouseClick(page.Item<QRadioButton>(QList<int>{ids.f, ids.u, ids.d}[mode]),
                          Qt::LeftButton);
        // Box and checks count at once, the mode only from the exchange on.
        QCOMPARE(page.PinWord(pin), std::uint16_t(word & ~0x0600));
        QVERIFY(page.UpdateData(true));
        QCOMPARE(page.m_pinMode[pin], mode);
        QCOMPARE(page.PinWord(pin), std::uint16_t(word));

        ParameterValues values;
        for (int p = 0; p < 16; ++p) {
            values.m_portPage.m_pins[p] = page.PinState(p);
        }
        CommandFrame frame{};
        EncodeParameterBlock(pin < 8 ? 5 : 6, values, frame);
        const int at = 5 + 2 * (pin % 8);
        QCOMPARE(frame[at] << 8 | frame[at + 1], word);
    }

    // A received word sets the box and the checks at once, the mode at the next exchange
    // into the controls; it goes back as the word without its top four bits.
    void pinWordIntoControls_data() {
        QTest::addColumn<int>("word");
        QTest::addColumn<QString>("function");
        QTest::addColumn<bool>("io");
        QTest::addColumn<bool>("sw");
        QTest::addColumn<bool>("la");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("checkedRadio");  // -1: none
        QTest::addColumn<int>("back");
        QTest::newRow("all ones") << 0xFFFF << "128:A_CAN_ID" << true << true << true << 3 << -1
                                  << 0x0FFF;
        QTest::newRow("IO U LA") << 0x0A85 << "6:拨动三档 high_speed_switch" << true << false
                                 << true << 1 << 1 << 0x0A85;
        QTest::newRow("D only") << 0x0400 << "1:空 empty" << false << false << false << 2 << 2
                                << 0x0400;
        QTest::newRow("top bits dropped") << 0xF00A << "11:一线通 single_wire_communication"
                                          << false << false << false << 0 << 0 << 0x000A;
    }
    void pinWordIntoControls() {
        QFETCH(int, word);
        QFETCH(QString, function);
        QFETCH(bool, io);
        QFETCH(bool, sw);
        QFETCH(bool, la);
        QFETCH(int, mode);
        QFETCH(int, checkedRadio);
        QFETCH(int, back);
        WindowFixture f;
        Cpage6& page = f.Page();
        const int pin = 9;
        const PinIds& ids = kPinIds[pin];
        page.SetPinWord(pin, static_cast<std::uint16_t>(word));
        QCOMPARE(page.FunctionBox(pin)->currentText(), function);
        QCOMPARE(page.IoCheck(pin)->isChecked(), io);
        QCOMPARE(page.SwCheck(pin)->isChecked(), sw);
        QCOMPARE(page.LaCheck(pin)->isChecked(), la);
        QCOMPARE(page.m_pinMode[pin], mode);
        QVERIFY(page.Item<QRadioButton>(ids.f)->isChecked());  // not yet exchanged
        page.UpdateData(false);
        QCOMPARE(page.Controls().CheckedRadio(ids.f), checkedRadio);
        QCOMPARE(page.PinWord(pin), std::uint16_t(back));
        // The neighbours keep their zero words.
        QCOMPARE(page.PinWord(pin - 1), std::uint16_t{0});
        QCOMPARE(page.PinWord(pin + 1), std::uint16_t{0});
        // No radio checked reads back as -1, which the word carries as mode 3.
        QVERIFY(page.UpdateData(true));
        QCOMPARE(page.m_pinMode[pin], checkedRadio);
        QCOMPARE(page.PinWord(pin), std::uint16_t(checkedRadio == -1 ? 0x0FFF : back));
    }

    // A box that lost its selection writes code 127, exactly as the encoder does.
    void noSelectionIsCode127() {
        WindowFixture f;
        Cpage6& page = f.Page();
        page.FunctionBox(2)->setCurrentIndex(-1);
        QCOMPARE(page.PinWord(2), std::uint16_t{0x007F});
        QCOMPARE(page.PinState(2).m_functionIndex, -1);
    }

    // The opened list is as wide as its widest entry in the page's font plus 45 pixels; an
    // empty list still gets 55.
    void droppedWidth() {
        Cpage6 page(UiLanguage::Chinese);
        page.show();
        QComboBox* empty = page.FunctionBox(4);
        QTest::mouseClick(empty, Qt::LeftButton);
        QCOMPARE(empty->view()->minimumWidth(), 55);
        empty->hidePopup();

        page.FillFunctionLists();
        const QFontMetrics metrics(page.font());
        int widest = 0;
        for (std::string_view name : PortFunctionNames()) {
            widest = std::max(widest, metrics.horizontalAdvance(QString::fromUtf8(
                                          name.data(), static_cast<qsizetype>(name.size()))));
        }
        QComboBox* box = page.FunctionBox(15);
        QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(box->view()->minimumWidth(), widest + 45);
        QTRY_VERIFY(box->view()->isVisible());
        QVERIFY(box->view()->window()->width() >= widest + 45);
        box->hidePopup();
        // The other boxes are measured when they open, each on its own.
        QCOMPARE(page.FunctionBox(14)->view()->minimumWidth(), 0);
        QTest::keyClick(page.FunctionBox(14), Qt::Key_F4);
        QCOMPARE(page.FunctionBox(14)->view()->minimumWidth(), widest + 45);
        page.FunctionBox(14)->hidePopup();
    }
};

QTEST_MAIN(PortPageTest)
#include "port_page_test.moc"
