#pragma once
// The open/close button and the cable's reopen as timer-driven sequences: what the window does
// to the port, without the window. Each 200 ms wait lets the previous receive thread end; while a
// sequence runs the window takes no input that starts or changes anything (Running()).
//
// Open (the button while closed): close an open port, show "Connected", wait 200 ms, remember
// the name, then the open sequence on its device path. The open sequence (also the cable's
// reopen of the remembered name): abandon any transfer, close an open port, wait 200 ms, open at
// the rate at the start of the baud list's text; unless that open failed, prepare the sender
// again and reset the download view. With no name nothing is opened but the rest still runs.

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

#include "core/commands/clock.h"

class ControllerLink;
class QtClock;

// The decimal number at the start of `text` ("115200", "9600 bps"); 0 when there is none.
// Larger than any rate a port takes: saturates.
std::uint32_t ParseLeadingBaud(const QString& text);

class PortOpenSequence : public QObject {
    Q_OBJECT

public:
    enum class Request { kOpen, kClose, kReopen };
    Q_ENUM(Request)

    static constexpr int kSettleMs = 200;

    // On Qt timers of this object's thread.
    explicit PortOpenSequence(ControllerLink& link, QObject* parent = nullptr);
    // On `clock` (tests).
    PortOpenSequence(ControllerLink& link, Clock& clock, QObject* parent = nullptr);
    ~PortOpenSequence() override;

    // The open button while its caption says "open". `baudText` is page 1's baud list text,
    // `can` its "CAN enable". False (nothing done) while a sequence runs.
    bool Open(const QString& name, const QString& baudText, bool can);
    // The button while its caption says "close": close, wait 200 ms. The status is not touched.
    bool Close();
    // The cable came back: the open sequence with the last name the button opened.
    bool Reopen(const QString& baudText, bool can);

    bool Running() const { return m_running; }
    // The name the button last asked to open (set before the open, also when it fails); empty
    // until then.
    const QString& PortName() const { return m_portName; }

signals:
    void runningChanged(bool running);
    // An open request has closed any open port: the device status shows "Connected" (117).
    void statusText(int stringId);
    // Step one of the open sequence: any transfer is abandoned (m_busy = 0); the window resets
    // its "downloading" mark and lets received download bytes into the log again.
    void transferAbandoned();
    // The port opened (or no name was given): the sender is prepared again; the progress bar
    // goes to 0 of 0..100 and the log and percent text are emptied.
    void downloadViewReset();
    // A request ended; `portOpen` is the port's real state, for the caption and page 1.
    void finished(PortOpenSequence::Request request, bool portOpen);

private:
    bool Begin();
    void OpenSequence(const QString& path, const QString& baudText, bool can, Request request);
    void Finish(Request request);

    ControllerLink& m_link;
    std::unique_ptr<QtClock> m_ownClock;
    Clock& m_clock;
    bool m_running = false;
    QString m_portName;
};
