#pragma once
// A text written on one thread and read on another; each call sees a whole text.

#include <mutex>
#include <string>
#include <utility>

class SharedText {
public:
    std::string Get() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_text;
    }
    void Set(std::string text) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_text = std::move(text);
    }

private:
    mutable std::mutex m_mutex;
    std::string m_text;
};
