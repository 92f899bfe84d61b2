#include "sim/ymodem_receiver.h"

#include <algorithm>
#include <span>

#include "sim/sim_crc16.h"

namespace sim {

namespace {

constexpr std::uint8_t kSoh = 0x01;
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEot = 0x04;
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kNak = 0x15;
constexpr std::uint8_t kCan = 0x18;
constexpr std::uint8_t kCrcRequest = 'C';
constexpr std::size_t kHeaderBytes = 3;
constexpr std::size_t kCrcBytes = 2;

}  // namespace

void YmodemReceiver::Start(Time now) {
    RestartSession(now, true);
}

void YmodemReceiver::RestartSession(Time now, bool requestNow) {
    m_state = State::WaitFileHeader;
    m_packet.clear();
    m_canRun = 0;
    m_errors = 0;
    m_blockIndex = 0;
    m_expectedBlock = 1;
    m_file = ReceivedImage{};
    m_lastRx = now;
    if (requestNow) {
        Emit({kCrcRequest}, now);
    }
    m_nextCrcRequest = now + kCrcRequestPeriod;
}

void YmodemReceiver::Emit(std::vector<std::uint8_t> bytes, Time due) {
    due = std::max(due, m_lastDue);
    m_lastDue = due;
    m_output.push_back(Output{std::move(bytes), due});
}

void YmodemReceiver::Ack(Time now) {
    Emit({kAck}, now + m_faults.slowFlash);
}

void YmodemReceiver::Nak(Time now) {
    ++m_counters.naksSent;
    Emit({kNak}, now);
}

void YmodemReceiver::Cancel(Time now) {
    ++m_counters.cancels;
    Emit({kCan, kCan}, now);
    RestartSession(now, false);
}

// Returns true when the errors ended the session.
bool YmodemReceiver::CountError(Time now) {
    if (++m_errors < kMaxErrors) {
        return false;
    }
    if (m_state == State::WaitBatchEnd) {
        // The file is complete; a sender that never closes the batch does not undo it.
        m_state = State::Done;
        return true;
    }
    Cancel(now);
    return true;
}

std::size_t YmodemReceiver::PacketDataSize() const {
    return m_packet.empty() || m_packet[0] == kSoh ? 128 : 1024;
}

bool YmodemReceiver::PacketCrcOk() const {
    const std::size_t size = PacketDataSize();
    const std::uint16_t crc = Crc16Xmodem(std::span(m_packet).subspan(kHeaderBytes, size));
    const std::uint8_t first = m_packet[kHeaderBytes + size];
    const std::uint8_t second = m_packet[kHeaderBytes + size + 1];
    const std::uint8_t low = static_cast<std::uint8_t>(crc & 0xFF);
    const std::uint8_t high = static_cast<std::uint8_t>(crc >> 8);
    return m_crcHighFirst ? (first == high && second == low) : (first == low && second == high);
}

void YmodemReceiver::DropStalePacket(Time now) {
    if (m_packet.empty() || now - m_lastRx < kPacketTimeout) {
        return;
    }
    m_packet.clear();
    ++m_counters.packetsRejected;
    if (!CountError(now) && m_state != State::WaitFileHeader) {
        Nak(now);
    }
}

void YmodemReceiver::Feed(std::uint8_t byte, Time now) {
    if (m_state == State::Done) {
        return;
    }
    DropStalePacket(now);
    m_lastRx = now;
    if (m_packet.empty()) {
        HandleIdleByte(byte, now);
        return;
    }
    m_packet.push_back(byte);
    if (m_packet.size() == kHeaderBytes + PacketDataSize() + kCrcBytes) {
        HandlePacket(now);
        m_packet.clear();
    }
}

void YmodemReceiver::HandleIdleByte(std::uint8_t byte, Time now) {
    if (byte == kCan) {
        if (++m_canRun >= 2) {
            ++m_counters.cancels;
            RestartSession(now, false);
        }
        return;
    }
    m_canRun = 0;
    if (byte == kSoh || byte == kStx) {
        m_packet.push_back(byte);
        return;
    }
    if (byte == kEot) {
        if (m_state == State::Data) {
            // Asking once more is how a receiver makes sure the EOT was not line noise.
            Nak(now);
            m_state = State::WaitSecondEot;
        } else if (m_state == State::WaitSecondEot) {
            Ack(now);
            CompleteFile();
            m_state = State::WaitBatchEnd;
            m_errors = 0;
        }
    }
    // Anything else between packets is noise.
}

void YmodemReceiver::HandlePacket(Time now) {
    const std::uint8_t block = m_packet[1];
    const std::uint8_t complement = m_packet[2];
    if ((block ^ complement) != 0xFF || !PacketCrcOk()) {
        ++m_counters.packetsRejected;
        if (!CountError(now)) {
            Nak(now);
        }
        return;
    }
    switch (m_state) {
        case State::WaitFileHeader:
        case State::WaitBatchEnd:
            if (block == 0) {
                HandleFileHeader(now);
            } else {
                Nak(now);
            }
            break;
        case State::Data:
            if (block == m_expectedBlock) {
                HandleDataPacket(now);
            } else if (block == static_cast<std::uint8_t>(m_expectedBlock - 1)) {
                Ack(now);  // a repeat of the packet we have: our ACK was lost
            } else {
                Cancel(now);  // out of step: nothing sensible can follow
            }
            break;
        case State::WaitSecondEot:
            Nak(now);
            break;
        case State::Done:
            break;
    }
}

void YmodemReceiver::HandleFileHeader(Time now) {
    const std::span<const std::uint8_t> info = std::span(m_packet).subspan(kHeaderBytes, 128);
    if (info[0] == 0) {
        ++m_counters.packetsAccepted;
        Ack(now);
        m_state = State::Done;
        return;
    }
    if (m_faults.canAtBlock == 0) {
        Cancel(now);
        return;
    }
    if (m_faults.nakBlock == 0 && !m_nakDone) {
        m_nakDone = true;
        Nak(now);
        return;
    }
    ReceivedImage file;
    std::size_t pos = 0;
    while (pos < info.size() && info[pos] != 0) {
        file.name.push_back(static_cast<char>(info[pos++]));
    }
    ++pos;
    std::uint64_t size = 0;
    bool digits = false;
    while (pos < info.size() && info[pos] >= '0' && info[pos] <= '9' && size < (1ull << 40)) {
        size = size * 10 + static_cast<std::uint64_t>(info[pos++] - '0');
        digits = true;
    }
    if (digits) {
        file.announcedSize = size;
    }
    m_file = std::move(file);
    m_blockIndex = 1;
    m_expectedBlock = 1;
    m_errors = 0;
    ++m_counters.packetsAccepted;
    Ack(now);
    Emit({kCrcRequest}, m_lastDue);
    m_state = State::Data;
}

void YmodemReceiver::HandleDataPacket(Time now) {
    const int index = m_blockIndex;
    if (m_faults.canAtBlock == index) {
        Cancel(now);
        return;
    }
    if (m_faults.nakBlock == index && !m_nakDone) {
        m_nakDone = true;
        Nak(now);
        return;
    }
    const std::size_t size = PacketDataSize();
    if (m_file.data.size() + size > kMaxImageBytes) {
        Cancel(now);
        return;
    }
    const auto data = m_packet.begin() + static_cast<std::ptrdiff_t>(kHeaderBytes);
    m_file.data.insert(m_file.data.end(), data, data + static_cast<std::ptrdiff_t>(size));
    ++m_counters.packetsAccepted;
    m_errors = 0;
    Ack(now);
    if (index == 1 && m_faults.cFloodCount > 0) {
        Emit(std::vector<std::uint8_t>(static_cast<std::size_t>(m_faults.cFloodCount), kCrcRequest),
             m_lastDue);
    }
    ++m_blockIndex;
    ++m_expectedBlock;
}

void YmodemReceiver::CompleteFile() {
    ReceivedImage image = m_file;
    if (image.announcedSize && *image.announcedSize < image.data.size()) {
        image.data.resize(static_cast<std::size_t>(*image.announcedSize));
    }
    m_completed = std::move(image);
}

void YmodemReceiver::Tick(Time now) {
    if (m_state == State::Done) {
        return;
    }
    DropStalePacket(now);
    if (m_state == State::Done || !m_packet.empty()) {
        return;
    }
    if (m_state == State::WaitFileHeader) {
        if (now >= m_nextCrcRequest) {
            Emit({kCrcRequest}, now);
            m_nextCrcRequest = now + kCrcRequestPeriod;
        }
        return;
    }
    const Time quietSince = std::max(m_lastRx, m_lastDue);
    if (now - quietSince < kReplyTimeout) {
        return;
    }
    m_lastRx = now;
    if (CountError(now)) {
        return;
    }
    if (m_state == State::WaitBatchEnd) {
        Emit({kCrcRequest}, now);  // the standard way to ask for the next block 0
    } else {
        Nak(now);
    }
}

std::optional<YmodemReceiver::Time> YmodemReceiver::NextTimer() const {
    if (m_state == State::Done) {
        return std::nullopt;
    }
    if (!m_packet.empty()) {
        return m_lastRx + kPacketTimeout;
    }
    if (m_state == State::WaitFileHeader) {
        return m_nextCrcRequest;
    }
    return std::max(m_lastRx, m_lastDue) + kReplyTimeout;
}

std::vector<YmodemReceiver::Output> YmodemReceiver::TakeOutput() {
    std::vector<Output> out;
    out.swap(m_output);
    return out;
}

std::optional<ReceivedImage> YmodemReceiver::TakeImage() {
    std::optional<ReceivedImage> image;
    image.swap(m_completed);
    return image;
}

}  // namespace sim
