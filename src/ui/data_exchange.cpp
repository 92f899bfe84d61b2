#include "ui/data_exchange.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <cfloat>

#include "ui/c_number_text.h"
#include "ui/controls.h"
#include "ui/prompts.h"

DataExchange::DataExchange(ControlSet& controls, Direction direction, Prompts& prompts)
    : m_controls(controls), m_direction(direction), m_prompts(prompts) {}

void DataExchange::Prepare(int id) {
    m_lastControl = id;
}

void DataExchange::Fail(const QString& message) {
    m_failed = true;
    m_prompts.Message(message);
    QWidget* control = m_controls.Control(m_lastControl);
    if (control == nullptr) {
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setFocus();
        edit->selectAll();
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(control)) {
        edit->setFocus();
        edit->selectAll();
    }
}

template <class Field, class Shown, class Scanned>
void DataExchange::Number(int id, Field& field, Shown shown, Scanned scanned, const char* message) {
    if (Skip()) {
        return;
    }
    Prepare(id);
    if (!Saving()) {
        m_controls.SetText(id, shown(field));
        return;
    }
    if (const auto value = scanned(m_controls.Text(id))) {
        field = static_cast<Field>(*value);
    } else {
        Fail(QString::fromLatin1(message));
    }
}

void DataExchange::UInt(int id, std::uint32_t& field) {
    Number(
        id, field, [](std::uint32_t v) { return QString::number(v); }, ScanUnsigned,
        exchange_text::kPositiveInteger);
}

void DataExchange::Int(int id, int& field) {
    Number(
        id, field, [](int v) { return QString::number(v); }, ScanInt, exchange_text::kInteger);
}

void DataExchange::Float(int id, float& field) {
    Number(
        id, field, [](float v) { return FormatG(v, FLT_DIG); }, ScanDouble, exchange_text::kNumber);
}

void DataExchange::Double(int id, double& field) {
    Number(
        id, field, [](double v) { return FormatG(v, DBL_DIG); }, ScanDouble,
        exchange_text::kNumber);
}

void DataExchange::Text(int id, QString& field) {
    if (Skip()) {
        return;
    }
    Prepare(id);
    if (Saving()) {
        field = m_controls.Text(id);
    } else {
        m_controls.SetText(id, field);
    }
}

void DataExchange::Radio(int firstId, int& field) {
    if (Skip()) {
        return;
    }
    Prepare(firstId);
    if (Saving()) {
        field = m_controls.CheckedRadio(firstId);
    } else {
        m_controls.CheckRadio(firstId, field);
    }
}

void DataExchange::Check(int id, int& field) {
    if (Skip()) {
        return;
    }
    Prepare(id);
    QWidget* control = m_controls.Control(id);
    if (auto* threeState = qobject_cast<ThreeStateButton*>(control)) {
        if (Saving()) {
            field = threeState->State();
        } else {
            threeState->SetState(field == 1 || field == 2 ? field : 0);
        }
    } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
        // The platform counts 1 checked, 2 indeterminate; Qt the other way round.
        if (Saving()) {
            const Qt::CheckState state = box->checkState();
            field = state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
        } else {
            box->setCheckState(field == 1   ? Qt::Checked
                               : field == 2 ? Qt::PartiallyChecked
                                            : Qt::Unchecked);
        }
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        if (Saving()) {
            field = button->isChecked() ? 1 : 0;
        } else {
            button->setChecked(field == 1);
        }
    }
}

void DataExchange::ComboIndex(int id, int& field) {
    if (Skip()) {
        return;
    }
    Prepare(id);
    if (auto* combo = m_controls.Item<QComboBox>(id)) {
        if (Saving()) {
            field = combo->currentIndex();
        } else {
            combo->setCurrentIndex(field);
        }
    }
}

void DataExchange::RangeUInt(std::uint32_t value, std::uint32_t minimum, std::uint32_t maximum) {
    if (Skip() || !Saving() || (value >= minimum && value <= maximum)) {
        return;
    }
    Fail(QString::fromLatin1(exchange_text::kIntegerRange).arg(minimum).arg(maximum));
}

void DataExchange::RangeInt(int value, int minimum, int maximum) {
    if (Skip() || !Saving() || (value >= minimum && value <= maximum)) {
        return;
    }
    Fail(QString::fromLatin1(exchange_text::kIntegerRange).arg(minimum).arg(maximum));
}

void DataExchange::RangeFloat(float value, float minimum, float maximum) {
    if (Skip() || !Saving() || (value >= minimum && value <= maximum)) {
        return;
    }
    Fail(QString::fromLatin1(exchange_text::kNumberRange)
             .arg(FormatG(minimum, FLT_DIG), FormatG(maximum, FLT_DIG)));
}

void DataExchange::RangeDouble(double value, double minimum, double maximum) {
    if (Skip() || !Saving() || (value >= minimum && value <= maximum)) {
        return;
    }
    Fail(QString::fromLatin1(exchange_text::kNumberRange)
             .arg(FormatG(minimum, DBL_DIG), FormatG(maximum, DBL_DIG)));
}
