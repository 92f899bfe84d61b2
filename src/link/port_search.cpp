#include "link/port_search.h"

#include <QThread>

#include "link/port_source.h"
#include "serial/port_list.h"

QString FindingLabel(const QString& name) {
    return name + QStringLiteral("  is  Finding...");
}

std::optional<QStringList> SearchPorts(PortSource& source, const QString& pinned,
                                       const std::function<void(const QString&)>& onFound) {
    const std::optional<QStringList> listed = source.ListPorts();
    if (!listed)
        return std::nullopt;
    QStringList names;
    if (!pinned.isEmpty())
        names << pinned;
    for (const QString& name : *listed) {
        if (static_cast<std::size_t>(names.size()) >= kMaxListedPorts)
            break;
        if (onFound)
            onFound(FindingLabel(name));
        if (name != pinned)
            names << name;
    }
    return names;
}

PortSearcher::PortSearcher(PortSource& source, QObject* parent)
    : QObject(parent), m_source(source) {}

PortSearcher::~PortSearcher() {
    Wait();
}

bool PortSearcher::Start() {
    if (m_thread)
        return false;
    const QString pinned = m_pinned;
    m_thread.reset(QThread::create([this, pinned] {
        // Posted to this object, so the signals come on its thread and die with it.
        const auto post = [this](std::function<void()> step) {
            QMetaObject::invokeMethod(this, std::move(step), Qt::QueuedConnection);
        };
        const std::optional<QStringList> names =
            SearchPorts(m_source, pinned, [&post, this](const QString& label) {
                post([this, label] { emit portFound(label); });
            });
        post([this, names] {
            Wait();
            if (names)
                emit finished(*names);
            else
                emit failed();
        });
    }));
    m_thread->start();
    return true;
}

void PortSearcher::Wait() {
    if (!m_thread)
        return;
    m_thread->wait();
    m_thread.reset();
}
