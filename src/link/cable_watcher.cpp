#include "link/cable_watcher.h"

#include "link/qt_clock.h"

CableWatcher::CableWatcher(PortSource& source, QObject* parent)
    : QObject(parent),
      m_source(source),
      m_ownClock(std::make_unique<QtClock>(this)),
      m_clock(*m_ownClock) {}

CableWatcher::CableWatcher(PortSource& source, Clock& clock, QObject* parent)
    : QObject(parent), m_source(source), m_clock(clock) {}

CableWatcher::~CableWatcher() = default;

void CableWatcher::Start() {
    if (m_running)
        return;
    m_running = true;
    FirstSample();
}

void CableWatcher::FirstSample() {
    const PortSource::Cable cable = m_source.CablePresence();
    if (cable == PortSource::Cable::kUnknown) {
        m_running = false;
        emit ended();
        return;
    }
    m_first = cable == PortSource::Cable::kPresent;
    m_clock.Schedule(kSampleGapMs, [this] { SecondSample(); });
}

void CableWatcher::SecondSample() {
    const PortSource::Cable cable = m_source.CablePresence();
    // A sample that cannot be taken leaves the previous value in place.
    const bool second =
        cable == PortSource::Cable::kUnknown ? m_first : cable == PortSource::Cable::kPresent;
    if (second == m_first) {
        if (!second && !m_absentShown) {
            m_absentShown = true;
            emit statusText(kStatusDisconnectedText);
        } else if (second && !m_presentShown) {
            m_presentShown = true;
            emit statusText(kStatusConnectedText);
        }
    } else if (!second) {
        emit statusText(kStatusDisconnectedText);
    } else {
        emit statusText(kStatusConnectedText);
        emit cableReturned();
    }
    m_clock.Schedule(kCycleGapMs, [this] { FirstSample(); });
}
