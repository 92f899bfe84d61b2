// Arbitrary received bytes, in arbitrary chunks, through the echo skip, the routing and the
// frame parser. The first input byte picks the CAN and download switches and the chunk size.

#include <cstddef>
#include <cstdint>
#include <span>

#include "core/protocol/frame_parser.h"
#include "core/protocol/link_flags.h"
#include "core/protocol/receive_router.h"

namespace {

class ReadingHandler : public ControllerFrameHandler {
public:
    // Decoders read every position of the window; touch them all so the sanitizers check it.
    void OnStatusFrame(ControllerFrameView frame) override { Touch(frame); }
    void OnParameterFrame(ControllerFrameView frame) override { Touch(frame); }
    unsigned sum = 0;

private:
    void Touch(ControllerFrameView frame) {
        for (std::uint8_t b : frame)
            sum += b;
    }
};

class Sink : public DownloadByteSink {
public:
    bool DownloadRunning() const override { return running; }
    void TakeDownloadByte(std::uint8_t byte) override { sum += byte; }
    bool running = false;
    unsigned sum = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    ResetLinkFlags();
    g_frameParser.Reset();
    const std::uint8_t mode = data[0];
    g_canEnabled = mode & 1;
    Sink sink;
    ReadingHandler handler;
    ReceiveRouter router(g_frameParser, handler, &sink);
    const std::size_t chunk = 1 + (mode >> 3);
    std::span<const std::uint8_t> rest(data + 1, size - 1);
    int chunkIndex = 0;
    while (!rest.empty()) {
        const std::size_t n = rest.size() < chunk ? rest.size() : chunk;
        if (mode & 2)
            AddEchoSkip(static_cast<std::uint32_t>(n / 2));
        sink.running = (mode & 4) && (chunkIndex % 3 == 1);
        router.OnSerialReceive(rest.first(n));
        if (chunkIndex % 5 == 4)
            g_frameParser.IdleTick();
        rest = rest.subspan(n);
        ++chunkIndex;
    }
    return 0;
}
