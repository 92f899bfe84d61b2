#pragma once
// Where each value of the set lives: the decoder, the encoders, the field table and the
// window's adapter all reach a field's storage through this one map.

#include <cstdint>
#include <string>

#include "core/params/block_layout.h"
#include "core/params/parameter_values.h"

// Exactly one pointer is set for a page or main-window value; none for the decoder's outputs
// and kNone.
struct ValueSlot {
    float* m_float = nullptr;
    int* m_int = nullptr;
    std::uint32_t* m_unsigned = nullptr;
    bool* m_bool = nullptr;
    PinValues* m_pin = nullptr;
    std::string* m_text = nullptr;  // the main window's field-weakening edit
};

struct ConstValueSlot {
    const float* m_float = nullptr;
    const int* m_int = nullptr;
    const std::uint32_t* m_unsigned = nullptr;
    const bool* m_bool = nullptr;
    const PinValues* m_pin = nullptr;
    const std::string* m_text = nullptr;
};

ValueSlot SlotOf(ParameterValues& values, ParamField field);
ConstValueSlot SlotOf(const ParameterValues& values, ParamField field);
