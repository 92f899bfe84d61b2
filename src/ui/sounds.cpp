#include "ui/sounds.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

SoundEffects::SoundEffects() = default;

SoundEffects::~SoundEffects() {
    qDeleteAll(m_effects);
}

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

void SoundEffects::Play(const QString& fileName) {
    // The working directory can change between plays, like the original's lookup by bare name.
    const QString path = Locate(fileName);
    if (path.isEmpty()) {
        return;
    }
    QSoundEffect*& effect = m_effects[path];
    if (effect == nullptr) {
        effect = new QSoundEffect;
        effect->setSource(QUrl::fromLocalFile(path));
    }
    effect->play();
}
