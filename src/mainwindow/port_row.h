#pragma once
// The port row of the main window: the port list, the open/close button, the search button,
// the device status and the cable watcher with its automatic reopen.

#include <QObject>
#include <QString>
#include <memory>

#include "link/port_open_sequence.h"

class CableWatcher;
class CTarvikDlg;
class PortSearcher;
class PortSource;

class PortRow : public QObject {
    Q_OBJECT
public:
    PortRow(CTarvikDlg& window, PortSource& ports, const QString& pinned);
    ~PortRow() override;

    // Starts the first search and the cable watcher.
    void Start();

    void OnOpenPortClicked();
    void OnSearchPortsClicked();

    bool Running() const { return m_sequence->Running(); }
    bool PortOpen() const;
    const QString& PortName() const { return m_sequence->PortName(); }
    PortOpenSequence& Sequence() { return *m_sequence; }
    PortSearcher& Searcher() { return *m_searcher; }

signals:
    void runningChanged(bool running);

private:
    void ShowStatus(int stringId);
    void ShowPortState(bool open);
    QString BaudText() const;
    bool CanEnabled() const;

    CTarvikDlg& m_window;
    std::unique_ptr<PortOpenSequence> m_sequence;
    std::unique_ptr<CableWatcher> m_watcher;
    std::unique_ptr<PortSearcher> m_searcher;
    // The caption language the button was opened with: the close shows the matching one.
    bool m_englishCaption = false;
};
