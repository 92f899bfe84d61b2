// Throughput of the receive path (echo skip, routing, frame parser, dispatch) on a realistic
// stream: status frames and parameter blocks with some noise, delivered in 1024-byte chunks.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <vector>

#include "core/protocol/frame_parser.h"
#include "core/protocol/link_flags.h"
#include "core/protocol/receive_router.h"

namespace {

std::vector<std::uint8_t> Frame(std::uint8_t a, std::uint8_t b, std::uint8_t seed) {
    std::vector<std::uint8_t> f(24, 0);
    f[0] = 0xC0;
    f[1] = 20;
    f[3] = a;
    f[4] = b;
    for (int i = 5; i <= 21; ++i)
        f[i] = static_cast<std::uint8_t>(seed * 7 + i);
    std::uint8_t x = 0;
    for (int i = 0; i <= 21; ++i)
        x ^= f[i];
    f[22] = x;
    f[23] = 0x0D;
    return f;
}

class CountingHandler : public ControllerFrameHandler {
public:
    void OnStatusFrame(ControllerFrameView frame) override { sum += frame[14]; }
    void OnParameterFrame(ControllerFrameView frame) override { sum += frame[5]; }
    unsigned sum = 0;
};

void BM_ReceivePath(benchmark::State& state) {
    std::vector<std::uint8_t> stream;
    for (int i = 0; stream.size() < 64 * 1024; ++i) {
        const auto f = (i % 8 == 0) ? Frame('R', static_cast<std::uint8_t>(1 + i % 7), i)
                                    : Frame('Y', 'B', static_cast<std::uint8_t>(i));
        stream.insert(stream.end(), f.begin(), f.end());
        if (i % 16 == 0)
            stream.insert(stream.end(), {0x00, 0x55, 0x13});
    }
    ResetLinkFlags();
    FrameParser parser;
    CountingHandler handler;
    ReceiveRouter router(parser, handler);
    const std::span<const std::uint8_t> all(stream);
    for (auto _ : state) {
        for (std::size_t at = 0; at < all.size(); at += 1024) {
            router.OnSerialReceive(all.subspan(at, std::min<std::size_t>(1024, all.size() - at)));
        }
        benchmark::DoNotOptimize(handler.sum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(stream.size()));
    // A 256000-baud line carries 25600 bytes per second.
    state.counters["x_line_256k"] = benchmark::Counter(
        static_cast<double>(stream.size()) / 25600.0 * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReceivePath);

}  // namespace
