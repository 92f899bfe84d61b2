#pragma once
// A serial line inside the program: the tool's side is opened by name like a device (the port's
// worker finds it through Find), the far side is served by whoever created the line (demo mode's
// simulated controller where no pseudo-terminal exists). Bytes keep their order in both
// directions and none is lost while both sides are there.
//
// Like a device it has one user at a time on the tool's side; what the far side sends while the
// tool's side is closed is dropped, as opening a device clears its input anyway. The far side
// hanging up ends the line for good: an open tool side then sees the device gone.
//
// Thread-safe: the tool's side is used by one receive thread at a time, the far side by its own
// thread; Wake* may be called from any thread.

#include <QString>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

class MemoryLine {
public:
    using SteadyClock = std::chrono::steady_clock;

    enum class OpenResult { kOpened, kBusy, kHungUp };

    // What a wait on the tool's side saw.
    struct ToolEvents {
        bool woken = false;     // WakeTool was called
        bool hungUp = false;    // the far side is gone
        std::size_t bytes = 0;  // appended to the caller's buffer
    };

    // A new line listed under `name`, or null when a line of that name is still served.
    static std::shared_ptr<MemoryLine> Create(const QString& name);
    // The line a port path names: the name itself, or the name behind a device folder ("/dev/",
    // "\\.\"), compared without regard to case as Windows compares device names. Null when no
    // line of that name is served.
    static std::shared_ptr<MemoryLine> Find(const QString& path);

    ~MemoryLine();
    MemoryLine(const MemoryLine&) = delete;
    MemoryLine& operator=(const MemoryLine&) = delete;

    const QString& Name() const { return m_name; }

    // Tool's side, on the receive thread.
    OpenResult OpenAsTool();
    // Drops what the far side sent and lets the next user open the line.
    void CloseAsTool();
    // False when the far side is gone. The line takes every byte at once.
    bool WriteAsTool(std::span<const std::uint8_t> bytes);
    // Waits until the far side sent bytes, WakeTool was called or the far side hung up, or until
    // `deadline` (none: no limit); moves what was sent to the end of `into`.
    ToolEvents WaitAsTool(std::vector<std::uint8_t>& into,
                          std::optional<SteadyClock::time_point> deadline);
    // Any thread: the tool side's wait returns (once) at once. Takes no lock but the line's own,
    // so it may be called with others held.
    void WakeTool();

    // Far side.
    void SendToTool(std::span<const std::uint8_t> bytes);
    // Waits for the tool's bytes until `deadline` or WakePeer; returns what arrived (maybe none).
    std::vector<std::uint8_t> ReceiveFromTool(SteadyClock::time_point deadline);
    void WakePeer();
    // The far side goes away: the name is free again, the tool's side sees the device gone.
    void HangUp();

    bool IsToolOpen() const;

private:
    explicit MemoryLine(QString name) : m_name(std::move(name)) {}
    void Unlist();

    const QString m_name;
    mutable std::mutex m_mutex;
    std::condition_variable m_toolCv;
    std::condition_variable m_peerCv;
    std::vector<std::uint8_t> m_toTool;
    std::vector<std::uint8_t> m_toPeer;
    bool m_toolOpen = false;
    bool m_toolWoken = false;
    bool m_peerWoken = false;
    bool m_hungUp = false;
};
