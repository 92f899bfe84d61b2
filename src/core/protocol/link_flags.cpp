#include "core/protocol/link_flags.h"

std::atomic<std::uint32_t> g_frameCount{0};
std::atomic<std::uint32_t> g_frameErrorCount{0};
std::atomic<std::uint16_t> g_idleTicks{0};
std::atomic<int> g_paramFrameSeen{0};
std::atomic<std::uint16_t> g_refreshTicks{0};
std::atomic<int> g_writeAcknowledged{1};
std::atomic<int> g_announceSeen{0};
std::atomic<int> g_rxActivity{0};
std::atomic<std::uint16_t> g_echoSkipCount{0xFFFF};
std::atomic<std::uint8_t> g_canEnabled{0};
std::atomic<std::uint8_t> g_firstGenCable{0};
std::atomic<int> g_statusRequestSent{0};
std::atomic<int> g_connected{0};

void AddEchoSkip(std::uint32_t length) {
    // Unsigned 16-bit atomics wrap, which is the modulo we want.
    g_echoSkipCount.fetch_add(static_cast<std::uint16_t>(length));
}

void ResetLinkFlags() {
    g_frameCount = 0;
    g_frameErrorCount = 0;
    g_idleTicks = 0;
    g_paramFrameSeen = 0;
    g_refreshTicks = 0;
    g_writeAcknowledged = 1;
    g_announceSeen = 0;
    g_rxActivity = 0;
    g_echoSkipCount = 0xFFFF;
    g_canEnabled = 0;
    g_firstGenCable = 0;
    g_statusRequestSent = 0;
    g_connected = 0;
}
