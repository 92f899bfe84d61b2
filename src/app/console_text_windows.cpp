#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include "app/console_text.h"

namespace {

void WriteWide(HANDLE console, const QString& text) {
    const std::wstring wide = text.toStdWString();
    DWORD written = 0;
    ::WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace

void WriteConsoleText(std::FILE* stream, const QString& text) {
    std::fflush(stream);
    const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode)) {
        WriteWide(handle, text);
        return;
    }
    // A window program started from a console without redirection has no stream at all: the
    // text goes to the console it was started from, if there is one.
    if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) == FILE_TYPE_UNKNOWN) {
        if (!::AttachConsole(ATTACH_PARENT_PROCESS) && ::GetLastError() != ERROR_ACCESS_DENIED)
            return;
        const HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (console != INVALID_HANDLE_VALUE) {
            WriteWide(console, text);
            ::CloseHandle(console);
        }
        return;
    }
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

void PrepareConsoleStreams() {
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}
