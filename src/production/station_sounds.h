#pragma once
// The station's sounds: several ports can end within one moment, and overlapping sounds are
// noise an operator cannot read. One sound plays at a time; outcomes that arrive meanwhile
// wait and are merged, a failure before a pass, so the failure is never drowned.

#include <QObject>
#include <QString>
#include <QTimer>

class Sounds;

class StationSounds : public QObject {
    Q_OBJECT

public:
    // `gapMs`: how long a sound is given before the next may play.
    StationSounds(Sounds& sounds, int gapMs = 1500, QObject* parent = nullptr);

    // The sound a pass makes in the station's mode (1, 2 or 3), as the single-port modes play it.
    void SetMode(int mode) { m_mode = mode; }
    void OperationEnded(bool passed);
    bool Pending() const { return m_failurePending || m_passPending; }

    static QString PassSound(int mode);
    static QString FailSound();

private:
    void PlayNext();

    Sounds& m_sounds;
    QTimer m_gap;
    int m_gapMs;
    int m_mode = 2;
    bool m_failurePending = false;
    bool m_passPending = false;
};
