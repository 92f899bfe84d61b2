#include "core/commands/status_request_tick.h"

#include "core/protocol/command_frame.h"
#include "core/protocol/link_flags.h"

bool StatusRequestDue(const Link& link, bool displayPageShown) {
    return displayPageShown && g_refreshTicks == 0 && !link.DownloadRunning() &&
           g_writeAcknowledged == 1 && link.IsOpen();
}

TickRequest RunStatusRequestTick(Link& link, bool displayPageShown, RemoteControlState& state,
                                 const std::function<void()>& readControls) {
    if (!StatusRequestDue(link, displayPageShown)) {
        g_statusRequestSent = 0;
        // A new 'R' frame may set the count to 8 meanwhile; that must not be lost.
        std::uint16_t ticks = g_refreshTicks.load();
        while (ticks != 0 && !g_refreshTicks.compare_exchange_weak(
                                 ticks, static_cast<std::uint16_t>(ticks - 1))) {
        }
        return ticks != 0 ? TickRequest::kRefreshPages : TickRequest::kIdle;
    }
    FillCableSelector(g_showFrame, state);
    g_statusRequestSent = 1;
    if (readControls)
        readControls();
    FillRemoteControlBytes(g_showFrame, state);
    CopyFrameWithChecksum(g_showFrame, g_txFrame);
    link.Write(g_txFrame);
    return TickRequest::kSent;
}
