#include "app/profile_settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "settings_file.h"

namespace {

class ProfileSettingsTest : public SettingsFile {};

TEST_F(ProfileSettingsTest, MissingFileReadsTheDefaults) {
    const ProfileSettings settings(Path());
    EXPECT_EQ(settings.Language(), 1024);
    EXPECT_EQ(settings.BaudRate(), 9600);
    EXPECT_EQ(settings.CanEnable(), 0);
    EXPECT_EQ(settings.FirstGenCable(), 0);
}

TEST_F(ProfileSettingsTest, WrittenValuesReachTheFileAtOnce) {
    ProfileSettings settings(Path());
    EXPECT_TRUE(settings.SetLanguage(1));
    EXPECT_TRUE(settings.SetBaudRate(115200));
    EXPECT_TRUE(settings.SetCanEnable(1));
    EXPECT_TRUE(settings.SetFirstGenCable(1));

    // Look at the file itself, before any other store of this process touches it: the restarted
    // instance reads only what is on disk.
    QFile file(Path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    EXPECT_TRUE(lines.contains("[Settings]"));
    EXPECT_TRUE(lines.contains("language=1"));
    EXPECT_TRUE(lines.contains("Int=115200"));
    EXPECT_TRUE(lines.contains("Int1=1"));
    EXPECT_TRUE(lines.contains("Int2=1"));

    // Read by another store while the writer is still alive, as the restarted instance does.
    const auto other = Reopen();
    EXPECT_EQ(other->Language(), 1);
    EXPECT_EQ(other->BaudRate(), 115200);
    EXPECT_EQ(other->CanEnable(), 1);
    EXPECT_EQ(other->FirstGenCable(), 1);
}

TEST_F(ProfileSettingsTest, KeysLiveInTheSettingsSection) {
    WriteFile("[Settings]\nlanguage=1\nInt=19200\nInt1=5\nInt2=2\n");
    const auto settings = Reopen();
    EXPECT_EQ(settings->Language(), 1);
    EXPECT_EQ(settings->BaudRate(), 19200);
    EXPECT_EQ(settings->CanEnable(), 5);
    EXPECT_EQ(settings->FirstGenCable(), 2);
}

TEST_F(ProfileSettingsTest, KeysOutsideTheSectionAreNotSeen) {
    WriteFile("[General]\nlanguage=1\nInt=19200\n[Other]\nInt1=1\n");
    const auto settings = Reopen();
    EXPECT_EQ(settings->Language(), 1024);
    EXPECT_EQ(settings->BaudRate(), 9600);
    EXPECT_EQ(settings->CanEnable(), 0);
}

TEST_F(ProfileSettingsTest, TextThatIsNoIntegerReadsAsTheDefault) {
    WriteFile("[Settings]\nlanguage=english\nInt=\nInt1=1.5\nInt2=99999999999\n");
    const auto settings = Reopen();
    EXPECT_EQ(settings->Language(), 1024);
    EXPECT_EQ(settings->BaudRate(), 9600);
    EXPECT_EQ(settings->CanEnable(), 0);
    EXPECT_EQ(settings->FirstGenCable(), 0);
}

TEST_F(ProfileSettingsTest, NegativeAndOddValuesAreKeptAsStored) {
    ProfileSettings settings(Path());
    settings.SetLanguage(-7);
    settings.SetBaudRate(57600);
    EXPECT_EQ(Reopen()->Language(), -7);
    EXPECT_EQ(Reopen()->BaudRate(), 57600);
}

TEST_F(ProfileSettingsTest, UnwritableStoreReportsTheFailure) {
    // A directory that cannot be created, even for root: its parent is a plain file.
    QFile blocker(m_dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ProfileSettings settings(m_dir.filePath(QStringLiteral("blocker/sub/Tarvik.ini")));
    EXPECT_FALSE(settings.SetLanguage(1));
    EXPECT_EQ(settings.BaudRate(), 9600);
}

TEST(ProfileSettingsDefaultStore, IsAPerUserIniFileNamedAfterTheTool) {
    const ProfileSettings settings;
    EXPECT_TRUE(settings.FilePath().endsWith(QStringLiteral("/Tarvik/Tarvik.ini")))
        << settings.FilePath().toStdString();
    EXPECT_TRUE(settings.FilePath().startsWith(QDir::homePath()) ||
                qEnvironmentVariableIsSet("XDG_CONFIG_HOME"));
}

}  // namespace
