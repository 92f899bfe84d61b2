#include "sim/sim_options.h"

#include <charconv>
#include <functional>

namespace sim {

namespace {

struct OptionSpec {
    std::string_view name;
    std::string_view argument;  // empty for a switch
    std::string_view help;
    std::function<bool(SimOptions&, std::string_view)> apply;
};

bool ParseInt(std::string_view text, long long low, long long high, long long* out) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        return false;
    }
    *out = value;
    return true;
}

template <typename T>
std::function<bool(SimOptions&, std::string_view)> IntInto(T SimOptions::*field, long long low,
                                                           long long high) {
    return [field, low, high](SimOptions& o, std::string_view v) {
        long long value = 0;
        if (!ParseInt(v, low, high, &value)) {
            return false;
        }
        o.*field = static_cast<T>(value);
        return true;
    };
}

std::function<bool(SimOptions&, std::string_view)> Count(int SimFaults::*field) {
    return [field](SimOptions& o, std::string_view v) {
        long long value = 0;
        if (!ParseInt(v, 0, 1'000'000, &value)) {
            return false;
        }
        o.controller.faults.*field = static_cast<int>(value);
        return true;
    };
}

std::function<bool(SimOptions&, std::string_view)> Millis(
    std::chrono::milliseconds& (*pick)(SimOptions&)) {
    return [pick](SimOptions& o, std::string_view v) {
        long long value = 0;
        if (!ParseInt(v, 0, 3'600'000, &value)) {
            return false;
        }
        pick(o) = std::chrono::milliseconds(value);
        return true;
    };
}

const std::vector<OptionSpec>& Specs() {
    static const std::vector<OptionSpec> specs = {
        {"--help", "", "show this help and exit", nullptr},
        {"--params", "FILE", "start from a configuration file of 119 decimal lines",
         [](SimOptions& o, std::string_view v) {
             o.paramsFile = v;
             return !v.empty();
         }},
        {"--save-image", "FILE", "write every image the boot loader receives to FILE",
         [](SimOptions& o, std::string_view v) {
             o.saveImageFile = v;
             return !v.empty();
         }},
        {"--link", "PATH", "keep a symlink PATH to the tool-side pseudo-terminal",
         [](SimOptions& o, std::string_view v) {
             o.linkPath = v;
             return !v.empty();
         }},
        {"--baud", "N", "line rate for --line-rate (default 115200)",
         IntInto(&SimOptions::baud, 50, 4'000'000)},
        {"--line-rate", "", "pace sending and reading at 10 bits per byte at --baud",
         [](SimOptions& o, std::string_view) {
             o.lineRate = true;
             return true;
         }},
        {"--can-echo", "", "echo every received byte first, as the CAN debugging cable does",
         [](SimOptions& o, std::string_view) {
             o.controller.canEcho = true;
             return true;
         }},
        {"--announce", "", "send the announcement frame at start",
         [](SimOptions& o, std::string_view) {
             o.controller.announceAtStart = true;
             return true;
         }},
        {"--seed", "N", "seed of the drifting live values (default 1)",
         [](SimOptions& o, std::string_view v) {
             long long value = 0;
             if (!ParseInt(v, 0, (1ll << 62), &value)) {
                 return false;
             }
             o.controller.seed = static_cast<std::uint64_t>(value);
             return true;
         }},
        {"--status", "YB|E1|E2", "letters of the status frame (default YB)",
         [](SimOptions& o, std::string_view v) {
             if (v == "YB") {
                 o.controller.statusKind = StatusKind::YB;
             } else if (v == "E1") {
                 o.controller.statusKind = StatusKind::E1;
             } else if (v == "E2") {
                 o.controller.statusKind = StatusKind::E2;
             } else {
                 return false;
             }
             return true;
         }},
        {"--crc-high-first", "", "boot loader takes the CRC high byte first (the published order)",
         [](SimOptions& o, std::string_view) {
             o.controller.crcHighFirst = true;
             return true;
         }},
        {"--no-read-answer", "", "fault: do not answer \"LDGET\"",
         [](SimOptions& o, std::string_view) {
             o.controller.faults.noReadAnswer = true;
             return true;
         }},
        {"--read-blocks", "N", "fault: answer \"LDGET\" with only the first N of the 7 blocks",
         [](SimOptions& o, std::string_view v) {
             long long value = 0;
             if (!ParseInt(v, 0, 7, &value)) {
                 return false;
             }
             o.controller.faults.readBlocks = static_cast<int>(value);
             return true;
         }},
        {"--no-write-ack", "", "fault: store written parameters but send no 'PN'",
         [](SimOptions& o, std::string_view) {
             o.controller.faults.noWriteAck = true;
             return true;
         }},
        {"--bad-checksum", "N", "fault: the next N frames carry a wrong checksum",
         Count(&SimFaults::badChecksumFrames)},
        {"--bad-terminator", "N", "fault: the next N frames end in 0x0A instead of 0x0D",
         Count(&SimFaults::badTerminatorFrames)},
        {"--noise", "N", "fault: N random bytes (never 0xC0 or 0xC9) before every frame",
         Count(&SimFaults::noiseBytes)},
        {"--pause-mid-frame", "MS", "fault: pause MS milliseconds after byte 12 of every frame",
         Millis([](SimOptions& o) -> std::chrono::milliseconds& {
             return o.controller.faults.midFramePause;
         })},
        {"--nak-block", "N", "fault: NAK transfer block N once (0 = block 0, 1 = first data block)",
         [](SimOptions& o, std::string_view v) {
             long long value = 0;
             if (!ParseInt(v, 0, 1'000'000, &value)) {
                 return false;
             }
             o.controller.faults.transfer.nakBlock = static_cast<int>(value);
             return true;
         }},
        {"--can-at-block", "N", "fault: answer transfer block N with CAN CAN",
         [](SimOptions& o, std::string_view v) {
             long long value = 0;
             if (!ParseInt(v, 0, 1'000'000, &value)) {
                 return false;
             }
             o.controller.faults.transfer.canAtBlock = static_cast<int>(value);
             return true;
         }},
        {"--c-flood", "N", "fault: send N \"C\" after the first data block's ACK (6 aborts)",
         [](SimOptions& o, std::string_view v) {
             long long value = 0;
             if (!ParseInt(v, 0, 1000, &value)) {
                 return false;
             }
             o.controller.faults.transfer.cFloodCount = static_cast<int>(value);
             return true;
         }},
        {"--slow-flash", "MS", "fault: wait MS milliseconds before every boot loader ACK",
         Millis([](SimOptions& o) -> std::chrono::milliseconds& {
             return o.controller.faults.transfer.slowFlash;
         })},
        {"--drop-link-after", "MS",
         "fault: close the pseudo-terminal MS milliseconds after the tool's first byte",
         Millis([](SimOptions& o) -> std::chrono::milliseconds& { return o.dropLinkAfter; })},
    };
    return specs;
}

}  // namespace

std::optional<SimOptions> ParseSimArguments(const std::vector<std::string>& arguments, bool* help,
                                            std::string* error) {
    SimOptions options;
    if (help != nullptr) {
        *help = false;
    }
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string_view arg = arguments[i];
        std::string_view inlineValue;
        bool hasInline = false;
        if (const std::size_t eq = arg.find('='); eq != std::string_view::npos) {
            inlineValue = arg.substr(eq + 1);
            arg = arg.substr(0, eq);
            hasInline = true;
        }
        if (arg == "--help" || arg == "-h") {
            if (help != nullptr) {
                *help = true;
            }
            return options;
        }
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& s : Specs()) {
            if (s.name == arg) {
                spec = &s;
            }
        }
        if (spec == nullptr) {
            *error = "unknown option " + std::string(arg);
            return std::nullopt;
        }
        std::string_view value;
        if (!spec->argument.empty()) {
            if (hasInline) {
                value = inlineValue;
            } else if (i + 1 < arguments.size()) {
                value = arguments[++i];
            } else {
                *error = std::string(arg) + " needs " + std::string(spec->argument);
                return std::nullopt;
            }
        } else if (hasInline) {
            *error = std::string(arg) + " takes no value";
            return std::nullopt;
        }
        if (!spec->apply(options, value)) {
            *error = "bad value \"" + std::string(value) + "\" for " + std::string(arg);
            return std::nullopt;
        }
    }
    return options;
}

std::string SimUsage(std::string_view program) {
    // Built with append rather than operator+: gcc 12 warns falsely (-Wrestrict) about the
    // temporaries of the latter when optimising.
    std::string text = "Usage: ";
    text.append(program);
    text.append(
        " [options]\n\n"
        "Simulated motor controller on a pseudo-terminal. Prints the tool-side\n"
        "device path as the first line and serves until SIGINT or SIGTERM.\n\n"
        "Options:\n");
    constexpr std::size_t kHelpColumn = 26;
    for (const OptionSpec& s : Specs()) {
        std::string left = "  ";
        left.append(s.name);
        if (!s.argument.empty()) {
            left.append(" ").append(s.argument);
        }
        if (left.size() < kHelpColumn) {
            left.resize(kHelpColumn, ' ');
        } else {
            left.append("\n").append(kHelpColumn, ' ');
        }
        text.append(left).append(s.help).append("\n");
    }
    return text;
}

}  // namespace sim
