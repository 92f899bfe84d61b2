#include "cli/cli_texts.h"

#include <cstdio>
#include <mutex>

#include "app/string_table.h"

namespace {
// Progress comes from the receive thread while the main thread may report; keep lines whole.
std::mutex g_printLock;

void Print(std::FILE* stream, const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::lock_guard<std::mutex> lock(g_printLock);
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
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
    Print(stderr, line);
}

void PrintOut(const QString& line) {
    Print(stdout, line);
}
