#pragma once
// The port search behind the port list: the platform's ports in its order, after an entry the
// program pins first (the demo's device or --port's name), at most kMaxListedPorts in all. The
// first entry is the one to select after every search.

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class PortSource;
class QThread;

// The hidden label's text while `name` is being found: "<name>  is  Finding...".
QString FindingLabel(const QString& name);

// The names for the list, or nothing when the platform's list cannot be read (the list then
// stays as it was). `onFound` gets FindingLabel of each listed port, in order. A listed port
// equal to the pinned entry is not listed twice.
std::optional<QStringList> SearchPorts(PortSource& source, const QString& pinned,
                                       const std::function<void(const QString&)>& onFound = {});

// One search at a time on a thread of its own, so the window never waits for the platform.
// Results come back as signals on the searcher's thread.
class PortSearcher : public QObject {
    Q_OBJECT

public:
    // `source` must outlive the searcher and may be used from the search thread.
    explicit PortSearcher(PortSource& source, QObject* parent = nullptr);
    ~PortSearcher() override;

    void SetPinned(const QString& pinned) { m_pinned = pinned; }
    const QString& Pinned() const { return m_pinned; }
    // False while a search is still running (the click is then ignored).
    bool Start();
    bool Running() const { return m_thread != nullptr; }
    // Waits for a running search (tests; the destructor).
    void Wait();

signals:
    void portFound(const QString& label);
    void finished(const QStringList& names);
    // The platform's list could not be read: the list stays as it was.
    void failed();

private:
    PortSource& m_source;
    QString m_pinned;
    std::unique_ptr<QThread> m_thread;
};
