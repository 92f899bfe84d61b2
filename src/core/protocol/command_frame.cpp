#include "core/protocol/command_frame.h"

#include <algorithm>

void SetFrameChecksum(CommandFrame& frame) {
    std::uint8_t x = 0;
    for (std::size_t i = 0; i < kCommandChecksumPos; ++i)
        x ^= frame[i];
    frame[kCommandChecksumPos] = x;
}

void CopyFrameWithChecksum(const CommandFrame& source, CommandFrame& destination) {
    destination = source;
    SetFrameChecksum(destination);
}

CommandFrame MakeCommandFrame(std::string_view letters) {
    CommandFrame frame{};
    frame[0] = kCommandHeader;
    frame[1] = kCommandLength;
    frame[2] = kCommandByte2;
    const std::size_t n = std::min(letters.size(), kCommandPayloadLast - 2);
    std::copy_n(letters.begin(), n, frame.begin() + 3);
    frame[kCommandFrameSize - 1] = kFrameTerminator;
    return frame;
}

CommandFrame MakeSealedCommand(std::string_view letters) {
    CommandFrame frame = MakeCommandFrame(letters);
    SetFrameChecksum(frame);
    return frame;
}

CommandFrame MakeParamWriteFrame(int blockNumber) {
    CommandFrame frame = MakeCommandFrame({});
    frame[3] = command_letters::kParamWrite;
    frame[4] = static_cast<std::uint8_t>(blockNumber);
    return frame;
}

CommandFrame g_txFrame{};
CommandFrame g_showFrame = MakeCommandFrame(command_letters::kStatusRequest);
const CommandFrame g_readFrame = MakeCommandFrame(command_letters::kReadParameters);
