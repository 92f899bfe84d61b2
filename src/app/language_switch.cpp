#include "app/language_switch.h"

#include <QCoreApplication>
#include <QProcess>

#include "app/fixed_texts.h"
#include "app/language_decision.h"

LaunchResult DetachedProcessLauncher::StartDetached(const QString& program,
                                                    const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    LaunchResult result;
    result.started = process.startDetached();
    if (!result.started) {
        result.error = process.errorString();
    }
    return result;
}

RestartCommand RestartCommandFrom(const QString& applicationFilePath,
                                  const QStringList& commandLine) {
    return RestartCommand{applicationFilePath, commandLine.mid(1)};
}

RestartCommand CurrentRestartCommand() {
    return RestartCommandFrom(QCoreApplication::applicationFilePath(),
                              QCoreApplication::arguments());
}

LanguageSwitchResult SwitchLanguage(const QString& caption, ProfileSettings& settings,
                                    ProcessLauncher& launcher, const RestartCommand& command) {
    const bool toEnglish = caption == QString::fromUtf8(kLanguageButtonEnglish);
    const int newLanguage =
        toEnglish ? ProfileSettings::kLanguageEnglish : ProfileSettings::kLanguageChinese;

    LanguageSwitchResult result;
    if (!settings.SetLanguage(newLanguage)) {
        // Restarting now would only bring the old language back.
        result.status = LanguageSwitchStatus::StoreFailed;
        result.caption = caption;
        result.error = settings.FilePath();
        return result;
    }
    result.caption = LanguageButtonCaption(newLanguage);

    const LaunchResult launch = launcher.StartDetached(command.program, command.arguments);
    if (!launch.started) {
        // The window stays open rather than leaving the user with no program at all.
        result.status = LanguageSwitchStatus::LaunchFailed;
        result.error = launch.error;
    }
    return result;
}

QString LanguageSwitchFailureText(const LanguageSwitchResult& result, UiLanguage language) {
    const bool chinese = language == UiLanguage::Chinese;
    QString text;
    switch (result.status) {
        case LanguageSwitchStatus::Restarting:
            return {};
        case LanguageSwitchStatus::StoreFailed:
            text = QString::fromUtf8(chinese ? kLanguageStoreFailedChinese
                                             : kLanguageStoreFailedEnglish);
            break;
        case LanguageSwitchStatus::LaunchFailed:
            text = QString::fromUtf8(chinese ? kRestartFailedChinese : kRestartFailedEnglish);
            break;
    }
    if (!result.error.isEmpty()) {
        text += QLatin1Char('\n') + result.error;
    }
    return text;
}
