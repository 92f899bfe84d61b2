#pragma once
// Where the firmware sender's packets go (the program connects it to the serial port).

#include <cstddef>
#include <cstdint>

class ModemOutput {
public:
    virtual ~ModemOutput() = default;
    // One whole packet or one control byte; the sender never splits a packet over two calls.
    // Called with the sender's lock held: it must not call back into the sender.
    virtual void WritePacket(const std::uint8_t* data, std::size_t length) = 0;
};
