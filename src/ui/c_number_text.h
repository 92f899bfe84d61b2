#pragma once
// Numbers in edit texts, read and written as the C conversions "%u", "%lu", "%d", "%lf" and
// "%.*g" do: leading blanks skipped, the number at the start taken, whatever follows ignored.
// Technicians type "1.5V" and expect 1.5; Qt's strict conversions would refuse it.

#include <QString>
#include <cstdint>
#include <optional>

// "%u": an optional sign and decimal digits; a minus wraps modulo 2^32 ("-5" → 4294967291).
std::optional<std::uint32_t> ScanUnsigned(const QString& text);
// "%d": an optional sign and decimal digits, kept to 32 bits.
std::optional<std::int32_t> ScanInt(const QString& text);
// "%lf": a decimal or exponent number at the start.
std::optional<double> ScanDouble(const QString& text);

// "%.*g" with the given precision ("60.8", "0", "1.23", "1e+06").
QString FormatG(double value, int precision);
