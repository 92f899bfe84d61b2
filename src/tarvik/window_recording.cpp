#include "tarvik/window_recording.h"

#include <cstdio>

#include "app/profile_settings.h"
#include "app/ui_language.h"
#include "mainwindow/operation_records.h"
#include "records/recorder.h"
#include "ui/prompts.h"

namespace {

// The window's close waits no longer than this for the records.
constexpr int kCloseBudgetMs = 3000;

QString Say(const char* chinese, const char* english) {
    return QString::fromUtf8(CurrentUiLanguage() == UiLanguage::Chinese ? chinese : english);
}

}  // namespace

WindowRecording::WindowRecording(const QString& recordsOption, const QString& stationOption,
                                 const ProfileSettings& settings, const QString& outboxOption) {
    SetRecordStation(settings.StationName(stationOption));

    const QString where = recordsOption.isEmpty() ? settings.Records() : recordsOption;
    SetRecordsSetting(where);
    const RecordsLocationResult location = ParseRecordsLocation(where);
    if (!location.location) {
        AppPrompts().Message(
            Say("不记录生产记录：%1", "Production records are off: %1").arg(location.error));
        return;
    }
    RecorderOptions options;
    options.location = *location.location;
    options.outboxFile = outboxOption.isEmpty() ? settings.Outbox() : outboxOption;
    options.closeBudgetMs = kCloseBudgetMs;
    m_recorder = std::make_unique<Recorder>(options);
    g_recorder = m_recorder.get();
    // Each problem once: production goes on, and a repeat would only say it again; a later,
    // different problem is news.
    QObject::connect(
        m_recorder.get(), &Recorder::failed, m_recorder.get(), [this](const QString& message) {
            if (m_shown.contains(message))
                return;
            m_shown << message;
            AppPrompts().Message(Say("生产记录无法保存，操作照常进行：%1",
                                     "Production records cannot be kept; operations go on: %1")
                                     .arg(message));
        });
}

WindowRecording::~WindowRecording() {
    if (g_recorder == m_recorder.get())
        g_recorder = nullptr;
    if (!m_recorder)
        return;
    const RecorderEnd end = m_recorder->Close(kCloseBudgetMs);
    // The window is closing: stderr is where a word can still go.
    if (const QString told = end.Describe(); !told.isEmpty())
        std::fprintf(stderr, "records: %s\n", told.toLocal8Bit().constData());
}
