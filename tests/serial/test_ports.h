#pragma once
// Where the platforms differ for the open tests: ports that cannot be opened, what the user is
// shown for them, and what the platform's own ports cannot show.

#include <QString>

struct UnopenablePort {
    QString path;
    const char* message;  // the first line shown
    QString reason;       // the system's reason under it; empty: no second line
};

// A name no device has.
UnopenablePort MissingPort();
// A device that exists but is no serial port.
UnopenablePort NotASerialPort();
// Why a second program's open of a held port cannot be refused here; empty when it is.
QString WhyABusyPortCannotBeShown();
