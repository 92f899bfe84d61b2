#include <windows.h>
// After windows.h, whose types it uses.
#include <mmsystem.h>

#include <QDir>

#include "ui/sounds.h"

struct SoundEffects::Player {};

SoundEffects::SoundEffects() = default;

SoundEffects::~SoundEffects() = default;

void SoundEffects::Play(const QString& fileName) {
    // The working directory can change between plays, like the original's lookup by bare name.
    const QString path = Locate(fileName);
    if (path.isEmpty()) {
        return;
    }
    // Asynchronous, and silent rather than the system's default sound when the file is bad.
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    ::PlaySoundW(native.c_str(), nullptr, SND_FILENAME | SND_ASYNC | SND_NODEFAULT);
}
