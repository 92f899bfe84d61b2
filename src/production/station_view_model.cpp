#include "production/station_view_model.h"

#include <QDateTime>
#include <algorithm>

namespace {

bool IsStart(StationPhase phase) {
    switch (phase) {
        case StationPhase::kBootEntry:
        case StationPhase::kDownloading:
        case StationPhase::kWriting:
        case StationPhase::kReading:
            return true;
        default:
            return false;
    }
}

// Names compared with their runs of digits as numbers, the rest without case.
bool PortNameLess(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            qsizetype endA = i;
            qsizetype endB = j;
            while (endA < a.size() && a[endA].isDigit())
                ++endA;
            while (endB < b.size() && b[endB].isDigit())
                ++endB;
            const qulonglong x = a.mid(i, endA - i).toULongLong();
            const qulonglong y = b.mid(j, endB - j).toULongLong();
            if (x != y)
                return x < y;
            i = endA;
            j = endB;
            continue;
        }
        const QChar x = a[i].toLower();
        const QChar y = b[j].toLower();
        if (x != y)
            return x < y;
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

}  // namespace

StationViewModel::StationViewModel(QObject* parent) : QObject(parent) {}

int StationViewModel::IndexOf(const QString& port) const {
    for (int i = 0; i < m_ports.size(); ++i) {
        if (m_ports[i].port == port)
            return i;
    }
    return -1;
}

const StationPortView* StationViewModel::Port(const QString& port) const {
    const int index = IndexOf(port);
    return index < 0 ? nullptr : &m_ports[index];
}

StationPortView* StationViewModel::Find(const QString& port) {
    const int index = IndexOf(port);
    return index < 0 ? nullptr : &m_ports[index];
}

void StationViewModel::Changed(const StationPortView& view) {
    emit portChanged(static_cast<int>(&view - m_ports.data()));
}

bool StationViewModel::ShowsOutcome(TileState state) {
    return state == TileState::kPassed || state == TileState::kFailed ||
           state == TileState::kCancelled;
}

void StationViewModel::RunStarted(qint64 nowMs) {
    m_running = true;
    m_startedMs = nowMs;
    for (StationPortView& view : m_ports) {
        view.state = TileState::kWaiting;
        view.percent = 0;
        view.message.clear();
        view.passed = 0;
        view.failed = 0;
        Changed(view);
    }
}

void StationViewModel::RunStopped() {
    m_running = false;
    for (StationPortView& view : m_ports) {
        if (ShowsOutcome(view.state))
            continue;
        view.state = TileState::kStopped;
        view.percent = 0;
        Changed(view);
    }
}

int StationViewModel::AddPort(const QString& port) {
    if (const int index = IndexOf(port); index >= 0)
        return index;
    StationPortView view;
    view.port = port;
    view.state = m_running ? TileState::kWaiting : TileState::kStopped;
    // Ports in the order of their names, numbers by value (ttyUSB2 before ttyUSB10), so a tile
    // keeps its place on the screen as others come.
    const auto at = std::find_if(m_ports.begin(), m_ports.end(), [&](const auto& other) {
        return PortNameLess(port, other.port);
    });
    const int index = static_cast<int>(at - m_ports.begin());
    m_ports.insert(index, view);
    emit portAdded(index);
    return index;
}

void StationViewModel::RemovePort(const QString& port) {
    const int index = IndexOf(port);
    if (index < 0)
        return;
    m_ports.removeAt(index);
    emit portRemoved(index);
}

void StationViewModel::SetCable(const QString& port, bool present) {
    StationPortView* view = Find(port);
    if (view == nullptr)
        view = &m_ports[AddPort(port)];
    if (view->cable == present)
        return;
    view->cable = present;
    Changed(*view);
}

void StationViewModel::Apply(const StationPortEvent& event) {
    StationPortView* view = Find(event.port);
    if (view == nullptr)
        view = &m_ports[AddPort(event.port)];
    const qint64 timeMs = event.timeMs != 0 ? event.timeMs : QDateTime::currentMSecsSinceEpoch();
    if (IsStart(event.phase)) {
        // A new controller (or the next step of this one): an old outcome gives way only now.
        if (view->state != TileState::kWorking) {
            view->percent = 0;
            view->message.clear();
        }
        view->state = TileState::kWorking;
        view->phase = event.phase;
        if (event.percent)
            view->percent = std::clamp(*event.percent, 0, 100);
        if (!event.message.isEmpty())
            view->message = event.message;
        Changed(*view);
        return;
    }
    switch (event.phase) {
        case StationPhase::kWaiting:
            // Waiting for the next controller keeps the last outcome in view.
            if (!ShowsOutcome(view->state)) {
                view->state = TileState::kWaiting;
                view->phase = StationPhase::kWaiting;
                view->percent = 0;
                if (!event.message.isEmpty())
                    view->message = event.message;
            }
            break;
        case StationPhase::kPassed:
        case StationPhase::kFailed: {
            const bool passed = event.phase == StationPhase::kPassed;
            view->state = passed ? TileState::kPassed : TileState::kFailed;
            view->phase = event.phase;
            if (passed)
                view->percent = 100;
            view->message = event.message;
            if (!event.softwareVersion.isEmpty())
                view->softwareVersion = event.softwareVersion;
            view->finishedMs = timeMs;
            ++(passed ? view->passed : view->failed);
            Changed(*view);
            emit operationEnded(view->port, passed);
            return;
        }
        case StationPhase::kCancelled:
            view->state = TileState::kCancelled;
            view->phase = event.phase;
            view->message = event.message;
            view->finishedMs = timeMs;
            break;
        default:
            break;
    }
    Changed(*view);
}

void StationViewModel::AddNote(StationPortView& view, const QString& note) {
    if (note.isEmpty() || view.message.contains(note))
        return;
    view.message = view.message.isEmpty() ? note : view.message + QStringLiteral(" · ") + note;
}

void StationViewModel::SetInUse(const QString& port, const QString& message) {
    SetUnavailable(port, TileState::kInUse, message);
}

void StationViewModel::SetPortError(const QString& port, const QString& message) {
    SetUnavailable(port, TileState::kPortError, message);
}

void StationViewModel::SetUnavailable(const QString& port, TileState state,
                                      const QString& message) {
    StationPortView* view = Find(port);
    if (view == nullptr)
        view = &m_ports[AddPort(port)];
    if (view->state == TileState::kWorking)
        return;
    if (ShowsOutcome(view->state)) {
        // The outcome stays in view until the next controller; what happened since is added.
        AddNote(*view, message);
    } else {
        view->state = state;
        view->percent = 0;
        view->message = message;
    }
    Changed(*view);
}

void StationViewModel::WorkerEnded(const QString& port, const QString& message) {
    StationPortView* view = Find(port);
    if (view == nullptr)
        return;
    if (view->state == TileState::kWorking) {
        view->state = TileState::kFailed;
        view->message = message;
        view->finishedMs = QDateTime::currentMSecsSinceEpoch();
        ++view->failed;
        Changed(*view);
        emit operationEnded(view->port, false);
        return;
    }
    if (ShowsOutcome(view->state)) {
        AddNote(*view, message);
    } else {
        view->state = TileState::kNoWorker;
        view->message = message;
    }
    view->percent = 0;
    Changed(*view);
}

void StationViewModel::WorkerStarted(const QString& port) {
    StationPortView* view = Find(port);
    if (view == nullptr)
        view = &m_ports[AddPort(port)];
    if (ShowsOutcome(view->state) || view->state == TileState::kWorking)
        return;
    view->state = TileState::kWaiting;
    view->message.clear();
    Changed(*view);
}

bool StationViewModel::OperationsRunning() const {
    return std::any_of(m_ports.begin(), m_ports.end(),
                       [](const auto& view) { return view.state == TileState::kWorking; });
}

int StationViewModel::TotalPassed() const {
    int total = 0;
    for (const auto& view : m_ports)
        total += view.passed;
    return total;
}

int StationViewModel::TotalFailed() const {
    int total = 0;
    for (const auto& view : m_ports)
        total += view.failed;
    return total;
}

int StationViewModel::ControllersPerHour(qint64 nowMs) const {
    const qint64 elapsed = nowMs - m_startedMs;
    if (m_startedMs == 0 || elapsed < 60000)
        return 0;
    return static_cast<int>((TotalPassed() + TotalFailed()) * 3600000LL / elapsed);
}
