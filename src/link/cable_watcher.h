#pragma once
// Watches the debugging cable (USB serial 10C4:EA60): two samples 500 ms apart, a new cycle
// 1 ms later. The device status shows each state once, and every change seen within a cycle;
// a return of the cable seen within a cycle asks for the last port to be opened again. A change
// that falls between two cycles is shown only if its text has not been shown before, and never
// reopens. Where the platform cannot enumerate USB serial devices the watcher ends silently.

#include <QObject>
#include <memory>

#include "core/commands/clock.h"
#include "link/port_source.h"

class QtClock;

// String table ids of the device status texts.
inline constexpr int kStatusConnectedText = 117;     // "已连接" / "Connected"
inline constexpr int kStatusDisconnectedText = 118;  // "已断开" / "Disconnected"

class CableWatcher : public QObject {
    Q_OBJECT

public:
    static constexpr int kSampleGapMs = 500;
    static constexpr int kCycleGapMs = 1;

    // On Qt timers of this object's thread.
    explicit CableWatcher(PortSource& source, QObject* parent = nullptr);
    // On `clock` (tests).
    CableWatcher(PortSource& source, Clock& clock, QObject* parent = nullptr);
    ~CableWatcher() override;

    // Takes the first sample at once. Does nothing while running.
    void Start();
    bool Running() const { return m_running; }

signals:
    // kStatusConnectedText or kStatusDisconnectedText for the device status.
    void statusText(int stringId);
    // The cable came back within a cycle: open the last opened port name again.
    void cableReturned();
    // The platform cannot tell; no more samples, no message.
    void ended();

private:
    void FirstSample();
    void SecondSample();

    PortSource& m_source;
    std::unique_ptr<QtClock> m_ownClock;
    Clock& m_clock;
    bool m_running = false;
    bool m_first = false;
    bool m_presentShown = false;
    bool m_absentShown = false;
};
