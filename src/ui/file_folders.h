#pragma once
// Where the file dialogs start: the folder last used for that kind of file, kept in the per-user
// settings, else the user's documents folder (never the program's own folder, the working
// folder of its shortcut, where a standard user cannot write). Paths in the platform's
// separators, as the dialogs show them.

#include <QString>

class ProfileSettings;

// The kinds of file the tool asks for, each with its own last folder.
enum class FileKind { kProgramImage, kParameterFile, kRecordsExport, kChartRecording };

class FileFolders {
public:
    explicit FileFolders(ProfileSettings& settings);

    // The folder a dialog for `kind` starts in; a remembered folder that is gone no longer
    // counts.
    QString StartFolder(FileKind kind) const;
    // The folder of `chosenFile` becomes the kind's start.
    void Remember(FileKind kind, const QString& chosenFile);

    // The settings key of a kind's folder.
    static const char* Key(FileKind kind);

private:
    ProfileSettings& m_settings;
};

// The folders the program's file dialogs use; none (the documents folder, nothing kept) until
// the window sets its settings store. Returns the one replaced.
FileFolders* SetAppFileFolders(FileFolders* folders);
FileFolders* AppFileFolders();
// The documents folder (the home folder where there is none), in the platform's separators.
QString DocumentsFolder();
