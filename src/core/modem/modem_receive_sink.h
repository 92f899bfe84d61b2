#pragma once
// Connects the firmware sender to the receive routing: while a transfer runs, every received
// byte goes to the sender, and the whole chunk afterwards to the download log, if any.

#include <cstdint>
#include <functional>
#include <span>
#include <utility>

#include "core/modem/modem_sender.h"
#include "core/protocol/receive_router.h"

class ModemReceiveSink : public DownloadByteSink {
public:
    using EchoFunction = std::function<void(std::span<const std::uint8_t>)>;

    explicit ModemReceiveSink(ModemSender& sender, EchoFunction echo = {})
        : m_sender(sender), m_echo(std::move(echo)) {}

    bool DownloadRunning() const override { return m_sender.m_busy.load() == 1; }
    void TakeDownloadByte(std::uint8_t byte) override {
        m_sender.PushByte(byte);
        m_sender.ProcessQueue();
    }
    void EchoDownloadBytes(std::span<const std::uint8_t> bytes) override {
        if (m_echo)
            m_echo(bytes);
    }

private:
    ModemSender& m_sender;
    EchoFunction m_echo;
};
