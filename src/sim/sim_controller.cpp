#include "sim/sim_controller.h"

#include <algorithm>

namespace sim {

namespace {

constexpr std::size_t kPauseSplit = 12;
constexpr unsigned kAllBlocks = (1u << SimParameterSet::kBlockCount) - 1;

bool LettersAre(const Frame& frame, std::string_view letters) {
    for (std::size_t i = 0; i < letters.size(); ++i) {
        if (frame[3 + i] != static_cast<std::uint8_t>(letters[i])) {
            return false;
        }
    }
    return true;
}

SimController::Time SteadyNow() {
    return std::chrono::duration_cast<SimController::Time>(
        std::chrono::steady_clock::now().time_since_epoch());
}

}  // namespace

SimController::SimController(SimConfig config, Clock clock)
    : m_clock(clock ? std::move(clock) : Clock(SteadyNow)),
      m_config(std::move(config)),
      m_parameters(m_config.parameters),
      m_factory(m_config.parameters),
      m_live(m_config.seed),
      m_receiver(m_config.crcHighFirst),
      m_noiseState(m_config.seed ^ 0x6E6F697365ull) {
    m_receiver.SetFaults(m_config.faults.transfer);
}

// ---- engine ----------------------------------------------------------------------------------

std::vector<std::uint8_t> SimController::Start() {
    std::lock_guard lock(m_mutex);
    const Time now = Now();
    if (m_config.announceAtStart) {
        EmitFrame(MakeAnnouncementFrame(), now);
        ++m_counters.announcements;
    }
    Changed();
    return TakeDue(now);
}

std::vector<std::uint8_t> SimController::Receive(std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(m_mutex);
    const Time now = Now();
    m_counters.bytesReceived += bytes.size();
    if (m_config.canEcho && !bytes.empty()) {
        Enqueue(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), now);
    }
    for (std::uint8_t byte : bytes) {
        if (m_mode == Mode::BootLoader) {
            HandleBootByte(byte, now);
            continue;
        }
        const std::uint64_t rejectedBefore = m_scanner.Rejected();
        std::optional<Frame> frame = m_scanner.Feed(byte);
        m_counters.framesRejected += m_scanner.Rejected() - rejectedBefore;
        if (frame && !m_powerUpAt) {
            HandleFrame(*frame, now);
        }
    }
    Changed();
    return TakeDue(now);
}

std::vector<std::uint8_t> SimController::Poll() {
    std::lock_guard lock(m_mutex);
    const Time now = Now();
    if (m_mode == Mode::BootLoader) {
        m_receiver.Tick(now);
        CollectTransfer();
    }
    if (m_powerUpAt && now >= *m_powerUpAt) {
        PowerUpNow(now);
    }
    std::vector<std::uint8_t> out = TakeDue(now);
    if (!out.empty()) {
        Changed();
    }
    return out;
}

std::optional<SimController::Time> SimController::NextDue() const {
    std::lock_guard lock(m_mutex);
    std::optional<Time> next;
    auto consider = [&next](std::optional<Time> t) {
        if (t && (!next || *t < *next)) {
            next = t;
        }
    };
    if (!m_queue.empty()) {
        consider(m_queue.front().due);
    }
    if (m_mode == Mode::BootLoader) {
        consider(m_receiver.NextTimer());
    }
    consider(m_powerUpAt);
    return next;
}

void SimController::SetWakeCallback(std::function<void()> wake) {
    std::lock_guard lock(m_mutex);
    m_wake = std::move(wake);
}

void SimController::Enqueue(std::vector<std::uint8_t> bytes, Time due) {
    // Output leaves in the order it was produced, whatever its due time.
    due = std::max(due, m_lastDue);
    m_lastDue = due;
    m_queue.push_back(Chunk{std::move(bytes), due});
}

std::vector<std::uint8_t> SimController::TakeDue(Time now) {
    std::vector<std::uint8_t> out;
    while (!m_queue.empty() && m_queue.front().due <= now) {
        const std::vector<std::uint8_t>& bytes = m_queue.front().bytes;
        out.insert(out.end(), bytes.begin(), bytes.end());
        m_queue.pop_front();
    }
    m_counters.bytesSent += out.size();
    return out;
}

void SimController::EmitFrame(const Frame& frame, Time now) {
    std::vector<std::uint8_t> bytes(frame.begin(), frame.end());
    SimFaults& faults = m_config.faults;
    if (faults.badChecksumFrames > 0) {
        --faults.badChecksumFrames;
        bytes[kChecksumPos] ^= 0xFF;
    }
    if (faults.badTerminatorFrames > 0) {
        --faults.badTerminatorFrames;
        bytes[kTerminatorPos] = 0x0A;
    }
    if (faults.noiseBytes > 0) {
        std::vector<std::uint8_t> noise(static_cast<std::size_t>(faults.noiseBytes));
        for (std::uint8_t& b : noise) {
            b = NextNoiseByte();
        }
        Enqueue(std::move(noise), now);
    }
    const bool pause = faults.midFramePause.count() > 0 && faults.midFramePauseFrames != 0;
    if (!pause) {
        Enqueue(std::move(bytes), now);
        return;
    }
    if (faults.midFramePauseFrames > 0) {
        --faults.midFramePauseFrames;
    }
    std::vector<std::uint8_t> tail(bytes.begin() + kPauseSplit, bytes.end());
    bytes.resize(kPauseSplit);
    Enqueue(std::move(bytes), now);
    Enqueue(std::move(tail), m_lastDue + faults.midFramePause);
}

std::uint8_t SimController::NextNoiseByte() {
    for (;;) {
        std::uint64_t z = (m_noiseState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        const auto b = static_cast<std::uint8_t>((z ^ (z >> 31)) & 0xFF);
        // A header byte would make the tool take our next frame as part of a noise frame.
        if (b != kReplyHeader && b != kToolHeader) {
            return b;
        }
    }
}

// ---- controller mode -------------------------------------------------------------------------

void SimController::HandleFrame(const Frame& frame, Time now) {
    ++m_counters.framesAccepted;
    if (frame[3] == 'S' && frame[4] == 'H') {
        HandleStatusRequest(frame, now);
    } else if (LettersAre(frame, "LDGET")) {
        ++m_counters.parameterReads;
        if (!m_config.faults.noReadAnswer) {
            const int blocks =
                std::clamp(m_config.faults.readBlocks, 0, SimParameterSet::kBlockCount);
            for (int block = 1; block <= blocks; ++block) {
                EmitFrame(MakeParameterFrame(block, m_parameters.Block(block)), now);
            }
        }
    } else if (frame[3] == 'P' && frame[4] >= 1 && frame[4] <= SimParameterSet::kBlockCount) {
        HandleWrite(frame, now);
    } else if (LettersAre(frame, "RESET")) {
        RecordCommand("RESET");
        SchedulePowerUp(now + kPowerUpDelay);
    } else if (LettersAre(frame, "RSFSE")) {
        RecordCommand("RSFSE");
        m_parameters = m_factory;
    } else if (LettersAre(frame, "STFSE")) {
        RecordCommand("STFSE");
        m_factory = m_parameters;
    } else if (LettersAre(frame, "BLOOD") || LettersAre(frame, "BLOTD")) {
        RecordCommand(frame[6] == 'T' ? "BLOTD" : "BLOOD");
        EnterBootLoaderLocked(now);
    } else {
        for (std::string_view letters : {"RESTT", "CLERR", "CLESR"}) {
            if (LettersAre(frame, letters)) {
                RecordCommand(std::string(letters));
            }
        }
    }
}

void SimController::HandleStatusRequest(const Frame& frame, Time now) {
    ++m_counters.statusRequests;
    const StatusRequest request = StatusRequest::FromFrame(frame);
    m_requests.push_back(request);
    if (m_requests.size() > kKeptRequests) {
        m_requests.pop_front();
    }
    if (request.calibrationStore) {
        m_calibrationStores.push_back(request);
        m_parameters.SetWord(1, 18, request.voltageCalibration);
        m_parameters.SetWord(1, 20, request.currentCalibration);
        m_parameters.SetByte(5, 21, request.fieldWeakening);
    }
    const Payload payload = m_live.Answer(request, m_parameters);
    switch (m_config.statusKind) {
        case StatusKind::E1:
            EmitFrame(MakeReplyFrame('E', '1', payload), now);
            break;
        case StatusKind::E2:
            EmitFrame(MakeReplyFrame('E', '2', payload), now);
            break;
        case StatusKind::YB:
            EmitFrame(MakeReplyFrame('Y', 'B', payload), now);
            break;
    }
}

void SimController::HandleWrite(const Frame& frame, Time now) {
    ++m_counters.parameterWriteFrames;
    const int block = frame[4];
    m_staged[static_cast<std::size_t>(block - 1)] = PayloadOf(frame);
    m_stagedMask |= 1u << (block - 1);
    if (m_stagedMask != kAllBlocks) {
        return;
    }
    // The set is stored in one go, as the controller writes its EEPROM once all blocks are in.
    for (int n = 1; n <= SimParameterSet::kBlockCount; ++n) {
        m_parameters.StoreWrittenBlock(n, m_staged[static_cast<std::size_t>(n - 1)]);
    }
    m_stagedMask = 0;
    ++m_counters.writesStored;
    if (!m_config.faults.noWriteAck) {
        EmitFrame(MakeWriteAckFrame(), now);
        ++m_counters.writeAcks;
    }
}

void SimController::RecordCommand(std::string letters) {
    m_commands.push_back(std::move(letters));
}

void SimController::SchedulePowerUp(Time at) {
    m_powerUpAt = at;
    m_stagedMask = 0;
    m_scanner.Reset();
}

void SimController::PowerUpNow(Time now) {
    m_powerUpAt.reset();
    m_mode = Mode::Controller;
    m_live.PowerUp();
    m_scanner.Reset();
    EmitFrame(MakeAnnouncementFrame(), now);
    ++m_counters.announcements;
}

// ---- boot loader -----------------------------------------------------------------------------

void SimController::EnterBootLoaderLocked(Time now) {
    m_mode = Mode::BootLoader;
    m_powerUpAt.reset();
    m_stagedMask = 0;
    ++m_counters.bootLoaderEntries;
    m_bootScanner.Reset();
    m_receiver.Start(now);
    CollectTransfer();
}

void SimController::HandleBootByte(std::uint8_t byte, Time now) {
    m_receiver.Feed(byte, now);
    // The boot loader still hears a repeated start-download command, so that a download that
    // is started again does not wait for the running session to time out.
    if (std::optional<Frame> frame = m_bootScanner.Feed(byte)) {
        if (LettersAre(*frame, "BLOOD") || LettersAre(*frame, "BLOTD")) {
            RecordCommand((*frame)[6] == 'T' ? "BLOTD" : "BLOOD");
            EnterBootLoaderLocked(now);
            return;
        }
    }
    CollectTransfer();
}

void SimController::CollectTransfer() {
    for (YmodemReceiver::Output& out : m_receiver.TakeOutput()) {
        Enqueue(std::move(out.bytes), out.due);
    }
    if (std::optional<ReceivedImage> image = m_receiver.TakeImage()) {
        m_lastImage = std::move(image);
        ++m_counters.imagesReceived;
    }
    const YmodemReceiver::Counters& rc = m_receiver.GetCounters();
    m_counters.transferPacketsAccepted = rc.packetsAccepted;
    m_counters.transferPacketsRejected = rc.packetsRejected;
    if (m_mode == Mode::BootLoader && m_receiver.BatchComplete() && !m_powerUpAt) {
        // The last ACK must reach the tool's sender on its own, before the announcement.
        SchedulePowerUp(std::max(m_lastDue, m_receiver.LastOutputDue()) +
                        m_config.faults.startAfterTransfer);
    }
}

// ---- actions and settings --------------------------------------------------------------------

void SimController::Announce() {
    {
        std::lock_guard lock(m_mutex);
        EmitFrame(MakeAnnouncementFrame(), Now());
        ++m_counters.announcements;
        Changed();
    }
    Wake();
}

void SimController::PowerUp() {
    {
        std::lock_guard lock(m_mutex);
        SchedulePowerUp(Now() + kPowerUpDelay);
        Changed();
    }
    Wake();
}

void SimController::EnterBootLoader() {
    {
        std::lock_guard lock(m_mutex);
        EnterBootLoaderLocked(Now());
        Changed();
    }
    Wake();
}

void SimController::SetFaults(const SimFaults& faults) {
    std::lock_guard lock(m_mutex);
    m_config.faults = faults;
    m_receiver.SetFaults(faults.transfer);
    Changed();
}

SimFaults SimController::Faults() const {
    std::lock_guard lock(m_mutex);
    SimFaults faults = m_config.faults;
    faults.transfer = m_receiver.Faults();
    return faults;
}

void SimController::SetParameters(const SimParameterSet& parameters) {
    std::lock_guard lock(m_mutex);
    m_parameters = parameters;
    Changed();
}

void SimController::LoadParameters(const SimParameterSet& parameters) {
    std::lock_guard lock(m_mutex);
    m_parameters = parameters;
    m_factory = parameters;
    Changed();
}

SimParameterSet SimController::Parameters() const {
    std::lock_guard lock(m_mutex);
    return m_parameters;
}

SimParameterSet SimController::FactoryParameters() const {
    std::lock_guard lock(m_mutex);
    return m_factory;
}

void SimController::SetStatusKind(StatusKind kind) {
    std::lock_guard lock(m_mutex);
    m_config.statusKind = kind;
}

void SimController::SetCanEcho(bool on) {
    std::lock_guard lock(m_mutex);
    m_config.canEcho = on;
}

void SimController::SetCrcHighFirst(bool highFirst) {
    std::lock_guard lock(m_mutex);
    m_config.crcHighFirst = highFirst;
    m_receiver.SetCrcHighFirst(highFirst);
}

void SimController::SetFaultBits(std::uint32_t bits) {
    std::lock_guard lock(m_mutex);
    m_live.SetFaultBits(bits);
}

void SimController::SetStateCode(std::optional<std::uint8_t> code) {
    std::lock_guard lock(m_mutex);
    m_live.SetStateCode(code);
}

void SimController::SetExtraIndicatorBits(std::uint8_t bits) {
    std::lock_guard lock(m_mutex);
    m_live.SetExtraIndicatorBits(bits);
}

// ---- inspection ------------------------------------------------------------------------------

SimController::Mode SimController::GetMode() const {
    std::lock_guard lock(m_mutex);
    return m_mode;
}

std::vector<std::string> SimController::ReceivedCommands() const {
    std::lock_guard lock(m_mutex);
    return m_commands;
}

int SimController::CommandCount(std::string_view letters) const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::count(m_commands.begin(), m_commands.end(), letters));
}

std::optional<StatusRequest> SimController::LastStatusRequest() const {
    std::lock_guard lock(m_mutex);
    if (m_requests.empty()) {
        return std::nullopt;
    }
    return m_requests.back();
}

std::vector<StatusRequest> SimController::StatusRequests() const {
    std::lock_guard lock(m_mutex);
    return {m_requests.begin(), m_requests.end()};
}

std::vector<StatusRequest> SimController::CalibrationStores() const {
    std::lock_guard lock(m_mutex);
    return m_calibrationStores;
}

std::optional<ReceivedImage> SimController::LastImage() const {
    std::lock_guard lock(m_mutex);
    return m_lastImage;
}

SimCounters SimController::Counters() const {
    std::lock_guard lock(m_mutex);
    return m_counters;
}

int SimController::Rpm() const {
    std::lock_guard lock(m_mutex);
    return m_live.Rpm();
}

bool SimController::WaitFor(const std::function<bool()>& done,
                            std::chrono::milliseconds timeout) const {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::uint64_t seen = 0;
        {
            std::lock_guard lock(m_mutex);
            seen = m_changes;
        }
        if (done()) {
            return true;
        }
        std::unique_lock lock(m_mutex);
        if (!m_changedCv.wait_until(lock, deadline, [&] { return m_changes != seen; })) {
            lock.unlock();
            return done();
        }
    }
}

void SimController::Changed() {
    ++m_changes;
    m_changedCv.notify_all();
}

void SimController::Wake() {
    std::function<void()> wake;
    {
        std::lock_guard lock(m_mutex);
        wake = m_wake;
    }
    if (wake) {
        wake();
    }
}

}  // namespace sim
