#pragma once
// Builders and a recording handler shared by the receive-side tests.

#include <cstdint>
#include <string>
#include <vector>

#include "core/protocol/controller_frame.h"
#include "core/protocol/frame_parser.h"
#include "core/protocol/link_flags.h"

using Bytes = std::vector<std::uint8_t>;

// A controller frame: header, length, byte 2, the two letters, payload up to position L+1,
// XOR of positions 0..L+1, terminator.
inline Bytes ControllerFrame(std::uint8_t a, std::uint8_t b, Bytes payload = {},
                             std::uint8_t header = kControllerHeader, std::uint8_t length = 20) {
    Bytes f(length + 4, 0);
    f[0] = header;
    f[1] = length;
    f[2] = 0x01;
    f[3] = a;
    f[4] = b;
    for (std::size_t i = 0; i < payload.size() && 5 + i <= length + 1u; ++i)
        f[5 + i] = payload[i];
    std::uint8_t x = 0;
    for (int i = 0; i <= length + 1; ++i)
        x ^= f[i];
    f[length + 2] = x;
    f[length + 3] = 0x0D;
    return f;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Records what the dispatcher routes, as short names ("YB", "R3", "PN", "ANN").
class RecordingHandler : public ControllerFrameHandler {
public:
    void OnStatusFrame(ControllerFrameView frame) override {
        seen.push_back(std::string{char(frame[3]), char(frame[4])});
    }
    void OnParameterFrame(ControllerFrameView frame) override {
        paramFlagDuringDecode.push_back(g_paramFrameSeen.load());
        refreshTicksDuringDecode.push_back(g_refreshTicks.load());
        seen.push_back("R" + std::to_string(frame[4]));
    }
    void OnWriteAcknowledged() override { seen.push_back("PN"); }
    void OnAnnouncement() override { seen.push_back("ANN"); }

    std::vector<std::string> seen;
    std::vector<int> paramFlagDuringDecode;
    std::vector<int> refreshTicksDuringDecode;
};

// Every test starts from the program's start-up state of the receive side.
inline void ResetReceiveSide() {
    ResetLinkFlags();
    g_frameParser.Reset();
}
