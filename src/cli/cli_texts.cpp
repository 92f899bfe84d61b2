#include "cli/cli_texts.h"

#include <cstdio>
#include <mutex>

#include "app/console_text.h"
#include "app/string_table.h"

namespace {
// Progress comes from the receive thread while the main thread may report; keep lines whole.
std::mutex g_printLock;
QString g_lastMessage;

void Print(std::FILE* stream, const QString& line) {
    std::lock_guard<std::mutex> lock(g_printLock);
    WriteConsoleText(stream, line + QLatin1Char('\n'));
}
}  // namespace

QString Text(const CliText& text) {
    return QString::fromUtf8(CurrentUiLanguage() == UiLanguage::Chinese ? text.chinese
                                                                        : text.english);
}

QString TableText(int id) {
    return StringTable::Instance().Text(id, CurrentUiLanguage());
}

void PrintError(const QString& line) {
    {
        std::lock_guard<std::mutex> lock(g_printLock);
        g_lastMessage = line;
    }
    Print(stderr, line);
}

void PrintNotice(const QString& line) {
    Print(stderr, line);
}

QString LastMessage() {
    std::lock_guard<std::mutex> lock(g_printLock);
    return g_lastMessage;
}

void PrintOut(const QString& line) {
    Print(stdout, line);
}
