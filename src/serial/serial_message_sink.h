#pragma once
// Where the serial port reports a failed open: the window shows a message box, the command line
// prints to stderr.

#include <QString>

class SerialMessageSink {
public:
    virtual ~SerialMessageSink() = default;
    // May be called from any thread that opens the port.
    virtual void ShowSerialMessage(const QString& text) = 0;
};
