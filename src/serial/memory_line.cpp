#include "serial/memory_line.h"

#include <map>

namespace {

struct ListedLine {
    const MemoryLine* line;
    std::weak_ptr<MemoryLine> handle;
};

// Created on first use, so lines may be made before main() or after other statics.
std::mutex& ListMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<QString, ListedLine>& List() {
    static std::map<QString, ListedLine> lines;
    return lines;
}

QString Key(const QString& name) {
    return name.toUpper();
}

// The name a port path opens: the path itself or what follows the platform's device folder.
QString NameInPath(const QString& path) {
    for (const QLatin1String folder : {QLatin1String("\\\\.\\"), QLatin1String("/dev/")}) {
        if (path.startsWith(folder)) {
            return path.mid(folder.size());
        }
    }
    return path;
}

}  // namespace

std::shared_ptr<MemoryLine> MemoryLine::Create(const QString& name) {
    if (name.isEmpty()) {
        return nullptr;
    }
    std::lock_guard lock(ListMutex());
    auto& lines = List();
    const auto found = lines.find(Key(name));
    if (found != lines.end() && !found->second.handle.expired()) {
        return nullptr;
    }
    std::shared_ptr<MemoryLine> line(new MemoryLine(name));
    lines.insert_or_assign(Key(name), ListedLine{line.get(), line});
    return line;
}

std::shared_ptr<MemoryLine> MemoryLine::Find(const QString& path) {
    const QString name = NameInPath(path);
    if (name.isEmpty()) {
        return nullptr;
    }
    std::lock_guard lock(ListMutex());
    const auto found = List().find(Key(name));
    return found == List().end() ? nullptr : found->second.handle.lock();
}

MemoryLine::~MemoryLine() {
    Unlist();
}

void MemoryLine::Unlist() {
    std::lock_guard lock(ListMutex());
    auto& lines = List();
    const auto found = lines.find(Key(m_name));
    if (found != lines.end() && found->second.line == this) {
        lines.erase(found);
    }
}

MemoryLine::OpenResult MemoryLine::OpenAsTool() {
    std::lock_guard lock(m_mutex);
    if (m_hungUp) {
        return OpenResult::kHungUp;
    }
    if (m_toolOpen) {
        return OpenResult::kBusy;
    }
    m_toolOpen = true;
    m_toolWoken = false;
    m_toTool.clear();
    return OpenResult::kOpened;
}

void MemoryLine::CloseAsTool() {
    std::lock_guard lock(m_mutex);
    m_toolOpen = false;
    m_toolWoken = false;
    m_toTool.clear();
}

bool MemoryLine::IsToolOpen() const {
    std::lock_guard lock(m_mutex);
    return m_toolOpen;
}

bool MemoryLine::WriteAsTool(std::span<const std::uint8_t> bytes) {
    {
        std::lock_guard lock(m_mutex);
        if (m_hungUp) {
            return false;
        }
        m_toPeer.insert(m_toPeer.end(), bytes.begin(), bytes.end());
    }
    m_peerCv.notify_all();
    return true;
}

MemoryLine::ToolEvents MemoryLine::WaitAsTool(std::vector<std::uint8_t>& into,
                                              std::optional<SteadyClock::time_point> deadline) {
    std::unique_lock lock(m_mutex);
    const auto ready = [this] { return m_toolWoken || m_hungUp || !m_toTool.empty(); };
    if (deadline) {
        m_toolCv.wait_until(lock, *deadline, ready);
    } else {
        m_toolCv.wait(lock, ready);
    }
    ToolEvents events;
    events.woken = m_toolWoken;
    events.hungUp = m_hungUp;
    events.bytes = m_toTool.size();
    m_toolWoken = false;
    into.insert(into.end(), m_toTool.begin(), m_toTool.end());
    m_toTool.clear();
    return events;
}

void MemoryLine::WakeTool() {
    {
        std::lock_guard lock(m_mutex);
        m_toolWoken = true;
    }
    m_toolCv.notify_all();
}

void MemoryLine::SendToTool(std::span<const std::uint8_t> bytes) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_toolOpen || m_hungUp) {
            return;
        }
        m_toTool.insert(m_toTool.end(), bytes.begin(), bytes.end());
    }
    m_toolCv.notify_all();
}

std::vector<std::uint8_t> MemoryLine::ReceiveFromTool(SteadyClock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    m_peerCv.wait_until(lock, deadline, [this] { return m_peerWoken || !m_toPeer.empty(); });
    m_peerWoken = false;
    std::vector<std::uint8_t> bytes;
    bytes.swap(m_toPeer);
    return bytes;
}

void MemoryLine::WakePeer() {
    {
        std::lock_guard lock(m_mutex);
        m_peerWoken = true;
    }
    m_peerCv.notify_all();
}

void MemoryLine::HangUp() {
    Unlist();
    {
        std::lock_guard lock(m_mutex);
        m_hungUp = true;
        m_toTool.clear();
    }
    m_toolCv.notify_all();
    m_peerCv.notify_all();
}
