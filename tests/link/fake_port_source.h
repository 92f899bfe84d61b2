#pragma once
// A port source whose list and cable samples a test sets; it notes when each sample was taken.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "link/port_source.h"

namespace link_test {

class FakePortSource : public PortSource {
public:
    std::optional<QStringList> ListPorts() override { return m_ports; }
    Cable CablePresence() override {
        if (m_now)
            m_sampleTimes.push_back(m_now());
        if (m_samples.empty())
            return m_steady;
        const Cable c = m_samples.front();
        m_samples.pop_front();
        return c;
    }

    // P present, A absent, U cannot tell; spaces ignored. Afterwards the cable stays `steady`.
    void SetSamples(const char* samples, Cable steady = Cable::kAbsent) {
        m_samples.clear();
        for (const char* c = samples; *c != '\0'; ++c) {
            if (*c == 'P')
                m_samples.push_back(Cable::kPresent);
            else if (*c == 'A')
                m_samples.push_back(Cable::kAbsent);
            else if (*c == 'U')
                m_samples.push_back(Cable::kUnknown);
        }
        m_steady = steady;
    }
    std::size_t SamplesLeft() const { return m_samples.size(); }

    std::optional<QStringList> m_ports = QStringList{};
    std::function<std::int64_t()> m_now;
    std::vector<std::int64_t> m_sampleTimes;

private:
    std::deque<Cable> m_samples;
    Cable m_steady = Cable::kAbsent;
};

}  // namespace link_test
