#include "core/commands/refusal.h"

#include "core/commands/link.h"
#include "core/protocol/link_flags.h"
#include "core/protocol/live_status.h"

Refusal CheckConnectRefusal(const Link& link) {
    if (!link.IsOpen())
        return Refusal::kPortClosed;
    if (link.DownloadRunning())
        return Refusal::kDownloadRunning;
    return Refusal::kNone;
}

Refusal CheckParamWriteRefusal(const Link& link, bool displayPageShown) {
    const Refusal refusal = CheckConnectRefusal(link);
    if (refusal != Refusal::kNone)
        return refusal;
    if (g_connected != 1)
        return Refusal::kNotConnected;
    if (displayPageShown)
        return Refusal::kDisplayPageShown;
    if (g_liveStatus.Load().m_rpm != 0)
        return Refusal::kMotorTurning;
    return Refusal::kNone;
}
