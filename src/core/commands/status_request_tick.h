#pragma once
// The status request of the 250 ms tick: whether it goes out, and building and sending it.

#include <functional>

#include "core/commands/link.h"
#include "core/protocol/status_request.h"

enum class TickRequest {
    kSent,          // the request went out: refresh the display page from g_liveStatus
    kRefreshPages,  // a parameter read is being shown: write the pages' fields to their controls
    kIdle,
};

// True when the display page is shown, no parameter refresh is counting down, no download runs,
// the last write was acknowledged and the port is open.
bool StatusRequestDue(const Link& link, bool displayPageShown);

// One tick's request step. When the request is due: bytes 5 and 6 of g_showFrame from the cable
// values as they stand, g_statusRequestSent = 1, then `readControls` (which sets the trackbar
// range and reads the window's and the port page's controls into `state`), bytes 12..21 from
// `state` (counting the calibration flag down), and g_showFrame sealed into g_txFrame and
// written. Otherwise g_statusRequestSent = 0 and g_refreshTicks counts down by one when non-zero.
TickRequest RunStatusRequestTick(Link& link, bool displayPageShown, RemoteControlState& state,
                                 const std::function<void()>& readControls);
