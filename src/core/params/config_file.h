#pragma once
// The configuration file: 119 lines, one per block byte (blocks 1..7, bytes 5..21 each), each
// the byte's value as "%d" followed by CR LF.
//
// Import is strict: lines may end in CR LF or LF and the last one may lack its end, but each
// of the first 119 lines must hold a whole number 0..255 (blanks around it allowed); otherwise
// the file is refused with the first bad line and nothing changes. Lines after the 119th are
// not looked at. The import reads its own buffer, never the frame parser's window.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/params/block_layout.h"
#include "core/params/param_state.h"
#include "core/params/parameter_values.h"

inline constexpr int kConfigLineCount = kBlockCount * static_cast<int>(kBlockSize);

enum class ImportError : std::uint8_t {
    kMissingLine,  // the file ends before this line
    kEmptyLine,    // nothing but blanks
    kNotANumber,   // something other than digits between the blanks
    kOutOfRange,   // a whole number above 255
};

struct ImportFailure {
    ImportError m_error = ImportError::kMissingLine;
    int m_line = 0;  // 1-based

    friend bool operator==(const ImportFailure&, const ImportFailure&) = default;
};

// "line 12: not a whole number" and the like, for messages.
std::string DescribeImportFailure(const ImportFailure& failure);

struct ConfigParseResult {
    bool m_ok = false;
    ParameterBlock m_blocks{};
    ImportFailure m_failure{};  // when not ok
};

// Reads the seven blocks of a file without changing anything.
ConfigParseResult ParseConfiguration(std::string_view text);
ConfigParseResult ParseConfiguration(std::span<const std::uint8_t> bytes);

// Bytes 5..21 of the seven frames as the file's text.
std::string FormatConfiguration(const ParamWriteFrames& frames);

// The save: runs the encoders 1..7 over g_paramWriteFrames and returns the file's text. When
// the caller's exchange of the pages into the values did not succeed, nothing is encoded and
// nothing is returned.
std::optional<std::string> SaveConfiguration(const ParameterValues& values, bool pagesExchanged);

struct ImportResult {
    bool m_imported = false;
    ImportFailure m_failure{};  // when not imported
};

// The import: decodes the file's seven blocks in order (pages, decoder outputs, write frames,
// check value) and then takes the calibration over into the main window's values, as the
// window does. A refused file changes nothing. The window then refreshes its pages.
ImportResult ImportConfiguration(std::string_view text, ParameterValues& values);
ImportResult ImportConfiguration(std::span<const std::uint8_t> bytes, ParameterValues& values);
