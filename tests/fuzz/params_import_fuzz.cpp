// Arbitrary file contents through the configuration import. A refused file must leave the
// values, the write frames and the decoder outputs exactly as they were and name a line of the
// file; an accepted one must put the file's first 119 numbers into the write frames, and the
// file saved from the result must import again.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "core/params/config_file.h"
#include "core/params/param_state.h"
#include "core/params/parameter_codec.h"

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ResetParameterState();
    // A window that already holds a controller's set, so that "nothing changed" means something.
    ParameterValues values;
    ParameterBlock earlier{};
    for (int n = 0; n < kBlockCount; ++n)
        for (std::size_t i = 0; i < kBlockSize; ++i)
            earlier[n][i] = static_cast<std::uint8_t>(n * 31 + i * 7);
    DecodeParameterBlocks(values, earlier);
    g_calibReceived = 0;
    const ParameterValues valuesBefore = values;
    const ParamWriteFrames framesBefore = g_paramWriteFrames;
    const std::string checkBefore = g_paramCheckText.Get();

    const std::span<const std::uint8_t> file(data, size);
    const ConfigParseResult parsed = ParseConfiguration(file);
    const ImportResult result = ImportConfiguration(file, values);
    Check(result.m_imported == parsed.m_ok);
    if (!result.m_imported) {
        Check(result.m_failure == parsed.m_failure);
        Check(result.m_failure.m_line >= 1 && result.m_failure.m_line <= kConfigLineCount);
        Check(values == valuesBefore);
        Check(g_paramWriteFrames == framesBefore);
        Check(g_paramCheckText.Get() == checkBefore);
        Check(g_calibReceived.load() == 0);
        return 0;
    }
    for (int n = 1; n <= kBlockCount; ++n) {
        const BlockView written = BlockOf(g_paramWriteFrames[n - 1]);
        for (std::size_t i = 0; i < kBlockSize; ++i)
            Check(written[i] == parsed.m_blocks[n - 1][i]);
    }
    Check(values.m_mainWindow.m_fieldWeakeningValue == g_fieldWeakeningCoef.load());
    Check(g_paramCheckText.Get() == std::to_string(ParamCheckValue(g_paramWriteFrames)));

    const std::string saved = FormatConfiguration(g_paramWriteFrames);
    const ConfigParseResult again = ParseConfiguration(saved);
    Check(again.m_ok && again.m_blocks == parsed.m_blocks);
    const std::optional<std::string> encoded = SaveConfiguration(values, true);
    Check(encoded && ParseConfiguration(*encoded).m_ok);
    return 0;
}
