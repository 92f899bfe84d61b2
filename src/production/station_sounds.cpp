#include "production/station_sounds.h"

#include "core/commands/auto_production.h"
#include "ui/sounds.h"

namespace {
QString Name(std::string_view name) {
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}
}  // namespace

StationSounds::StationSounds(Sounds& sounds, int gapMs, QObject* parent)
    : QObject(parent), m_sounds(sounds), m_gapMs(gapMs) {
    m_gap.setSingleShot(true);
    connect(&m_gap, &QTimer::timeout, this, &StationSounds::PlayNext);
}

QString StationSounds::PassSound(int mode) {
    switch (mode) {
        case 1:
            return Name(sound_files::kWriteSuccess);
        case 3:
            return Name(sound_files::kReadSuccess);
        default:
            return Name(sound_files::kDownloadSuccess);
    }
}

QString StationSounds::FailSound() {
    return Name(sound_files::kWriteError);
}

void StationSounds::OperationEnded(bool passed) {
    (passed ? m_passPending : m_failurePending) = true;
    // Outcomes reported in the same moment are gathered before the first sound is chosen.
    if (!m_gap.isActive())
        m_gap.start(0);
}

void StationSounds::PlayNext() {
    if (m_failurePending) {
        m_failurePending = false;
        m_sounds.Play(FailSound());
    } else if (m_passPending) {
        m_passPending = false;
        m_sounds.Play(PassSound(m_mode));
    } else {
        return;
    }
    m_gap.start(m_gapMs);
}
