#include "cli/controller_session.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <bit>

#include "cli/interrupt.h"
#include "core/commands/connect_sequence.h"
#include "serial/serial.h"

namespace {
constexpr unsigned kAllBlocks = (1u << kBlockCount) - 1;
// The controller sends its seven blocks in one go; allow for a slow line after the first.
constexpr int kBlockStragglerMs = 2000;
constexpr int kPollMs = 5;
}  // namespace

ControllerSession::ControllerSession(LinkOptions options)
    : m_options(std::move(options)), m_link(std::make_unique<ControllerLink>(g_serial)) {
    QObject::connect(m_link.get(), &ControllerLink::parameterBlockReceived, m_link.get(),
                     [this](int number, const BlockBytes& bytes) { TakeBlock(number, bytes); });
    QObject::connect(m_link.get(), &ControllerLink::statusReceived, m_link.get(),
                     [this](const LiveStatus& status) {
                         if (m_statusObserver)
                             m_statusObserver(status);
                     });
}

ControllerSession::~ControllerSession() = default;

bool ControllerSession::Open() {
    return m_link->Open(m_options.port, m_options.baud, m_options.can);
}

void ControllerSession::Write(const CommandFrame& frame) {
    m_link->Write(frame);
}

bool ControllerSession::IsOpen() const {
    return m_link->IsOpen();
}

bool ControllerSession::DownloadRunning() const {
    return m_link->DownloadRunning();
}

void ControllerSession::Schedule(int milliseconds, std::function<void()> step) {
    m_link->Schedule(milliseconds, std::move(step));
}

bool ControllerSession::WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    // A request to stop ends every wait: the command then abandons what it was doing.
    const QMetaObject::Connection stop =
        QObject::connect(&Interrupts(), &InterruptNotifier::requested, &loop, &QEventLoop::quit);
    while (!done() && !InterruptRequested() && !m_waitsCut && elapsed.elapsed() < timeoutMs) {
        QTimer::singleShot(kPollMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    QObject::disconnect(stop);
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
