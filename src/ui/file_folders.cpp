#include "ui/file_folders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "app/profile_settings.h"

namespace {

FileFolders* g_folders = nullptr;

}  // namespace

FileFolders::FileFolders(ProfileSettings& settings) : m_settings(settings) {}

const char* FileFolders::Key(FileKind kind) {
    switch (kind) {
        case FileKind::kProgramImage:
            return "ProgramFolder";
        case FileKind::kParameterFile:
            return "ParameterFolder";
        case FileKind::kRecordsExport:
            return "RecordsExportFolder";
        case FileKind::kChartRecording:
            return "ChartFolder";
    }
    return "ProgramFolder";
}

QString FileFolders::StartFolder(FileKind kind) const {
    const QString kept = m_settings.ReadText(Key(kind));
    if (!kept.isEmpty() && QFileInfo(kept).isDir()) {
        return QDir::toNativeSeparators(kept);
    }
    return DocumentsFolder();
}

void FileFolders::Remember(FileKind kind, const QString& chosenFile) {
    if (chosenFile.isEmpty()) {
        return;
    }
    m_settings.WriteText(Key(kind),
                         QDir::toNativeSeparators(QFileInfo(chosenFile).absolutePath()));
}

FileFolders* SetAppFileFolders(FileFolders* folders) {
    FileFolders* previous = g_folders;
    g_folders = folders;
    return previous;
}

FileFolders* AppFileFolders() {
    return g_folders;
}

QString DocumentsFolder() {
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty() || !QFileInfo(documents).isDir()) {
        documents = QDir::homePath();
    }
    return QDir::toNativeSeparators(documents);
}
