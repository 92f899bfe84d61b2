#include "serial/serial_worker.h"

#include "serial/memory_line.h"
#include "serial/serial_worker_memory.h"

std::unique_ptr<SerialWorker> SerialWorker::Create(const SerialConfig& config,
                                                   SerialSession& session) {
    if (std::shared_ptr<MemoryLine> line = MemoryLine::Find(config.path)) {
        return std::make_unique<MemorySerialWorker>(config, session, std::move(line));
    }
    return CreateDeviceWorker(config, session);
}

void SerialWorker::DrainWrites() {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    while (m_session.TakeWrite(&data, &length)) {
        m_session.FinishWrite(WriteNow(data, length));
    }
}
