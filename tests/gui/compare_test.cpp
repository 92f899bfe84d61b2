// Compare before writing: each changed value on the pages and the main window is listed with
// its place, its caption in the UI language and both values as the controls show them; an
// unchanged set lists nothing; without a reference the dialog says so; a parameter file can be
// the reference; a field that does not read stops the command.

#include <QAbstractButton>
#include <QComboBox>
#include <QtTest>
#include <array>
#include <memory>

#include "core/params/param_state.h"
#include "core/params/parameter_fields.h"
#include "gui_test_support.h"
#include "link/controller_link.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/compare_dialog.h"
#include "pages/cpage0.h"
#include "pages/cpage1.h"
#include "pages/cpage3.h"
#include "pages/cpage6.h"
#include "pages/parameter_files.h"
#include "pages/parameter_pages.h"

namespace {

constexpr std::array<BlockBytes, 7> kRead{{
    {20, 0x21, 0x02, 0x60, 0x01, 0xC2, 10, 0, 30, 0x01, 0x2C, 0xFF, 0x9C, 0, 0, 0, 0},
    {0x00, 0x64, 30, 60, 100, 0x01, 0x00, 0x00, 0x05, 0x00, 0x32, 0xB5, 80, 16, 5, 7, 15},
    {0xFF, 0x9C, 90, 100, 110, 0x00, 0x55, 0x00, 0x03, 0x00, 0x02, 40, 0xF8, 8, 20, 123, 5},
    {0x7B, 0x40, 0x00, 0x00, 0x64, 0x0F, 0xA0, 70, 80, 3, 0x00, 0x0A, 0x00, 0xC8, 0x00, 0x14, 0},
    {0x0F, 0xFF, 0x0A, 0x85, 0, 0, 0x02, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0x04, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x7F, 0},
    {0, 76, 255, 230, 10, 20, 0x01, 0x00, 0x00, 0x80, 1, 2, 3, 4, 5, 6, 7},
}};

// A window after a read and its refresh; the reference is the set it then holds.
struct Fixture {
    explicit Fixture(UiLanguage language = UiLanguage::Chinese) {
        SetUiLanguage(language);
        ResetParameterState();
        window = std::make_unique<CTarvikDlg>(*temp.settings, keys);
        window->OnInitDialog();
        files = std::make_unique<ParameterFiles>(
            window->Parameters(), *window,
            [this](MainWindowValues& values) { return window->ReadMainWindow(values); });
        for (int block = 1; block <= 7; ++block) {
            emit window->LinkToController().parameterBlockReceived(
                block, kRead[static_cast<std::size_t>(block - 1)]);
        }
        window->Parameters().Refresh();
        reference = window->CurrentParameterValues();
    }

    // One value changed on each page and on the main window.
    void ChangeOnEveryPage() {
        window->Page0().Controls().SetText(1009, QStringLiteral("70"));
        window->Page0().m_voltageCombo->setCurrentIndex(3);
        window->Page1().Item<QAbstractButton>(1043)->setChecked(false);
        window->Page1().Controls().CheckRadio(1044, 2);
        window->Page3().Controls().SetText(1009, QStringLiteral("30"));
        window->Page3().Controls().CheckRadio(1047, 0);
        window->Page6().FunctionBox(1)->setCurrentIndex(7);
        window->Controls().SetText(1010, QStringLiteral("4660"));
    }

    RecordingPrompts prompts;
    TempSettings temp;
    HeldKeys keys;
    std::unique_ptr<CTarvikDlg> window;
    std::unique_ptr<ParameterFiles> files;
    ParameterValues reference;
};

}  // namespace

class CompareTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetUiLanguage(UiLanguage::Chinese); }

    void changedFieldOnEveryPageIsListed_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::newRow("zh") << int(UiLanguage::Chinese)
                            << QList<QStringList>{
                                   {"设置页面1", "电池电压(V)", "60V", "84V"},
                                   {"设置页面1", "过压(V)", "60.8", "70"},
                                   {"设置页面2", "限速使能", "选中", "未选中"},
                                   {"设置页面2", "三速默认档位", "中速", "高速"},
                                   {"设置页面3", "霍尔相移角(度)", "-100", "30"},
                                   {"设置页面3", "电机类型", "V型", "表贴"},
                                   {"端口设置", "JTCK", "6:拨动三档 high_speed_switch / IO LA / U",
                                    "8:防盗 stealavoid / IO LA / U"},
                                   {"主窗口", "电压标定值", "0", "4660"},
                               };
        QTest::newRow("en") << int(UiLanguage::English)
                            << QList<QStringList>{
                                   {"PAGE1", "Battery Voltage(V)", "60V", "84V"},
                                   {"PAGE1", "Overvoltage(V)", "60.8", "70"},
                                   {"PAGE2", "Speed limited enable", "checked", "clear"},
                                   {"PAGE2", "Three speed detauilt gear", "Mid", "Hige"},
                                   {"PAGE3", "Hall shift Angle", "-100", "30"},
                                   {"PAGE3", "Motor type", "V-type", "surface-mount"},
                                   {"Port Settings", "JTCK",
                                    "6:拨动三档 high_speed_switch / IO LA / U",
                                    "8:防盗 stealavoid / IO LA / U"},
                                   {"main window", "vol cal", "0", "4660"},
                               };
    }

    void changedFieldOnEveryPageIsListed() {
        QFETCH(int, language);
        QFETCH(QList<QStringList>, rows);
        Fixture f(static_cast<UiLanguage>(language));
        f.ChangeOnEveryPage();
        CompareDialog* dialog = f.files->Compare(f.reference);
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->Rows(), rows);
        QCOMPARE(dialog->Note(), static_cast<UiLanguage>(language) == UiLanguage::Chinese
                                     ? QStringLiteral("8 项不同。")
                                     : QStringLiteral("8 differences."));
        QVERIFY(f.prompts.messages.isEmpty());
    }

    // Each caption comes from the label, box or frame of the field's control, not the core's
    // English name.
    void everyFieldHasItsWindowsCaption() {
        Fixture f;
        for (const ParameterField& field : ParameterFields()) {
            const QString caption = FieldCaption(f.window->Parameters(), *f.window, field.m_id);
            QVERIFY2(!caption.isEmpty() &&
                         caption != QString::fromUtf8(field.m_name.data(), field.m_name.size()),
                     field.m_name.data());
        }
    }

    void unchangedSetListsNothing() {
        Fixture f;
        CompareDialog* dialog = f.files->Compare(f.reference);
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->Rows().isEmpty());
        QCOMPARE(dialog->Note(), QStringLiteral("没有差异。"));
    }

    void oneDifferenceIsCountedInTheSingular() {
        Fixture f(UiLanguage::English);
        f.window->Page0().Controls().SetText(1009, QStringLiteral("70"));
        CompareDialog* dialog = f.files->Compare(f.reference);
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->Rows().size(), 1);
        QCOMPARE(dialog->Note(), QStringLiteral("1 difference."));
    }

    void withoutReferenceSaysSo() {
        Fixture f(UiLanguage::English);
        f.ChangeOnEveryPage();
        CompareDialog* dialog = f.files->Compare(std::nullopt);
        QVERIFY(dialog != nullptr);
        QVERIFY(dialog->Rows().isEmpty());
        QCOMPARE(dialog->Note(),
                 QStringLiteral(
                     "No reference yet: read the controller or import a parameter file first."));
    }

    // The set as saved is the reference; only what changed since is listed.
    void parameterFileAsReference() {
        Fixture f;
        const QString path = f.temp.dir.filePath(QStringLiteral("batch.ini"));
        f.prompts.saveAnswer = path;
        QVERIFY(f.files->Save());
        f.window->Page1().Controls().SetText(1020, QStringLiteral("3900"));

        f.prompts.openAnswer = path;
        CompareDialog* dialog = f.files->CompareWithFile();
        QVERIFY(dialog != nullptr);
        QCOMPARE(dialog->Rows(),
                 (QList<QStringList>{{"设置页面2", "最高速度限制RPM", "4000", "3900"}}));
        QCOMPARE(dialog->Note(), QStringLiteral("1 项不同。"));
        QVERIFY(f.prompts.messages.isEmpty());
    }

    // The read stops at the field with its one message; no dialog, no file asked for.
    void fieldThatDoesNotReadStopsTheCompare() {
        Fixture f;
        f.window->Page1().Controls().SetText(1009, QString());
        QCOMPARE(f.files->Compare(f.reference), nullptr);
        QCOMPARE(f.files->CompareWithFile(), nullptr);
        QCOMPARE(f.prompts.messages.size(), 2);
        QVERIFY(f.prompts.fileFilters.isEmpty());
        QVERIFY(f.window->findChildren<CompareDialog*>().isEmpty());
    }
};

QTEST_MAIN(CompareTest)
#include "compare_test.moc"
