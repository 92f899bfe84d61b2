#include <windows.h>

#include "serial/serial_messages.h"
#include "test_ports.h"

namespace {

// The system's own wording, which differs between Windows languages and Wine.
QString SystemText(DWORD code) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const QString message = QString::fromWCharArray(text, static_cast<int>(length)).trimmed();
    ::LocalFree(text);
    return message;
}

bool UnderWine() {
    const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace

UnopenablePort MissingPort() {
    return {QStringLiteral("\\\\.\\COM199"), kSerialOpenFailedText,
            SystemText(ERROR_FILE_NOT_FOUND)};
}

// Opens like any device; only the serial settings fail.
UnopenablePort NotASerialPort() {
    return {QStringLiteral("\\\\.\\NUL"), kSerialConfigFailedText, {}};
}

QString WhyABusyPortCannotBeShown() {
    if (UnderWine()) {
        return QStringLiteral("Wine lets a second handle open a serial port that is held");
    }
    return {};
}
