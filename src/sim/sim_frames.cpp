#include "sim/sim_frames.h"

#include <algorithm>

namespace sim {

std::uint8_t XorOf(std::span<const std::uint8_t> bytes) {
    std::uint8_t x = 0;
    for (std::uint8_t b : bytes) {
        x ^= b;
    }
    return x;
}

Frame MakeReplyFrame(std::uint8_t letter3, std::uint8_t letter4, const Payload& payload) {
    Frame frame{};
    frame[0] = kReplyHeader;
    frame[1] = kFrameLength;
    frame[2] = kReplyByte2;
    frame[3] = letter3;
    frame[4] = letter4;
    std::copy(payload.begin(), payload.end(), frame.begin() + kPayloadFirst);
    frame[kChecksumPos] = XorOf(std::span(frame).first(kChecksumPos));
    frame[kTerminatorPos] = kTerminator;
    return frame;
}

Frame MakeParameterFrame(int block, const Payload& bytes) {
    return MakeReplyFrame('R', static_cast<std::uint8_t>(block), bytes);
}

Frame MakeWriteAckFrame() {
    return MakeReplyFrame('P', 'N', Payload{});
}

Frame MakeAnnouncementFrame() {
    Payload payload{};
    payload[0] = 0x55;
    payload[1] = 0xAA;
    return MakeReplyFrame(0xFE, 0xEF, payload);
}

Payload PayloadOf(const Frame& frame) {
    Payload payload{};
    std::copy_n(frame.begin() + kPayloadFirst, kPayloadSize, payload.begin());
    return payload;
}

}  // namespace sim
