#pragma once
// The YMODEM sender that puts a controller program into the boot loader. It is driven purely by
// the bytes the receiver sends back: each byte may make it write one packet or control byte.
// It owns no thread or timer; whoever reads the port hands it the bytes while m_busy is 1.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "core/modem/modem_output.h"

inline constexpr std::uint8_t kModemSoh = 0x01;
inline constexpr std::uint8_t kModemStx = 0x02;
inline constexpr std::uint8_t kModemEot = 0x04;
inline constexpr std::uint8_t kModemAck = 0x06;
inline constexpr std::uint8_t kModemNak = 0x15;
inline constexpr std::uint8_t kModemCan = 0x18;
inline constexpr std::uint8_t kModemCrcRequest = 0x43;  // "C"
inline constexpr std::uint8_t kModemPad = 0x1A;

inline constexpr std::size_t kModemShortBlock = 128;
inline constexpr std::size_t kModemLongBlock = 1024;
inline constexpr std::size_t kModemPacketCapacity = 3 + kModemLongBlock + 2;
inline constexpr std::size_t kModemHeaderPacketSize = 3 + kModemShortBlock + 2;
inline constexpr std::size_t kModemImageCapacity = 500 * 1024;
inline constexpr std::size_t kModemNameCapacity = 400;  // including the terminating NUL
inline constexpr std::size_t kModemQueueCapacity = 1024;

enum class ModemState : std::uint8_t {
    kWaitStart = 0x89,
    kWaitHeaderAck = 0x8A,
    kWaitDataStart = 0x8E,
    kSendingData = 0x8F,
    kWaitEotAck = 0x91,
    kWaitSecondEotAck = 0x8C,
    kFinished = 0x99,
};

// The controller's boot loader expects the CRC low byte first; standard receivers want it high
// byte first.
enum class ModemCrcOrder { kLowFirst, kHighFirst };

// kBootLoader: the controller's boot loader (CRC low byte first, nothing is ever repeated, a NAK
// of the last packet or of an EOT counts as ACK, the end-of-batch block follows the second EOT
// at once). kStandard: plain YMODEM for the many boot loaders that speak it (CRC high byte first;
// a NAK, or a repeated "C" for block 0 or the first packet, repeats what is in flight; after the
// EOT is acknowledged the end-of-batch block waits for the receiver's "C").
enum class ModemDialect { kBootLoader, kStandard };

enum class ModemHeaderKind { kFileInfo, kEndOfBatch };

// Why SetFileInfo / SetFileData refused their input (nothing is changed then).
enum class ModemLoad { kOk, kNameTooLong, kImageTooLarge };

// Called after each data packet with its percentage and once with 100 at the end, on the thread
// that hands the bytes over.
using ModemProgressCallback = void (*)(void* user, int percent);

class ModemSender {
public:
    ModemSender() = default;
    ModemSender(const ModemSender&) = delete;
    ModemSender& operator=(const ModemSender&) = delete;

    // 1 while a transfer runs. The download command sets it after Init and the image load; the
    // sender clears it at the end or on an abort. Other threads read it to route bytes here.
    std::atomic<int> m_busy{0};

    // Where packets go; one WritePacket call per packet or control byte. May be null (drops).
    void SetOutput(ModemOutput* output);
    void SetProgressCallback(ModemProgressCallback callback);
    // Kept across Init; default kBootLoader.
    void SetDialect(ModemDialect dialect);

    // Forgets the image and waits for the receiver's "C". Keeps m_busy, the name and the output.
    void Init(void* user);
    // Name without directory (up to its first NUL, at most 399 bytes) and the image size.
    ModemLoad SetFileInfo(std::string_view name, std::uint32_t size);
    ModemLoad SetFileData(const std::uint8_t* data, std::size_t size);
    std::uint32_t GetImageSize() const;

    // Received bytes, in order of arrival. ProcessQueue handles everything queued so far; a
    // byte pushed into a full queue first makes room by handling the oldest one.
    void PushByte(std::uint8_t b);
    void ProcessQueue();
    void HandleByte(std::uint8_t b);

    ModemState State() const;
    int Percent() const;
    // Image bytes the receiver answered with ACK (a NAK taken as an answer does not count): the
    // packets before the one in flight, the whole image once its last packet was acknowledged.
    std::uint32_t AcknowledgedBytes() const;

    // CRC-16/XMODEM (poly 0x1021, init 0). Crc16Step shifts one byte in from the right; Crc16
    // runs it over the data and two zero bytes.
    static std::uint16_t Crc16Step(std::uint16_t crc, std::uint8_t byte);
    static std::uint16_t Crc16(const std::uint8_t* data, std::size_t length);

    // Packet builders, also used by the benchmarks. Both return the packet length.
    static std::size_t BuildDataBlock(std::uint8_t* packet, const std::uint8_t* image,
                                      std::uint32_t imageSize, std::uint32_t offset,
                                      std::uint8_t blockNumber, ModemCrcOrder order);
    static std::size_t BuildHeaderBlock(std::uint8_t* packet, ModemHeaderKind kind,
                                        std::string_view name, std::uint32_t imageSize,
                                        ModemCrcOrder order);

private:
    static constexpr int kNoReport = -1;
    // The final acknowledgement: reported as 100 percent, then m_busy drops.
    static constexpr int kCompleted = 100;

    // Each returns the percentage to report afterwards, or kNoReport; the caller reports it
    // outside the lock so that the callback may call back in.
    int HandleLocked(std::uint8_t b);
    int HandleStandardLocked(std::uint8_t b);
    // Both dialects: the receiver's first "C" gets block 0 with the file's name and size.
    void AnnounceOnRequest(std::uint8_t b);
    void Resend();
    ModemCrcOrder CrcOrder() const;
    int SendDataBlock();
    void SendHeaderBlock(ModemHeaderKind kind);
    void SendByte(std::uint8_t b);
    void Write(std::size_t length);
    void Abort();
    void EmptyQueue();
    int PopAndHandle();
    void Report(int percent);

    mutable std::mutex m_lock;

    ModemProgressCallback m_progressCallback = nullptr;
    void* m_callbackUser = nullptr;
    int m_percent = 0;
    ModemOutput* m_output = nullptr;
    ModemDialect m_dialect = ModemDialect::kBootLoader;

    ModemState m_state = ModemState::kWaitStart;
    std::uint32_t m_imageSize = 0;
    std::uint32_t m_offset = 0;
    std::uint32_t m_acknowledged = 0;
    std::uint8_t m_blockNumber = 0;
    std::uint32_t m_blockSize = kModemShortBlock;
    std::uint8_t m_crcRequestCount = 0;
    // Set only once the end-of-batch block is out, so that a stray ACK after an abort or a
    // repeated one after the end never reports a completed transfer.
    bool m_endOfBatchSent = false;

    std::uint8_t m_packet[kModemPacketCapacity] = {};
    std::size_t m_packetLength = 0;  // of the packet last built, for a standard repeat
    char m_fileName[kModemNameCapacity] = {};
    std::uint8_t m_image[kModemImageCapacity] = {};

    // Ring buffer: m_rxCount and m_rxRead run freely, their difference is the number queued.
    std::uint8_t m_rxQueue[kModemQueueCapacity] = {};
    std::uint32_t m_rxCount = 0;
    std::uint32_t m_rxRead = 0;
};

extern ModemSender g_modem;
