#pragma once
// The window against the simulated controller with its production records in a temporary SQLite
// file: what the window's records tests share.

#include <QAbstractButton>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>
#include <optional>

#include "demo_window.h"
#include "mainwindow/operation_records.h"
#include "records/recorder.h"

// A recorder on a fresh SQLite file, as the program's.
struct TempRecorder {
    TempRecorder() {
        RecorderOptions options;
        options.location.file = dir.filePath(QStringLiteral("records.sqlite"));
        recorder = std::make_unique<Recorder>(options);
        g_recorder = recorder.get();
    }
    ~TempRecorder() { g_recorder = nullptr; }

    // Every record of `filter`, as the store has it now.
    QList<OperationRecord> Stored(const RecordFilter& filter = {}) {
        recorder->Flush(5000);
        std::optional<QList<OperationRecord>> result;
        bool answered = false;
        recorder->Query(filter, recorder.get(),
                        [&](std::optional<QList<OperationRecord>> records, const QString&) {
                            result = std::move(records);
                            answered = true;
                        });
        if (!QTest::qWaitFor([&] { return answered; }, 5000) || !result) {
            return {};
        }
        return *result;
    }

    QTemporaryDir dir;
    std::unique_ptr<Recorder> recorder;
};

// The records come before the window, which writes one as it closes when an operation is cut
// short: it goes first.
struct Fixture : DemoWindow {
    explicit Fixture(std::unique_ptr<DemoPort> port = MakeDemoPort())
        : DemoWindow(std::move(port)) {
        SetUiLanguage(UiLanguage::English);
        SetRecordStation(QStringLiteral("line-1/station-4"));
        Start();
    }
    ~Fixture() { window.reset(); }

    TempRecorder records;
};

inline QByteArray TestImage(int size) {
    QByteArray image(size, '\0');
    for (int i = 0; i < image.size(); ++i) {
        image[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    }
    return image;
}
