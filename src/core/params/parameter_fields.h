#pragma once
// Every value the pages and the main window show from the parameter block, once: its id (the
// ParamField the layout, the decoder and FieldInfo use), its English name, and how its control
// shows it. Bytes that no control shows are not here. The order is the pages' order (page 1,
// page 2, page 3, port settings, main window), each page in its exchange order, so a list of
// differences reads like the window.
//
// The page and control of a field come from FieldInfo(id); where it lives in the value set
// from SlotOf(values, id); its block bytes from the rows of BlockLayout() naming it.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/params/block_layout.h"
#include "core/params/parameter_values.h"

// How a control shows its value.
enum class FieldFormat : std::uint8_t {
    kUnsigned,  // edit, "%u"
    kSigned,    // edit, "%d"
    kFloat,     // edit or static text, "%.*g" with precision 6
    kList,      // drop-down list: the selected item's text, empty without a selection
    kRadio,     // radio group: the checked button (index), none for a value without a button
    kCheck,     // check box: 1 checked, 0 clear
    kPin,       // a pin's function box, IO/SW/LA check boxes and F/U/D radios
    kText,      // an edit whose text is the value itself
};

struct ParameterField {
    ParamField m_id;
    std::string_view m_name;  // English, for the command line and logs
    FieldFormat m_format;
    // List items or radio captions (English), by index; empty for the other formats.
    std::span<const std::string_view> m_choices;
};

// All fields, in the order described above.
std::span<const ParameterField> ParameterFields();
// The entry of `id`, or nullptr for a value no control shows (decoder outputs, kNone).
const ParameterField* FindParameterField(ParamField id);
// The entry shown by a control of `owner`, by the id FieldInfo gives (a radio group's first
// button), or nullptr; a pin answers for any of its eight controls.
const ParameterField* FindParameterFieldByControl(ParamOwner owner, int controlId);

// "%.*g" at precision 6, whatever the C locale says about the decimal point.
std::string FormatFloatValue(float value);
// A pin word's parts: "6:拨动三档 high_speed_switch / IO LA / U". Flags that are set, in the
// order IO SW LA, or "-"; the mode letter or "-" when no radio is checked (3, -1).
std::string FormatPinValue(const PinValues& pin);

// The index a list, radio group or check box shows (-1: no selection, no button checked),
// for a window that takes the texts from its own controls in its own language; nothing for
// the other formats.
std::optional<int> ChoiceIndex(const ParameterField& field, const ParameterValues& values);
// The value as the field's control shows it, with English list and radio texts. A list
// without a selection and a radio group without a checked button give "(none)".
std::string FormatFieldValue(const ParameterField& field, const ParameterValues& values);

struct FieldDifference {
    const ParameterField* m_field;
    std::string m_first;
    std::string m_second;

    friend bool operator==(const FieldDifference&, const FieldDifference&) = default;
};

// The fields whose shown value differs between the two sets, in table order, with both
// values formatted. A number typed with more digits than its edit shows is compared as the
// number, since that is what would be written.
std::vector<FieldDifference> DiffParameterValues(const ParameterValues& first,
                                                 const ParameterValues& second);

// What a freshly started window shows after importing `blocks` (or after reading them from a
// controller): the pages decoded, the calibration and field-weakening coefficient taken over
// into the main window. Leaves the program-wide state alone.
ParameterValues ShownParameterValues(const ParameterBlock& blocks);

// DiffParameterValues of the two sets as ShownParameterValues gives them. Bytes no control
// shows (block 4 byte 21, block 6 byte 21, block 7 bytes 15..21, undecoded bits) do not count.
std::vector<FieldDifference> DiffParameterBlocks(const ParameterBlock& first,
                                                 const ParameterBlock& second);
