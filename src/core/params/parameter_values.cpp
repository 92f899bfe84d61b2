#include "core/params/parameter_values.h"

void MainWindowValues::SetFieldWeakening(std::uint32_t value) {
    m_fieldWeakeningValue = value;
    m_fieldWeakeningText = std::to_string(value);
}
