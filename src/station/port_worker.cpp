#include "station/port_worker.h"

PortWorker::PortWorker(const QString& port, const QString& program, const QStringList& arguments,
                       QObject* parent)
    : QObject(parent), m_port(port), m_program(program), m_arguments(arguments) {
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &PortWorker::ReadEvents);
    connect(&m_process, &QProcess::readyReadStandardError, this, &PortWorker::ReadErrors);
    connect(&m_process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        ReadEvents();
        ReadErrors();
        if (m_endReported)
            return;
        m_endReported = true;
        emit ended(status == QProcess::CrashExit, code, m_lastError);
    });
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        // A program that never started gives no finished().
        if (error != QProcess::FailedToStart || m_endReported)
            return;
        m_endReported = true;
        emit ended(true, -1, m_process.errorString());
    });
}

PortWorker::~PortWorker() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

void PortWorker::Start() {
    m_pending.clear();
    m_lastError.clear();
    m_endReported = false;
    m_process.start(m_program, m_arguments);
}

void PortWorker::RequestStop() {
    if (m_process.state() != QProcess::NotRunning)
        m_process.closeWriteChannel();
}

void PortWorker::Kill() {
    if (m_process.state() != QProcess::NotRunning)
        m_process.kill();
}

bool PortWorker::WaitForEnd(int milliseconds) {
    return m_process.state() == QProcess::NotRunning || m_process.waitForFinished(milliseconds);
}

void PortWorker::ReadEvents() {
    m_pending += m_process.readAllStandardOutput();
    qsizetype start = 0;
    for (qsizetype end = m_pending.indexOf('\n'); end >= 0; end = m_pending.indexOf('\n', start)) {
        const QByteArrayView line(m_pending.constData() + start, end - start);
        start = end + 1;
        if (line.trimmed().isEmpty())
            continue;
        if (auto event = StationEvent::FromJsonLine(line)) {
            // The worker names its port as it opened it; the station knows it by this name.
            event->port = m_port;
            emit eventReceived(*event);
        }
    }
    m_pending.remove(0, start);
}

void PortWorker::ReadErrors() {
    const QList<QByteArray> lines = m_process.readAllStandardError().split('\n');
    for (const QByteArray& line : lines) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (!text.isEmpty())
            m_lastError = text;
    }
}
