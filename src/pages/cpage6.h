#pragma once
// The port settings page: the function, mode and flags of the controller's sixteen pins. A
// pin's function box, check boxes and mode field together make its 16-bit pin word.

#include <array>
#include <cstdint>

#include "core/params/parameter_values.h"
#include "ui/template_widget.h"

class QCheckBox;
class QComboBox;

class Cpage6 : public TemplateWidget {
    Q_OBJECT
public:
    static constexpr int kPins = static_cast<int>(kPinCount);

    // Pin word bits: function code, the IO, SW and LA flags, and the F/U/D mode.
    static constexpr std::uint16_t kFunctionMask = 0x007F;
    static constexpr std::uint16_t kIoBit = 1u << 7;
    static constexpr std::uint16_t kSwBit = 1u << 8;
    static constexpr int kModeShift = 9;
    static constexpr std::uint16_t kModeMask = 0x3;
    static constexpr std::uint16_t kLaBit = 1u << 11;

    explicit Cpage6(UiLanguage language, QWidget* parent = nullptr);

    // The page's own initialisation: its exchange into the controls. The page has no tips.
    void OnInitDialog();

    // Each function box gets the 128 port-function names in code order, item 0 selected.
    void FillFunctionLists();

    // The list of pin `pin`'s function box is about to open: make it as wide as its widest
    // entry plus 45 pixels.
    void OnFunctionDropDown(int pin);

    // The controls of pin 0..15, in the fixed pin order ("PD0" .. "PD15(empty)").
    QComboBox* FunctionBox(int pin) const;
    QCheckBox* IoCheck(int pin) const;
    QCheckBox* SwCheck(int pin) const;
    QCheckBox* LaCheck(int pin) const;

    // The pin word from the function box, the check boxes and m_pinMode as last exchanged;
    // bits 12..15 are 0. A box without a selection gives code 127, as the encoder writes it.
    std::uint16_t PinWord(int pin) const;
    // Selects the word's function and sets the check boxes at once; the mode goes into
    // m_pinMode and reaches the radio buttons at the next exchange into the controls.
    void SetPinWord(int pin, std::uint16_t word);

    // The same pin as the core's value set holds it.
    PinValues PinState(int pin) const;
    void SetPinState(int pin, const PinValues& values);

    // Per pin: 0 "F", 1 "U", 2 "D"; any other value leaves all three unchecked.
    std::array<int, kPinCount> m_pinMode{};

protected:
    void DoDataExchange(DataExchange& exchange) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};
