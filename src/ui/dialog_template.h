#pragma once
// A window described as data: its size and font, and one row per control with its id, kind,
// captions in both languages, place in dialog units and style. Every dialog of the tool is
// built from such a table, so the control ids stay the vocabulary of the code.

#include <cstdint>
#include <vector>

enum class ControlKind {
    Label,   // static text
    Edit,    // single-line edit (multi-line with the MultiLine style)
    Button,  // push button
    CheckBox,
    Radio,       // radio button; a group starts at a row with the Group style
    GroupBox,    // frame with a caption, drawn behind the controls it surrounds
    ComboList,   // drop-down list: pick an item
    ComboEdit,   // drop-down combo box whose text can also be typed
    UpDown,      // arrows that step the number in the edit right before it
    Trackbar,    // horizontal slider
    Progress,    // progress bar, 0..100
    Tab,         // tab strip hosting the pages
    ThreeState,  // three-state box with push-button look: 0 off, 1 on, 2 indeterminate
    Icon,        // the program icon
};

// Styles a row can carry; combine with |.
enum ControlStyle : std::uint32_t {
    kNoStyle = 0,
    kHidden = 1u << 0,           // created hidden
    kDigitsOnly = 1u << 1,       // edit accepts only the digits 0-9 as typed input
    kReadOnly = 1u << 2,         // edit shows text the user cannot change
    kMultiLine = 1u << 3,        // edit with several lines and a vertical scroll bar
    kDisabled = 1u << 4,         // created disabled
    kGroup = 1u << 5,            // first control of a radio group
    kDefaultButton = 1u << 6,    // the dialog's default push button
    kNotify = 1u << 7,           // static text that reports clicks
    kTicks = 1u << 8,            // trackbar with a tick at every position
    kHiddenInEnglish = 1u << 9,  // created hidden in the English template only
    kChineseOnly = 1u << 10,     // exists in the Chinese template only
    kEnglishOnly = 1u << 11,     // exists in the English template only
    kCentered = 1u << 12,        // static text centred in its rectangle
    kRightAligned = 1u << 13,    // static text aligned right
    kOpaque = 1u << 14,          // static drawn on its own background, above frames it overlaps
};

struct ControlSpec {
    int id = 0;  // 0 or negative for statics that nothing refers to
    ControlKind kind = ControlKind::Label;
    const char* chinese = "";                 // UTF-8
    const char* english = "";                 // UTF-8
    int x = 0, y = 0, width = 0, height = 0;  // dialog units
    std::uint32_t style = kNoStyle;
    int rangeMin = 0, rangeMax = 0;  // up-down and trackbar range, when the table gives one
};

struct DialogTemplate {
    int width = 0, height = 0;  // client area in dialog units
    const char* fontFamily = "";
    int fontPointSize = 9;
    const char* title = "";
    std::vector<ControlSpec> controls;
};
