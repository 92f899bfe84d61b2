#pragma once
// The start-up's choice of the UI language from the system language and the stored "language".

#include <QLocale>
#include <QString>
#include <optional>

#include "app/profile_settings.h"
#include "app/ui_language.h"

// The system languages the decision tells apart: Chinese (PRC, 0x0804), US English (0x0409)
// and everything else.
enum class SystemLanguage { ChinesePrc, UsEnglish, Other };

SystemLanguage ClassifyLocale(const QLocale& locale);
// The user's system locale (LANG / LC_* on Linux).
SystemLanguage CurrentSystemLanguage();

struct LanguageDecision {
    // The language the original start-up applies to the process; none when it leaves the
    // process language alone.
    std::optional<UiLanguage> applied;
    // This tool's language for the run. Where nothing is applied it shows English throughout,
    // the language it stores, so the first run already looks like every later one.
    UiLanguage shown = UiLanguage::English;
    // What "language" holds afterwards: always 0 or 1.
    int stored = ProfileSettings::kLanguageEnglish;
};

LanguageDecision DecideLanguage(SystemLanguage system, int storedLanguage);

// Reads "language", decides, stores the result and fixes the UI language of this run.
LanguageDecision ApplyStartupLanguage(ProfileSettings& settings, SystemLanguage system);

// The language the main window is built in: only a stored 1 is Chinese.
UiLanguage MainWindowLanguage(int storedLanguage);
// The language button names the language to switch to: "ENGLISH" when 1 is stored, else "中文".
QString LanguageButtonCaption(int storedLanguage);
