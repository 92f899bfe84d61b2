#pragma once
// One command's link to the controller: the shared controller link on the program's port, and
// the blocking helpers a one-shot command needs, which spin the main thread's event loop until
// an answer came or the time is up. (The window never waits this way.)

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

#include "core/commands/clock.h"
#include "core/commands/link.h"
#include "core/params/block_layout.h"
#include "core/protocol/live_status.h"
#include "link/controller_link.h"

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

    // The link underneath, for its signals and the download.
    ControllerLink& Controller() { return *m_link; }

    // Runs the event loop until `done` holds, the time is up, the program is asked to stop
    // (InterruptRequested) or the waits were cut; returns done().
    bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
    // Ends the wait under way and every later one at once: the port is gone, nothing will come.
    void CutWaits() { m_waitsCut = true; }

    // Connects as the window does (up to four "LDGET" a second apart) and collects the seven
    // parameter blocks of the answer. `blocksSeen` tells how many arrived.
    ReadOutcome ConnectAndRead(ParameterBlock& blocks, int* blocksSeen = nullptr);

    // Called on the main thread for every status frame, after g_liveStatus holds it.
    void SetStatusObserver(std::function<void(const LiveStatus&)> observer);

private:
    void TakeBlock(int number, const BlockBytes& bytes);

    LinkOptions m_options;
    std::unique_ptr<ControllerLink> m_link;
    ParameterBlock m_blocks{};
    unsigned m_blockMask = 0;
    bool m_waitsCut = false;
    std::function<void(const LiveStatus&)> m_statusObserver;
};
