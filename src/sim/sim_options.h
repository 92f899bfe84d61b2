#pragma once
// Everything tarvik-sim can be told on its command line, and the parser for it.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/sim_controller.h"

namespace sim {

struct SimOptions {
    SimConfig controller;
    std::string paramsFile;     // configuration file (119 decimal lines) to start from
    std::string saveImageFile;  // every image the boot loader receives is written here
    std::string linkPath;       // symlink to the tool-side pseudo-terminal
    int baud = 115200;
    bool lineRate = false;  // pace both directions at 10 bits per byte
    // Close the pseudo-terminal this long after the tool's first byte; negative never.
    std::chrono::milliseconds dropLinkAfter{-1};
};

// Arguments without the program name. On --help, sets *help and returns the defaults.
std::optional<SimOptions> ParseSimArguments(const std::vector<std::string>& arguments, bool* help,
                                            std::string* error);
std::string SimUsage(std::string_view program);

}  // namespace sim
