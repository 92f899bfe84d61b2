#pragma once
// The number conversions between block bytes and page values, both directions. Floats follow
// the controller's long-standing arithmetic exactly (single or double precision as noted), so
// that a value read and written back gives the same bytes.

#include <cstdint>
#include <string_view>

// Truncates toward zero. NaN and values outside the int range give INT32_MIN, what the
// original machine's conversion produced, instead of undefined behaviour.
std::int32_t TruncateToInt32(double value);

// Block value v / 10 and back (v x 10, single precision).
float TenthsFromRaw(std::int32_t raw);
std::int32_t RawFromTenths(float value);

// Version bytes: b / 100 (single precision) and back as (v + 0.009999) x 100 (double).
float HundredthsFromRaw(std::int32_t raw);
std::int32_t RawFromHundredths(float value);

// Throttle volts: q = b x 550 / 255 (integer), volts = (q + 2) / 100; back as v x 255 (single
// precision) / 5.5 (double).
float ThrottleVoltsFromRaw(std::int32_t raw);
std::int32_t RawFromThrottleVolts(float value);

// Push assist speed in percent from the signed word: (v x 100 + 99) / 32768, truncated, kept to
// 16 bits and sign-extended, stored into the unsigned field.
std::uint32_t PushAssistPercentFromWord(std::int32_t word);
// Back: (p x 32768) / 100 in unsigned 32-bit arithmetic. 100 gives 0x7FFF, the largest value
// the signed field holds, since 32768 would read back as -99.
std::uint32_t WordFromPushAssistPercent(std::uint32_t percent);

// Reads a decimal floating-point number at the start of the text: leading white space, an
// optional sign, digits with an optional point and exponent; reading stops at the first
// character that does not fit; no number at all gives 0. Independent of the C locale.
double ParseLeadingDecimal(std::string_view text);

// Block 4 byte 21 from the field-weakening edit's text: the number truncated, low 8 bits.
std::uint8_t FieldWeakeningByte(std::string_view text);
