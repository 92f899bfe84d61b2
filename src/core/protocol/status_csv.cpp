#include "core/protocol/status_csv.h"

#include <array>
#include <cstdio>
#include <initializer_list>

namespace {

constexpr std::array<const char*, 4> kGears{"L", "M", "H", "S"};

// Lamp names in indicator bit order from bit 2; the display page's radio fields are 0 when lit.
std::string LitLamps(const DisplayPageTexts& t) {
    const std::array<std::pair<int, const char*>, 6> lamps{{{t.m_reverseLamp, "reverse"},
                                                            {t.m_parkLamp, "park"},
                                                            {t.m_brakeLamp, "brake"},
                                                            {t.m_antiTheftLamp, "anti_theft"},
                                                            {t.m_sideStandLamp, "side_stand"},
                                                            {t.m_regenLamp, "regeneration"}}};
    std::string lit;
    for (const auto& [state, name] : lamps) {
        if (state != 0)
            continue;
        if (!lit.empty())
            lit += '+';
        lit += name;
    }
    return lit.empty() ? "-" : lit;
}

// Exact milliseconds: a double would round some times to the wrong third decimal.
std::string Seconds(std::int64_t ms) {
    const bool negative = ms < 0;
    const std::uint64_t magnitude =
        negative ? 0 - static_cast<std::uint64_t>(ms) : static_cast<std::uint64_t>(ms);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%llu.%03llu", negative ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 1000),
                  static_cast<unsigned long long>(magnitude % 1000));
    return buffer;
}

}  // namespace

std::string StatusCsvHeader() {
    return "time_s,rpm,voltage_V,current_A,q_voltage,d_voltage,q_current,d_current,"
           "controller_temp_C,external_temp_C,temp_coefficient,faults,state,gear,lamps";
}

std::string StatusCsvRow(std::int64_t elapsedMs, const LiveStatus& status, int displayMode) {
    const DisplayPageTexts t = FormatDisplayPage(status, displayMode);
    // Three pairs of columns; the mode picks the pair that positions 5..8 fill.
    std::array<std::string, 6> pairs;
    if (displayMode >= 0 && displayMode <= 2) {
        pairs[static_cast<std::size_t>(displayMode) * 2] = t.m_voltage;
        pairs[static_cast<std::size_t>(displayMode) * 2 + 1] = t.m_current;
    }
    std::string row = Seconds(elapsedMs);
    for (const std::string* field : std::initializer_list<const std::string*>{
             &t.m_speed, &pairs[0], &pairs[1], &pairs[2], &pairs[3], &pairs[4], &pairs[5],
             &t.m_controllerTemp, &t.m_externalTemp, &t.m_tempCoefficient, &t.m_faultCode,
             &t.m_stateName}) {
        row += ',';
        row += *field;
    }
    row += ',';
    row += kGears[static_cast<std::size_t>(t.m_gearIndicator & 3)];
    row += ',';
    row += LitLamps(t);
    return row;
}
