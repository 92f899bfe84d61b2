#include "ui/sounds.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QStringList SoundEffects::SearchFolders() {
    const QString program = QCoreApplication::applicationDirPath();
    QStringList folders{QDir::currentPath(), program,
                        QDir(program).filePath(QStringLiteral("../share/tarvik/sounds"))};
#ifdef TARVIK_SOURCE_SOUNDS_DIR
    folders << QStringLiteral(TARVIK_SOURCE_SOUNDS_DIR);
#endif
    return folders;
}

QString SoundEffects::Locate(const QString& fileName) {
    for (const QString& folder : SearchFolders()) {
        const QFileInfo file(QDir(folder).filePath(fileName));
        if (file.isFile() && file.isReadable()) {
            return file.absoluteFilePath();
        }
    }
    return {};
}
