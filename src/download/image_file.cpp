#include "download/image_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <algorithm>
#include <cerrno>

#include "download/download_texts.h"

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

ImageFileError FromErrno(int error) {
    switch (error) {
        case ENOENT:
            return ImageFileError::kNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return ImageFileError::kBadPath;
        case EMFILE:
        case ENFILE:
            return ImageFileError::kTooManyOpen;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
            return ImageFileError::kAccessDenied;
        case ETXTBSY:
        case EWOULDBLOCK:
            return ImageFileError::kSharing;
        case EIO:
            return ImageFileError::kHardIo;
        default:
            return ImageFileError::kGeneric;
    }
}

ImageFileRead Failed(ImageFileError error, std::int64_t size = 0) {
    ImageFileRead read;
    read.error = error;
    read.size = size;
    return read;
}

}  // namespace

ImageFileRead ReadImageFile(const QString& path, std::int64_t limit) {
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty())
        return Failed(ImageFileError::kNotFound);
    FileDescriptor fd(::open(native.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0)
        return Failed(FromErrno(errno));
    struct stat status {};
    if (::fstat(fd.Get(), &status) != 0)
        return Failed(FromErrno(errno));
    if (S_ISDIR(status.st_mode) || (status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return Failed(ImageFileError::kAccessDenied);
    // Exclusive for as long as we read; released when the descriptor closes.
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return Failed(FromErrno(errno));
    if (status.st_size > limit)
        return Failed(ImageFileError::kTooLarge, status.st_size);

    // One byte beyond the limit tells a file that grew meanwhile, or one without a size.
    QByteArray bytes(static_cast<qsizetype>(limit) + 1, Qt::Uninitialized);
    qsizetype total = 0;
    while (total < bytes.size()) {
        const ssize_t got =
            ::read(fd.Get(), bytes.data() + total, static_cast<std::size_t>(bytes.size() - total));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return Failed(FromErrno(errno));
        }
        if (got == 0)
            break;
        total += got;
    }
    if (total > limit)
        return Failed(ImageFileError::kTooLarge, std::max<std::int64_t>(total, status.st_size));
    if (total == 0)
        return Failed(ImageFileError::kEmpty);
    bytes.truncate(total);
    ImageFileRead read;
    read.bytes = std::move(bytes);
    read.size = total;
    return read;
}

QString ImageFileMessage(const ImageFileRead& read, const QString& path, std::int64_t limit,
                         UiLanguage language) {
    const auto framework = [&path](const char* text) { return QString::fromUtf8(text).arg(path); };
    switch (read.error) {
        case ImageFileError::kNone:
            return {};
        case ImageFileError::kNotFound:
            return framework(file_error_text::kNotFound);
        case ImageFileError::kBadPath:
            return framework(file_error_text::kBadPath);
        case ImageFileError::kTooManyOpen:
            return framework(file_error_text::kTooManyOpen);
        case ImageFileError::kAccessDenied:
            return framework(file_error_text::kAccessDenied);
        case ImageFileError::kSharing:
            return framework(file_error_text::kSharing);
        case ImageFileError::kHardIo:
            return framework(file_error_text::kHardIo);
        case ImageFileError::kGeneric:
            return framework(file_error_text::kGeneric);
        case ImageFileError::kEmpty:
            return QString::fromUtf8(download_text::kImageEmpty.In(language)).arg(path);
        case ImageFileError::kTooLarge:
            return QString::fromUtf8(download_text::kImageTooLarge.In(language))
                .arg(path)
                .arg(read.size)
                .arg(limit);
    }
    return {};
}
