// The main window's shell: its controls in both languages, the initial state, the fold, tabs,
// the check value colour, its exchange, the key filter, the tips, the display page and About.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSlider>
#include <QStyleOption>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/string_table.h"
#include "gui_test_support.h"
#include "link/controller_link.h"
#include "mainwindow/about_dlg.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/cpage0.h"
#include "pages/cpage3.h"
#include "pages/cpage5.h"
#include "ui/controls.h"
#include "ui/file_folders.h"
#include "ui/prompts.h"

namespace {

// A main window after its initialisation, with recorded prompts and held keys.
struct Fixture {
    explicit Fixture(UiLanguage language, int firstGenCable = 0) {
        SetUiLanguage(language);
        temp.settings->SetFirstGenCable(firstGenCable);
        window = std::make_unique<CTarvikDlg>(*temp.settings, keys);
        window->OnInitDialog();
    }
    QString Text(int id) const { return window->Controls().Text(id); }
    bool Shown(int id) const {
        QWidget* control = window->Controls().Control(id);
        return control != nullptr && !control->isHidden();
    }

    RecordingPrompts prompts;
    TempSettings temp;
    HeldKeys keys;
    std::unique_ptr<CTarvikDlg> window;
};

// What a check box draws: its indicator and its caption's text.
QRect DrawnPart(const QCheckBox& box) {
    QStyleOptionButton option;
    option.initFrom(&box);
    option.text = box.text();
    const QStyle* style = box.style();
    const QRect indicator = style->subElementRect(QStyle::SE_CheckBoxIndicator, &option, &box);
    const QRect contents = style->subElementRect(QStyle::SE_CheckBoxContents, &option, &box);
    const QRect text = style->itemTextRect(box.fontMetrics(), contents,
                                           Qt::AlignLeft | Qt::AlignVCenter, true, box.text());
    return indicator.united(text).translated(box.pos());
}

void SendKey(QWidget* target, Qt::Key key, const QString& text = QString()) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetUiLanguage(UiLanguage::Chinese); }

    void captionsAndVisibility_data() {
        QTest::addColumn<bool>("english");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("shown");
        const auto row = [](const char* name, bool english, int id, const char* caption,
                            bool shown) {
            QTest::newRow(name) << english << id << QString::fromUtf8(caption) << shown;
        };
        row("zh open", false, 1032, "打开串口", true);
        row("en open", true, 1032, "OPEN", true);
        row("zh connect", false, 1033, "连接控制器", true);
        row("en connect keeps its spelling", true, 1033, "Conect", true);
        row("en param write", true, 1036, "Param write", true);
        row("en import", true, 1063, "import prarm", true);
        row("en save", true, 1064, "save prarm", true);
        row("en switch with its blank", true, 1181, "Switch ", true);
        row("zh switch", false, 1181, "切换显示", true);
        row("en calibration button with its blank", true, 1053, "Calibration ", false);
        row("en calibration frame", true, 1079, "Calibration", true);
        row("zh calibration frame", false, 1079, "标定", true);
        row("en panel frame", true, 1070, "comunicatin and download set", true);
        row("en mode label", true, 1083, "moden:", true);
        row("en gear L", true, 1044, "L", true);
        row("zh gear S", false, 1058, "S档", true);
        row("zh offline download", false, 1060, "脱机下载", true);
        row("en offline download hidden", true, 1060, "CLR DTC", false);
        row("zh factory restore hidden", false, 1065, "恢复出厂设置", false);
        row("en factory set hidden", true, 1067, "Factory set", false);
        row("en remote hidden", true, 1062, "Remote", false);
        row("zh restart hidden", false, 1059, "重启控制器", false);
        row("en restart hidden", true, 1059, "RESET", false);
        row("zh cable box hidden", false, 1049, "CAN", false);
        row("zh arrow", false, 1050, ">", true);
        row("zh search label hidden", false, 1028, "", false);
        row("zh throttle value", false, 1057, "0.8", true);
        row("en show err never shown", true, 1182, "show err", false);
    }
    void captionsAndVisibility() {
        QFETCH(bool, english);
        QFETCH(int, id);
        QFETCH(QString, caption);
        QFETCH(bool, shown);
        Fixture f(english ? UiLanguage::English : UiLanguage::Chinese);
        QVERIFY(f.window->Controls().Has(id));
        QCOMPARE(f.Text(id), caption);
        QCOMPARE(f.Shown(id), shown);
    }

    void templatesDifferByLanguage() {
        Fixture zh(UiLanguage::Chinese);
        Fixture en(UiLanguage::English);
        QVERIFY(zh.window->Controls().Has(1065));
        QVERIFY(!zh.window->Controls().Has(1088));
        QVERIFY(!en.window->Controls().Has(1065));
        QVERIFY(en.window->Controls().Has(1088));
        QCOMPARE(zh.window->windowTitle(), QStringLiteral("LD-Zerth-V3"));
        QVERIFY(!zh.window->windowIcon().isNull());
    }

    void languageButtonNamesTheOtherLanguage() {
        Fixture zh(UiLanguage::Chinese);
        Fixture en(UiLanguage::English);
        QCOMPARE(zh.window->Page0().Controls().Text(1029), QStringLiteral("ENGLISH"));
        QCOMPARE(en.window->Page0().Controls().Text(1029), QStringLiteral("中文"));
    }

    void initialState() {
        Fixture f(UiLanguage::English);
        QCOMPARE(f.Text(1023), QStringLiteral("12"));
        QCOMPARE(f.Text(1019), QStringLiteral("0"));
        QCOMPARE(f.Text(1022), QStringLiteral("0"));
        QCOMPARE(f.Text(1010), QStringLiteral("0"));
        QCOMPARE(f.window->Controls().CheckedRadio(1044), 0);
        auto ranges = [&](int id) { return f.window->Item<UpDown>(id); };
        QCOMPARE(ranges(1051)->Maximum(), 10000);
        QCOMPARE(ranges(1052)->Maximum(), 1000);
        QCOMPARE(ranges(1054)->Maximum(), 255);
        auto* throttle = f.window->Item<QSlider>(1061);
        QCOMPARE(throttle->minimum(), 50);
        QCOMPARE(throttle->maximum(), 440);
        QCOMPARE(throttle->tickInterval(), 1);
        auto* modes = f.window->Item<QComboBox>(1030);
        QCOMPARE(modes->count(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(modes->itemText(i),
                     StringTable::Instance().Text(107 + i, UiLanguage::English));
        }
        QCOMPARE(modes->currentIndex(), 0);
        // A mode's name longer than the box is read from its beginning.
        modes->setCurrentIndex(2);
        QCOMPARE(modes->lineEdit()->cursorPosition(), 0);
        modes->setCurrentIndex(0);
        auto* tab = f.window->Item<QTabWidget>(1034);
        QCOMPARE(tab->count(), 5);
        QCOMPARE(tab->tabText(3), QStringLiteral("Display"));
        QCOMPARE(tab->currentIndex(), 0);
        QCOMPARE(f.window->Page3().m_controllerTempProtect, 444);
        QCOMPARE(f.window->Page3().m_polePairs, 4);
        QVERIFY(f.window->Timer().isActive());
        QCOMPARE(f.window->Timer().interval(), 250);
    }

    void firstGenerationCableBoxRestored_data() {
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("checked");
        QTest::newRow("1 checks it") << 1 << true;
        QTest::newRow("0 leaves it") << 0 << false;
        QTest::newRow("only exactly 1") << 2 << false;
    }
    void firstGenerationCableBoxRestored() {
        QFETCH(int, stored);
        QFETCH(bool, checked);
        Fixture f(UiLanguage::Chinese, stored);
        QCOMPARE(f.window->Item<QAbstractButton>(1049)->isChecked(), checked);
        QVERIFY(f.window->Item<QWidget>(1049)->isHidden());
    }

    void panelFoldsAndUnfolds() {
        Fixture f(UiLanguage::Chinese);
        const int full = f.window->Controls().ClientSize().width();
        const int panel = full * CTarvikDlg::kPanelShare / CTarvikDlg::kPanelShareOf;
        QCOMPARE(f.window->PanelWidth(), panel);
        QVERIFY(f.window->PanelCollapsed());
        QCOMPARE(f.window->width(), full - panel);
        QCOMPARE(f.Text(1050), QStringLiteral(">"));

        QTest::mouseClick(f.window->Item<QLabel>(1050), Qt::LeftButton);
        QVERIFY(!f.window->PanelCollapsed());
        QCOMPARE(f.window->width(), full);
        QCOMPARE(f.Text(1050), QStringLiteral("<"));

        QTest::mouseClick(f.window->Item<QLabel>(1050), Qt::LeftButton);
        QCOMPARE(f.window->width(), full - panel);
        QCOMPARE(f.Text(1050), QStringLiteral(">"));
        // The arrow stays in view when folded.
        QVERIFY(f.window->Item<QLabel>(1050)->geometry().right() < f.window->width());
    }

    // Unfolding grows the window to the right; near the screen's right edge it moves left as
    // far as needed to stay whole on its screen, never past the screen's left edge.
    void unfoldedWindowStaysOnItsScreen_data() {
        QTest::addColumn<int>("fromRight");
        QTest::newRow("at the right edge") << 0;
        QTest::newRow("half the panel from it") << -1;
    }
    void unfoldedWindowStaysOnItsScreen() {
        QFETCH(int, fromRight);
        Fixture f(UiLanguage::English);
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        const QRect room = f.window->screen()->availableGeometry();
        const int gap = fromRight < 0 ? f.window->PanelWidth() / 2 : fromRight;
        f.window->move(room.right() + 1 - gap - f.window->frameGeometry().width(),
                       room.top() + 20);
        QTRY_COMPARE(f.window->frameGeometry().right(), room.right() - gap);
        const QRect folded = f.window->frameGeometry();

        QTest::mouseClick(f.window->Item<QLabel>(1050), Qt::LeftButton);
        QVERIFY(!f.window->PanelCollapsed());
        const QRect unfolded = f.window->frameGeometry();
        const QString where = QStringLiteral("%1..%2 on %3..%4")
                                  .arg(unfolded.left())
                                  .arg(unfolded.right())
                                  .arg(room.left())
                                  .arg(room.right());
        QVERIFY2(unfolded.width() > folded.width(), qPrintable(where));
        if (unfolded.width() <= room.width()) {
            QVERIFY2(room.contains(unfolded), qPrintable(where));
            QCOMPARE(unfolded.right(), room.right());
        } else {
            QCOMPARE(unfolded.left(), room.left());
        }
        QCOMPARE(unfolded.top(), folded.top());
    }

    // The file dialogs start in the documents folder, then in the folder last used for their
    // kind of file, kept in the settings; never in the folder the program was started from.
    // The real dialogs are built and configured as the user gets them; only the wait for the
    // user is answered here, so that no test waits on a modal dialog.
    void fileDialogsStartInTheLastFolderOfTheirKind() {
        Fixture f(UiLanguage::English);
        QTemporaryDir work;
        QTemporaryDir images;
        QVERIFY(work.isValid() && images.isValid());
        const QString image = images.filePath(QStringLiteral("controller.bin"));
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("xyz") == 3);
        file.close();

        // Answers each dialog with the next pick (empty: cancel), noting where it started.
        struct AnsweredDialogs : DialogPrompts {
            QString pick;
            QString seen;
            QFileDialog::AcceptMode mode = QFileDialog::AcceptOpen;
            QString RunFileDialog(QFileDialog& dialog) override {
                seen = QDir(dialog.directory()).absolutePath();
                mode = dialog.acceptMode();
                return pick;
            }
        } dialogs;
        struct Restore {
            Prompts* prompts;
            QString folder = QDir::currentPath();
            ~Restore() {
                SetAppPrompts(prompts);
                QDir::setCurrent(folder);
            }
        } restore{SetAppPrompts(&dialogs)};
        QVERIFY(QDir::setCurrent(work.path()));

        dialogs.pick = image;
        QTest::mouseClick(f.window->Item<QAbstractButton>(1005), Qt::LeftButton);
        QCOMPARE(dialogs.seen, QDir(DocumentsFolder()).absolutePath());
        QVERIFY(dialogs.seen != QDir(work.path()).absolutePath());
        QCOMPARE(dialogs.mode, QFileDialog::AcceptOpen);
        QCOMPARE(f.Text(1009), QDir::toNativeSeparators(image));

        dialogs.pick.clear();
        QTest::mouseClick(f.window->Item<QAbstractButton>(1005), Qt::LeftButton);
        QCOMPARE(dialogs.seen, QDir(images.path()).absolutePath());
        QCOMPARE(f.Text(1009), QDir::toNativeSeparators(image));  // a cancel keeps the choice
        // Another kind of file keeps its own folder.
        f.window->OnImportConfigClicked();
        QCOMPARE(dialogs.seen, QDir(DocumentsFolder()).absolutePath());

        // Kept for the next run.
        ProfileSettings again(f.temp.settings->FilePath());
        QCOMPARE(FileFolders(again).StartFolder(FileKind::kProgramImage),
                 QDir::toNativeSeparators(images.path()));
    }

    void tabSwitchShowsOnlyItsPage() {
        Fixture f(UiLanguage::Chinese);
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        auto* tab = f.window->Item<QTabWidget>(1034);
        for (int selected = 0; selected < 5; ++selected) {
            tab->setCurrentIndex(selected);
            for (int page = 0; page < 5; ++page) {
                QCOMPARE(f.window->PageAt(page).isVisible(), page == selected);
            }
        }
    }

    void checkValueColour_data() {
        QTest::addColumn<QString>("compare");
        QTest::addColumn<QString>("current");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("both empty") << ""
                                    << "" << QColor(0, 255, 0);
        QTest::newRow("equal") << "A1B2"
                               << "A1B2" << QColor(0, 255, 0);
        QTest::newRow("case differs") << "a1b2"
                                      << "A1B2" << QColor(255, 0, 0);
        QTest::newRow("differ") << "1234"
                                << "1235" << QColor(255, 0, 0);
        QTest::newRow("compare empty") << ""
                                       << "1235" << QColor(255, 0, 0);
    }
    void checkValueColour() {
        QFETCH(QString, compare);
        QFETCH(QString, current);
        QFETCH(QColor, colour);
        Fixture f(UiLanguage::Chinese);
        f.window->Controls().SetText(1016, current);
        f.window->Controls().SetText(1013, compare);
        QCOMPARE(f.window->Item<QLineEdit>(1016)->palette().color(QPalette::Text), colour);
    }

    void exchangeStopsAtAnEmptiedCalibrationValue() {
        Fixture f(UiLanguage::English);
        f.window->m_autoDelay = 99;
        f.window->Controls().SetText(1019, QStringLiteral("5"));
        f.window->Controls().SetText(1010, QString());
        f.window->Controls().SetText(1023, QStringLiteral("30"));
        QVERIFY(!f.window->UpdateData(true));
        QCOMPARE(f.prompts.messages, QStringList{"Enter a positive integer."});
        QCOMPARE(f.window->m_successCount, 5u);
        QCOMPARE(f.window->m_autoDelay, 99u);  // after 1010: not read
    }

    // A download with the port closed is refused before the controls are written from the
    // fields: what was typed and not yet read stays.
    void downloadWithThePortClosedKeepsTypedText() {
        Fixture f(UiLanguage::English);
        const QList<std::pair<int, QString>> typed = {{1010, "4321"}, {1011, "77"}, {1012, "9"},
                                                      {1019, "15"},   {1022, "3"},  {1023, "30"}};
        for (const auto& [id, text] : typed) {
            auto* edit = f.window->Item<QLineEdit>(id);
            edit->clear();
            QTest::keyClicks(edit, text);
        }
        QTest::mouseClick(f.window->Item<QAbstractButton>(1006), Qt::LeftButton);
        QCOMPARE(f.prompts.messages, QStringList{Tr(120)});
        for (const auto& [id, text] : typed) {
            QCOMPARE(f.Text(id), text);
        }
    }

    // The calibration edits take digits only as typed input, also once the program has put a
    // fraction there.
    void calibrationEditsStayFilteredAfterAFraction() {
        Fixture f(UiLanguage::English);
        for (int id : {1010, 1011, 1012}) {
            f.window->Controls().SetText(id, QStringLiteral("49.5"));
            auto* edit = f.window->Item<QLineEdit>(id);
            edit->setCursorPosition(0);
            QTest::keyClicks(edit, QStringLiteral("-"));
            edit->end(false);
            QTest::keyClicks(edit, QStringLiteral(".x-"));
            QCOMPARE(edit->text(), QStringLiteral("49.5"));
            QTest::keyClicks(edit, QStringLiteral("3"));
            QCOMPARE(edit->text(), QStringLiteral("49.53"));
        }
    }

    void exchangeRefusesARadioGroupWithNothingChecked_data() {
        QTest::addColumn<int>("group");
        QTest::addColumn<QString>("message");
        QTest::newRow("node") << 1038 << "Enter an integer between 0 and 7.";
        QTest::newRow("bit rate") << 1077 << "Enter an integer between 0 and 3.";
    }
    void exchangeRefusesARadioGroupWithNothingChecked() {
        QFETCH(int, group);
        QFETCH(QString, message);
        Fixture f(UiLanguage::Chinese);
        f.window->Controls().CheckRadio(group, -1);
        QVERIFY(!f.window->UpdateData(true));
        QCOMPARE(f.prompts.messages, QStringList{message});
    }

    void escapeIsSwallowedAndEnterWrites() {
        Fixture f(UiLanguage::Chinese);
        QSignalSpy writes(f.window.get(), &CTarvikDlg::ParamWriteRequested);
        auto* edit = f.window->Item<QLineEdit>(1010);
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &escape);
        QVERIFY(escape.isAccepted());
        QCOMPARE(writes.count(), 0);
        SendKey(edit, Qt::Key_Return);
        SendKey(f.window->Item<QWidget>(1033), Qt::Key_Enter);
        QCOMPARE(writes.count(), 2);
        // Left Ctrl + left Shift + Enter only shows the arrow.
        f.keys.Hold({SideKey::LeftShift, SideKey::LeftControl});
        SendKey(edit, Qt::Key_Return);
        QCOMPARE(writes.count(), 2);
    }

    void keysInAPageAreThePagesOwn() {
        Fixture f(UiLanguage::Chinese);
        QSignalSpy writes(f.window.get(), &CTarvikDlg::ParamWriteRequested);
        f.keys.Hold({SideKey::LeftShift, SideKey::RightShift});
        f.window->Controls().SetText(1022, QStringLiteral("~"));
        // Keys start at the focus widget and travel up to the main window from there.
        f.window->show();
        f.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        f.window->Item<QTabWidget>(1034)->setCurrentIndex(3);
        QWidget* pageControl = f.window->Page5().Controls().Control(1019);
        pageControl->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), pageControl);
        SendKey(pageControl, Qt::Key_Return);
        SendKey(pageControl, Qt::Key_F12);
        SendKey(pageControl, Qt::Key_A, QStringLiteral("A"));
        QCOMPARE(writes.count(), 0);
        QVERIFY(!f.Shown(1062));
        QCOMPARE(f.Text(1022), QStringLiteral("~"));
    }

    // What each sequence reveals, and what it leaves hidden.
    void revealSequences_data() {
        QTest::addColumn<QString>("errorText");
        QTest::addColumn<QList<int>>("held");  // SideKey values
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("revealsBoth");
        QTest::addColumn<bool>("revealsTildeOnly");
        QTest::addColumn<QString>("errorTextAfter");
        const QList<int> left{int(SideKey::LeftShift)};
        const QList<int> right{int(SideKey::RightShift)};
        const QList<int> both{int(SideKey::LeftShift), int(SideKey::RightShift)};
        QTest::newRow("tilde then left shift")
            << "~" << left << int(Qt::Key_Shift) << true << true << "0";
        QTest::newRow("tilde then right shift")
            << "~" << right << int(Qt::Key_Shift) << true << true << "0";
        QTest::newRow("tilde without shift")
            << "~" << QList<int>{} << int(Qt::Key_A) << false << false << "~";
        QTest::newRow("two tildes") << "~~" << left << int(Qt::Key_Shift) << false << false << "~~";
        QTest::newRow("blank and tilde")
            << " ~" << left << int(Qt::Key_Shift) << false << false << " ~";
        QTest::newRow("F12 with both shifts")
            << "3" << both << int(Qt::Key_F12) << true << false << "3";
        QTest::newRow("F12 with one shift")
            << "3" << left << int(Qt::Key_F12) << false << false << "3";
        QTest::newRow("F12 with one shift and a tilde is no tilde sequence")
            << "~" << left << int(Qt::Key_F12) << false << false << "~";
    }
    void revealSequences() {
        QFETCH(QString, errorText);
        QFETCH(QList<int>, held);
        QFETCH(int, key);
        QFETCH(bool, revealsBoth);
        QFETCH(bool, revealsTildeOnly);
        QFETCH(QString, errorTextAfter);
        Fixture f(UiLanguage::Chinese);
        QSignalSpy cableHandler(f.window.get(), &CTarvikDlg::CanCableClickRequested);
        f.window->Controls().SetText(1022, errorText);
        for (int k : held) {
            f.keys.held.insert(k);
        }
        SendKey(f.window->Item<QWidget>(1022), Qt::Key(key));

        QCOMPARE(f.Text(1022), errorTextAfter);
        for (int id : {1062, 1053}) {
            QCOMPARE(f.Shown(id), revealsBoth);
        }
        for (int id : {1067, 1039}) {
            QVERIFY(f.window->Page0().Controls().Has(id));
            QCOMPARE(!f.window->Page0().Controls().Control(id)->isHidden(), revealsBoth);
        }
        for (int id : {1059, 1049, 1067, 1065}) {
            QCOMPARE(f.Shown(id), revealsTildeOnly);
        }
        QCOMPARE(f.Shown(1088), false);  // never, in either template
        QCOMPARE(cableHandler.count(), 0);
    }

    void tildeSequenceRunsTheCableHandlerWhenTheBoxIsChecked() {
        Fixture f(UiLanguage::English, /*firstGenCable=*/1);
        QSignalSpy cableHandler(f.window.get(), &CTarvikDlg::CanCableClickRequested);
        f.window->Controls().SetText(1022, QStringLiteral("~"));
        f.keys.Hold({SideKey::LeftShift});
        SendKey(f.window->Item<QWidget>(1022), Qt::Key_Shift);
        QCOMPARE(cableHandler.count(), 1);
        QVERIFY(!f.window->Controls().Has(1065));  // the English template has none
        QVERIFY(f.Shown(1059));
    }

    void tipsPerControlAndLanguage_data() {
        QTest::addColumn<bool>("english");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("stringId");
        QTest::newRow("zh port list") << false << 1026 << 126;
        QTest::newRow("en error counter") << true << 1022 << 134;
        QTest::newRow("zh reverse") << false << 1046 << 141;
        QTest::newRow("en lock") << true << 1048 << 142;
        QTest::newRow("en display mode") << true << 1181 << 152;
        QTest::newRow("zh delay") << false << 1023 << 179;
        QTest::newRow("zh factory restore") << false << 1065 << 144;
    }
    void tipsPerControlAndLanguage() {
        QFETCH(bool, english);
        QFETCH(int, id);
        QFETCH(int, stringId);
        const UiLanguage language = english ? UiLanguage::English : UiLanguage::Chinese;
        Fixture f(language);
        const QString text = f.window->Tips().TextFor(f.window->Controls().Control(id));
        QVERIFY(!text.isEmpty());
        QCOMPARE(text, StringTable::Instance().Text(stringId, language));
    }

    void displayPageBeforeTheFirstStatus() {
        Fixture f(UiLanguage::English);
        ControlSet& page = f.window->Page5().Controls();
        for (int id : {1009, 1010, 1011}) {
            QCOMPARE(page.Text(id), QStringLiteral("0"));
            QVERIFY(page.Item<QLineEdit>(id)->isReadOnly());
        }
        for (int id : {1012, 1013, 1014, 1019}) {
            QCOMPARE(page.Text(id), QString());
        }
        for (int id : {1012, 1013, 1014}) {
            QVERIFY(!page.Control(id)->isEnabled());
        }
        QCOMPARE(page.Text(1057), QStringLiteral("IDLE"));
        QCOMPARE(page.Text(1075), QStringLiteral("Cuttent:"));
        QCOMPARE(page.CheckedRadio(1038), 0);  // gear L
        for (int lamp : {1041, 1054, 1052, 1055, 1053, 1056}) {
            QVERIFY2(page.Item<QAbstractButton>(lamp)->isChecked(),
                     qPrintable(QString::number(lamp)));
        }
        for (const FaultBox& box : kFaultBoxes) {
            QVERIFY(page.Control(box.m_controlId)->isEnabled());
        }
        // The big digits are big.
        QVERIFY(page.Control(1009)->font().pointSize() > 20);
        const QString tip = f.window->Page5().Tips().TextFor(page.Control(1019));
        QVERIFY(tip.startsWith(QStringLiteral("0x001 E_BRAKE_ON\n0x02 OVER_CURRENT\n")));
        QVERIFY(tip.contains(QStringLiteral("\n0x8000  ICS1_ERR\n")));
    }

    // The English template has the "STAND" label; the Chinese one has no such control.
    void displayPageStandLabel() {
        const Cpage5 english(UiLanguage::English);
        QVERIFY(english.Controls().Has(1076));
        QCOMPARE(english.Controls().Text(1076), QStringLiteral("STAND"));
        QVERIFY(!english.Controls().Control(1076)->isHidden());
        const Cpage5 chinese(UiLanguage::Chinese);
        QVERIFY(!chinese.Controls().Has(1076));
    }

    // Every fault box is drawn whole: below its frame's caption and top line, inside its own
    // control, and under no other control.
    void faultBoxesAreFullyVisible_data() {
        QTest::addColumn<bool>("english");
        QTest::newRow("zh") << false;
        QTest::newRow("en") << true;
    }
    void faultBoxesAreFullyVisible() {
        QFETCH(bool, english);
        const Cpage5 page(english ? UiLanguage::English : UiLanguage::Chinese);
        auto* group = qobject_cast<QGroupBox*>(StaticWithCaption(
            page, english ? QStringLiteral("Fault display") : QStringLiteral("故障显示")));
        QVERIFY(group != nullptr);
        const QRect inside = group->contentsRect().translated(group->pos());
        for (const FaultBox& fault : kFaultBoxes) {
            const auto* box = page.Item<QCheckBox>(fault.m_controlId);
            const QRect drawn = DrawnPart(*box);
            const QString where = QStringLiteral("%1 %2: %3,%4 to %5,%6 in the frame's %7,%8 to %9")
                                      .arg(fault.m_controlId)
                                      .arg(box->text())
                                      .arg(drawn.left())
                                      .arg(drawn.top())
                                      .arg(drawn.right())
                                      .arg(drawn.bottom())
                                      .arg(inside.left())
                                      .arg(inside.top())
                                      .arg(inside.bottom());
            QVERIFY2(drawn.top() >= inside.top() && drawn.bottom() <= inside.bottom() &&
                         drawn.left() >= inside.left() && drawn.right() <= inside.right(),
                     qPrintable(where + QStringLiteral(" right %1").arg(inside.right())));
            // In the page's own font, as the other boxes: none had to be drawn smaller.
            QCOMPARE(box->font().pointSizeF(), page.font().pointSizeF());
            QVERIFY2(box->geometry().contains(drawn), qPrintable(where));
            for (const QWidget* other : page.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (other != box && other != group && !other->isHidden()) {
                    QVERIFY2(!other->geometry().intersects(drawn),
                             qPrintable(where + QStringLiteral(" under ") + other->objectName()));
                }
            }
        }
    }

    // The display page's captions are drawn in the page's font, none made smaller to fit, and
    // each label's text ends before the control to its right begins.
    void displayPageCaptionsKeepTheirFont_data() {
        QTest::addColumn<bool>("english");
        QTest::newRow("zh") << false;
        QTest::newRow("en") << true;
    }
    void displayPageCaptionsKeepTheirFont() {
        QFETCH(bool, english);
        const Cpage5 page(english ? UiLanguage::English : UiLanguage::Chinese);
        for (const QLabel* label : page.findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            if (label->isHidden() || label->text().isEmpty()) {
                continue;
            }
            QVERIFY2(label->font().pointSizeF() == page.font().pointSizeF(),
                     qPrintable(label->text()));
            // The text's line, less the pixel the template lets neighbours share.
            const QRect text(label->x() + label->contentsRect().left(),
                             label->y() + label->height() / 4,
                             label->fontMetrics().horizontalAdvance(label->text()),
                             label->height() / 2);
            for (const QWidget* other : page.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (other == label || other->isHidden() || qobject_cast<const QGroupBox*>(other)) {
                    continue;
                }
                const QRect room = text.adjusted(0, 0, 2, 0);
                QVERIFY2(!other->geometry().intersects(room),
                         qPrintable(label->text() + QStringLiteral(" touches ") +
                                    other->objectName()));
            }
        }
    }

    // The download mode list shows each mode's whole name: the box the selected one, the
    // dropped-down list every one.
    void modeListShowsWholeNames_data() {
        QTest::addColumn<bool>("english");
        QTest::newRow("zh") << false;
        QTest::newRow("en") << true;
    }
    void modeListShowsWholeNames() {
        QFETCH(bool, english);
        Fixture f(english ? UiLanguage::English : UiLanguage::Chinese);
        auto* modes = f.window->Item<QComboBox>(1030);
        QCOMPARE(modes->count(), 4);
        QStyleOptionComboBox option;
        option.initFrom(modes);
        option.editable = modes->isEditable();
        const QRect field = modes->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                           QStyle::SC_ComboBoxEditField, modes);
        for (int i = 0; i < modes->count(); ++i) {
            const int needed = modes->fontMetrics().horizontalAdvance(modes->itemText(i));
            QVERIFY2(modes->view()->minimumWidth() >= needed, qPrintable(modes->itemText(i)));
            QVERIFY2(field.width() >= needed, qPrintable(modes->itemText(i)));
        }
    }

    // Folded, no part of the right panel shows at the window's edge; unfolded, all of it.
    void foldedWindowShowsNothingOfThePanel_data() {
        QTest::addColumn<bool>("english");
        QTest::newRow("zh") << false;
        QTest::newRow("en") << true;
    }
    void foldedWindowShowsNothingOfThePanel() {
        QFETCH(bool, english);
        Fixture f(english ? UiLanguage::English : UiLanguage::Chinese);
        const auto shownPart = [](const QWidget& control) {
            return control.mask().isEmpty()
                       ? control.geometry()
                       : control.mask().boundingRect().translated(control.pos());
        };
        for (int round = 0; round < 2; ++round) {
            QVERIFY(f.window->PanelCollapsed());
            const int fold = f.window->width();
            for (const QWidget* control :
                 f.window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                const QRect shown = shownPart(*control);
                QVERIFY2(shown.right() < fold || shown.left() >= fold,
                         qPrintable(control->objectName()));
            }
            QTest::mouseClick(f.window->Item<QLabel>(1050), Qt::LeftButton);
            for (int id : {1070, 1079}) {
                const QWidget* frame = f.window->Controls().Control(id);
                QCOMPARE(shownPart(*frame), frame->geometry());
            }
            QTest::mouseClick(f.window->Item<QLabel>(1050), Qt::LeftButton);
        }
    }

    // The lamps only show: a click or the space bar leaves each as it is, lit or dark.
    void lampsKeepTheirStateWhenClicked_data() {
        QTest::addColumn<int>("field");
        QTest::newRow("lit") << 0;
        QTest::newRow("dark") << 1;
    }
    void lampsKeepTheirStateWhenClicked() {
        QFETCH(int, field);
        Fixture f(UiLanguage::English);
        Cpage5& page = f.window->Page5();
        for (int* lamp : {&page.m_reverseLamp, &page.m_parkLamp, &page.m_brakeLamp,
                          &page.m_antiTheftLamp, &page.m_sideStandLamp, &page.m_regenLamp}) {
            *lamp = field;
        }
        page.UpdateData(false);
        for (int id : {1041, 1054, 1052, 1055, 1053, 1056}) {
            auto* lamp = page.Item<QAbstractButton>(id);
            QTest::mouseClick(lamp, Qt::LeftButton);
            QVERIFY2(lamp->isChecked() == (field == 0), qPrintable(QString::number(id)));
            lamp->setFocus();
            QTest::keyClick(lamp, Qt::Key_Space);
            QVERIFY2(lamp->isChecked() == (field == 0), qPrintable(QString::number(id)));
        }
    }

    // The gear shows the controller's gear only: a click on another, or an arrow key, leaves
    // the one shown, with the port closed as well.
    void gearIndicatorOnlyShows() {
        Fixture f(UiLanguage::English);
        f.window->show();
        Cpage5& page = f.window->Page5();
        f.window->Item<QTabWidget>(1034)->setCurrentIndex(3);
        page.m_gearIndicator = 1;  // M
        page.UpdateData(false);
        for (int id : {1038, 1039, 1040, 1051}) {
            QTest::mouseClick(page.Item<QAbstractButton>(id), Qt::LeftButton);
            QVERIFY2(page.Controls().CheckedRadio(1038) == 1, qPrintable(QString::number(id)));
        }
        auto* shown = page.Item<QAbstractButton>(1039);
        shown->setFocus();
        for (Qt::Key key : {Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Up}) {
            QWidget* focused = QApplication::focusWidget();
            QTest::keyClick(focused != nullptr ? focused : shown, key);
            QCOMPARE(page.Controls().CheckedRadio(1038), 1);
        }
        QCOMPARE(page.m_gearIndicator, 1);
    }

    void displayPageShowsAStatus() {
        Fixture f(UiLanguage::Chinese);
        LiveStatus status;
        status.m_rpm = 1234;
        status.m_voltageRaw = 482;
        status.m_faultBits = 0x80 | 0x200;
        status.m_indicatorBits = 0x02 | 0x04 | 0x10;  // gear H, reverse, brake
        status.m_stateCode = 2;
        f.window->Page5().ShowStatus(FormatDisplayPage(status, 0));
        f.window->Page5().ShowFaults(FaultBoxStates(status.m_faultBits));
        ControlSet& page = f.window->Page5().Controls();
        const DisplayPageTexts texts = FormatDisplayPage(status, 0);
        QCOMPARE(page.Text(1009), QString::fromStdString(texts.m_speed));
        QCOMPARE(page.Text(1010), QString::fromStdString(texts.m_voltage));
        QCOMPARE(page.Text(1019), QString::fromStdString(texts.m_faultCode));
        QCOMPARE(page.Text(1057), QString::fromStdString(texts.m_stateName));
        QCOMPARE(page.CheckedRadio(1038), texts.m_gearIndicator);
        QCOMPARE(page.Item<QAbstractButton>(1041)->isChecked(), texts.m_reverseLamp == 0);
        QCOMPARE(page.Item<QAbstractButton>(1054)->isChecked(), texts.m_parkLamp == 0);
        QVERIFY(page.Item<QAbstractButton>(1042)->isChecked());   // throttle fault
        QVERIFY(page.Item<QAbstractButton>(1048)->isChecked());   // controller failure
        QVERIFY(!page.Item<QAbstractButton>(1043)->isChecked());  // brake fault
    }

    void fastDownloadIsStoredPerUser() {
        TempSettings temp;
        temp.settings->SetFastDownload(true);
        HeldKeys keys;
        {
            CTarvikDlg window(*temp.settings, keys);
            window.OnInitDialog();
            QVERIFY(window.LinkToController().FastDownload());
            window.SetFastDownload(false);
            QVERIFY(!window.LinkToController().FastDownload());
        }
        QVERIFY(!temp.settings->FastDownload());
        CTarvikDlg station(*temp.settings, keys);
        station.OnInitDialog();
        station.SetFastDownload(true, /*store=*/false);  // a station's --fast
        QVERIFY(station.LinkToController().FastDownload());
        QVERIFY(!temp.settings->FastDownload());
    }

    void aboutBox() {
        for (UiLanguage language : {UiLanguage::Chinese, UiLanguage::English}) {
            SetUiLanguage(language);
            CAboutDlg about;
            QCOMPARE(about.windowTitle(), QStringLiteral("关于 Tarvik"));
            QCOMPARE(about.Controls().Text(1000), QStringLiteral("Tarvik 1.0 "));
            QVERIFY(!about.Controls().Item<QLabel>(128)->pixmap().isNull());
            auto* ok = about.Controls().Item<QPushButton>(1);
            QVERIFY(ok->isDefault());
            QSignalSpy accepted(&about, &QDialog::accepted);
            ok->click();
            QCOMPARE(accepted.count(), 1);
        }
    }

    void aboutFromF1WithTheEntryText() {
        Fixture f(UiLanguage::English);
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QTest::keyClick(f.window.get(), Qt::Key_F1);
        QTRY_VERIFY(f.window->findChild<CAboutDlg*>() != nullptr);
        QCOMPARE(StringTable::Instance().Text(101, UiLanguage::English),
                 QStringLiteral("About Tarvik(&A)..."));
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
