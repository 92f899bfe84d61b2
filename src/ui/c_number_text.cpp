#include "ui/c_number_text.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

// The C conversions skip white space as isspace() knows it.
std::string Trimmed(const QString& text) {
    std::string s = text.toStdString();
    std::size_t start = 0;
    while (start < s.size() && (s[start] == ' ' || (s[start] >= '\t' && s[start] <= '\r'))) {
        ++start;
    }
    return s.substr(start);
}

// Sign and digits at the start of `s`; the value modulo 2^64 and whether any digit was there.
bool ScanDecimal(const std::string& s, bool* negative, std::uint64_t* magnitude) {
    std::size_t i = 0;
    *negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        *negative = s[i] == '-';
        ++i;
    }
    const std::size_t firstDigit = i;
    std::uint64_t value = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        value = value * 10 + static_cast<std::uint64_t>(s[i] - '0');
        ++i;
    }
    *magnitude = value;
    return i > firstDigit;
}

}  // namespace

std::optional<std::uint32_t> ScanUnsigned(const QString& text) {
    bool negative = false;
    std::uint64_t magnitude = 0;
    if (!ScanDecimal(Trimmed(text), &negative, &magnitude)) {
        return std::nullopt;
    }
    const auto low = static_cast<std::uint32_t>(magnitude);
    return negative ? static_cast<std::uint32_t>(0u - low) : low;
}

std::optional<std::int32_t> ScanInt(const QString& text) {
    const std::optional<std::uint32_t> bits = ScanUnsigned(text);
    if (!bits) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*bits);
}

std::optional<double> ScanDouble(const QString& text) {
    const std::string s = Trimmed(text);
    // strtod would also take "inf", "nan" and hexadecimal numbers, which "%lf" of the
    // original's runtime did not: accept only a decimal number.
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    bool digits = false;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        ++i;
        digits = true;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
            ++i;
            digits = true;
        }
    }
    if (!digits) {
        return std::nullopt;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            ++j;
        }
        if (j < s.size() && s[j] >= '0' && s[j] <= '9') {
            while (j < s.size() && s[j] >= '0' && s[j] <= '9') {
                ++j;
            }
            i = j;
        }
    }
    // from_chars ignores the process locale, which Qt sets from the environment.
    double value = 0;
    const std::from_chars_result parsed =
        std::from_chars(s.data() + (s[0] == '+' ? 1 : 0), s.data() + i, value);
    if (parsed.ec == std::errc::result_out_of_range) {
        const bool underflow =
            s.find("e-") != std::string::npos || s.find("E-") != std::string::npos;
        const double magnitude = underflow ? 0.0 : HUGE_VAL;
        return s[0] == '-' ? -magnitude : magnitude;
    }
    return value;
}

QString FormatG(double value, int precision) {
    // to_chars in general format is "%.*g" in the C locale, whatever the process locale.
    char buffer[64];
    const std::to_chars_result written =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    return QString::fromLatin1(buffer, static_cast<qsizetype>(written.ptr - buffer));
}
