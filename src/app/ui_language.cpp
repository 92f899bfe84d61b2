#include "app/ui_language.h"

std::atomic<UiLanguage> g_uiLanguage{UiLanguage::English};
