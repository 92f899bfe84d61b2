#include "core/protocol/receive_router.h"

#include <algorithm>

#include "core/protocol/link_flags.h"

std::span<const std::uint8_t> SkipEcho(std::span<const std::uint8_t> chunk) {
    if (g_canEnabled != 1) {
        g_echoSkipCount = 0;
        return chunk;
    }
    // The serial port may add to the count from another thread meanwhile; never lose that.
    std::uint16_t count = g_echoSkipCount.load();
    std::size_t dropped = 0;
    for (;;) {
        dropped = std::min<std::size_t>(count, chunk.size());
        const auto left = static_cast<std::uint16_t>(count - dropped);
        if (g_echoSkipCount.compare_exchange_weak(count, left))
            break;
    }
    return chunk.subspan(dropped);
}

void ReceiveRouter::OnSerialReceive(std::span<const std::uint8_t> chunk) {
    const std::span<const std::uint8_t> kept = SkipEcho(chunk);
    if (kept.empty())
        return;

    if (m_download != nullptr && m_download->DownloadRunning()) {
        for (const std::uint8_t b : kept)
            m_download->TakeDownloadByte(b);
        m_download->EchoDownloadBytes(kept);
        return;
    }
    m_parser.Feed(kept, m_frames);
    g_rxActivity = 1;
}
