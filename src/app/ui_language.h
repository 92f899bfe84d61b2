#pragma once
// The language of this run's user interface. It is fixed once at start-up; changing it means
// storing the other language and starting a fresh instance.

#include <atomic>

enum class UiLanguage { Chinese, English };

// Set once by the start-up; read by every text lookup, from any thread.
extern std::atomic<UiLanguage> g_uiLanguage;

inline UiLanguage CurrentUiLanguage() {
    return g_uiLanguage.load();
}
inline void SetUiLanguage(UiLanguage language) {
    g_uiLanguage.store(language);
}
