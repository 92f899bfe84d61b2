// Arbitrary receiver bytes against the firmware sender, starting from each of its states, mixed
// with reloads and queued input. Every write must be a well-formed packet or control byte whose
// data comes from the image; the sanitizers watch the buffers.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/modem/modem_sender.h"

namespace {

std::uint8_t g_image[kModemImageCapacity];
std::uint32_t g_size = 0;
ModemCrcOrder g_order = ModemCrcOrder::kLowFirst;

void Check(bool ok) {
    if (!ok)
        std::abort();
}

class CheckingOutput : public ModemOutput {
public:
    void WritePacket(const std::uint8_t* data, std::size_t length) override {
        Check(length > 0);
        if (length == 1) {
            Check(data[0] == kModemEot || data[0] == kModemCan);
            return;
        }
        Check(length == kModemHeaderPacketSize || length == kModemPacketCapacity);
        const std::size_t n = length - 5;
        Check(data[0] == (n == kModemLongBlock ? kModemStx : kModemSoh));
        Check(static_cast<std::uint8_t>(data[1] + data[2]) == 0xFF);
        const std::uint16_t crc = ModemSender::Crc16(data + 3, n);
        const std::uint8_t first = g_order == ModemCrcOrder::kLowFirst ? crc & 0xFF : crc >> 8;
        const std::uint8_t second = g_order == ModemCrcOrder::kLowFirst ? crc >> 8 : crc & 0xFF;
        Check(data[3 + n] == first && data[4 + n] == second);
        if (data[1] == 0 && n == kModemShortBlock && IsBlockZero(data + 3))
            return;
        Check(DataFromImage(data + 3, n, data[1]));
    }

private:
    static bool IsBlockZero(const std::uint8_t* info) {
        static const std::uint8_t kZero[kModemShortBlock] = {};
        if (std::memcmp(info, kZero, kModemShortBlock) == 0)
            return true;
        char expected[kModemShortBlock] = {};
        for (const char* name : {"fuzz.bin", "again.bin"}) {
            std::memset(expected, 0, sizeof(expected));
            std::snprintf(expected, sizeof(expected), "%s%c%u", name, 0, g_size);
            if (std::memcmp(info, expected, kModemShortBlock) == 0)
                return true;
        }
        return false;
    }

    // Packets go out at multiples of 1024, so the block number fixes the offset up to the wrap.
    static bool DataFromImage(const std::uint8_t* d, std::size_t n, std::uint8_t block) {
        const std::uint32_t first = static_cast<std::uint8_t>(block - 1);
        for (std::uint32_t index = first; index * kModemLongBlock < g_size; index += 256) {
            const std::uint32_t offset = index * kModemLongBlock;
            const std::size_t copied = std::min<std::size_t>(n, g_size - offset);
            if (std::memcmp(d, g_image + offset, copied) != 0)
                continue;
            bool padded = true;
            for (std::size_t i = copied; i < n; ++i)
                padded = padded && d[i] == kModemPad;
            if (padded)
                return true;
        }
        return false;
    }
};

// Receiver bytes that take a fresh sender to each state.
constexpr const char* kPrefixes[] = {
    "",       // WaitStart
    "C",      // WaitHeaderAck
    "C\x06",  // WaitDataStart
    "C\x06"
    "C",  // SendingData
    "C\x06"
    "C\x06\x06\x06\x06\x06\x06\x06\x06",  // WaitEotAck or later, depending on the size
    "C\x06"
    "C\x15\x15\x15",  // NAKs: stays at the first packet unless it is the last
    "\x18",           // Finished by an abort
};

ModemSender g_sender;
CheckingOutput g_output;

void Progress(void*, int percent) {
    Check(percent >= 0 && percent <= 100);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return 0;
    const std::uint8_t mode = data[0];
    // Mostly small images, sometimes up to the whole buffer.
    g_size = (mode & 0x80) ? (std::uint32_t{data[1]} << 11 | std::uint32_t{data[2]} << 3) % 512001
                           : std::uint32_t{data[1]} << 4 | (data[2] & 0x0F);
    g_order = (mode & 0x40) ? ModemCrcOrder::kHighFirst : ModemCrcOrder::kLowFirst;
    for (std::uint32_t i = 0; i < g_size; ++i)
        g_image[i] = static_cast<std::uint8_t>(i * 13 + 1);

    g_sender.SetOutput(&g_output);
    g_sender.SetProgressCallback(&Progress);
    g_sender.SetDialect(g_order == ModemCrcOrder::kHighFirst ? ModemDialect::kStandard
                                                             : ModemDialect::kBootLoader);
    g_sender.Init(nullptr);
    if (g_size > 0) {
        Check(g_sender.SetFileInfo("fuzz.bin", g_size) == ModemLoad::kOk);
        Check(g_sender.SetFileData(g_image, g_size) == ModemLoad::kOk);
    }
    g_sender.m_busy = 1;
    for (const char* p = kPrefixes[data[3] % 7]; *p != '\0'; ++p) {
        g_sender.HandleByte(static_cast<std::uint8_t>(*p));
    }

    const int feed = mode & 0x03;
    for (std::size_t i = 4; i < size; ++i) {
        const std::uint8_t b = data[i];
        if ((mode & 0x20) && b == 0xFE) {
            // A reload in the middle, as the download button may do.
            g_sender.Init(nullptr);
            Check(g_sender.SetFileInfo("again.bin", g_size) == ModemLoad::kOk);
            continue;
        }
        if (feed == 0) {
            g_sender.HandleByte(b);
        } else if (feed == 1) {
            g_sender.PushByte(b);
            g_sender.ProcessQueue();
        } else {
            g_sender.PushByte(b);  // drained only at the end, however much piles up
        }
        const int busy = g_sender.m_busy.load();
        Check(busy == 0 || busy == 1);
    }
    g_sender.ProcessQueue();
    Check(g_sender.GetImageSize() <= kModemImageCapacity);
    return 0;
}
