#include "serial/serial_worker_memory.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <span>

#include "serial/serial_messages.h"

namespace {

// The rates a serial driver takes; others are refused as a device's driver refuses them, so a
// setting that fails on a device fails here too.
constexpr std::array<std::uint32_t, 30> kStandardRates = {
    50,     75,     110,     134,     150,     200,     300,     600,     1200,    1800,
    2400,   4800,   9600,    19200,   38400,   57600,   115200,  230400,  460800,  500000,
    576000, 921600, 1000000, 1152000, 1500000, 2000000, 2500000, 3000000, 3500000, 4000000};

bool Acceptable(const SerialConfig& config) {
    return config.byteSize >= 5 && config.byteSize <= 8 && config.stopBits <= 2 &&
           config.parity <= 4 && config.readSize >= 1 &&
           config.readSize <= SerialWorker::kMaxReadSize &&
           std::find(kStandardRates.begin(), kStandardRates.end(), config.baudRate) !=
               kStandardRates.end();
}

}  // namespace

MemorySerialWorker::MemorySerialWorker(const SerialConfig& config, SerialSession& session,
                                       std::shared_ptr<MemoryLine> line)
    : SerialWorker(session), m_config(config), m_line(std::move(line)) {}

MemorySerialWorker::~MemorySerialWorker() {
    ClosePort();
}

SerialOpenReport MemorySerialWorker::OpenPort() {
    if (!Acceptable(m_config)) {
        return {SerialOpenFailure::Configure, {}};
    }
    switch (m_line->OpenAsTool()) {
        case MemoryLine::OpenResult::kOpened:
            break;
        case MemoryLine::OpenResult::kBusy:
            return {SerialOpenFailure::Open, QString::fromUtf8(kSerialBusyReason)};
        case MemoryLine::OpenResult::kHungUp:
            return {SerialOpenFailure::Open,
                    QStringLiteral("%1: the simulated controller has stopped").arg(m_line->Name())};
    }
    m_open = true;
    m_buffer.assign(m_config.readSize, 0);
    // The line's wait is this thread's only wait: writes queued and the stop request must end it.
    m_session.SetWakeHook([line = m_line] { line->WakeTool(); });
    return {};
}

void MemorySerialWorker::Run() {
    while (!m_session.StopRequested() && !m_failed) {
        std::optional<SteadyClock::time_point> deadline;
        if (!m_burst.empty()) {
            deadline = std::min(m_lastData + std::chrono::milliseconds(kSilenceMs),
                                m_burstStart + std::chrono::milliseconds(kBurstLimitMs));
        }
        const MemoryLine::ToolEvents events = m_line->WaitAsTool(m_arrived, deadline);
        if (events.woken) {
            m_session.TakeWakeUps();
            if (m_session.StopRequested()) {
                break;
            }
            DrainWrites();
        }
        if (events.hungUp) {
            // The far side is gone, as an unplugged adapter: the thread ends quietly.
            m_failed = true;
            break;
        }
        const SteadyClock::time_point now = SteadyClock::now();
        if (!m_arrived.empty()) {
            OnBytes(now);
        } else if (!m_burst.empty() && BurstOver(now)) {
            DeliverAll();
        }
    }
}

bool MemorySerialWorker::BurstOver(SteadyClock::time_point now) const {
    return now - m_lastData >= std::chrono::milliseconds(kSilenceMs) ||
           now - m_burstStart >= std::chrono::milliseconds(kBurstLimitMs);
}

void MemorySerialWorker::OnBytes(SteadyClock::time_point now) {
    // The burst collected so far may have ended before these bytes came (a callback or writes
    // kept this thread busy meanwhile): it goes alone.
    if (!m_burst.empty() && BurstOver(now)) {
        DeliverAll();
    }
    if (m_burst.empty()) {
        m_burstStart = now;
    }
    m_lastData = now;
    m_burst.insert(m_burst.end(), m_arrived.begin(), m_arrived.end());
    m_arrived.clear();
    if (m_config.deliverPromptly && m_config.deliverPromptly()) {
        DeliverAll();
        return;
    }
    while (m_burst.size() >= m_config.readSize && !m_session.StopRequested()) {
        Deliver(m_config.readSize);
        m_burstStart = now;
    }
}

void MemorySerialWorker::DeliverAll() {
    while (!m_burst.empty() && !m_session.StopRequested()) {
        Deliver(std::min<std::size_t>(m_burst.size(), m_config.readSize));
    }
}

void MemorySerialWorker::Deliver(std::size_t count) {
    std::copy_n(m_burst.begin(), count, m_buffer.begin());
    m_burst.erase(m_burst.begin(), m_burst.begin() + static_cast<std::ptrdiff_t>(count));
    if (m_config.onReceive && !m_session.StopRequested()) {
        m_config.onReceive(m_config.owner, m_buffer.data(), static_cast<std::uint32_t>(count));
    }
}

void MemorySerialWorker::ClosePort() {
    if (!m_open) {
        return;
    }
    m_open = false;
    m_session.SetWakeHook({});
    // Written bytes are with the far side already; only what it sent is dropped.
    m_burst.clear();
    m_arrived.clear();
    m_line->CloseAsTool();
}

int MemorySerialWorker::WriteNow(const std::uint8_t* data, std::uint32_t length) {
    if (length == 0) {
        return 1;
    }
    if (m_failed || !m_open) {
        return 0;
    }
    if (!m_line->WriteAsTool(std::span(data, length))) {
        m_failed = true;
        return 0;
    }
    return 1;
}
