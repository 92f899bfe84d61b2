// Files through the system's own calls: every failure the messages tell apart is reported as
// its kind, an exclusive open keeps others out until it closes, and bytes go through unchanged.

#include "app/native_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <string>

namespace {

class NativeFileTest : public testing::Test {
protected:
    QString Path(const QString& name) const { return m_dir.filePath(name); }
    QString Make(const QString& name, const QByteArray& bytes) const {
        QFile file(Path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        EXPECT_EQ(file.write(bytes), bytes.size());
        return file.fileName();
    }
    static std::string ReadAll(NativeFile& file) {
        std::string bytes;
        char buffer[7];  // smaller than the files, so reads continue where they stopped
        for (;;) {
            const std::int64_t got = file.Read(buffer, sizeof buffer);
            EXPECT_GE(got, 0);
            if (got <= 0)
                return bytes;
            bytes.append(buffer, static_cast<std::size_t>(got));
        }
    }

    QTemporaryDir m_dir;
};

const char* ModeName(NativeFileMode mode) {
    switch (mode) {
        case NativeFileMode::kRead:
            return "read";
        case NativeFileMode::kExclusive:
            return "exclusive";
        case NativeFileMode::kCreate:
            return "create";
    }
    return "?";
}

TEST_F(NativeFileTest, FailedOpenTellsWhy) {
    Make("file.bin", "data");
    Make("read-only.bin", "data");
    ASSERT_TRUE(QFile::setPermissions(Path("read-only.bin"), QFile::ReadOwner | QFile::ReadGroup));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder"));
    const struct {
        QString name;
        NativeFileMode mode;
        NativeFileError error;
    } cases[] = {
        {"missing.bin", NativeFileMode::kRead, NativeFileError::kNotFound},
        {"missing.bin", NativeFileMode::kExclusive, NativeFileError::kNotFound},
        {"folder", NativeFileMode::kRead, NativeFileError::kAccessDenied},
        {"folder", NativeFileMode::kExclusive, NativeFileError::kAccessDenied},
        {"folder", NativeFileMode::kCreate, NativeFileError::kAccessDenied},
        // Refused even where the system would let the user write (an administrator).
        {"read-only.bin", NativeFileMode::kExclusive, NativeFileError::kAccessDenied},
        {"file.bin/inner.bin", NativeFileMode::kRead, NativeFileError::kBadPath},
        {"file.bin/inner.bin", NativeFileMode::kCreate, NativeFileError::kBadPath},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString() + " " + ModeName(c.mode));
        NativeFile file;
        EXPECT_FALSE(file.Open(Path(c.name), c.mode));
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(file.Error(), c.error);
    }
    // Only the exclusive open asks for writing.
    NativeFile readOnly;
    EXPECT_TRUE(readOnly.Open(Path("read-only.bin"), NativeFileMode::kRead));
    EXPECT_EQ(ReadAll(readOnly), "data");
}

TEST_F(NativeFileTest, ExclusiveOpenKeepsOthersOutUntilItCloses) {
    const QString path = Make("image.bin", "image");
    NativeFile second;
    {
        NativeFile first;
        ASSERT_TRUE(first.Open(path, NativeFileMode::kExclusive));
        EXPECT_FALSE(second.Open(path, NativeFileMode::kExclusive));
        EXPECT_EQ(second.Error(), NativeFileError::kSharing);
        EXPECT_EQ(first.Size(), 5);
        EXPECT_EQ(ReadAll(first), "image");
    }
    // Released by the destructor, by Close, and by opening another file.
    ASSERT_TRUE(second.Open(path, NativeFileMode::kExclusive));
    NativeFile third;
    EXPECT_FALSE(third.Open(path, NativeFileMode::kExclusive));
    EXPECT_TRUE(second.Close());
    ASSERT_TRUE(third.Open(path, NativeFileMode::kExclusive));
    ASSERT_TRUE(third.Open(Make("other.bin", "other"), NativeFileMode::kExclusive));
    EXPECT_TRUE(second.Open(path, NativeFileMode::kExclusive));
}

TEST_F(NativeFileTest, CreateReplacesTheFileAndBytesPassUnchanged) {
    // Line ends, an end-of-file mark and a zero byte: a text-mode write or read would alter them.
    const std::string bytes("12\r\n0\n\x1a\0\xff\r", 10);
    // A name outside ASCII must reach the file system as itself.
    const QString name = QString::fromUtf8("参数-ü.ini");
    const QString path = Make(name, QByteArray(100, 'x'));
    NativeFile file;
    ASSERT_TRUE(file.Open(path, NativeFileMode::kCreate));
    EXPECT_EQ(file.Size(), 0);
    ASSERT_TRUE(file.Write(bytes.data(), static_cast<std::int64_t>(bytes.size())));
    ASSERT_TRUE(file.Close());
    EXPECT_TRUE(file.Close());  // nothing left to close

    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList{name});
    for (const NativeFileMode mode : {NativeFileMode::kRead, NativeFileMode::kExclusive}) {
        SCOPED_TRACE(ModeName(mode));
        ASSERT_TRUE(file.Open(path, mode));
        EXPECT_EQ(file.Size(), static_cast<std::int64_t>(bytes.size()));
        EXPECT_EQ(ReadAll(file), bytes);
    }
}

TEST_F(NativeFileTest, WriteToAFullDiskSaysSo) {
    const QString full = QStringLiteral("/dev/full");
    if (!QFileInfo::exists(full))
        GTEST_SKIP() << "no device that is always full";
    NativeFile file;
    ASSERT_TRUE(file.Open(full, NativeFileMode::kCreate));
    EXPECT_FALSE(file.Write("12\r\n", 4));
    EXPECT_EQ(file.Error(), NativeFileError::kDiskFull);
}

}  // namespace
