#include "download/image_file.h"

#include <QByteArray>
#include <QDir>
#include <algorithm>
#include <utility>

#include "app/native_file.h"
#include "download/download_texts.h"

namespace {

ImageFileError FromNative(NativeFileError error) {
    switch (error) {
        case NativeFileError::kNone:
            return ImageFileError::kNone;
        case NativeFileError::kNotFound:
            return ImageFileError::kNotFound;
        case NativeFileError::kBadPath:
            return ImageFileError::kBadPath;
        case NativeFileError::kTooManyOpen:
            return ImageFileError::kTooManyOpen;
        case NativeFileError::kAccessDenied:
            return ImageFileError::kAccessDenied;
        case NativeFileError::kSharing:
            return ImageFileError::kSharing;
        case NativeFileError::kHardIo:
            return ImageFileError::kHardIo;
        case NativeFileError::kDiskFull:
        case NativeFileError::kGeneric:
            return ImageFileError::kGeneric;
    }
    return ImageFileError::kGeneric;
}

ImageFileRead Failed(ImageFileError error, std::int64_t size = 0) {
    ImageFileRead read;
    read.error = error;
    read.size = size;
    return read;
}

}  // namespace

ImageFileRead ReadImageFile(const QString& path, std::int64_t limit) {
    if (path.isEmpty())
        return Failed(ImageFileError::kNotFound);
    // Exclusive for as long as we read.
    NativeFile file;
    if (!file.Open(path, NativeFileMode::kExclusive))
        return Failed(FromNative(file.Error()));
    const std::int64_t size = file.Size();
    if (size < 0)
        return Failed(FromNative(file.Error()));
    if (size > limit)
        return Failed(ImageFileError::kTooLarge, size);

    // One byte beyond the limit tells a file that grew meanwhile, or one without a size.
    QByteArray bytes(static_cast<qsizetype>(limit) + 1, Qt::Uninitialized);
    qsizetype total = 0;
    while (total < bytes.size()) {
        const std::int64_t got = file.Read(bytes.data() + total, bytes.size() - total);
        if (got < 0)
            return Failed(FromNative(file.Error()));
        if (got == 0)
            break;
        total += static_cast<qsizetype>(got);
    }
    if (total > limit)
        return Failed(ImageFileError::kTooLarge, std::max<std::int64_t>(total, size));
    if (total == 0)
        return Failed(ImageFileError::kEmpty);
    bytes.truncate(total);
    ImageFileRead read;
    read.bytes = std::move(bytes);
    read.size = total;
    return read;
}

QString ImageFileMessage(const ImageFileRead& read, const QString& filePath, std::int64_t limit,
                         UiLanguage language) {
    // As the user sees paths on this platform.
    const QString path = QDir::toNativeSeparators(filePath);
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
