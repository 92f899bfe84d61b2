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

QString DialogPrompts::OpenFileName(FileKind kind, const QString& filters) {
    FileFolders* folders = AppFileFolders();
    const QString start = folders != nullptr ? folders->StartFolder(kind) : DocumentsFolder();
    const QString chosen = QFileDialog::getOpenFileName(DialogParent(), QString(), start, filters);
    if (folders != nullptr) {
        folders->Remember(kind, chosen);
    }
    return chosen;
}

QString DialogPrompts::SaveFileName(FileKind kind, const QString& defaultSuffix,
                                    const QString& initialName, const QString& filters) {
    FileFolders* folders = AppFileFolders();
    const QString start = folders != nullptr ? folders->StartFolder(kind) : DocumentsFolder();
    QFileDialog dialog(DialogParent(), QString(),
                       QDir::toNativeSeparators(QDir(start).filePath(initialName)), filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    if (folders != nullptr) {
        folders->Remember(kind, chosen);
    }
    return chosen;
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
