#include "core/params/page_range_check.h"

std::optional<PageRangeFailure> FirstPageRangeFailure(const ParameterValues& values) {
    const double hysteresis = values.m_page0.m_underVoltageHysteresis;
    if (!(hysteresis >= 0.0 && hysteresis <= 6.0))
        return PageRangeFailure{ParamOwner::kPage0, 1012, "Enter a number between 0 and 6."};
    if (values.m_page3.m_pushAssistSpeed > 100)
        return PageRangeFailure{ParamOwner::kPage3, 1011, "Enter an integer between 0 and 100."};
    if (values.m_page3.m_reverseSpeedRatio > 100)
        return PageRangeFailure{ParamOwner::kPage3, 1010, "Enter an integer between 0 and 100."};
    return std::nullopt;
}
