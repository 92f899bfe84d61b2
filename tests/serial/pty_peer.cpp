#include "pty_peer.h"

void PtyPeer::Send(std::string_view text) {
    Send(std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::vector<std::uint8_t> Pattern(std::size_t count, std::uint8_t seed) {
    std::vector<std::uint8_t> out(count);
    std::uint32_t x = 0x9E3779B9u + seed;
    for (auto& b : out) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return out;
}
