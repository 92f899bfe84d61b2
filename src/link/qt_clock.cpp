#include "link/qt_clock.h"

#include <QTimer>

void QtClock::Schedule(int milliseconds, std::function<void()> step) {
    // Precise: the command sequences' 100 ms and 1000 ms spacing is part of the protocol.
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, m_context, std::move(step));
}
