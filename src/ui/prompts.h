#pragma once
// Everything that asks the user and waits: the framework's message box, the OK/Cancel
// confirmation and the file dialogs. Behind one interface so that tests and the automatic
// production modes never block on a modal dialog.

#include <QString>

#include "ui/file_folders.h"

class QFileDialog;
class QWidget;

class Prompts {
public:
    virtual ~Prompts() = default;

    // The framework's message box: titled with the application's name, warning icon, OK.
    virtual void Message(const QString& text) = 0;
    // OK/Cancel with a warning icon, Cancel the default, no caption; true for OK.
    virtual bool Confirm(const QString& text) = 0;
    // A file of `kind` to open or to save; empty when the user cancelled. `filters` in Qt's
    // form, "Bin Files(*.bin);;all files(*.*) (*)". The dialog starts in the kind's folder.
    virtual QString OpenFileName(FileKind kind, const QString& filters) = 0;
    virtual QString SaveFileName(FileKind kind, const QString& defaultSuffix,
                                 const QString& initialName, const QString& filters) = 0;
};

// Modal Qt dialogs over the active window.
class DialogPrompts : public Prompts {
public:
    void Message(const QString& text) override;
    bool Confirm(const QString& text) override;
    QString OpenFileName(FileKind kind, const QString& filters) override;
    QString SaveFileName(FileKind kind, const QString& defaultSuffix, const QString& initialName,
                         const QString& filters) override;

protected:
    // Shows a prepared file dialog and waits for the user: the chosen file, or empty when they
    // cancelled. Tests answer here instead, seeing the dialog exactly as the user would get it.
    virtual QString RunFileDialog(QFileDialog& dialog);
};

// The prompts every window uses; DialogPrompts unless a test put its own in place.
Prompts& AppPrompts();
// Returns the prompts replaced; nullptr puts the dialogs back.
Prompts* SetAppPrompts(Prompts* prompts);

// The title of every message box, in both languages.
inline constexpr char kMessageBoxTitle[] = "Tarvik";
