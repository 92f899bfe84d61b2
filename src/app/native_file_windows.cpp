#include <windows.h>
#include <QDir>
#include <algorithm>
#include <string>
#include <utility>

#include "app/native_file.h"

namespace {

NativeFileError FromLastError(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
            return NativeFileError::kNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_INVALID_DRIVE:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_DIRECTORY:
            return NativeFileError::kBadPath;
        case ERROR_TOO_MANY_OPEN_FILES:
            return NativeFileError::kTooManyOpen;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_NETWORK_ACCESS_DENIED:
            return NativeFileError::kAccessDenied;
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return NativeFileError::kSharing;
        case ERROR_CRC:
        case ERROR_IO_DEVICE:
        case ERROR_SEEK:
        case ERROR_SECTOR_NOT_FOUND:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_NOT_READY:
            return NativeFileError::kHardIo;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return NativeFileError::kDiskFull;
        default:
            return NativeFileError::kGeneric;
    }
}

HANDLE Handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// Larger requests are split: one call moves at most a DWORD's worth.
constexpr std::int64_t kChunk = 1 << 30;

}  // namespace

NativeFile::~NativeFile() {
    if (IsOpen())
        ::CloseHandle(Handle(m_handle));
}

bool NativeFile::Open(const QString& path, NativeFileMode mode) {
    if (IsOpen())
        ::CloseHandle(Handle(std::exchange(m_handle, kNoHandle)));
    m_error = NativeFileError::kNone;
    DWORD access = GENERIC_READ;
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    DWORD disposition = OPEN_EXISTING;
    switch (mode) {
        case NativeFileMode::kRead:
            break;
        case NativeFileMode::kExclusive:
            // No sharing at all is the lock: every other open fails until this one closes.
            access = GENERIC_READ | GENERIC_WRITE;
            share = 0;
            break;
        case NativeFileMode::kCreate:
            access = GENERIC_WRITE;
            share = FILE_SHARE_READ;
            disposition = CREATE_ALWAYS;
            break;
    }
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    const HANDLE handle = ::CreateFileW(name.c_str(), access, share, nullptr, disposition,
                                        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return Fail(FromLastError(::GetLastError()));
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    // The open itself normally refuses both; checked again so that every file system tells them
    // the same way.
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handle, &info)) {
        const DWORD error = ::GetLastError();
        Close();
        return Fail(FromLastError(error));
    }
    const bool folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool readOnly = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (folder || (mode == NativeFileMode::kExclusive && readOnly)) {
        Close();
        return Fail(NativeFileError::kAccessDenied);
    }
    return true;
}

std::int64_t NativeFile::Size() {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(Handle(m_handle), &size)) {
        Fail(FromLastError(::GetLastError()));
        return -1;
    }
    return size.QuadPart;
}

std::int64_t NativeFile::Read(char* data, std::int64_t size) {
    DWORD got = 0;
    if (!::ReadFile(Handle(m_handle), data, static_cast<DWORD>(std::min(size, kChunk)), &got,
                    nullptr)) {
        Fail(FromLastError(::GetLastError()));
        return -1;
    }
    return got;
}

bool NativeFile::Write(const char* data, std::int64_t size) {
    std::int64_t done = 0;
    while (done < size) {
        DWORD wrote = 0;
        if (!::WriteFile(Handle(m_handle), data + done,
                         static_cast<DWORD>(std::min(size - done, kChunk)), &wrote, nullptr))
            return Fail(FromLastError(::GetLastError()));
        // Nothing written without an error would never end.
        if (wrote == 0)
            return Fail(NativeFileError::kGeneric);
        done += wrote;
    }
    return true;
}

bool NativeFile::Close() {
    if (!IsOpen())
        return true;
    if (!::CloseHandle(Handle(std::exchange(m_handle, kNoHandle))))
        return Fail(FromLastError(::GetLastError()));
    return true;
}
