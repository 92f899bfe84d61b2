// Parameter files from the window: an imported file shows on the pages and saves back the
// same, a save stops at a field that does not read, a refused or unreadable file changes
// nothing, and the dialogs are asked with the file names and filter of the tool.

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QRadioButton>
#include <QtTest>
#include <array>
#include <memory>

#include "core/params/param_state.h"
#include "gui_test_support.h"
#include "mainwindow/tarvik_dlg.h"
#include "pages/cpage0.h"
#include "pages/cpage1.h"
#include "pages/cpage3.h"
#include "pages/cpage6.h"
#include "pages/parameter_files.h"
#include "pages/parameter_pages.h"

namespace {

// A parameter file whose every shown value reads back to its own byte.
constexpr std::array<std::array<int, 17>, 7> kFileBlocks{{
    {20, 0x21, 0x02, 0x60, 0x01, 0xC2, 10, 0, 30, 0x01, 0x2C, 0xFF, 0x9C, 0x12, 0x34, 0x05, 0x06},
    {0x00, 0x64, 30, 60, 100, 0x01, 0x00, 0x00, 0x05, 0x00, 0x32, 0xB5, 80, 16, 5, 7, 15},
    {0xFF, 0x9C, 90, 100, 110, 0x00, 0x55, 0x00, 0x03, 0x00, 0x02, 40, 0xF8, 8, 20, 123, 5},
    {0x7B, 0x40, 0x00, 0x00, 0x64, 0x0F, 0xA0, 70, 80, 3, 0x00, 0x0A, 0x00, 0xC8, 0x00, 0x14, 99},
    {0x0F, 0xFF, 0x0A, 0x85, 0, 0, 0x02, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 12},
    {0x04, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x7F, 0x9A},
    {0, 76, 255, 230, 10, 20, 0x01, 0x00, 0x00, 0x80, 1, 2, 3, 4, 5, 6, 7},
}};
constexpr int kBlock4Byte21Line = 3 * 17 + 17;
constexpr int kBlock5Byte21Line = 4 * 17 + 17;

QStringList FileLines() {
    QStringList lines;
    for (const auto& block : kFileBlocks) {
        for (int value : block) {
            lines << QString::number(value);
        }
    }
    return lines;
}

QByteArray FileText(const QStringList& lines) {
    QByteArray text;
    for (const QString& line : lines) {
        text += line.toLatin1() + "\r\n";
    }
    return text;
}

// Records the save dialog's suggestions as well.
class FilePrompts : public RecordingPrompts {
public:
    QString SaveFileName(FileKind kind, const QString& suffix, const QString& name,
                         const QString& filters) override {
        saveSuffix = suffix;
        saveName = name;
        return RecordingPrompts::SaveFileName(kind, suffix, name, filters);
    }
    QString saveSuffix;
    QString saveName;
};

struct Fixture {
    Fixture() {
        ResetParameterState();
        window = std::make_unique<CTarvikDlg>(*temp.settings, keys);
        window->OnInitDialog();
        // What the main window does around the commands: its own exchange after the pages,
        // and the imported calibration into its edits.
        files = std::make_unique<ParameterFiles>(window->Parameters(), *window,
                                                 [this](MainWindowValues& values) {
                                                     ++mainWindowReads;
                                                     return window->ReadMainWindow(values);
                                                 });
    }
    std::optional<ParameterValues> Import(const QString& path) {
        prompts.openAnswer = path;
        std::optional<ParameterValues> imported = files->Import();
        if (imported) {
            window->m_voltageCalibValue = imported->m_mainWindow.m_voltageCalibValue;
            window->m_currentCalibValue = imported->m_mainWindow.m_currentCalibValue;
            window->m_fieldWeakeningValue = imported->m_mainWindow.m_fieldWeakeningValue;
            window->UpdateData(false);
        }
        return imported;
    }
    QString Write(const QString& name, const QByteArray& text) const {
        const QString path = temp.dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text);
        return path;
    }
    // Every control of the four parameter pages as it shows.
    QStringList Screen() const {
        QStringList shown;
        for (int page : {0, 1, 2, 4}) {
            const ControlSet& controls = window->PageAt(page).Controls();
            for (int id : controls.Ids()) {
                const auto* button = controls.Item<QAbstractButton>(id);
                shown << QStringLiteral("%1/%2/%3/%4")
                             .arg(page)
                             .arg(id)
                             .arg(controls.Text(id))
                             .arg(button != nullptr && button->isChecked());
            }
        }
        return shown;
    }

    FilePrompts prompts;
    TempSettings temp;
    HeldKeys keys;
    std::unique_ptr<CTarvikDlg> window;
    std::unique_ptr<ParameterFiles> files;
    int mainWindowReads = 0;
};

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class ParameterFilesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { SetUiLanguage(UiLanguage::Chinese); }

    // The field-weakening coefficient the file carries in block 5 is what the main window
    // shows after the import, and block 4 byte 21 is written from it.
    void importedFileSavesBackTheSame() {
        Fixture f;
        const QString original = f.Write(QStringLiteral("in.ini"), FileText(FileLines()));
        QVERIFY(f.Import(original));
        QVERIFY(f.prompts.messages.isEmpty());
        QCOMPARE(f.prompts.fileFilters, QStringList{kParameterFileFilter});

        // The pages and the calibration edits show the file without waiting for a refresh.
        QCOMPARE(f.window->Page0().Controls().Text(1009), QStringLiteral("60.8"));
        QCOMPARE(f.window->Page0().Controls().Text(1038), QStringLiteral("60V"));
        QVERIFY(f.window->Page1().Item<QRadioButton>(1053)->isChecked());
        QCOMPARE(f.window->Page3().Controls().Text(1009), QStringLiteral("-100"));
        QCOMPARE(f.window->Page6().Controls().Text(1043), QStringLiteral("128:A_CAN_ID"));
        QCOMPARE(f.window->Controls().Text(1010), QStringLiteral("4660"));
        QCOMPARE(f.window->Controls().Text(1011), QStringLiteral("1286"));
        QCOMPARE(f.window->Controls().Text(1012), QStringLiteral("12"));

        const QString saved = f.temp.dir.filePath(QStringLiteral("out.ini"));
        f.prompts.saveAnswer = saved;
        QVERIFY(f.files->Save());
        QCOMPARE(f.prompts.saveSuffix, QStringLiteral("ini"));
        QCOMPARE(f.prompts.saveName, QStringLiteral("Config"));
        QCOMPARE(f.prompts.fileFilters.last(), QString::fromLatin1(kParameterFileFilter));
        QStringList expected = FileLines();
        expected[kBlock4Byte21Line - 1] = expected[kBlock5Byte21Line - 1];
        QCOMPARE(ReadAll(saved), FileText(expected));
        QVERIFY(f.prompts.messages.isEmpty());
    }

    void saveStopsAtAFieldThatDoesNotRead_data() {
        QTest::addColumn<int>("page");  // -1: the main window
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("text");
        QTest::newRow("page 1 letters in overvoltage") << 0 << 1009 << QStringLiteral("x");
        QTest::newRow("page 2 emptied edit") << 1 << 1009 << QString();
        QTest::newRow("page 3 push assist 150") << 2 << 1011 << QStringLiteral("150");
        QTest::newRow("main window emptied calibration") << -1 << 1010 << QString();
    }

    // One message, then nothing: no later page read, no dialog, no encoding, no file.
    void saveStopsAtAFieldThatDoesNotRead() {
        QFETCH(int, page);
        QFETCH(int, id);
        QFETCH(QString, text);
        Fixture f;
        (page < 0 ? f.window->Controls() : f.window->PageAt(page).Controls()).SetText(id, text);
        f.window->Page6().Controls().CheckRadio(1053, 1);  // pin 0 "U" on screen, F in its field
        const ParamWriteFrames frames = g_paramWriteFrames;
        f.prompts.saveAnswer = f.temp.dir.filePath(QStringLiteral("never.ini"));

        QVERIFY(!f.files->Save());
        QCOMPARE(f.prompts.messages.size(), 1);
        QVERIFY(f.prompts.fileFilters.isEmpty());
        QVERIFY(!QFile::exists(f.prompts.saveAnswer));
        QVERIFY(g_paramWriteFrames == frames);
        QCOMPARE(f.window->Page6().m_pinMode[0], page < 0 ? 1 : 0);
        QCOMPARE(f.mainWindowReads, page < 0 ? 1 : 0);
    }

    void refusedFileChangesNothing_data() {
        QTest::addColumn<int>("language");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");  // %1 the file
        QStringList lines = FileLines();
        lines[56] = QStringLiteral("12a");
        QTest::newRow("line 57 not a number")
            << int(UiLanguage::Chinese) << FileText(lines)
            << QStringLiteral("%1 不是参数文件（第 57 行不是整数），未作任何更改。");
        lines[56] = QStringLiteral("256");
        QTest::newRow("line 57 out of range, English")
            << int(UiLanguage::English) << FileText(lines)
            << QStringLiteral(
                   "%1 is not a parameter file (line 57: not within 0..255); nothing was changed.");
        lines[56] = QStringLiteral("  ");
        QTest::newRow("line 57 blank")
            << int(UiLanguage::Chinese) << FileText(lines)
            << QStringLiteral("%1 不是参数文件（第 57 行为空），未作任何更改。");
        QTest::newRow("100 lines")
            << int(UiLanguage::Chinese) << FileText(FileLines().mid(0, 100))
            << QStringLiteral(
                   "%1 不是参数文件（第 101 行缺失，参数文件应有 119 行），未作任何更改。");
    }

    void refusedFileChangesNothing() {
        QFETCH(int, language);
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        SetUiLanguage(static_cast<UiLanguage>(language));
        Fixture f;
        const QString path = f.Write(QStringLiteral("bad.ini"), text);
        const QStringList screen = f.Screen();
        const ParameterValues values = f.window->CurrentParameterValues();
        const ParamWriteFrames frames = g_paramWriteFrames;

        QVERIFY(!f.Import(path));
        QCOMPARE(f.prompts.messages, QStringList{message.arg(path)});
        QCOMPARE(f.Screen(), screen);
        QVERIFY(f.window->CurrentParameterValues() == values);
        QVERIFY(g_paramWriteFrames == frames);
        QCOMPARE(g_paramCheckText.Get(), std::string());
        QCOMPARE(int(g_voltageCalib.load()), 0);
    }

    void fileErrorNamesTheFile_data() {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("import a missing file")
            << false << QStringLiteral("missing.ini") << QStringLiteral("%1 was not found.");
        QTest::newRow("save into a missing folder")
            << true << QStringLiteral("no/Config.ini") << QStringLiteral("%1 was not found.");
        QTest::newRow("save over a folder")
            << true << QStringLiteral("folder") << QStringLiteral("Access to %1 was denied.");
        QTest::newRow("import a folder")
            << false << QStringLiteral("folder") << QStringLiteral("Access to %1 was denied.");
    }

    // Nothing read, decoded, encoded or written.
    void fileErrorNamesTheFile() {
        QFETCH(bool, save);
        QFETCH(QString, name);
        QFETCH(QString, message);
        Fixture f;
        QDir(f.temp.dir.path()).mkdir(QStringLiteral("folder"));
        const QString path = f.temp.dir.filePath(name);
        const QStringList screen = f.Screen();
        const ParamWriteFrames frames = g_paramWriteFrames;
        if (save) {
            f.prompts.saveAnswer = path;
            QVERIFY(!f.files->Save());
        } else {
            QVERIFY(!f.Import(path));
        }
        QCOMPARE(f.prompts.messages, QStringList{message.arg(path)});
        QCOMPARE(f.Screen(), screen);
        QVERIFY(g_paramWriteFrames == frames);
    }

    // Failures after the dialog: a write that finds the disk full, a path through a file.
    void writeAndPathErrorsNameTheFile_data() {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("save onto a full disk") << true << QStringLiteral("/dev/full")
                                               << QStringLiteral("Disk full while accessing %1.");
        QTest::newRow("save through a file") << true << QStringLiteral("file.ini/Config.ini")
                                             << QStringLiteral("%1 contains an incorrect path.");
        QTest::newRow("import through a file") << false << QStringLiteral("file.ini/Config.ini")
                                               << QStringLiteral("%1 contains an incorrect path.");
    }
    void writeAndPathErrorsNameTheFile() {
        QFETCH(bool, save);
        QFETCH(QString, name);
        QFETCH(QString, message);
        Fixture f;
        f.Write(QStringLiteral("file.ini"), FileText(FileLines()));
        const bool absolute = QFileInfo(name).isAbsolute();
        const QString path = absolute ? name : f.temp.dir.filePath(name);
        if (absolute && !QFileInfo::exists(path)) {
            QSKIP("no device that is always full");
        }
        if (save) {
            f.prompts.saveAnswer = path;
            QVERIFY(!f.files->Save());
        } else {
            QVERIFY(!f.Import(path));
        }
        QCOMPARE(f.prompts.messages, QStringList{message.arg(path)});
    }

    void cancelledDialogChangesNothing() {
        Fixture f;
        const QStringList screen = f.Screen();
        const ParamWriteFrames frames = g_paramWriteFrames;
        QVERIFY(!f.Import(QString()));
        QVERIFY(!f.files->Save());
        QCOMPARE(f.prompts.fileFilters.size(), 2);
        QVERIFY(f.prompts.messages.isEmpty());
        QCOMPARE(f.Screen(), screen);
        QVERIFY(g_paramWriteFrames == frames);
    }
};

QTEST_MAIN(ParameterFilesTest)
#include "parameter_files_test.moc"
