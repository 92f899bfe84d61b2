#pragma once
// The simulated controller's protocol engine: bytes from the tool in, bytes for the tool out.
// No I/O and no threads of its own; time comes from the clock given at construction, so tests
// can drive it exactly with a fake clock, and the drifting values come from the seed.
//
//   sim::SimController controller(config, [&] { return fakeNow; });
//   std::vector<std::uint8_t> reply = controller.Receive(ldgetFrame);  // seven 'R' frames
//   fakeNow += 1000ms; reply = controller.Poll();                       // timed output
//
// Controller mode answers "LDGET" with seven 'R' frames, stores 'P' frames and acknowledges a
// complete set with 'PN', answers "SHOW" with a live status frame, records the one-shot commands
// and announces itself after a power-up. "BLOOD"/"BLOTD" enter the boot loader, which receives
// one YMODEM batch and then powers up as a controller again.
//
// Every public member is thread-safe: a server thread may feed the engine while a test thread
// inspects it or changes its faults.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_frames.h"
#include "sim/sim_live_model.h"
#include "sim/sim_parameter_set.h"
#include "sim/tool_frame_scanner.h"
#include "sim/ymodem_receiver.h"

namespace sim {

enum class StatusKind { YB, E1, E2 };

// Misbehaviour on purpose, each switchable at any time.
struct SimFaults {
    bool noReadAnswer = false;    // "LDGET" stays unanswered
    int readBlocks = 7;           // "LDGET" gets only the first N blocks
    bool noWriteAck = false;      // a complete write is stored but not acknowledged
    int badChecksumFrames = 0;    // the next N frames carry a wrong checksum
    int badTerminatorFrames = 0;  // the next N frames end in 0x0A instead of 0x0D
    int noiseBytes = 0;           // random bytes (never 0xC0 or 0xC9) before every frame
    std::chrono::milliseconds midFramePause{0};  // a pause after byte 12 of a frame
    int midFramePauseFrames = -1;                // frames still to pause; -1 every frame
    YmodemFaults transfer;                       // NAK, CAN, "C" flood, slow flash
    // Between the last ACK of a transfer and the announcement of the program just written; a
    // controller that starts quickly announces itself before the tool's next tick.
    std::chrono::milliseconds startAfterTransfer{300};

    bool operator==(const SimFaults&) const = default;
};

struct SimConfig {
    SimParameterSet parameters = SimParameterSet::Default();
    StatusKind statusKind = StatusKind::YB;
    bool canEcho = false;          // echo every received byte first, as the CAN cable does
    bool announceAtStart = false;  // announce from Start()
    std::uint64_t seed = 1;
    bool crcHighFirst = false;  // the published YMODEM order instead of the tool's low byte first
    SimFaults faults;
};

struct SimCounters {
    std::uint64_t bytesReceived = 0;
    std::uint64_t bytesSent = 0;  // handed out by Receive/Poll/Start
    std::uint64_t framesAccepted = 0;
    std::uint64_t framesRejected = 0;  // bad checksum or terminator
    std::uint64_t statusRequests = 0;
    std::uint64_t parameterReads = 0;
    std::uint64_t parameterWriteFrames = 0;
    std::uint64_t writesStored = 0;  // complete sets of seven blocks
    std::uint64_t writeAcks = 0;
    std::uint64_t announcements = 0;
    std::uint64_t bootLoaderEntries = 0;
    std::uint64_t imagesReceived = 0;
    std::uint64_t transferPacketsAccepted = 0;
    std::uint64_t transferPacketsRejected = 0;
};

class SimController {
public:
    using Time = std::chrono::milliseconds;
    using Clock = std::function<Time()>;
    enum class Mode { Controller, BootLoader };

    // Between a restart command and the announcement (the end of a transfer: see SimFaults);
    // frames that arrive meanwhile are not answered.
    static constexpr Time kPowerUpDelay{300};
    static constexpr std::size_t kKeptRequests = 1000;

    // Without a clock the steady clock is used.
    explicit SimController(SimConfig config = {}, Clock clock = {});

    // The engine. Each call returns the bytes that are due now; later bytes (pauses, slow
    // flash, the boot loader's "C", the announcement after a power-up) come from Poll().
    std::vector<std::uint8_t> Start();
    std::vector<std::uint8_t> Receive(std::span<const std::uint8_t> bytes);
    std::vector<std::uint8_t> Poll();
    // When Poll() next has something to do, if ever.
    std::optional<Time> NextDue() const;
    // Called (from any thread) when output was queued outside Receive/Poll.
    void SetWakeCallback(std::function<void()> wake);

    // Actions as if the controller did them by itself.
    void Announce();
    void PowerUp();  // restart: the announcement follows after kPowerUpDelay
    void EnterBootLoader();

    // Run-time settings.
    void SetFaults(const SimFaults& faults);
    SimFaults Faults() const;  // counted faults show what is left of them
    void SetParameters(const SimParameterSet& parameters);
    // The set as it came from the factory ("RSFSE" goes back to it) and as the current one.
    void LoadParameters(const SimParameterSet& parameters);
    SimParameterSet Parameters() const;
    SimParameterSet FactoryParameters() const;
    void SetStatusKind(StatusKind kind);
    void SetCanEcho(bool on);
    void SetCrcHighFirst(bool highFirst);
    void SetFaultBits(std::uint32_t bits);
    void SetStateCode(std::optional<std::uint8_t> code);
    void SetExtraIndicatorBits(std::uint8_t bits);

    // Inspection.
    Mode GetMode() const;
    // One-shot commands in order of arrival: "RESET", "RESTT", "CLERR", "CLESR", "RSFSE",
    // "STFSE", "BLOOD", "BLOTD".
    std::vector<std::string> ReceivedCommands() const;
    int CommandCount(std::string_view letters) const;
    std::optional<StatusRequest> LastStatusRequest() const;
    std::vector<StatusRequest> StatusRequests() const;  // the last kKeptRequests
    // The requests that carried the calibration-store flag; their values were stored in
    // block 1 bytes 18..21 and, for the field-weakening value, block 5 byte 21.
    std::vector<StatusRequest> CalibrationStores() const;
    std::optional<ReceivedImage> LastImage() const;
    SimCounters Counters() const;
    int Rpm() const;

    // Waits until done() holds, re-checking whenever the engine changed. done() may call any
    // public member. Returns done()'s last result.
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) const;

private:
    struct Chunk {
        std::vector<std::uint8_t> bytes;
        Time due;
    };

    Time Now() const { return m_clock(); }
    void Enqueue(std::vector<std::uint8_t> bytes, Time due);
    std::vector<std::uint8_t> TakeDue(Time now);
    void EmitFrame(const Frame& frame, Time now);
    void HandleFrame(const Frame& frame, Time now);
    void HandleStatusRequest(const Frame& frame, Time now);
    void HandleWrite(const Frame& frame, Time now);
    void HandleBootByte(std::uint8_t byte, Time now);
    void CollectTransfer();
    void EnterBootLoaderLocked(Time now);
    void SchedulePowerUp(Time at);
    void PowerUpNow(Time now);
    void RecordCommand(std::string letters);
    void Changed();
    void Wake();
    std::uint8_t NextNoiseByte();

    Clock m_clock;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changedCv;
    std::uint64_t m_changes = 0;
    std::function<void()> m_wake;

    SimConfig m_config;
    SimParameterSet m_parameters;
    SimParameterSet m_factory;
    SimLiveModel m_live;
    ToolFrameScanner m_scanner;
    ToolFrameScanner m_bootScanner;
    YmodemReceiver m_receiver;
    Mode m_mode = Mode::Controller;
    std::optional<Time> m_powerUpAt;
    std::array<Payload, SimParameterSet::kBlockCount> m_staged{};
    unsigned m_stagedMask = 0;
    std::uint64_t m_noiseState;

    std::deque<Chunk> m_queue;
    Time m_lastDue{0};

    std::vector<std::string> m_commands;
    std::deque<StatusRequest> m_requests;
    std::vector<StatusRequest> m_calibrationStores;
    std::optional<ReceivedImage> m_lastImage;
    SimCounters m_counters;
};

}  // namespace sim
