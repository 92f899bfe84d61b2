#pragma once
// What happens to each chunk the serial port receives: the CAN cable's echo of our own writes
// is dropped, then the bytes go to the firmware sender while a download runs, else to the
// frame parser.

#include <cstdint>
#include <span>

#include "core/protocol/controller_frame.h"
#include "core/protocol/frame_parser.h"

// The download side of the routing (the firmware sender and the download log).
class DownloadByteSink {
public:
    virtual ~DownloadByteSink() = default;
    // True while a transfer runs (the sender's m_busy is 1).
    virtual bool DownloadRunning() const = 0;
    // One received byte for the sender, in order.
    virtual void TakeDownloadByte(std::uint8_t byte) = 0;
    // All bytes of the chunk once the sender has had them, for the download log.
    virtual void EchoDownloadBytes(std::span<const std::uint8_t> /*bytes*/) {}
};

class ReceiveRouter {
public:
    ReceiveRouter(FrameParser& parser, ControllerFrameHandler& frames,
                  DownloadByteSink* download = nullptr)
        : m_parser(parser), m_frames(frames), m_download(download) {}

    // Called on the receive thread with each non-empty chunk.
    void OnSerialReceive(std::span<const std::uint8_t> chunk);

private:
    FrameParser& m_parser;
    ControllerFrameHandler& m_frames;
    DownloadByteSink* m_download;
};

// Drops the echo at the front of a chunk and returns the bytes to keep (the last n of it).
std::span<const std::uint8_t> SkipEcho(std::span<const std::uint8_t> chunk);
