#include "core/protocol/fault_names.h"

#include <cstdio>

std::vector<std::string> ActiveFaultNames(std::uint32_t faultBits, bool chinese) {
    std::vector<std::string> names;
    for (int bit = 0; bit < 32; ++bit) {
        const std::uint32_t value = std::uint32_t{1} << bit;
        if ((faultBits & value) == 0)
            continue;
        std::string name;
        for (const FaultBitName& entry : kFaultBitNames) {
            if (entry.m_bit != value)
                continue;
            name = std::string(chinese && !entry.m_chinese.empty() ? entry.m_chinese
                                                                   : entry.m_english);
        }
        if (name.empty()) {
            char text[16];
            std::snprintf(text, sizeof text, "0x%X", static_cast<unsigned>(value));
            name = text;
        }
        names.push_back(std::move(name));
    }
    return names;
}
