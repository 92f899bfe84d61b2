#include "link/port_open_sequence.h"

#include <limits>

#include "link/cable_watcher.h"
#include "link/controller_link.h"
#include "link/port_source.h"
#include "link/qt_clock.h"

std::uint32_t ParseLeadingBaud(const QString& text) {
    std::uint64_t value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        value = std::min<std::uint64_t>(value * 10 + static_cast<std::uint64_t>(c.unicode() - '0'),
                                        std::numeric_limits<std::uint32_t>::max());
    }
    return static_cast<std::uint32_t>(value);
}

PortOpenSequence::PortOpenSequence(ControllerLink& link, QObject* parent)
    : QObject(parent),
      m_link(link),
      m_ownClock(std::make_unique<QtClock>(this)),
      m_clock(*m_ownClock) {}

PortOpenSequence::PortOpenSequence(ControllerLink& link, Clock& clock, QObject* parent)
    : QObject(parent), m_link(link), m_clock(clock) {}

PortOpenSequence::~PortOpenSequence() = default;

bool PortOpenSequence::Begin() {
    if (m_running)
        return false;
    m_running = true;
    emit runningChanged(true);
    return true;
}

void PortOpenSequence::Finish(Request request) {
    m_running = false;
    emit runningChanged(false);
    emit finished(request, m_link.IsOpen());
}

bool PortOpenSequence::Open(const QString& name, const QString& baudText, bool can) {
    if (!Begin())
        return false;
    if (m_link.IsOpen())
        m_link.Close();
    emit statusText(kStatusConnectedText);
    m_clock.Schedule(kSettleMs, [this, name, baudText, can] {
        m_portName = name;
        OpenSequence(PortPathForName(name), baudText, can, Request::kOpen);
    });
    return true;
}

bool PortOpenSequence::Close() {
    if (!Begin())
        return false;
    m_link.Close();
    m_clock.Schedule(kSettleMs, [this] { Finish(Request::kClose); });
    return true;
}

bool PortOpenSequence::Reopen(const QString& baudText, bool can) {
    if (!Begin())
        return false;
    OpenSequence(PortPathForName(m_portName), baudText, can, Request::kReopen);
    return true;
}

void PortOpenSequence::OpenSequence(const QString& path, const QString& baudText, bool can,
                                    Request request) {
    m_link.AbandonDownload();
    emit transferAbandoned();
    if (m_link.IsOpen())
        m_link.Close();
    m_clock.Schedule(kSettleMs, [this, path, baudText, can, request] {
        const std::uint32_t baud = ParseLeadingBaud(baudText);
        // A failed open has shown its message; the sender and the view stay as they were.
        if (!path.isEmpty() && !m_link.Open(path, baud, can)) {
            Finish(request);
            return;
        }
        m_link.ReinitialiseSender();
        emit downloadViewReset();
        Finish(request);
    });
}
