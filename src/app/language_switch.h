#pragma once
// The language button: store the other language and start a fresh instance, which picks the
// language up in its own start-up. The old instance closes once the new one is running.

#include <QString>
#include <QStringList>

#include "app/profile_settings.h"
#include "app/ui_language.h"

struct LaunchResult {
    bool started = false;
    QString error;  // the operating system's reason when not started
};

// Starts programs without waiting for them; tests substitute it.
class ProcessLauncher {
public:
    virtual ~ProcessLauncher() = default;
    virtual LaunchResult StartDetached(const QString& program, const QStringList& arguments) = 0;
};

class DetachedProcessLauncher : public ProcessLauncher {
public:
    LaunchResult StartDetached(const QString& program, const QStringList& arguments) override;
};

struct RestartCommand {
    QString program;
    QStringList arguments;
};

// The running program with the arguments it was started with (argv[0] dropped).
RestartCommand RestartCommandFrom(const QString& applicationFilePath,
                                  const QStringList& commandLine);
// The same for this process; needs the application object.
RestartCommand CurrentRestartCommand();

enum class LanguageSwitchStatus {
    Restarting,    // new language stored, new instance started: close the window
    StoreFailed,   // nothing changed, nothing started: keep running, show the error
    LaunchFailed,  // new language stored but no new instance: keep running, show the error
};

struct LanguageSwitchResult {
    LanguageSwitchStatus status = LanguageSwitchStatus::Restarting;
    // The button's caption from now on (unchanged when the store failed).
    QString caption;
    QString error;

    bool CloseWindow() const { return status == LanguageSwitchStatus::Restarting; }
};

// `caption` is the button's caption at the click.
LanguageSwitchResult SwitchLanguage(const QString& caption, ProfileSettings& settings,
                                    ProcessLauncher& launcher, const RestartCommand& command);

// The message the window shows for a switch that did not restart, in the running UI language;
// empty when the switch restarted.
QString LanguageSwitchFailureText(const LanguageSwitchResult& result, UiLanguage language);
