#pragma once
// The texts of the 128 pin functions, by function code: what the port page's function boxes
// list and what a comparison shows for a pin. Each text begins with the code plus 1 and a
// colon; some end in a blank, which is part of the text. UTF-8.

#include <array>
#include <cstddef>
#include <string_view>

inline constexpr std::size_t kPortFunctionCount = 128;

const std::array<std::string_view, kPortFunctionCount>& PortFunctionNames();

// The text of function code `code` (0..127); empty for any other value.
std::string_view PortFunctionName(int code);
