#pragma once
// The window's production records for one run: the program-wide recorder and the station's
// name, from the command line, else the per-user settings, else the defaults.

#include <QString>
#include <QStringList>
#include <memory>

class ProfileSettings;
class Recorder;

class WindowRecording {
public:
    // Starts the recorder and sets g_recorder; a location that is refused (a malformed URL, one
    // with a password) is told once and the window runs without records. Each different
    // problem of the records is told once.
    WindowRecording(const QString& recordsOption, const QString& stationOption,
                    const ProfileSettings& settings, const QString& outboxOption = QString());
    // Commits what was handed over before the program ends, waiting a few seconds at most; what
    // could not be stored by then is kept beside the store (or waits in the outbox) and said.
    ~WindowRecording();

    WindowRecording(const WindowRecording&) = delete;
    WindowRecording& operator=(const WindowRecording&) = delete;

private:
    std::unique_ptr<Recorder> m_recorder;
    QStringList m_shown;  // the problems told so far
};
