#include "ui/prompts.h"

#include <QApplication>
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

QString DialogPrompts::OpenFileName(const QString& filters) {
    return QFileDialog::getOpenFileName(DialogParent(), QString(), QString(), filters);
}

QString DialogPrompts::SaveFileName(const QString& defaultSuffix, const QString& initialName,
                                    const QString& filters) {
    QFileDialog dialog(DialogParent(), QString(), initialName, filters);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(defaultSuffix);
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
