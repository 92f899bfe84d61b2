#include "core/params/param_state.h"

#include <string>

ParamWriteFrames InitialParamWriteFrames() {
    ParamWriteFrames frames{};
    for (int n = 1; n <= kBlockCount; ++n)
        frames[n - 1] = MakeParamWriteFrame(n);
    return frames;
}

ParamWriteFrames g_paramWriteFrames = InitialParamWriteFrames();
std::atomic<std::uint16_t> g_voltageCalib{0};
std::atomic<std::uint16_t> g_currentCalib{0};
std::atomic<std::uint16_t> g_fieldWeakeningCoef{0};
std::atomic<int> g_canNodeIndex{0};
std::atomic<int> g_canCableFlags{0};
std::atomic<int> g_calibReceived{1};
SharedText g_paramCheckText;

int ParamCheckValue(const ParamWriteFrames& frames) {
    int sum = 0;
    for (const CheckRange& range : CheckValueRanges()) {
        const CommandFrame& frame = frames[range.m_block - 1];
        for (int i = range.m_first; i <= range.m_last; ++i)
            if (i != range.m_skip)
                sum += frame[i];
    }
    return sum;
}

void UpdateParamCheckText() {
    g_paramCheckText.Set(std::to_string(ParamCheckValue(g_paramWriteFrames)));
}

void TakeOverCalibration(MainWindowValues& window) {
    window.m_voltageCalibValue = g_voltageCalib.load();
    window.m_currentCalibValue = g_currentCalib.load();
    window.SetFieldWeakening(g_fieldWeakeningCoef.load());
}

bool TakeOverCalibrationIfReceived(MainWindowValues& window) {
    int expected = 1;
    if (!g_calibReceived.compare_exchange_strong(expected, 0))
        return false;
    TakeOverCalibration(window);
    return true;
}

void ResetParameterState() {
    g_paramWriteFrames = InitialParamWriteFrames();
    g_voltageCalib = 0;
    g_currentCalib = 0;
    g_fieldWeakeningCoef = 0;
    g_canNodeIndex = 0;
    g_canCableFlags = 0;
    g_calibReceived = 1;
    g_paramCheckText.Set({});
}
