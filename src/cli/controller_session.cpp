#include "cli/controller_session.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <bit>

#include "core/commands/connect_sequence.h"
#include "core/modem/modem_sender.h"
#include "core/protocol/frame_parser.h"
#include "core/protocol/link_flags.h"
#include "serial/serial.h"

namespace {
constexpr unsigned kAllBlocks = (1u << kBlockCount) - 1;
// The controller sends its seven blocks in one go; allow for a slow line after the first.
constexpr int kBlockStragglerMs = 2000;
constexpr int kPollMs = 5;
}  // namespace

// Runs on the receive thread: status goes to g_liveStatus at once, as the window's decoder does;
// copies of what the main thread needs are posted to it.
class ControllerSession::FrameHandler : public ControllerFrameHandler {
public:
    explicit FrameHandler(ControllerSession& session) : m_session(session) {}

    void OnStatusFrame(ControllerFrameView frame) override {
        const LiveStatus status = PublishStatusFrame(frame);
        QMetaObject::invokeMethod(
            m_session.m_context.get(),
            [this, status] {
                if (m_session.m_statusObserver)
                    m_session.m_statusObserver(status);
            },
            Qt::QueuedConnection);
    }

    void OnParameterFrame(ControllerFrameView frame) override {
        const int number = frame[4];
        BlockBytes bytes{};
        std::copy_n(frame.begin() + kCommandPayloadFirst, bytes.size(), bytes.begin());
        QMetaObject::invokeMethod(
            m_session.m_context.get(),
            [this, number, bytes] { m_session.TakeBlock(number, bytes); }, Qt::QueuedConnection);
    }

private:
    ControllerSession& m_session;
};

ControllerSession::ControllerSession(LinkOptions options)
    : m_options(std::move(options)),
      m_context(std::make_unique<QObject>()),
      m_handler(std::make_unique<FrameHandler>(*this)),
      m_modemSink(g_modem),
      m_router(std::make_unique<ReceiveRouter>(g_frameParser, *m_handler, &m_modemSink)) {
    g_serial.SetReceiveCallback(
        [router = m_router.get()](void*, const std::uint8_t* data, std::uint32_t count) {
            router->OnSerialReceive({data, count});
        });
}

ControllerSession::~ControllerSession() {
    g_modem.m_busy = 0;
    // No callback runs after Close, so nothing refers to this session afterwards.
    g_serial.Close();
}

bool ControllerSession::Open() {
    g_canEnabled = m_options.can ? 1 : 0;
    return g_serial.Open(m_options.port, m_options.baud) == 1;
}

void ControllerSession::Write(const CommandFrame& frame) {
    g_serial.Write(frame.data(), static_cast<std::uint32_t>(frame.size()));
}

bool ControllerSession::IsOpen() const {
    return g_serial.IsOpen();
}

bool ControllerSession::DownloadRunning() const {
    return g_modem.m_busy.load() == 1;
}

void ControllerSession::Schedule(int milliseconds, std::function<void()> step) {
    QTimer::singleShot(milliseconds, Qt::PreciseTimer, m_context.get(), std::move(step));
}

bool ControllerSession::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    while (!done() && elapsed.elapsed() < timeoutMs) {
        QTimer::singleShot(kPollMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

ReadOutcome ControllerSession::ConnectAndRead(ParameterBlock& blocks, int* blocksSeen) {
    m_blockMask = 0;
    ConnectSequence connect(*this, *this);
    connect.Start();
    WaitUntil([&] { return !connect.Running(); },
              ConnectSequence::kAttempts * ConnectSequence::kAttemptIntervalMs + 1000);
    ReadOutcome outcome = ReadOutcome::kNoResponse;
    if (connect.Outcome() == ConnectOutcome::kConnected) {
        WaitUntil([&] { return m_blockMask == kAllBlocks; }, kBlockStragglerMs);
        outcome = m_blockMask == kAllBlocks ? ReadOutcome::kRead : ReadOutcome::kIncomplete;
    }
    blocks = m_blocks;
    if (blocksSeen != nullptr)
        *blocksSeen = std::popcount(m_blockMask);
    return outcome;
}

void ControllerSession::SetStatusObserver(std::function<void(const LiveStatus&)> observer) {
    m_statusObserver = std::move(observer);
}

void ControllerSession::TakeBlock(int number, const BlockBytes& bytes) {
    if (number < 1 || number > kBlockCount)
        return;
    m_blocks[number - 1] = bytes;
    m_blockMask |= 1u << (number - 1);
}
