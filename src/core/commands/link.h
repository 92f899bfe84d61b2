#pragma once
// What the command sequences need of the serial link and the download.

#include "core/protocol/command_frame.h"

class Link {
public:
    virtual ~Link() = default;
    // Writes the 24 bytes; does nothing while the port is closed. Nobody looks at a result.
    virtual void Write(const CommandFrame& frame) = 0;
    virtual bool IsOpen() const = 0;
    // True while a firmware transfer has the receive path (the sender's m_busy is 1).
    virtual bool DownloadRunning() const = 0;
};
