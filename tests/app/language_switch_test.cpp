#include "app/language_switch.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <vector>

#include "app/language_decision.h"
#include "settings_file.h"

namespace {

class FakeLauncher : public ProcessLauncher {
public:
    struct Call {
        QString program;
        QStringList arguments;
    };

    LaunchResult StartDetached(const QString& program, const QStringList& arguments) override {
        m_calls.push_back({program, arguments});
        return m_result;
    }

    LaunchResult m_result{true, {}};
    std::vector<Call> m_calls;
};

const RestartCommand kCommand{QStringLiteral("/opt/tarvik/tarvik"),
                              {QStringLiteral("--demo"), QStringLiteral("a b")}};

class LanguageSwitchTest : public SettingsFile {};

TEST_F(LanguageSwitchTest, StoresTheOtherLanguageAndRestarts) {
    const struct {
        const char* caption;
        int stored;
        const char* newCaption;
    } cases[] = {
        {"ENGLISH", 0, "中文"},
        {"中文", 1, "ENGLISH"},
        // Anything but exactly "ENGLISH" switches to Chinese.
        {"English", 1, "ENGLISH"},
        {"ENGLISH ", 1, "ENGLISH"},
        {"", 1, "ENGLISH"},
    };
    for (const auto& c : cases) {
        ProfileSettings settings(Path());
        settings.SetLanguage(c.stored == 0 ? 1 : 0);
        FakeLauncher launcher;

        const LanguageSwitchResult result =
            SwitchLanguage(QString::fromUtf8(c.caption), settings, launcher, kCommand);

        EXPECT_EQ(result.status, LanguageSwitchStatus::Restarting) << c.caption;
        EXPECT_TRUE(result.CloseWindow());
        EXPECT_EQ(result.caption, QString::fromUtf8(c.newCaption)) << c.caption;
        EXPECT_EQ(Reopen()->Language(), c.stored) << c.caption;
        ASSERT_EQ(launcher.m_calls.size(), 1u);
        EXPECT_EQ(launcher.m_calls[0].program, kCommand.program);
        EXPECT_EQ(launcher.m_calls[0].arguments, kCommand.arguments);
        EXPECT_TRUE(LanguageSwitchFailureText(result, UiLanguage::English).isEmpty());
    }
}

TEST_F(LanguageSwitchTest, NewInstanceComesUpInTheChosenLanguage) {
    {
        ProfileSettings settings(Path());
        settings.SetLanguage(1);
        ApplyStartupLanguage(settings, SystemLanguage::ChinesePrc);
        ASSERT_EQ(CurrentUiLanguage(), UiLanguage::Chinese);
        FakeLauncher launcher;
        SwitchLanguage(LanguageButtonCaption(settings.Language()), settings, launcher, kCommand);
        // The old instance is still closing while the new one starts.
        ApplyStartupLanguage(*Reopen(), SystemLanguage::ChinesePrc);
        EXPECT_EQ(CurrentUiLanguage(), UiLanguage::English);
    }
    EXPECT_EQ(LanguageButtonCaption(Reopen()->Language()), QStringLiteral("中文"));
}

TEST_F(LanguageSwitchTest, FailedLaunchKeepsTheWindowAndSaysWhy) {
    ProfileSettings settings(Path());
    settings.SetLanguage(1);
    FakeLauncher launcher;
    launcher.m_result = {false, QStringLiteral("No such file or directory")};

    const LanguageSwitchResult result =
        SwitchLanguage(QStringLiteral("ENGLISH"), settings, launcher, kCommand);

    EXPECT_EQ(result.status, LanguageSwitchStatus::LaunchFailed);
    EXPECT_FALSE(result.CloseWindow());
    // The choice is stored and applies at the next start; the caption matches the store.
    EXPECT_EQ(Reopen()->Language(), 0);
    EXPECT_EQ(result.caption, QStringLiteral("中文"));
    for (UiLanguage language : {UiLanguage::English, UiLanguage::Chinese}) {
        const QString text = LanguageSwitchFailureText(result, language);
        EXPECT_TRUE(text.endsWith(QStringLiteral("\nNo such file or directory")))
            << text.toStdString();
    }
    EXPECT_NE(LanguageSwitchFailureText(result, UiLanguage::English),
              LanguageSwitchFailureText(result, UiLanguage::Chinese));
}

TEST_F(LanguageSwitchTest, UnsavedLanguageDoesNotRestart) {
    QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ProfileSettings settings(m_dir.filePath(QStringLiteral("blocker/Tarvik.ini")));
    FakeLauncher launcher;

    const LanguageSwitchResult result =
        SwitchLanguage(QStringLiteral("中文"), settings, launcher, kCommand);

    EXPECT_EQ(result.status, LanguageSwitchStatus::StoreFailed);
    EXPECT_FALSE(result.CloseWindow());
    EXPECT_TRUE(launcher.m_calls.empty());
    EXPECT_EQ(result.caption, QStringLiteral("中文"));
    EXPECT_FALSE(LanguageSwitchFailureText(result, UiLanguage::Chinese).isEmpty());
}

TEST(RestartCommandTest, RepeatsTheArgumentsWithoutTheProgramName) {
    const RestartCommand command = RestartCommandFrom(
        QStringLiteral("/usr/bin/tarvik"),
        {QStringLiteral("tarvik"), QStringLiteral("--demo"), QString(), QStringLiteral("x y")});
    EXPECT_EQ(command.program, QStringLiteral("/usr/bin/tarvik"));
    EXPECT_EQ(command.arguments,
              (QStringList{QStringLiteral("--demo"), QString(), QStringLiteral("x y")}));
    EXPECT_TRUE(
        RestartCommandFrom(QStringLiteral("/t"), {QStringLiteral("t")}).arguments.isEmpty());
    EXPECT_TRUE(RestartCommandFrom(QStringLiteral("/t"), {}).arguments.isEmpty());
}

TEST(RestartCommandTest, RestartsThisExecutable) {
    const RestartCommand command = CurrentRestartCommand();
    const QFileInfo self(QCoreApplication::arguments().constFirst());
    EXPECT_EQ(QFileInfo(command.program).canonicalFilePath(), self.canonicalFilePath());
    EXPECT_TRUE(QFileInfo(command.program).isExecutable());
}

TEST(DetachedProcessLauncherTest, StartsTheProgramWithItsArguments) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString marker = dir.filePath(QStringLiteral("started"));
    DetachedProcessLauncher launcher;
    const LaunchResult result =
        launcher.StartDetached(QStringLiteral("/bin/sh"),
                               {QStringLiteral("-c"), QStringLiteral("printf '%s' \"$1\" > \"$2\""),
                                QStringLiteral("sh"), QStringLiteral("two words"), marker});
    ASSERT_TRUE(result.started) << result.error.toStdString();

    QDeadlineTimer deadline(5000);
    QByteArray contents;
    while (!deadline.hasExpired()) {
        QFile file(marker);
        if (file.open(QIODevice::ReadOnly)) {
            contents = file.readAll();
            if (contents == "two words") {
                break;
            }
        }
        QThread::msleep(5);
    }
    EXPECT_EQ(contents, QByteArray("two words"));
}

TEST(DetachedProcessLauncherTest, MissingProgramIsReported) {
    DetachedProcessLauncher launcher;
    const LaunchResult result =
        launcher.StartDetached(QStringLiteral("/nonexistent/tarvik-missing"), {});
    EXPECT_FALSE(result.started);
    EXPECT_FALSE(result.error.isEmpty());
}

}  // namespace
