#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <utility>

#include "app/native_file.h"

namespace {

NativeFileError FromErrno(int error) {
    switch (error) {
        case ENOENT:
            return NativeFileError::kNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return NativeFileError::kBadPath;
        case EMFILE:
        case ENFILE:
            return NativeFileError::kTooManyOpen;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return NativeFileError::kAccessDenied;
        case ETXTBSY:
        case EWOULDBLOCK:
            return NativeFileError::kSharing;
        case EIO:
            return NativeFileError::kHardIo;
        case ENOSPC:
        case EDQUOT:
            return NativeFileError::kDiskFull;
        default:
            return NativeFileError::kGeneric;
    }
}

int Flags(NativeFileMode mode) {
    switch (mode) {
        case NativeFileMode::kRead:
            return O_RDONLY;
        case NativeFileMode::kExclusive:
            return O_RDWR;
        case NativeFileMode::kCreate:
            return O_WRONLY | O_CREAT | O_TRUNC;
    }
    return O_RDONLY;
}

}  // namespace

NativeFile::~NativeFile() {
    if (IsOpen())
        ::close(static_cast<int>(m_handle));
}

bool NativeFile::Open(const QString& path, NativeFileMode mode) {
    if (IsOpen())
        ::close(static_cast<int>(std::exchange(m_handle, kNoHandle)));
    m_error = NativeFileError::kNone;
    const int fd =
        ::open(QFile::encodeName(path).constData(), Flags(mode) | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0)
        return Fail(FromErrno(errno));
    m_handle = fd;
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        Close();
        return Fail(FromErrno(error));
    }
    // A folder opens for reading; refused here, as its first read would be. Without any write
    // bit the file counts as read-only even for root.
    const bool folder = S_ISDIR(status.st_mode);
    const bool readOnly = (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    if (folder || (mode == NativeFileMode::kExclusive && readOnly)) {
        Close();
        return Fail(NativeFileError::kAccessDenied);
    }
    // Released when the descriptor closes.
    if (mode == NativeFileMode::kExclusive && ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        Close();
        return Fail(FromErrno(error));
    }
    return true;
}

std::int64_t NativeFile::Size() {
    struct stat status {};
    if (::fstat(static_cast<int>(m_handle), &status) != 0) {
        Fail(FromErrno(errno));
        return -1;
    }
    return status.st_size;
}

std::int64_t NativeFile::Read(char* data, std::int64_t size) {
    for (;;) {
        const ssize_t got =
            ::read(static_cast<int>(m_handle), data, static_cast<std::size_t>(size));
        if (got >= 0)
            return got;
        if (errno != EINTR) {
            Fail(FromErrno(errno));
            return -1;
        }
    }
}

bool NativeFile::Write(const char* data, std::int64_t size) {
    std::int64_t done = 0;
    while (done < size) {
        const ssize_t wrote =
            ::write(static_cast<int>(m_handle), data + done, static_cast<std::size_t>(size - done));
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            return Fail(FromErrno(errno));
        }
        done += wrote;
    }
    return true;
}

bool NativeFile::Close() {
    if (!IsOpen())
        return true;
    // The descriptor is gone even when close reports an error, so it is never closed twice.
    if (::close(static_cast<int>(std::exchange(m_handle, kNoHandle))) != 0)
        return Fail(FromErrno(errno));
    return true;
}
