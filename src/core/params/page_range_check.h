#pragma once
// The range checks the pages' exchange (controls into fields) applies to values that parse.
// A value set that fails one cannot be saved: the window shows the message and, since the
// exchange did not succeed, the save writes nothing.

#include <optional>
#include <string>

#include "core/params/block_layout.h"
#include "core/params/parameter_values.h"

struct PageRangeFailure {
    ParamOwner m_owner;
    int m_controlId;
    std::string m_message;  // the exchange's message, e.g. "Enter a number between 0 and 6."
};

// The first failing check in the save's exchange order (page 1, page 3), if any: the
// undervoltage hysteresis 0..6, the push assist speed 0..100, the reverse speed limit 0..100.
std::optional<PageRangeFailure> FirstPageRangeFailure(const ParameterValues& values);
