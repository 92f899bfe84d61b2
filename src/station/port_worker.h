#pragma once
// One port's worker process: `tarvik-cli auto --port P --events jsonl --supervised ...`. Reads
// its event lines as they come; stop is asked by closing its standard input, which works the
// same on every platform and also ends a worker whose supervisor died.

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>

#include "station/station_event.h"

class PortWorker : public QObject {
    Q_OBJECT

public:
    PortWorker(const QString& port, const QString& program, const QStringList& arguments,
               QObject* parent = nullptr);
    ~PortWorker() override;

    const QString& Port() const { return m_port; }
    void Start();
    // Asks the worker to end: its operation under way ends as a cancelled record.
    void RequestStop();
    void Kill();
    // Waits up to `milliseconds` for the process to end; true once it has (or never ran).
    bool WaitForEnd(int milliseconds);
    bool Running() const { return m_process.state() != QProcess::NotRunning; }
    qint64 ProcessId() const { return m_process.processId(); }

signals:
    void eventReceived(const StationEvent& event);
    // The last lines the worker wrote on stderr, for a worker that ended without telling why.
    void ended(bool crashed, int exitCode, const QString& lastError);

private:
    void ReadEvents();
    void ReadErrors();

    QString m_port;
    QString m_program;
    QStringList m_arguments;
    QProcess m_process;
    QByteArray m_pending;
    QString m_lastError;
    bool m_endReported = false;
};
