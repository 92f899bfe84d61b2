#pragma once
// One command's link to the controller: the serial port with the receive routing, and the
// timing the command sequences need, all driven by the main thread's event loop.
//
// The receive thread only sets the shared flags and posts copies of what it decoded; the value
// set, the sequences and every output belong to the main thread.

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/commands/clock.h"
#include "core/commands/link.h"
#include "core/modem/modem_receive_sink.h"
#include "core/params/block_layout.h"
#include "core/protocol/live_status.h"
#include "core/protocol/receive_router.h"

struct LinkOptions {
    QString port;
    std::uint32_t baud = 9600;
    bool can = false;  // the CAN cable echoes what we send: drop it
};

enum class ReadOutcome {
    kRead,        // all seven blocks arrived
    kNoResponse,  // four "LDGET" without a parameter frame
    kIncomplete,  // some blocks never came
};

class ControllerSession : public Link, public Clock {
public:
    explicit ControllerSession(LinkOptions options);
    ~ControllerSession() override;

    // Opens the port; the serial layer has printed its message when this fails.
    bool Open();

    void Write(const CommandFrame& frame) override;
    bool IsOpen() const override;
    bool DownloadRunning() const override;
    void Schedule(int milliseconds, std::function<void()> step) override;

    // Runs the event loop until `done` holds or the time is up; returns done().
    bool WaitUntil(const std::function<bool()>& done, int timeoutMs);

    // Connects as the window does (up to four "LDGET" a second apart) and collects the seven
    // parameter blocks of the answer. `blocksSeen` tells how many arrived.
    ReadOutcome ConnectAndRead(ParameterBlock& blocks, int* blocksSeen = nullptr);

    // Called on the main thread for every status frame, after g_liveStatus holds it.
    void SetStatusObserver(std::function<void(const LiveStatus&)> observer);

private:
    class FrameHandler;

    void TakeBlock(int number, const BlockBytes& bytes);

    LinkOptions m_options;
    std::unique_ptr<QObject> m_context;  // receiver of the receive thread's posts
    std::unique_ptr<FrameHandler> m_handler;
    ModemReceiveSink m_modemSink;
    std::unique_ptr<ReceiveRouter> m_router;
    ParameterBlock m_blocks{};
    unsigned m_blockMask = 0;
    std::function<void(const LiveStatus&)> m_statusObserver;
};
