#include "core/params/window_save.h"

#include "core/params/param_state.h"
#include "core/params/parameter_codec.h"

namespace {

WindowSave SaveAsWindow(const ParameterValues& values) {
    WindowSave result;
    result.m_pageRefused = FirstPageRangeFailure(values);
    if (std::optional<std::string> file = SaveConfiguration(values, !result.m_pageRefused))
        result.m_file = std::move(*file);
    return result;
}

}  // namespace

WindowSave SaveAfterConnect(ParameterValues& values, const ParameterBlock& received) {
    DecodeParameterBlocks(values, received);
    TakeOverCalibrationIfReceived(values.m_mainWindow);
    return SaveAsWindow(values);
}

WindowSave SaveAfterImport(ParameterValues& values, std::string_view file) {
    const ImportResult imported = ImportConfiguration(file, values);
    if (!imported.m_imported) {
        WindowSave refused;
        refused.m_importRefused = imported.m_failure;
        return refused;
    }
    return SaveAsWindow(values);
}
