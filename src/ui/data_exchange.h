#pragma once
// One pass of a window's data exchange: fields into controls (load), or controls into fields
// with validation (save). A window lists its fields once, in its fixed order, in a function
// that takes a DataExchange; the same list serves both directions.
//
// Saving stops at the first field that does not read or fails its range: the framework's
// message is shown, the focus goes to that control (an edit's text selected), the fields before
// it keep their new values and every later call of the pass does nothing. A field that fails
// only its range check keeps the value it read.

#include <QString>
#include <cstdint>

#include "ui/control_set.h"

class Prompts;

// The framework's texts, English in both UI languages.
namespace exchange_text {
inline constexpr char kPositiveInteger[] = "Enter a positive integer.";
inline constexpr char kInteger[] = "Enter an integer.";
inline constexpr char kNumber[] = "Enter a number.";
inline constexpr char kIntegerRange[] = "Enter an integer between %1 and %2.";
inline constexpr char kNumberRange[] = "Enter a number between %1 and %2.";
}  // namespace exchange_text

class DataExchange {
public:
    enum class Direction { Load, Save };

    DataExchange(ControlSet& controls, Direction direction, Prompts& prompts);

    bool Saving() const { return m_direction == Direction::Save; }
    bool Failed() const { return m_failed; }

    // "%u" and "%lu" (32 bits on the original platform).
    void UInt(int id, std::uint32_t& field);
    // "%d".
    void Int(int id, int& field);
    // "%.*g" with 6 significant digits, read with "%lf".
    void Float(int id, float& field);
    // "%.*g" with 15 significant digits.
    void Double(int id, double& field);
    void Text(int id, QString& field);
    // Index of the checked button of the group starting at `firstId`; −1 for none.
    void Radio(int firstId, int& field);
    // Check box state: 0 off, 1 on, 2 indeterminate.
    void Check(int id, int& field);
    // Selected item of a list; −1 for none.
    void ComboIndex(int id, int& field);

    // Range checks of the field just exchanged; only saving checks.
    void RangeUInt(std::uint32_t value, std::uint32_t minimum, std::uint32_t maximum);
    void RangeInt(int value, int minimum, int maximum);
    void RangeFloat(float value, float minimum, float maximum);
    void RangeDouble(double value, double minimum, double maximum);

private:
    bool Skip() const { return m_failed; }
    // One numeric field: `shown` formats it into the control, `scanned` reads it back (nothing
    // when the text does not start with a number, which fails with `message`).
    template <class Field, class Shown, class Scanned>
    void Number(int id, Field& field, Shown shown, Scanned scanned, const char* message);
    void Prepare(int id);
    void Fail(const QString& message);

    ControlSet& m_controls;
    Direction m_direction;
    Prompts& m_prompts;
    bool m_failed = false;
    int m_lastControl = 0;
};
