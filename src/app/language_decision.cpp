#include "app/language_decision.h"

#include "app/fixed_texts.h"

SystemLanguage ClassifyLocale(const QLocale& locale) {
    if (locale.language() == QLocale::Chinese) {
        // 0x0804 is simplified Chinese of the PRC only; Taiwan, Hong Kong, Singapore and
        // traditional script are other languages to the decision.
        const bool prc = locale.territory() == QLocale::China &&
                         locale.script() != QLocale::TraditionalChineseScript;
        return prc ? SystemLanguage::ChinesePrc : SystemLanguage::Other;
    }
    if (locale.language() == QLocale::English && locale.territory() == QLocale::UnitedStates) {
        return SystemLanguage::UsEnglish;
    }
    return SystemLanguage::Other;
}

SystemLanguage CurrentSystemLanguage() {
    return ClassifyLocale(QLocale::system());
}

LanguageDecision DecideLanguage(SystemLanguage system, int storedLanguage) {
    LanguageDecision decision;
    if (system == SystemLanguage::Other && storedLanguage == ProfileSettings::kLanguageNotStored) {
        decision.applied = UiLanguage::English;
    } else if (storedLanguage == ProfileSettings::kLanguageEnglish) {
        decision.applied = UiLanguage::English;
    } else if (storedLanguage == ProfileSettings::kLanguageChinese) {
        decision.applied = UiLanguage::Chinese;
        decision.shown = UiLanguage::Chinese;
        decision.stored = ProfileSettings::kLanguageChinese;
    }
    // Otherwise (nothing stored on a Chinese or US-English system, or a stray value) nothing is
    // applied and English is stored, which the defaults already say.
    return decision;
}

LanguageDecision ApplyStartupLanguage(ProfileSettings& settings, SystemLanguage system) {
    const LanguageDecision decision = DecideLanguage(system, settings.Language());
    // A store that cannot be written only costs the next run this decision again.
    settings.SetLanguage(decision.stored);
    SetUiLanguage(decision.shown);
    return decision;
}

UiLanguage MainWindowLanguage(int storedLanguage) {
    return storedLanguage == ProfileSettings::kLanguageChinese ? UiLanguage::Chinese
                                                               : UiLanguage::English;
}

QString LanguageButtonCaption(int storedLanguage) {
    return QString::fromUtf8(storedLanguage == ProfileSettings::kLanguageChinese
                                 ? kLanguageButtonEnglish
                                 : kLanguageButtonChinese);
}
