#pragma once
// Reading the controller program file as the download does: opened for reading and writing with
// nobody else holding it, so a read-only file or one in use elsewhere is refused, and read whole
// afresh at every call.

#include <QByteArray>
#include <QString>
#include <cstdint>

#include "app/ui_language.h"

enum class ImageFileError {
    kNone,
    kNotFound,
    kBadPath,
    kTooManyOpen,
    kAccessDenied,  // no write permission, or no write bit at all (read-only even for root)
    kSharing,       // another program holds the file's exclusive lock
    kHardIo,
    kGeneric,
    kEmpty,
    kTooLarge,
};

struct ImageFileRead {
    ImageFileError error = ImageFileError::kNone;
    QByteArray bytes;       // the whole file when kNone
    std::int64_t size = 0;  // the file's length as the file gives it
};

// Larger files are refused without being read.
ImageFileRead ReadImageFile(const QString& path, std::int64_t limit);

// The message for a failed read, naming `path`; empty for kNone.
QString ImageFileMessage(const ImageFileRead& read, const QString& path, std::int64_t limit,
                         UiLanguage language);
