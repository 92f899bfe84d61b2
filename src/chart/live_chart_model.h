#pragma once
// The chart's data: one bounded ring of points per value kind, fed with status frames and the
// throttle voltage of each request. Plain C++ so that it is tested without a window.

#include <array>
#include <cstddef>
#include <vector>

#include "core/protocol/live_status.h"

enum class ChartSeries {
    kSpeed,
    kVoltage,
    kCurrent,
    kQVoltage,
    kDVoltage,
    kQCurrent,
    kDCurrent,
    kControllerTemp,
    kExternalTemp,
    kTempCoefficient,
    kThrottle,
};
inline constexpr std::size_t kChartSeriesCount = 11;

struct ChartPoint {
    double m_seconds = 0;
    double m_value = 0;
    // Not joined to the point before: a mode switch or a silence lies between them.
    bool m_startsRun = false;
    bool operator==(const ChartPoint&) const = default;
};

// The newest `capacity` points, oldest first.
class PointRing {
public:
    explicit PointRing(std::size_t capacity);
    void Push(const ChartPoint& point);
    void Clear();
    std::size_t Size() const { return m_size; }
    std::size_t Capacity() const { return m_points.size(); }
    const ChartPoint& operator[](std::size_t index) const;
    const ChartPoint& Back() const { return (*this)[m_size - 1]; }

private:
    std::vector<ChartPoint> m_points;
    std::size_t m_first = 0;
    std::size_t m_size = 0;
};

class LiveChartModel {
public:
    // Ten minutes at twice the 250 ms rhythm.
    static constexpr std::size_t kDefaultCapacity = 4800;
    // A series that has been silent this long is not joined across the silence.
    static constexpr double kSilenceGapSeconds = 2.0;

    explicit LiveChartModel(std::size_t capacityPerSeries = kDefaultCapacity);

    // `displayMode` is the mode of the request the frame answers; it decides which of voltage
    // and current, the Q/D voltages or the Q/D currents the frame's positions 5..8 feed.
    void AddStatus(double seconds, const LiveStatus& status, int displayMode);
    void AddThrottle(double seconds, double volts);
    void Clear();

    const PointRing& Points(ChartSeries series) const;

private:
    void Add(ChartSeries series, double seconds, double value);

    std::vector<PointRing> m_rings;
    // Whether the last status fed the series, so a frame of another mode breaks its line.
    std::array<bool, kChartSeriesCount> m_fedByLast{};
};
