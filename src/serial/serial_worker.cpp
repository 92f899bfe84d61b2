#include "serial/serial_worker.h"

std::unique_ptr<SerialWorker> SerialWorker::Create(const SerialConfig& config,
                                                   SerialSession& session) {
    return CreateDeviceWorker(config, session);
}

void SerialWorker::DrainWrites() {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    while (m_session.TakeWrite(&data, &length)) {
        m_session.FinishWrite(WriteNow(data, length));
    }
}
