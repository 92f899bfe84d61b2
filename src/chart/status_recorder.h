#pragma once
// Writes status rows to a CSV file as they arrive. Each row is flushed as it is written: at
// four rows a second this costs nothing, and a crash loses no row already received.

#include <QFile>
#include <QString>
#include <cstdint>
#include <functional>

#include "core/protocol/live_status.h"

class StatusRecorder {
public:
    // Milliseconds on any steady scale; the rows' times count from Start.
    using Clock = std::function<std::int64_t()>;
    explicit StatusRecorder(Clock clock);

    // Creates (or empties) the file and writes the header. False when it cannot.
    bool Start(const QString& path);
    // One row for a status that answered a request of `displayMode`. False when the file did
    // not take it; the recording then stops.
    bool Write(const LiveStatus& status, int displayMode);
    void Stop();

    bool Active() const { return m_file.isOpen(); }
    int Rows() const { return m_rows; }
    QString Path() const { return m_file.fileName(); }

private:
    bool WriteLine(const std::string& line);

    Clock m_clock;
    QFile m_file;
    std::int64_t m_startMs = 0;
    int m_rows = 0;
};
