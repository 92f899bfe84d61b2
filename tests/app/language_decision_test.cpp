#include "app/language_decision.h"

#include <gtest/gtest.h>

#include "test_case_name.h"

#include <cctype>
#include <optional>
#include <ostream>
#include <string>

#include "settings_file.h"

namespace {

struct DecisionCase {
    const char* name;
    SystemLanguage system;
    int stored;
    std::optional<UiLanguage> applied;
    UiLanguage shown;
    int storedAfter;
};

void PrintTo(const DecisionCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr int kNone = ProfileSettings::kLanguageNotStored;
constexpr auto kEn = UiLanguage::English;
constexpr auto kZh = UiLanguage::Chinese;
constexpr auto kPrc = SystemLanguage::ChinesePrc;
constexpr auto kUs = SystemLanguage::UsEnglish;
constexpr auto kOther = SystemLanguage::Other;

const DecisionCase kDecisionCases[] = {
    // First runs: only a system of another language gets English applied; a Chinese or
    // US-English system falls through to the store-0-apply-nothing case.
    {"first run, German system", kOther, kNone, kEn, kEn, 0},
    {"first run, US-English system", kUs, kNone, std::nullopt, kEn, 0},
    {"first run, Chinese system", kPrc, kNone, std::nullopt, kEn, 0},
    // Stored choices win over the system language.
    {"English stored, Chinese system", kPrc, 0, kEn, kEn, 0},
    {"English stored, German system", kOther, 0, kEn, kEn, 0},
    {"Chinese stored, US system", kUs, 1, kZh, kZh, 1},
    {"Chinese stored, German system", kOther, 1, kZh, kZh, 1},
    {"Chinese stored, Chinese system", kPrc, 1, kZh, kZh, 1},
    // Stray values are replaced by English, on any system.
    {"7 stored, Chinese system", kPrc, 7, std::nullopt, kEn, 0},
    {"7 stored, German system", kOther, 7, std::nullopt, kEn, 0},
    {"-1 stored, US system", kUs, -1, std::nullopt, kEn, 0},
    {"2 stored, Chinese system", kPrc, 2, std::nullopt, kEn, 0},
    {"1024 written by hand, other system", kOther, 1024, kEn, kEn, 0},
};

class LanguageDecisionTable : public testing::TestWithParam<DecisionCase> {};

TEST_P(LanguageDecisionTable, AppliedShownAndStored) {
    const DecisionCase& c = GetParam();
    const LanguageDecision decision = DecideLanguage(c.system, c.stored);
    EXPECT_EQ(decision.applied, c.applied);
    EXPECT_EQ(decision.shown, c.shown);
    EXPECT_EQ(decision.stored, c.storedAfter);
}

INSTANTIATE_TEST_SUITE_P(Cases, LanguageDecisionTable, testing::ValuesIn(kDecisionCases),
                         CaseName());

class StartupLanguage : public SettingsFile {};

TEST_F(StartupLanguage, FirstRunStoresEnglishAndFixesTheRun) {
    SetUiLanguage(UiLanguage::Chinese);
    {
        ProfileSettings settings(Path());
        const LanguageDecision decision = ApplyStartupLanguage(settings, SystemLanguage::UsEnglish);
        EXPECT_EQ(decision.shown, UiLanguage::English);
    }
    EXPECT_EQ(CurrentUiLanguage(), UiLanguage::English);
    EXPECT_EQ(Reopen()->Language(), 0);
}

TEST_F(StartupLanguage, StoredChineseSurvivesEveryRun) {
    ProfileSettings(Path()).SetLanguage(1);
    for (int run = 0; run < 2; ++run) {
        SetUiLanguage(UiLanguage::English);
        ApplyStartupLanguage(*Reopen(), SystemLanguage::Other);
        EXPECT_EQ(CurrentUiLanguage(), UiLanguage::Chinese);
        EXPECT_EQ(Reopen()->Language(), 1);
    }
}

TEST_F(StartupLanguage, StrayValueIsRewrittenAndTheWindowFollowsTheStore) {
    ProfileSettings(Path()).SetLanguage(7);
    auto settings = Reopen();
    ApplyStartupLanguage(*settings, SystemLanguage::ChinesePrc);
    // The main window reads the key again after the start-up rewrote it.
    const int storedNow = Reopen()->Language();
    EXPECT_EQ(storedNow, 0);
    EXPECT_EQ(MainWindowLanguage(storedNow), UiLanguage::English);
    EXPECT_EQ(LanguageButtonCaption(storedNow), QStringLiteral("中文"));
    EXPECT_EQ(CurrentUiLanguage(), MainWindowLanguage(storedNow));
}

TEST(LanguageButton, NamesTheOtherLanguage) {
    EXPECT_EQ(LanguageButtonCaption(1), QStringLiteral("ENGLISH"));
    EXPECT_EQ(MainWindowLanguage(1), UiLanguage::Chinese);
    for (int stored : {0, 2, 7, -1, 1024}) {
        EXPECT_EQ(LanguageButtonCaption(stored), QStringLiteral("中文")) << stored;
        EXPECT_EQ(MainWindowLanguage(stored), UiLanguage::English) << stored;
    }
}

TEST(SystemLocale, OnlyPrcChineseAndUsEnglishAreTold) {
    const struct {
        const char* locale;
        SystemLanguage expected;
    } cases[] = {
        {"zh_CN", SystemLanguage::ChinesePrc}, {"zh", SystemLanguage::ChinesePrc},
        {"zh_TW", SystemLanguage::Other},      {"zh_HK", SystemLanguage::Other},
        {"zh_SG", SystemLanguage::Other},      {"en_US", SystemLanguage::UsEnglish},
        {"en", SystemLanguage::UsEnglish},     {"en_GB", SystemLanguage::Other},
        {"en_AU", SystemLanguage::Other},      {"de_DE", SystemLanguage::Other},
        {"C", SystemLanguage::Other},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyLocale(QLocale(QString::fromLatin1(c.locale))), c.expected) << c.locale;
    }
}

}  // namespace
