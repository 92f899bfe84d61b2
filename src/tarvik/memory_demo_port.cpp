#include "tarvik/memory_demo_port.h"

#include "serial/memory_line.h"

// The controller's end of the line, as the line server wants it.
class MemoryDemoPort::FarEnd : public sim::SimLine {
public:
    std::vector<std::uint8_t> Receive(std::chrono::steady_clock::time_point deadline) override {
        return m_line->ReceiveFromTool(deadline);
    }
    void Send(std::span<const std::uint8_t> bytes) override { m_line->SendToTool(bytes); }
    void Wake() override { m_line->WakePeer(); }

    // Set before the server starts and kept until it has stopped.
    std::shared_ptr<MemoryLine> m_line;
};

MemoryDemoPort::MemoryDemoPort(QString name)
    : m_name(std::move(name)),
      m_farEnd(std::make_unique<FarEnd>()),
      m_server(std::make_unique<sim::SimLineServer>(*m_farEnd)) {}

MemoryDemoPort::~MemoryDemoPort() {
    m_server->Stop();
    if (m_farEnd->m_line) {
        m_farEnd->m_line->HangUp();
    }
}

QString MemoryDemoPort::Start() {
    if (m_farEnd->m_line) {
        return m_farEnd->m_line->Name();
    }
    m_farEnd->m_line = MemoryLine::Create(m_name);
    if (!m_farEnd->m_line) {
        m_error = QStringLiteral("the port %1 is served already").arg(m_name);
        return {};
    }
    if (!m_server->Start()) {
        m_farEnd->m_line->HangUp();
        m_farEnd->m_line.reset();
        m_error = QStringLiteral("cannot start the controller's thread");
        return {};
    }
    m_error.clear();
    return m_name;
}

std::shared_ptr<MemoryLine> MemoryDemoPort::Line() const {
    return m_farEnd->m_line;
}
