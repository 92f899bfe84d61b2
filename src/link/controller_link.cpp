#include "link/controller_link.h"

#include <QMetaObject>
#include <algorithm>

#include "core/protocol/frame_parser.h"
#include "core/protocol/link_flags.h"
#include "serial/serial.h"

// Runs on the receive thread after the core's dispatch has set the flags: decodes what must be
// current at once (g_liveStatus) and posts copies of the rest.
class ControllerLink::FrameHandler : public ControllerFrameHandler {
public:
    explicit FrameHandler(ControllerLink& link) : m_link(link) {}

    void OnStatusFrame(ControllerFrameView frame) override {
        const LiveStatus status = PublishStatusFrame(frame);
        m_link.Post([link = &m_link, status] { emit link->statusReceived(status); });
    }
    void OnParameterFrame(ControllerFrameView frame) override {
        const int number = frame[4];
        BlockBytes bytes{};
        std::copy_n(frame.begin() + kBlockFirstByte, bytes.size(), bytes.begin());
        m_link.Post(
            [link = &m_link, number, bytes] { emit link->parameterBlockReceived(number, bytes); });
    }
    void OnWriteAcknowledged() override {
        m_link.Post([link = &m_link] { emit link->writeAcknowledged(); });
    }
    void OnAnnouncement() override {
        m_link.Post([link = &m_link] { emit link->announced(); });
    }

private:
    ControllerLink& m_link;
};

class ControllerLink::SerialOutput : public ModemOutput {
public:
    explicit SerialOutput(CSerial& serial) : m_serial(serial) {}
    void WritePacket(const std::uint8_t* data, std::size_t length) override {
        m_serial.Write(data, static_cast<std::uint32_t>(length));
    }

private:
    CSerial& m_serial;
};

ControllerLink::ControllerLink(CSerial& serial, QObject* parent)
    : QObject(parent),
      m_serial(serial),
      m_clock(this),
      m_handler(std::make_unique<FrameHandler>(*this)),
      m_output(std::make_unique<SerialOutput>(serial)),
      m_modemSink(g_modem, [this](std::span<const std::uint8_t> bytes) { PostLog(bytes); }),
      m_router(std::make_unique<ReceiveRouter>(g_frameParser, *m_handler, &m_modemSink)) {
    qRegisterMetaType<LiveStatus>();
    qRegisterMetaType<BlockBytes>();
    g_modem.SetOutput(m_output.get());
    g_modem.SetProgressCallback(&ControllerLink::OnProgress);
    m_serial.SetReceiveCallback([this](void*, const std::uint8_t* data, std::uint32_t count) {
        OnReceive({data, count});
    });
    m_serial.SetPromptDelivery(
        [this] { return m_fastDownload.load() && g_modem.m_busy.load() == 1; });
}

ControllerLink::ControllerLink(QObject* parent) : ControllerLink(g_serial, parent) {}

ControllerLink::~ControllerLink() {
    g_modem.m_busy = 0;
    // After Close no callback runs, so nothing refers to this object any more.
    m_serial.Close();
    m_serial.SetReceiveCallback({});
    m_serial.SetPromptDelivery({});
    m_serial.SetLowLatency(false);
    g_modem.SetOutput(nullptr);
    g_modem.SetProgressCallback(nullptr);
}

void ControllerLink::SetMessageSink(SerialMessageSink* sink) {
    m_serial.SetMessageSink(sink);
}

bool ControllerLink::Open(const QString& path, std::uint32_t baud, bool can) {
    g_canEnabled = can ? 1 : 0;
    if (m_serial.Open(path, baud, 8, 0, 0, 0, 0, this, 1024) != 1)
        return false;
    emit opened(path);
    return true;
}

void ControllerLink::Close() {
    if (m_serial.Close() == 1)
        emit closed();
}

void ControllerLink::Write(const CommandFrame& frame) {
    m_serial.Write(frame.data(), static_cast<std::uint32_t>(frame.size()));
}

bool ControllerLink::WriteBytes(std::span<const std::uint8_t> bytes) {
    return m_serial.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())) == 1;
}

bool ControllerLink::PortLost() const {
    return m_serial.DeviceLost();
}

bool ControllerLink::IsOpen() const {
    return m_serial.IsOpen();
}

bool ControllerLink::DownloadRunning() const {
    return g_modem.m_busy.load() == 1;
}

void ControllerLink::Schedule(int milliseconds, std::function<void()> step) {
    m_clock.Schedule(milliseconds, std::move(step));
}

void ControllerLink::ReinitialiseSender() {
    m_lastPercent = -1;
    g_modem.Init(this);
}

void ControllerLink::AbandonDownload() {
    if (g_modem.m_busy.exchange(0) == 1)
        m_transferCut = true;
}

ModemLoad ControllerLink::StartDownload(std::string_view name, std::span<const std::uint8_t> image,
                                        ModemDialect dialect) {
    // The sender's own rules, checked first so that a refusal leaves it as it was.
    if (name.substr(0, name.find('\0')).size() >= kModemNameCapacity)
        return ModemLoad::kNameTooLong;
    if (image.size() > kModemImageCapacity)
        return ModemLoad::kImageTooLarge;
    g_modem.m_busy = 0;
    g_modem.SetOutput(m_output.get());
    g_modem.SetDialect(dialect);
    ReinitialiseSender();
    m_transferCut = false;
    m_endedUnacknowledged = false;
    // Both were checked above, so neither refuses now.
    g_modem.SetFileInfo(name, static_cast<std::uint32_t>(image.size()));
    g_modem.SetFileData(image.data(), image.size());
    g_modem.m_busy = 1;
    return ModemLoad::kOk;
}

void ControllerLink::SetFastDownload(bool on) {
    m_fastDownload = on;
    m_serial.SetLowLatency(on);
}

void ControllerLink::SetReceiveTap(ReceiveTap tap) {
    m_tap = std::move(tap);
}

void ControllerLink::OnProgress(void* user, int percent) {
    auto* link = static_cast<ControllerLink*>(user);
    // Judged now, on this thread: once the report is posted the sender may be prepared again.
    if (percent == 100)
        link->m_endedUnacknowledged = g_modem.AcknowledgedBytes() != g_modem.GetImageSize();
    link->m_lastPercent = percent;
    {
        // Log bytes after this report must not be emitted before it.
        std::lock_guard lock(link->m_logLock);
        link->m_pendingLog.reset();
    }
    link->Post([link, percent] { emit link->downloadProgress(percent); });
}

void ControllerLink::PostLog(std::span<const std::uint8_t> bytes) {
    const QByteArray copy(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    if (!m_fastDownload.load()) {
        Post([this, copy] { emit downloadLog(copy); });
        return;
    }
    std::lock_guard lock(m_logLock);
    if (m_pendingLog) {
        m_pendingLog->append(copy);
        return;
    }
    auto pending = std::make_shared<QByteArray>(copy);
    m_pendingLog = pending;
    Post([this, pending] {
        QByteArray bytes;
        {
            std::lock_guard taken(m_logLock);
            if (m_pendingLog == pending)
                m_pendingLog.reset();
            bytes = *pending;
        }
        emit downloadLog(bytes);
    });
}

void ControllerLink::OnReceive(std::span<const std::uint8_t> chunk) {
    if (m_tap)
        m_tap(chunk);
    m_router->OnSerialReceive(chunk);
}

void ControllerLink::Post(std::function<void()> step) {
    QMetaObject::invokeMethod(this, std::move(step), Qt::QueuedConnection);
}
