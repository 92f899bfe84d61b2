#include "core/modem/modem_sender.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

ModemSender g_modem;

namespace {

constexpr std::uint16_t kCrcPolynomial = 0x1021;

// Byte-wise form of the shift register: equal to stepping the data and two zero bytes through
// Crc16Step, eight times fewer steps.
constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t crc = static_cast<std::uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ kCrcPolynomial
                                                            : (crc << 1));
        }
        table[i] = crc;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

void PutCrc(std::uint8_t* at, std::uint16_t crc, ModemCrcOrder order) {
    const auto low = static_cast<std::uint8_t>(crc & 0xFF);
    const auto high = static_cast<std::uint8_t>(crc >> 8);
    at[0] = order == ModemCrcOrder::kLowFirst ? low : high;
    at[1] = order == ModemCrcOrder::kLowFirst ? high : low;
}

bool IsAnswer(std::uint8_t b) {
    return b == kModemAck || b == kModemNak;
}

}  // namespace

std::uint16_t ModemSender::Crc16Step(std::uint16_t crc, std::uint8_t byte) {
    for (int bit = 7; bit >= 0; --bit) {
        const bool out = (crc & 0x8000) != 0;
        crc = static_cast<std::uint16_t>((crc << 1) | ((byte >> bit) & 1));
        if (out)
            crc ^= kCrcPolynomial;
    }
    return crc;
}

std::uint16_t ModemSender::Crc16(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc = static_cast<std::uint16_t>((crc << 8) ^ kCrcTable[(crc >> 8) ^ data[i]]);
    }
    return crc;
}

std::size_t ModemSender::BuildDataBlock(std::uint8_t* packet, const std::uint8_t* image,
                                        std::uint32_t imageSize, std::uint32_t offset,
                                        std::uint8_t blockNumber, ModemCrcOrder order) {
    const std::uint32_t remaining = offset < imageSize ? imageSize - offset : 0;
    const std::size_t n = remaining >= kModemShortBlock ? kModemLongBlock : kModemShortBlock;
    const std::size_t copied = std::min<std::size_t>(remaining, n);
    packet[0] = n == kModemLongBlock ? kModemStx : kModemSoh;
    packet[1] = blockNumber;
    packet[2] = static_cast<std::uint8_t>(~blockNumber);
    if (copied > 0)
        std::memcpy(packet + 3, image + offset, copied);
    std::memset(packet + 3 + copied, kModemPad, n - copied);
    PutCrc(packet + 3 + n, Crc16(packet + 3, n), order);
    return n + 5;
}

std::size_t ModemSender::BuildHeaderBlock(std::uint8_t* packet, ModemHeaderKind kind,
                                          std::string_view name, std::uint32_t imageSize,
                                          ModemCrcOrder order) {
    packet[0] = kModemSoh;
    packet[1] = 0x00;
    packet[2] = 0xFF;
    std::uint8_t* data = packet + 3;
    std::memset(data, 0, kModemShortBlock);
    if (kind == ModemHeaderKind::kFileInfo) {
        // Name, NUL, decimal size; whatever passes the block's end is cut off.
        char info[kModemNameCapacity + 16] = {};
        name = name.substr(0, std::min(name.find('\0'), kModemNameCapacity - 1));
        std::memcpy(info, name.data(), name.size());
        std::size_t length = name.size() + 1;
        const auto digits = std::to_chars(info + length, info + sizeof(info), imageSize);
        length = static_cast<std::size_t>(digits.ptr - info);
        std::memcpy(data, info, std::min(length, kModemShortBlock));
    }
    PutCrc(data + kModemShortBlock, Crc16(data, kModemShortBlock), order);
    return kModemHeaderPacketSize;
}

void ModemSender::SetOutput(ModemOutput* output) {
    std::lock_guard lock(m_lock);
    m_output = output;
}

void ModemSender::SetProgressCallback(ModemProgressCallback callback) {
    std::lock_guard lock(m_lock);
    m_progressCallback = callback;
}

void ModemSender::SetDialect(ModemDialect dialect) {
    std::lock_guard lock(m_lock);
    m_dialect = dialect;
}

void ModemSender::Init(void* user) {
    std::lock_guard lock(m_lock);
    m_callbackUser = user;
    m_imageSize = 0;
    m_acknowledged = 0;
    m_blockNumber = 0;
    m_blockSize = kModemShortBlock;
    m_state = ModemState::kWaitStart;
    // A count left by an abandoned transfer would abort the next one at its first byte.
    m_crcRequestCount = 0;
    m_endOfBatchSent = false;
    EmptyQueue();
}

ModemLoad ModemSender::SetFileInfo(std::string_view name, std::uint32_t size) {
    name = name.substr(0, name.find('\0'));
    if (name.size() >= kModemNameCapacity)
        return ModemLoad::kNameTooLong;
    if (size > kModemImageCapacity)
        return ModemLoad::kImageTooLarge;
    std::lock_guard lock(m_lock);
    std::memcpy(m_fileName, name.data(), name.size());
    m_fileName[name.size()] = '\0';
    m_imageSize = size;
    m_blockNumber = 1;
    m_offset = 0;
    m_acknowledged = 0;
    m_blockSize = kModemShortBlock;
    m_state = ModemState::kWaitStart;
    m_crcRequestCount = 0;
    m_endOfBatchSent = false;
    return ModemLoad::kOk;
}

ModemLoad ModemSender::SetFileData(const std::uint8_t* data, std::size_t size) {
    if (size > kModemImageCapacity)
        return ModemLoad::kImageTooLarge;
    std::lock_guard lock(m_lock);
    if (size > 0)
        std::memcpy(m_image, data, size);
    return ModemLoad::kOk;
}

std::uint32_t ModemSender::GetImageSize() const {
    std::lock_guard lock(m_lock);
    return m_imageSize;
}

ModemState ModemSender::State() const {
    std::lock_guard lock(m_lock);
    return m_state;
}

int ModemSender::Percent() const {
    std::lock_guard lock(m_lock);
    return m_percent;
}

std::uint32_t ModemSender::AcknowledgedBytes() const {
    std::lock_guard lock(m_lock);
    return m_acknowledged;
}

void ModemSender::PushByte(std::uint8_t b) {
    int report = kNoReport;
    {
        std::lock_guard lock(m_lock);
        if (m_rxCount - m_rxRead == kModemQueueCapacity)
            report = PopAndHandle();
        m_rxQueue[m_rxCount % kModemQueueCapacity] = b;
        ++m_rxCount;
    }
    Report(report);
}

void ModemSender::ProcessQueue() {
    for (;;) {
        int report = kNoReport;
        {
            std::lock_guard lock(m_lock);
            if (m_rxRead == m_rxCount)
                return;
            report = PopAndHandle();
        }
        Report(report);
    }
}

void ModemSender::HandleByte(std::uint8_t b) {
    int report = kNoReport;
    {
        std::lock_guard lock(m_lock);
        report = HandleLocked(b);
    }
    Report(report);
}

int ModemSender::PopAndHandle() {
    const std::uint8_t b = m_rxQueue[m_rxRead % kModemQueueCapacity];
    ++m_rxRead;
    if (m_rxRead == m_rxCount)
        EmptyQueue();
    return HandleLocked(b);
}

void ModemSender::EmptyQueue() {
    m_rxCount = 0;
    m_rxRead = 0;
}

void ModemSender::Report(int percent) {
    ModemProgressCallback callback = nullptr;
    void* user = nullptr;
    if (percent == kNoReport)
        return;
    {
        std::lock_guard lock(m_lock);
        callback = m_progressCallback;
        user = m_callbackUser;
    }
    if (callback != nullptr)
        callback(user, percent);
    // Only now: whoever waits for m_busy to drop must find the 100 percent already reported.
    if (percent == kCompleted)
        m_busy = 0;
}

int ModemSender::HandleLocked(std::uint8_t b) {
    if (b == kModemCan || m_crcRequestCount > 5) {
        Abort();
        return kNoReport;
    }
    if (m_dialect == ModemDialect::kStandard)
        return HandleStandardLocked(b);
    switch (m_state) {
        case ModemState::kWaitStart:
            AnnounceOnRequest(b);
            break;
        case ModemState::kWaitHeaderAck:
            if (b == kModemAck)
                m_state = ModemState::kWaitDataStart;
            break;
        case ModemState::kWaitDataStart:
            if (b == kModemCrcRequest) {
                m_state = ModemState::kSendingData;
                return SendDataBlock();
            }
            break;
        case ModemState::kSendingData:
            if (b == kModemAck)
                m_acknowledged = std::min(m_imageSize, m_offset + m_blockSize);
            if (IsAnswer(b)) {
                if (m_offset + m_blockSize >= m_imageSize) {
                    SendByte(kModemEot);
                    m_state = ModemState::kWaitEotAck;
                } else if (b == kModemAck) {
                    m_offset += m_blockSize;
                    ++m_blockNumber;
                    return SendDataBlock();
                }
                // A NAK of any other packet is not answered: the receiver must ACK to go on.
            } else if (b == kModemCrcRequest) {
                ++m_crcRequestCount;
            }
            break;
        case ModemState::kWaitEotAck:
            if (IsAnswer(b)) {
                SendByte(kModemEot);
                m_state = ModemState::kWaitSecondEotAck;
            }
            break;
        case ModemState::kWaitSecondEotAck:
            if (IsAnswer(b)) {
                SendHeaderBlock(ModemHeaderKind::kEndOfBatch);
                m_state = ModemState::kFinished;
                m_endOfBatchSent = true;
            }
            break;
        case ModemState::kFinished:
            if (IsAnswer(b) && m_endOfBatchSent) {
                m_endOfBatchSent = false;
                EmptyQueue();
                return kCompleted;
            }
            break;
    }
    return kNoReport;
}

int ModemSender::HandleStandardLocked(std::uint8_t b) {
    switch (m_state) {
        case ModemState::kWaitStart:
            AnnounceOnRequest(b);
            break;
        case ModemState::kWaitHeaderAck:
            if (b == kModemAck) {
                m_state = ModemState::kWaitDataStart;
            } else if (b == kModemNak || b == kModemCrcRequest) {
                Resend();
            }
            break;
        case ModemState::kWaitDataStart:
            if (b == kModemCrcRequest) {
                m_state = ModemState::kSendingData;
                return SendDataBlock();
            }
            break;
        case ModemState::kSendingData:
            if (b == kModemAck) {
                m_acknowledged = std::min(m_imageSize, m_offset + m_blockSize);
                if (m_offset + m_blockSize >= m_imageSize) {
                    SendByte(kModemEot);
                    m_state = ModemState::kWaitEotAck;
                } else {
                    m_offset += m_blockSize;
                    ++m_blockNumber;
                    return SendDataBlock();
                }
            } else if (b == kModemNak) {
                Resend();
            } else if (b == kModemCrcRequest) {
                ++m_crcRequestCount;
                // The receiver never saw the first packet and still asks for it.
                if (m_offset == 0)
                    Resend();
            }
            break;
        case ModemState::kWaitEotAck:
        case ModemState::kWaitSecondEotAck:
            if (b == kModemNak) {
                SendByte(kModemEot);
                m_state = ModemState::kWaitSecondEotAck;
            } else if (b == kModemAck) {
                m_state = ModemState::kWaitSecondEotAck;
            } else if (b == kModemCrcRequest && m_state == ModemState::kWaitSecondEotAck) {
                SendHeaderBlock(ModemHeaderKind::kEndOfBatch);
                m_state = ModemState::kFinished;
                m_endOfBatchSent = true;
            }
            break;
        case ModemState::kFinished:
            if (!m_endOfBatchSent)
                break;
            if (b == kModemAck) {
                m_endOfBatchSent = false;
                EmptyQueue();
                return kCompleted;
            }
            if (b == kModemNak || b == kModemCrcRequest)
                Resend();
            break;
    }
    return kNoReport;
}

void ModemSender::AnnounceOnRequest(std::uint8_t b) {
    // Without an image there is nothing to announce: keep waiting rather than send an empty file.
    if (b == kModemCrcRequest && m_imageSize != 0) {
        m_crcRequestCount = 0;
        m_state = ModemState::kWaitHeaderAck;
        SendHeaderBlock(ModemHeaderKind::kFileInfo);
    }
}

ModemCrcOrder ModemSender::CrcOrder() const {
    return m_dialect == ModemDialect::kStandard ? ModemCrcOrder::kHighFirst
                                                : ModemCrcOrder::kLowFirst;
}

void ModemSender::Resend() {
    Write(m_packetLength);
}

void ModemSender::Abort() {
    m_crcRequestCount = 0;
    SendByte(kModemCan);
    SendByte(kModemCan);
    EmptyQueue();
    m_busy = 0;
    m_state = ModemState::kFinished;
    m_endOfBatchSent = false;
}

int ModemSender::SendDataBlock() {
    m_packetLength =
        BuildDataBlock(m_packet, m_image, m_imageSize, m_offset, m_blockNumber, CrcOrder());
    m_blockSize = static_cast<std::uint32_t>(m_packetLength - 5);
    Write(m_packetLength);
    // Single precision throughout, so that an exact 64 % is not shown as 63.
    const float quotient = static_cast<float>(m_offset) / static_cast<float>(m_imageSize);
    m_percent = static_cast<int>(quotient * 100.0f);
    return m_percent;
}

void ModemSender::SendHeaderBlock(ModemHeaderKind kind) {
    m_packetLength = BuildHeaderBlock(m_packet, kind, m_fileName, m_imageSize, CrcOrder());
    if (kind == ModemHeaderKind::kEndOfBatch)
        m_blockSize = kModemShortBlock;
    Write(m_packetLength);
}

void ModemSender::SendByte(std::uint8_t b) {
    if (m_output != nullptr)
        m_output->WritePacket(&b, 1);
}

void ModemSender::Write(std::size_t length) {
    if (m_output != nullptr && length > 0)
        m_output->WritePacket(m_packet, length);
}
