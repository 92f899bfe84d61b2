#include "core/params/param_conversions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

std::int32_t TruncateToInt32(double value) {
    // 2^31 is exact in double; anything at or beyond it (or NaN) is out of range.
    constexpr double kLimit = 2147483648.0;
    if (!(value > -kLimit - 1.0 && value < kLimit))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

float TenthsFromRaw(std::int32_t raw) {
    return static_cast<float>(raw) / 10.0f;
}

std::int32_t RawFromTenths(float value) {
    const float scaled = value * 10.0f;  // single precision: 60.8f x 10 is exactly 608
    return TruncateToInt32(scaled);
}

float HundredthsFromRaw(std::int32_t raw) {
    return static_cast<float>(raw) / 100.0f;
}

std::int32_t RawFromHundredths(float value) {
    return TruncateToInt32((static_cast<double>(value) + 0.009999) * 100.0);
}

float ThrottleVoltsFromRaw(std::int32_t raw) {
    const std::int32_t q = raw * 550 / 255;
    return static_cast<float>(std::floor(static_cast<double>(q) + 2.2) / 100.0);
}

std::int32_t RawFromThrottleVolts(float value) {
    const float scaled = value * 255.0f;
    return TruncateToInt32(static_cast<double>(scaled) / 5.5);
}

std::uint32_t PushAssistPercentFromWord(std::int32_t word) {
    // Wider than the word needs, so that no int argument overflows.
    const auto quotient = (static_cast<std::int64_t>(word) * 100 + 99) / 32768;
    return static_cast<std::uint32_t>(
        static_cast<std::int32_t>(static_cast<std::int16_t>(quotient)));
}

std::uint32_t WordFromPushAssistPercent(std::uint32_t percent) {
    if (percent == 100)
        return 0x7FFF;
    return (percent << 15) / 100u;
}

double ParseLeadingDecimal(std::string_view text) {
    std::size_t i = 0;
    const auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t start = i;
    std::size_t digits = 0;
    // Decimal exponent of the first non-zero digit, before the explicit exponent.
    std::int64_t leadExponent = 0;
    bool nonZeroSeen = false;
    while (i < text.size() && isDigit(text[i])) {
        if (nonZeroSeen)
            ++leadExponent;
        else if (text[i] != '0')
            nonZeroSeen = true;
        ++i, ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            if (!nonZeroSeen) {
                --leadExponent;
                nonZeroSeen = text[i] != '0';
            }
            ++i, ++digits;
        }
    }
    if (digits == 0)
        return 0.0;
    std::size_t end = i;
    std::int64_t exponent = 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            constexpr std::int64_t kSaturated = std::int64_t{1} << 40;
            while (j < text.size() && isDigit(text[j])) {
                exponent = std::min(kSaturated, exponent * 10 + (text[j] - '0'));
                ++j;
            }
            if (negativeExponent)
                exponent = -exponent;
            end = j;
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(text.data() + start, text.data() + end, value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large gives infinity and too small zero, as the C library's reading does; which
        // one it is follows from where the first significant digit stands.
        value = leadExponent + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

std::uint8_t FieldWeakeningByte(std::string_view text) {
    return static_cast<std::uint8_t>(TruncateToInt32(ParseLeadingDecimal(text)) & 0xFF);
}
