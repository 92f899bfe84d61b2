#pragma once
// A controller link on a port of its own, and the simulated controller to talk to.

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <memory>

#include "core/modem/modem_sender.h"
#include "core/protocol/link_flags.h"
#include "link/controller_link.h"
#include "serial/serial.h"
#include "serial/serial_message_sink.h"
#include "sim/sim_server.h"

namespace link_test {

class RecordingSink : public SerialMessageSink {
public:
    void ShowSerialMessage(const QString& text) override { m_messages << text; }
    QStringList m_messages;
};

class LinkFixture : public testing::Test {
protected:
    LinkFixture() {
        ResetLinkFlags();
        g_modem.m_busy = 0;
        m_serial.SetMessageSink(&m_sink);
    }
    ~LinkFixture() override {
        m_link.reset();
        m_serial.SetMessageSink(nullptr);
        ResetLinkFlags();
    }

    QString StartSim(const sim::SimOptions& options = {}) {
        m_sim = std::make_unique<sim::SimServer>(options);
        const QString path = m_sim->Start();
        EXPECT_FALSE(path.isEmpty()) << m_sim->ErrorString().toStdString();
        return path;
    }
    sim::SimController& Controller() { return m_sim->Controller(); }

    std::unique_ptr<sim::SimServer> m_sim;
    RecordingSink m_sink;
    CSerial m_serial;
    std::unique_ptr<ControllerLink> m_link = std::make_unique<ControllerLink>(m_serial);
};

}  // namespace link_test
