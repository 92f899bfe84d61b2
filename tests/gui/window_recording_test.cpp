// The window's records problems: each different one is told once, however often it recurs, and
// a later, different problem is told too (it is news, not a repeat).

#include <QtTest>

#include "gui_test_support.h"
#include "records/recorder.h"
#include "tarvik/window_recording.h"

class WindowRecordingTest : public QObject {
    Q_OBJECT

private slots:
    void eachDifferentProblemIsToldOnce() {
        RecordingPrompts prompts;
        TempSettings temp;
        const QString file = temp.dir.filePath("records.sqlite");
        WindowRecording recording(file, "line-1", *temp.settings);
        QVERIFY(g_recorder != nullptr);

        const QStringList problems = {"disk full", "disk full", "database is locked",
                                      "disk full", "database is locked"};
        for (const QString& problem : problems)
            emit g_recorder->failed(problem);

        QCOMPARE(prompts.messages.size(), 2);
        QVERIFY2(prompts.messages[0].contains("disk full"), qPrintable(prompts.messages[0]));
        QVERIFY2(prompts.messages[1].contains("database is locked"),
                 qPrintable(prompts.messages[1]));
    }

    void aRefusedLocationIsToldAndRecordingIsOff() {
        RecordingPrompts prompts;
        TempSettings temp;
        WindowRecording recording("postgresql:/line@dbhost/records", "line-1", *temp.settings);
        QCOMPARE(g_recorder, nullptr);
        QCOMPARE(prompts.messages.size(), 1);
    }
};

QTEST_MAIN(WindowRecordingTest)
#include "window_recording_test.moc"
