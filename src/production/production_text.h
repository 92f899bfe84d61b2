#pragma once
// The production views' own texts come in both languages at the place they are used; this picks
// the one of this run's UI language.

#include <QString>

#include "app/ui_language.h"

inline QString ProductionText(const char* chinese, const char* english) {
    return QString::fromUtf8(CurrentUiLanguage() == UiLanguage::Chinese ? chinese : english);
}
