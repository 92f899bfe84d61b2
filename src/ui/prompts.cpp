#include "ui/prompts.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace {

Prompts* g_prompts = nullptr;

QWidget* DialogParent() {
    return QApplication::activeWindow();
}

}  // namespace

void DialogPrompts::Message(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromLatin1(kMessageBoxTitle), text,
                    QMessageBox::Ok, DialogParent());
    box.exec();
}

bool DialogPrompts::Confirm(const QString& text) {
    QMessageBox box(QMessageBox::Warning, QString(), text, QMessageBox::Ok | QMessageBox::Cancel,
                    DialogParent());
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

namespace {

// The folder a dialog for `kind` starts in, and where its choice is kept.
QString StartFolder(FileKind kind) {
    FileFolders* folders = AppFileFolders();
    return folders != nullptr ? folders->StartFolder(kind) : DocumentsFolder();
}

QString Remembered(FileKind kind, const QString& chosen) {
    if (FileFolders* folders = AppFileFolders(); folders != nullptr && !chosen.isEmpty()) {
        folders->Remember(kind, chosen);
    }
    return chosen;
}

}  // namespace

QString DialogPrompts::OpenFileName(FileKind kind, const QString& filters) {
    QFileDialog dialog(DialogParent(), QString(), StartFolder(kind), filters);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return Remembered(kind, RunFileDialog(dialog));
}

QString DialogPrompts::SaveFileName(FileKind kind, const QString& defaultSuffix,
                                    const QString& initialName, const QString& filters) {
    QFileDialog dialog(DialogParent(), QString(),
                       QDir::toNativeSeparators(QDir(StartFolder(kind)).filePath(initialName)),
                       filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    return Remembered(kind, RunFileDialog(dialog));
}

QString DialogPrompts::RunFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

Prompts& AppPrompts() {
    static DialogPrompts dialogs;
    return g_prompts != nullptr ? *g_prompts : dialogs;
}

Prompts* SetAppPrompts(Prompts* prompts) {
    Prompts* previous = g_prompts;
    g_prompts = prompts;
    return previous;
}
