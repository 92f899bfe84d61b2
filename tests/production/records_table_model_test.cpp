// The records table in each language: the window's own words in Chinese, the stored names
// (the command line's) in English, and the CSV export in stored names whatever the language.

#include <QtTest>

#include "production/records_table_model.h"

Q_DECLARE_METATYPE(RecordOperation)
Q_DECLARE_METATYPE(RecordOutcome)

class RecordsTableModelTest : public QObject {
    Q_OBJECT

private slots:
    void namesInTheRunsLanguage_data() {
        QTest::addColumn<bool>("chinese");
        QTest::addColumn<RecordOperation>("operation");
        QTest::addColumn<QString>("source");
        QTest::addColumn<RecordOutcome>("outcome");
        QTest::addColumn<QStringList>("shown");  // operation, source, outcome
        using O = RecordOperation;
        using R = RecordOutcome;
        const auto row = [](const char* name, bool chinese, O operation, const QString& source,
                            R outcome, QStringList shown) {
            QTest::newRow(name) << chinese << operation << source << outcome << shown;
        };
        row("zh download by hand", true, O::kDownload, WindowSource(), R::kFailed,
            {"下载", "窗口", "失败"});
        row("zh restore in mode 2", true, O::kFactoryRestore, AutomaticModeSource(2), R::kCancelled,
            {"恢复出厂设置", "自动模式2", "取消"});
        row("zh cable restart from the command line", true, O::kRestartCable,
            CommandLineSource("restart-cable"), R::kSuccess,
            {"重启调试线", "命令行 restart-cable", "成功"});
        row("zh a source this build does not know", true, O::kRead, "bench 7", R::kSuccess,
            {"读取", "bench 7", "成功"});
        // The main window's word for calibration ("标定"), not another.
        row("zh calibration write", true, O::kCalibrationWrite, WindowSource(), R::kSuccess,
            {"标定写入", "窗口", "成功"});
        row("en download by hand", false, O::kDownload, WindowSource(), R::kFailed,
            {"download", "window", "failed"});
        row("en calibration in mode 3", false, O::kCalibrationWrite, AutomaticModeSource(3),
            R::kSuccess, {"calibration-write", "window mode 3", "success"});
    }
    void namesInTheRunsLanguage() {
        QFETCH(bool, chinese);
        QFETCH(RecordOperation, operation);
        QFETCH(QString, source);
        QFETCH(RecordOutcome, outcome);
        QFETCH(QStringList, shown);
        RecordsTableModel model(chinese);
        OperationRecord record;
        record.operation = operation;
        record.source = source;
        record.outcome = outcome;
        model.SetRecords({record});
        const auto cell = [&model](int column) {
            return model.data(model.index(0, column)).toString();
        };
        QCOMPARE(QStringList({cell(RecordsTableModel::kOperation), cell(RecordsTableModel::kSource),
                              cell(RecordsTableModel::kOutcome)}),
                 shown);
        // A file for scripts and the other stations: the stored names in both languages.
        const QStringList csvRow = model.Csv().split('\n').at(1).split(',');
        QVERIFY(csvRow.contains(OperationName(operation)));
        QVERIFY(csvRow.contains(source));
        QVERIFY(csvRow.contains(OutcomeName(outcome)));
    }
};

QTEST_MAIN(RecordsTableModelTest)
#include "records_table_model_test.moc"
