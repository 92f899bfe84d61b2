#pragma once
// The boot loader's YMODEM receiver, byte-driven and clocked from outside (no I/O, no threads).
//
// A session asks for CRC mode with "C" at once and then about once a second until block 0
// arrives; ACKs block 0 and asks for the data with "C"; ACKs every good packet (STX 1024 or
// SOH 128 bytes, CRC-16/XMODEM low byte first unless the standard order is chosen); NAKs the
// first EOT and ACKs the second; the empty block 0 closes the batch. The file is complete at the
// second EOT and is cut to the size block 0 announced.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct ReceivedImage {
    std::string name;
    std::optional<std::uint64_t> announcedSize;
    std::vector<std::uint8_t> data;  // cut to announcedSize when it was announced

    bool operator==(const ReceivedImage&) const = default;
};

// Misbehaviour on purpose. Blocks are counted as they arrive: 0 is the file's block 0, 1 the
// first data packet, and so on without wrapping at 256.
struct YmodemFaults {
    int nakBlock = -1;    // NAK this block once although it is good
    int canAtBlock = -1;  // answer this block with CAN CAN instead of ACK
    int cFloodCount = 0;  // send this many "C" right after the first data packet's ACK
    std::chrono::milliseconds slowFlash{0};  // delay before every ACK

    bool operator==(const YmodemFaults&) const = default;
};

class YmodemReceiver {
public:
    using Time = std::chrono::milliseconds;

    enum class State { WaitFileHeader, Data, WaitSecondEot, WaitBatchEnd, Done };

    struct Output {
        std::vector<std::uint8_t> bytes;
        Time due;
    };

    struct Counters {
        std::uint64_t packetsAccepted = 0;
        std::uint64_t packetsRejected = 0;  // bad CRC, bad complement, torn
        std::uint64_t naksSent = 0;
        std::uint64_t cancels = 0;  // sessions ended by CAN, either side
    };

    static constexpr Time kCrcRequestPeriod{1000};
    static constexpr Time kPacketTimeout{1000};  // silence inside a packet
    static constexpr Time kReplyTimeout{3000};   // silence while waiting for the next packet
    static constexpr int kMaxErrors = 10;
    static constexpr std::size_t kMaxImageBytes = 16u << 20;

    explicit YmodemReceiver(bool crcHighFirst = false) : m_crcHighFirst(crcHighFirst) {}

    // Starts (or restarts) a session: "C" now.
    void Start(Time now);
    void Feed(std::uint8_t byte, Time now);
    void Tick(Time now);
    std::optional<Time> NextTimer() const;

    std::vector<Output> TakeOutput();
    std::optional<ReceivedImage> TakeImage();

    State GetState() const { return m_state; }
    bool BatchComplete() const { return m_state == State::Done; }
    const Counters& GetCounters() const { return m_counters; }
    // Setting the faults arms the one-time NAK again.
    void SetFaults(const YmodemFaults& faults) {
        m_faults = faults;
        m_nakDone = false;
    }
    const YmodemFaults& Faults() const { return m_faults; }
    void SetCrcHighFirst(bool highFirst) { m_crcHighFirst = highFirst; }
    // Time at which the last queued byte leaves.
    Time LastOutputDue() const { return m_lastDue; }

private:
    void Emit(std::vector<std::uint8_t> bytes, Time due);
    void Ack(Time now);
    void Nak(Time now);
    void Cancel(Time now);
    void RestartSession(Time now, bool requestNow);
    void HandleIdleByte(std::uint8_t byte, Time now);
    void HandlePacket(Time now);
    void HandleFileHeader(Time now);
    void HandleDataPacket(Time now);
    void DropStalePacket(Time now);
    void CompleteFile();
    bool CountError(Time now);
    bool PacketCrcOk() const;
    std::size_t PacketDataSize() const;

    bool m_crcHighFirst;
    YmodemFaults m_faults;
    bool m_nakDone = false;
    State m_state = State::Done;
    std::vector<std::uint8_t> m_packet;
    Time m_lastRx{0};
    Time m_nextCrcRequest{0};
    Time m_lastDue{0};
    int m_canRun = 0;
    int m_errors = 0;
    int m_blockIndex = 0;  // 0 for block 0, then 1, 2, ... without wrapping
    std::uint8_t m_expectedBlock = 1;
    ReceivedImage m_file;
    std::vector<Output> m_output;
    std::optional<ReceivedImage> m_completed;
    Counters m_counters;
};

}  // namespace sim
