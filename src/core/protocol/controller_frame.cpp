#include "core/protocol/controller_frame.h"

#include "core/protocol/link_flags.h"

void DispatchControllerFrame(ControllerFrameView frame, ControllerFrameHandler& handler) {
    const std::uint8_t a = frame[3];
    const std::uint8_t b = frame[4];
    if ((a == 'Y' && b == 'B') || (a == 'E' && (b == '1' || b == '2'))) {
        handler.OnStatusFrame(frame);
    } else if (a == 'R') {
        // A command waiting on the GUI thread must see the flag even while the decoder runs.
        g_paramFrameSeen = 1;
        handler.OnParameterFrame(frame);
        g_refreshTicks = 8;
    } else if (a == 'P' && b == 'N') {
        g_writeAcknowledged = 1;
        handler.OnWriteAcknowledged();
    } else if (a == 0xFE && b == 0xEF && frame[5] == 0x55 && frame[6] == 0xAA) {
        g_announceSeen = 1;
        handler.OnAnnouncement();
    }
    g_frameCount.fetch_add(1);
}
