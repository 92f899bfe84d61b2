#include "chart/live_chart_model.h"

#include <cstdint>

PointRing::PointRing(std::size_t capacity) : m_points(capacity == 0 ? 1 : capacity) {}

void PointRing::Push(const ChartPoint& point) {
    const std::size_t capacity = m_points.size();
    if (m_size < capacity) {
        m_points[(m_first + m_size) % capacity] = point;
        ++m_size;
        return;
    }
    m_points[m_first] = point;
    m_first = (m_first + 1) % capacity;
}

void PointRing::Clear() {
    m_first = 0;
    m_size = 0;
}

const ChartPoint& PointRing::operator[](std::size_t index) const {
    return m_points[(m_first + index) % m_points.size()];
}

LiveChartModel::LiveChartModel(std::size_t capacityPerSeries)
    : m_rings(kChartSeriesCount, PointRing(capacityPerSeries)) {}

void LiveChartModel::Add(ChartSeries series, double seconds, double value) {
    const auto index = static_cast<std::size_t>(series);
    PointRing& ring = m_rings[index];
    const bool joined = ring.Size() > 0 && m_fedByLast[index] &&
                        seconds - ring.Back().m_seconds < kSilenceGapSeconds;
    ring.Push({seconds, value, !joined});
    m_fedByLast[index] = true;
}

void LiveChartModel::AddStatus(double seconds, const LiveStatus& status, int displayMode) {
    std::array<bool, kChartSeriesCount> fed{};
    const auto feed = [&](ChartSeries series, double value) {
        Add(series, seconds, value);
        fed[static_cast<std::size_t>(series)] = true;
    };
    const auto signedVoltage = static_cast<std::int16_t>(status.m_voltageRaw);
    const auto signedCurrent = static_cast<std::int16_t>(status.m_currentRaw);
    feed(ChartSeries::kSpeed, status.m_rpm);
    switch (displayMode) {
        case 0:
            feed(ChartSeries::kVoltage, status.m_voltageRaw / 10.0);
            feed(ChartSeries::kCurrent, signedCurrent / 10.0);
            break;
        case 1:
            feed(ChartSeries::kQVoltage, signedVoltage);
            feed(ChartSeries::kDVoltage, signedCurrent);
            break;
        case 2:
            feed(ChartSeries::kQCurrent, signedVoltage);
            feed(ChartSeries::kDCurrent, signedCurrent);
            break;
        default:
            break;
    }
    feed(ChartSeries::kControllerTemp, status.m_controllerTempRaw - 50);
    feed(ChartSeries::kExternalTemp, status.m_externalTempRaw - 50);
    feed(ChartSeries::kTempCoefficient, status.m_tempCoefficient);
    // The throttle comes with the requests, not the frames.
    fed[static_cast<std::size_t>(ChartSeries::kThrottle)] =
        m_fedByLast[static_cast<std::size_t>(ChartSeries::kThrottle)];
    m_fedByLast = fed;
}

void LiveChartModel::AddThrottle(double seconds, double volts) {
    Add(ChartSeries::kThrottle, seconds, volts);
}

void LiveChartModel::Clear() {
    for (PointRing& ring : m_rings)
        ring.Clear();
    m_fedByLast = {};
}

const PointRing& LiveChartModel::Points(ChartSeries series) const {
    return m_rings[static_cast<std::size_t>(series)];
}
