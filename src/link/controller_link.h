#pragma once
// The program's link to the controller, for the window and the command line alike: the serial
// port with the receive routing, the core's Link and Clock for the command sequences, and the
// firmware download.
//
// Threads: the object lives on one thread (the GUI thread) and emits every signal there. The
// receive thread only sets the shared flags (the core's dispatch does that first) and posts
// copies of what it decoded; it never waits for the GUI thread. Nothing here blocks: whoever
// needs to wait for an answer (the command line) runs its own event loop.

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>

#include "core/commands/clock.h"
#include "core/commands/link.h"
#include "core/modem/modem_output.h"
#include "core/modem/modem_receive_sink.h"
#include "core/modem/modem_sender.h"
#include "core/params/block_layout.h"
#include "core/protocol/live_status.h"
#include "core/protocol/receive_router.h"
#include "link/qt_clock.h"

class CSerial;
class SerialMessageSink;

Q_DECLARE_METATYPE(LiveStatus)
Q_DECLARE_METATYPE(BlockBytes)

class ControllerLink : public QObject, public Link, public Clock {
    Q_OBJECT

public:
    // Bytes as they arrive, on the receive thread, before the routing sees them.
    using ReceiveTap = std::function<void(std::span<const std::uint8_t>)>;

    // Routes what `serial` receives through the program's frame parser and firmware sender
    // (g_frameParser, g_modem); takes over their receive callback, packet output and progress
    // callback. One link per port for the whole run; the window keeps it and opens and closes
    // ports through it.
    explicit ControllerLink(CSerial& serial, QObject* parent = nullptr);
    // The same on the program's port, g_serial.
    explicit ControllerLink(QObject* parent = nullptr);
    ~ControllerLink() override;

    // Opens `path` (a device path, or a name such as ttyUSB0) at `baud`; `can` is page 1's
    // "CAN enable" (drop the cable's echo). An open port is closed first. False after the serial
    // layer has shown its message.
    bool Open(const QString& path, std::uint32_t baud, bool can);
    // Closes the port; no receive callback and no new post comes after it returns.
    void Close();
    // The open port's device failed or vanished (see CSerial::DeviceLost).
    bool PortLost() const;
    // Where the port's failures are told (null: nowhere); the sink is called on the thread
    // that failed and must not wait for another.
    void SetMessageSink(SerialMessageSink* sink);

    // Link
    void Write(const CommandFrame& frame) override;
    bool IsOpen() const override;
    bool DownloadRunning() const override;
    // Clock: the steps run on this object's thread.
    void Schedule(int milliseconds, std::function<void()> step) override;

    // Writes any bytes (the one-shot commands look at the port's word). False when the port did
    // not take them all.
    bool WriteBytes(std::span<const std::uint8_t> bytes);

    // The sender forgets any image and waits for a new transfer (the port-open sequence does
    // this after every open). Progress reports from then on come back as downloadProgress.
    void ReinitialiseSender();
    // Any transfer is abandoned: received bytes go to the frame parser again.
    void AbandonDownload();
    // The last transfer was cut off by AbandonDownload rather than ended by the sender: the
    // controller did not get its program.
    bool TransferCut() const { return m_transferCut; }
    // The last transfer reported its end although the boot loader never acknowledged its last
    // packet (the boot loader dialect takes a NAK of it as an answer): the controller did not
    // get its whole program. Set on the receive thread before the final report is posted.
    bool EndedUnacknowledged() const { return m_endedUnacknowledged.load(); }
    // Loads the image into the sender and hands it the received bytes (m_busy = 1): the boot
    // loader's "C" starts the transfer. Nothing changes unless kOk.
    ModemLoad StartDownload(std::string_view name, std::span<const std::uint8_t> image,
                            ModemDialect dialect);
    // The last percentage the sender reported since ReinitialiseSender; -1 before any. Set on
    // the receive thread before the matching downloadProgress is posted.
    int LastReportedPercent() const { return m_lastPercent.load(); }

    // Fast download: while a transfer runs, the boot loader's bytes reach the sender as they
    // arrive instead of after the 15 ms of silence that ends a burst, and the driver is asked
    // for low latency; everything else is received as before. Off by default. Any thread, any
    // time: a transfer under way speeds up or slows down from its next byte.
    void SetFastDownload(bool on);
    bool FastDownload() const { return m_fastDownload.load(); }

    // Tests and traces only; set while the port is closed.
    void SetReceiveTap(ReceiveTap tap);

signals:
    void opened(const QString& path);
    void closed();
    // g_liveStatus already holds it.
    void statusReceived(const LiveStatus& status);
    // Block number 1..7 as the frame gave it (unchecked) and its 17 bytes.
    void parameterBlockReceived(int number, const BlockBytes& bytes);
    // g_writeAcknowledged / g_announceSeen are already set.
    void writeAcknowledged();
    void announced();
    // Each progress report of the sender, 100 once at the end of a complete transfer.
    void downloadProgress(int percent);
    // What the boot loader sent during a transfer: one signal per received chunk, in order. With
    // fast download, chunks that follow each other while this thread has not yet taken the
    // first come as one signal (never across a progress report), so a chatty boot loader cannot
    // flood the thread with tiny ones.
    void downloadLog(const QByteArray& bytes);

private:
    class FrameHandler;
    class SerialOutput;

    static void OnProgress(void* user, int percent);
    void PostLog(std::span<const std::uint8_t> bytes);
    void OnReceive(std::span<const std::uint8_t> chunk);
    // Runs `step` on this object's thread; dropped once the object is gone.
    void Post(std::function<void()> step);

    CSerial& m_serial;
    QtClock m_clock;
    std::unique_ptr<FrameHandler> m_handler;
    std::unique_ptr<SerialOutput> m_output;
    ModemReceiveSink m_modemSink;
    std::unique_ptr<ReceiveRouter> m_router;
    ReceiveTap m_tap;
    std::atomic<int> m_lastPercent{-1};
    bool m_transferCut = false;
    std::atomic<bool> m_endedUnacknowledged{false};
    std::atomic<bool> m_fastDownload{false};
    // The log bytes of a fast download posted but not yet emitted; later chunks join them.
    std::mutex m_logLock;
    std::shared_ptr<QByteArray> m_pendingLog;
};
