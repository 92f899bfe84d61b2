#include "chart/status_recorder.h"

#include "core/protocol/status_csv.h"

StatusRecorder::StatusRecorder(Clock clock) : m_clock(std::move(clock)) {}

bool StatusRecorder::Start(const QString& path) {
    Stop();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    m_startMs = m_clock();
    m_rows = 0;
    if (!WriteLine(StatusCsvHeader())) {
        Stop();
        return false;
    }
    return true;
}

bool StatusRecorder::Write(const LiveStatus& status, int displayMode) {
    if (!Active())
        return false;
    if (!WriteLine(StatusCsvRow(m_clock() - m_startMs, status, displayMode))) {
        Stop();
        return false;
    }
    ++m_rows;
    return true;
}

void StatusRecorder::Stop() {
    if (m_file.isOpen())
        m_file.close();
}

bool StatusRecorder::WriteLine(const std::string& line) {
    const std::string withEnd = line + '\n';
    const auto size = static_cast<qint64>(withEnd.size());
    return m_file.write(withEnd.data(), size) == size && m_file.flush();
}
