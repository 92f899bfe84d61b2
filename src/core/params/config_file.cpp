#include "core/params/config_file.h"

#include "core/params/parameter_codec.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::string DescribeImportFailure(const ImportFailure& failure) {
    std::string text = "line " + std::to_string(failure.m_line) + ": ";
    switch (failure.m_error) {
        case ImportError::kMissingLine:
            return text + "missing (a configuration file has " + std::to_string(kConfigLineCount) +
                   " lines)";
        case ImportError::kEmptyLine:
            return text + "empty";
        case ImportError::kNotANumber:
            return text + "not a whole number";
        case ImportError::kOutOfRange:
            return text + "not within 0..255";
    }
    return text;
}

ConfigParseResult ParseConfiguration(std::string_view text) {
    ConfigParseResult result;
    std::size_t pos = 0;
    for (int line = 1; line <= kConfigLineCount; ++line) {
        const auto fail = [&](ImportError error) {
            result.m_failure = {error, line};
            return result;
        };
        if (pos >= text.size())
            return fail(ImportError::kMissingLine);
        const std::size_t newline = text.find('\n', pos);
        const std::size_t end = newline == std::string_view::npos ? text.size() : newline;
        std::string_view content = text.substr(pos, end - pos);
        pos = newline == std::string_view::npos ? text.size() : newline + 1;
        if (!content.empty() && content.back() == '\r')
            content.remove_suffix(1);
        while (!content.empty() && IsBlank(content.front()))
            content.remove_prefix(1);
        while (!content.empty() && IsBlank(content.back()))
            content.remove_suffix(1);
        if (content.empty())
            return fail(ImportError::kEmptyLine);
        unsigned value = 0;
        for (char c : content) {
            if (c < '0' || c > '9')
                return fail(ImportError::kNotANumber);
            if (value <= 255)
                value = value * 10 + static_cast<unsigned>(c - '0');
        }
        if (value > 255)
            return fail(ImportError::kOutOfRange);
        const int index = line - 1;
        result.m_blocks[index / kBlockSize][index % kBlockSize] = static_cast<std::uint8_t>(value);
    }
    result.m_ok = true;
    return result;
}

ConfigParseResult ParseConfiguration(std::span<const std::uint8_t> bytes) {
    return ParseConfiguration(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string FormatConfiguration(const ParamWriteFrames& frames) {
    std::string text;
    text.reserve(kConfigLineCount * 5);
    for (const CommandFrame& frame : frames) {
        for (int i = kBlockFirstByte; i <= kBlockLastByte; ++i) {
            text += std::to_string(frame[i]);
            text += "\r\n";
        }
    }
    return text;
}

std::optional<std::string> SaveConfiguration(const ParameterValues& values, bool pagesExchanged) {
    if (!pagesExchanged)
        return std::nullopt;
    for (int n = 1; n <= kBlockCount; ++n)
        EncodeParameterBlock(n, values, g_paramWriteFrames[n - 1]);
    return FormatConfiguration(g_paramWriteFrames);
}

ImportResult ImportConfiguration(std::string_view text, ParameterValues& values) {
    const ConfigParseResult parsed = ParseConfiguration(text);
    if (!parsed.m_ok)
        return {false, parsed.m_failure};
    DecodeParameterBlocks(values, parsed.m_blocks);
    TakeOverCalibration(values.m_mainWindow);
    return {true, {}};
}

ImportResult ImportConfiguration(std::span<const std::uint8_t> bytes, ParameterValues& values) {
    return ImportConfiguration(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), values);
}
