#pragma once
// An open file through the system's own calls, for the few places where Qt's files cannot say
// what the tool must: the reason an open, read or write failed, a file held exclusively while
// it is read, and a read-only file refused even to an administrator. One implementation per
// platform.

#include <QString>
#include <cstdint>

// Why a file operation failed, in the terms the messages distinguish.
enum class NativeFileError {
    kNone,
    kNotFound,
    kBadPath,  // a name too long, a loop, or a file where the path needs a folder
    kTooManyOpen,
    kAccessDenied,  // also a folder where a file is expected
    kSharing,       // another open holds the file exclusively
    kHardIo,
    kDiskFull,
    kGeneric,
};

enum class NativeFileMode {
    kRead,  // reading; others may open the file meanwhile
    // Reading and writing, held exclusively: another exclusive open fails with kSharing until
    // this one closes. A file without write permission is refused even where the system would
    // allow the write.
    kExclusive,
    kCreate,  // writing from empty: created, or truncated when it exists
};

class NativeFile {
public:
    NativeFile() = default;
    ~NativeFile();
    NativeFile(const NativeFile&) = delete;
    NativeFile& operator=(const NativeFile&) = delete;

    // Opens `path` (closing what was open). A folder is refused in every mode.
    bool Open(const QString& path, NativeFileMode mode);
    bool IsOpen() const { return m_handle != kNoHandle; }
    // The size the file system gives, or -1.
    std::int64_t Size();
    // Up to `size` bytes into `data`: how many, 0 at the end, -1 on failure.
    std::int64_t Read(char* data, std::int64_t size);
    // All `size` bytes, or false.
    bool Write(const char* data, std::int64_t size);
    // Closes now, for the error a close can report; true when nothing was open.
    bool Close();
    // Why the last failed call failed.
    NativeFileError Error() const { return m_error; }

private:
    // A descriptor or a handle; -1 is "none" for both.
    static constexpr std::intptr_t kNoHandle = -1;

    bool Fail(NativeFileError error) {
        m_error = error;
        return false;
    }

    std::intptr_t m_handle = kNoHandle;
    NativeFileError m_error = NativeFileError::kNone;
};
