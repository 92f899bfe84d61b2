#include <QHash>
#include <QSoundEffect>
#include <QUrl>

#include "ui/sounds.h"

struct SoundEffects::Player {
    ~Player() { qDeleteAll(effects); }
    QHash<QString, QSoundEffect*> effects;
};

SoundEffects::SoundEffects() : m_player(std::make_unique<Player>()) {}

SoundEffects::~SoundEffects() = default;

void SoundEffects::Play(const QString& fileName) {
    // The working directory can change between plays, like the original's lookup by bare name.
    const QString path = Locate(fileName);
    if (path.isEmpty()) {
        return;
    }
    QSoundEffect*& effect = m_player->effects[path];
    if (effect == nullptr) {
        effect = new QSoundEffect;
        effect->setSource(QUrl::fromLocalFile(path));
    }
    effect->play();
}
