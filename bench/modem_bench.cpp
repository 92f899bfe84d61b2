// Cost of the firmware sender next to the line: building and sealing one 1024-byte packet, and
// a whole 512,000-byte transfer driven byte by byte with nothing on the wire.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/modem/modem_sender.h"

namespace {

std::vector<std::uint8_t> Image(std::size_t size) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<std::uint8_t>(i * 31 + (i >> 9));
    return image;
}

void BM_BuildAndSealDataBlock(benchmark::State& state) {
    const std::vector<std::uint8_t> image = Image(kModemImageCapacity);
    std::uint8_t packet[kModemPacketCapacity];
    std::uint32_t offset = 0;
    std::uint8_t block = 1;
    for (auto _ : state) {
        const std::size_t length = ModemSender::BuildDataBlock(
            packet, image.data(), static_cast<std::uint32_t>(image.size()), offset, block,
            ModemCrcOrder::kLowFirst);
        benchmark::DoNotOptimize(packet);
        benchmark::DoNotOptimize(length);
        offset = (offset + 1024) % (499 * 1024);
        ++block;
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 1024);
}
BENCHMARK(BM_BuildAndSealDataBlock);

class SinkOutput : public ModemOutput {
public:
    void WritePacket(const std::uint8_t* data, std::size_t length) override {
        bytes += length;
        benchmark::DoNotOptimize(data);
    }
    std::size_t bytes = 0;
};

void BM_WholeTransfer(benchmark::State& state) {
    const std::vector<std::uint8_t> image = Image(kModemImageCapacity);
    auto sender = std::make_unique<ModemSender>();
    SinkOutput out;
    sender->SetOutput(&out);
    for (auto _ : state) {
        sender->Init(nullptr);
        sender->SetFileInfo("fw.bin", static_cast<std::uint32_t>(image.size()));
        sender->SetFileData(image.data(), image.size());
        sender->m_busy = 1;
        // The receiver's answers: "C", ACK, "C", then ACKs until the sender is done.
        for (std::uint8_t b : {kModemCrcRequest, kModemAck, kModemCrcRequest}) {
            sender->PushByte(b);
            sender->ProcessQueue();
        }
        while (sender->m_busy.load() == 1) {
            sender->PushByte(kModemAck);
            sender->ProcessQueue();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(kModemImageCapacity));
}
BENCHMARK(BM_WholeTransfer)->Unit(benchmark::kMillisecond);

}  // namespace
