#pragma once
// A settings store in a fresh temporary directory, for tests that must not touch the user's.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "app/profile_settings.h"

class SettingsFile : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString Path() const { return m_dir.filePath(QStringLiteral("Tarvik.ini")); }

    // A new store on the same file, as a restarted instance would open it.
    std::unique_ptr<ProfileSettings> Reopen() const {
        return std::make_unique<ProfileSettings>(Path());
    }

    void WriteFile(const QByteArray& contents) const {
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    QTemporaryDir m_dir;
};
