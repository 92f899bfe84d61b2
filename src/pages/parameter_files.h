#pragma once
// The main window's commands over parameter files and the set on screen: save the set to a
// file, import a file into the pages, and compare the set with a reference or a file. The
// bytes are the core's; this class reads the pages and the main window, asks for the file and
// reports what went wrong.
//
// A command that reads the pages stops at the first field that does not read: that field's one
// message is shown, and no later page is read, nothing is encoded, no file dialog opens.

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "app/native_file.h"
#include "core/params/parameter_values.h"

class CompareDialog;
class ParameterPages;
class TemplateWidget;

// The file dialogs' filter: "Bin Files(*.ini)" for *.ini and "all files(*.*)" for everything.
inline constexpr char kParameterFileFilter[] = "Bin Files(*.ini);;all files(*.*) (*)";

class ParameterFiles {
public:
    // Reads the main window's calibration edits through the window's own exchange into
    // `values`; false when a field did not read (its message shown).
    using MainWindowReader = std::function<bool(MainWindowValues& values)>;

    // `mainWindow` parents the compare dialog and gives the captions of its own edits.
    ParameterFiles(ParameterPages& pages, TemplateWidget& mainWindow,
                   MainWindowReader readMainWindow);

    // Button 1064: reads pages 1, 2, 3, the port settings page and the main window, asks for
    // the file ("Config.ini"), encodes blocks 1..7 into the write frames and writes them. True
    // when the file was written.
    bool Save();
    // Button 1063: asks for a file, reads it and, when it is a parameter file, decodes it into
    // the pages (fields and controls) and the write frames. Returns the set the window holds
    // then, its main-window part the three calibration values for edits 1010, 1011 and 1012;
    // nothing when cancelled, unreadable or refused, and then nothing changed.
    std::optional<ParameterValues> Import();

    // Reads the set on screen as the save does and lists how it differs from `reference` (the
    // set last read from the controller or imported; none yet: the dialog says so). Nothing
    // when a field did not read.
    CompareDialog* Compare(const std::optional<ParameterValues>& reference);
    // The same against a parameter file the user picks.
    CompareDialog* CompareWithFile();

private:
    std::optional<ParameterValues> ReadScreen();
    // The file's content, or nothing after its message was shown.
    std::optional<std::string> ReadFile(const QString& path);

    ParameterPages& m_pages;
    TemplateWidget& m_mainWindow;
    MainWindowReader m_readMainWindow;
};

// The framework's message for a file that could not be opened, read or written, naming `path`.
QString FileErrorMessage(NativeFileError error, const QString& path);
