#pragma once
// What the serial tests record: the callbacks a port made and the messages it showed.

#include <QString>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "serial/serial.h"
#include "serial/serial_message_sink.h"

struct ReceivedChunk {
    std::vector<std::uint8_t> bytes;
    void* owner;
    std::chrono::steady_clock::time_point at;
};

class ChunkRecorder {
public:
    using ChunkHook = std::function<void(const std::uint8_t*, std::uint32_t)>;

    // Runs inside every callback, after the chunk was recorded (on the receive thread).
    void SetOnChunk(ChunkHook hook) {
        std::lock_guard lock(m_mutex);
        m_onChunk = std::move(hook);
    }

    CSerial::ReceiveCallback Callback() {
        return [this](void* owner, const std::uint8_t* data, std::uint32_t count) {
            ChunkHook hook;
            {
                std::lock_guard lock(m_mutex);
                m_chunks.push_back({std::vector<std::uint8_t>(data, data + count), owner,
                                    std::chrono::steady_clock::now()});
                hook = m_onChunk;
            }
            m_cv.notify_all();
            if (hook) {
                hook(data, count);
            }
        };
    }

    std::vector<ReceivedChunk> Chunks() const {
        std::lock_guard lock(m_mutex);
        return m_chunks;
    }
    std::size_t Count() const {
        std::lock_guard lock(m_mutex);
        return m_chunks.size();
    }
    std::vector<std::uint8_t> Bytes() const {
        std::lock_guard lock(m_mutex);
        std::vector<std::uint8_t> all;
        for (const auto& chunk : m_chunks) {
            all.insert(all.end(), chunk.bytes.begin(), chunk.bytes.end());
        }
        return all;
    }
    bool WaitForBytes(std::size_t count,
                      std::chrono::milliseconds deadline = std::chrono::seconds(5)) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, deadline, [&] {
            std::size_t total = 0;
            for (const auto& chunk : m_chunks) {
                total += chunk.bytes.size();
            }
            return total >= count;
        });
    }
    bool WaitForChunks(std::size_t count,
                       std::chrono::milliseconds deadline = std::chrono::seconds(5)) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, deadline, [&] { return m_chunks.size() >= count; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<ReceivedChunk> m_chunks;
    ChunkHook m_onChunk;
};

class MessageRecorder : public SerialMessageSink {
public:
    void ShowSerialMessage(const QString& text) override {
        std::lock_guard lock(m_mutex);
        m_messages.append(text);
    }
    QStringList Messages() const {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_messages;
};

inline QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}
