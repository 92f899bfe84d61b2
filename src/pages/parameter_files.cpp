#include "pages/parameter_files.h"

#include <QDir>
#include <utility>

#include "app/native_file.h"
#include "core/params/config_file.h"
#include "core/params/parameter_fields.h"
#include "pages/compare_dialog.h"
#include "pages/parameter_pages.h"
#include "ui/prompts.h"
#include "ui/template_widget.h"

namespace {

// The file name the save dialog offers, and its extension.
constexpr char kDefaultName[] = "Config";
constexpr char kDefaultSuffix[] = "ini";

// %1 the file, %2 what is wrong with it.
constexpr char kRefusedZh[] = "%1 不是参数文件（%2），未作任何更改。";
constexpr char kRefusedEn[] = "%1 is not a parameter file (%2); nothing was changed.";

QString ShownPath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString FailureText(const ImportFailure& failure, UiLanguage language) {
    if (language == UiLanguage::English) {
        return QString::fromStdString(DescribeImportFailure(failure));
    }
    const QString line = QString::number(failure.m_line);
    switch (failure.m_error) {
        case ImportError::kMissingLine:
            return QStringLiteral("第 %1 行缺失，参数文件应有 %2 行")
                .arg(line)
                .arg(kConfigLineCount);
        case ImportError::kEmptyLine:
            return QStringLiteral("第 %1 行为空").arg(line);
        case ImportError::kNotANumber:
            return QStringLiteral("第 %1 行不是整数").arg(line);
        case ImportError::kOutOfRange:
            return QStringLiteral("第 %1 行不在 0..255 之内").arg(line);
    }
    return line;
}

QString RefusalMessage(const QString& path, const ImportFailure& failure, UiLanguage language) {
    const char* text = language == UiLanguage::English ? kRefusedEn : kRefusedZh;
    return QString::fromUtf8(text).arg(ShownPath(path), FailureText(failure, language));
}

}  // namespace

QString FileErrorMessage(NativeFileError error, const QString& path) {
    const char* text = "An unknown error occurred while accessing %1.";
    switch (error) {
        case NativeFileError::kNotFound:
            text = "%1 was not found.";
            break;
        case NativeFileError::kBadPath:
            text = "%1 contains an incorrect path.";
            break;
        case NativeFileError::kTooManyOpen:
            text = "%1 could not be opened because there are too many open files.";
            break;
        case NativeFileError::kAccessDenied:
            text = "Access to %1 was denied.";
            break;
        case NativeFileError::kSharing:
            text = "Encountered a sharing violation while accessing %1.";
            break;
        case NativeFileError::kHardIo:
            text = "A hardware I/O error was reported while accessing %1.";
            break;
        case NativeFileError::kDiskFull:
            text = "Disk full while accessing %1.";
            break;
        case NativeFileError::kNone:
        case NativeFileError::kGeneric:
            break;
    }
    return QString::fromUtf8(text).arg(ShownPath(path));
}

ParameterFiles::ParameterFiles(ParameterPages& pages, TemplateWidget& mainWindow,
                               MainWindowReader readMainWindow)
    : m_pages(pages), m_mainWindow(mainWindow), m_readMainWindow(std::move(readMainWindow)) {}

std::optional<ParameterValues> ParameterFiles::ReadScreen() {
    ParameterValues values;
    if (!m_pages.ReadForFile(values) || !m_readMainWindow(values.m_mainWindow)) {
        return std::nullopt;
    }
    return values;
}

bool ParameterFiles::Save() {
    const std::optional<ParameterValues> values = ReadScreen();
    if (!values) {
        return false;
    }
    const QString path = AppPrompts().SaveFileName(FileKind::kParameterFile,
                                                   QString::fromLatin1(kDefaultSuffix),
                                                   QString::fromLatin1(kDefaultName),
                                                   QString::fromLatin1(kParameterFileFilter));
    if (path.isEmpty()) {
        return false;
    }
    // The file first: one that cannot be created leaves the write frames as they are.
    NativeFile file;
    if (!file.Open(path, NativeFileMode::kCreate)) {
        AppPrompts().Message(FileErrorMessage(file.Error(), path));
        return false;
    }
    const std::optional<std::string> text = SaveConfiguration(*values, true);
    if (!text) {
        AppPrompts().Message(FileErrorMessage(NativeFileError::kGeneric, path));
        return false;
    }
    if (!file.Write(text->data(), static_cast<std::int64_t>(text->size())) || !file.Close()) {
        AppPrompts().Message(FileErrorMessage(file.Error(), path));
        return false;
    }
    return true;
}

std::optional<std::string> ParameterFiles::ReadFile(const QString& path) {
    NativeFile file;
    std::string text;
    bool read = file.Open(path, NativeFileMode::kRead);
    char buffer[4096];
    while (read) {
        const std::int64_t got = file.Read(buffer, sizeof buffer);
        if (got <= 0) {
            read = got == 0;
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    if (!read) {
        AppPrompts().Message(FileErrorMessage(file.Error(), path));
        return std::nullopt;
    }
    return text;
}

std::optional<ParameterValues> ParameterFiles::Import() {
    const QString path = AppPrompts().OpenFileName(FileKind::kParameterFile,
                                                   QString::fromLatin1(kParameterFileFilter));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    const std::optional<std::string> text = ReadFile(path);
    if (!text) {
        return std::nullopt;
    }
    // The import starts from what the pages hold: values a block leaves alone stay as shown.
    ParameterValues values;
    m_pages.Collect(values);
    const ImportResult result = ImportConfiguration(*text, values);
    if (!result.m_imported) {
        AppPrompts().Message(RefusalMessage(path, result.m_failure, m_mainWindow.Language()));
        return std::nullopt;
    }
    m_pages.ApplyAll(values);
    return values;
}

CompareDialog* ParameterFiles::Compare(const std::optional<ParameterValues>& reference) {
    const std::optional<ParameterValues> current = ReadScreen();
    if (!current) {
        return nullptr;
    }
    return ShowCompare(reference, *current, m_pages, m_mainWindow);
}

CompareDialog* ParameterFiles::CompareWithFile() {
    const std::optional<ParameterValues> current = ReadScreen();
    if (!current) {
        return nullptr;
    }
    const QString path = AppPrompts().OpenFileName(FileKind::kParameterFile,
                                                   QString::fromLatin1(kParameterFileFilter));
    if (path.isEmpty()) {
        return nullptr;
    }
    const std::optional<std::string> text = ReadFile(path);
    if (!text) {
        return nullptr;
    }
    const ConfigParseResult parsed = ParseConfiguration(*text);
    if (!parsed.m_ok) {
        AppPrompts().Message(RefusalMessage(path, parsed.m_failure, m_mainWindow.Language()));
        return nullptr;
    }
    return ShowCompare(ShownParameterValues(parsed.m_blocks), *current, m_pages, m_mainWindow,
                       ShownPath(path));
}
