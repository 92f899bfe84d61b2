#include "pages/cpage6.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <algorithm>

#include "core/params/block_layout.h"
#include "core/params/port_function_names.h"

namespace {

using K = ControlKind;

// Four rows of four pin frames, in pin order from left to right and top to bottom.
constexpr int kFrameLeft = 3;
constexpr int kFrameTop = 0;
constexpr int kFrameWidth = 76;
constexpr int kFrameHeight = 43;
constexpr int kFrameStepX = 78;
constexpr int kFrameStepY = 44;
constexpr int kDroppedHeight = 120;  // the open list, in dialog units

DialogTemplate Build() {
    DialogTemplate t;
    t.width = 315;
    t.height = 176;
    t.fontFamily = "MS Shell Dlg";
    t.fontPointSize = 9;
    const auto& pins = PinControlTable();
    for (int pin = 0; pin < static_cast<int>(pins.size()); ++pin) {
        const PinControls& p = pins[pin];
        const int x = kFrameLeft + (pin % 4) * kFrameStepX;
        const int y = kFrameTop + (pin / 4) * kFrameStepY;
        const std::vector<ControlSpec> rows = {
            {0, K::GroupBox, p.m_name, p.m_name, x, y, kFrameWidth, kFrameHeight},
            {p.m_io, K::CheckBox, "IO", "IO", x + 3, y + 9, 24, 10},
            {p.m_sw, K::CheckBox, "SW", "SW", x + 27, y + 9, 24, 10},
            {p.m_la, K::CheckBox, "LA", "LA", x + 51, y + 9, 24, 10},
            {p.m_f, K::Radio, "F", "F", x + 3, y + 19, 24, 10, kGroup},
            {p.m_u, K::Radio, "U", "U", x + 27, y + 19, 24, 10},
            {p.m_d, K::Radio, "D", "D", x + 51, y + 19, 24, 10},
            // Pick-only: a typed-over box would have no selection, and the pin word would
            // then silently carry function code 127.
            {p.m_functionBox, K::ComboList, "", "", x + 3, y + 29, kFrameWidth - 6, kDroppedHeight},
        };
        t.controls.insert(t.controls.end(), rows.begin(), rows.end());
    }
    return t;
}

const DialogTemplate& PageTemplate() {
    static const DialogTemplate t = Build();
    return t;
}

const PinControls* PinAt(int pin) {
    const auto& pins = PinControlTable();
    return pin >= 0 && pin < static_cast<int>(pins.size()) ? &pins[pin] : nullptr;
}

constexpr int kDroppedWidthStart = 10;   // pixels
constexpr int kDroppedWidthMargin = 45;  // pixels

}  // namespace

Cpage6::Cpage6(UiLanguage language, QWidget* parent)
    : TemplateWidget(PageTemplate(), language, parent) {
    for (int pin = 0; pin < kPins; ++pin) {
        if (QComboBox* box = FunctionBox(pin)) {
            box->installEventFilter(this);
        }
    }
}

void Cpage6::OnInitDialog() {
    UpdateData(false);
    // The page's tip control exists but holds no tips.
    RegisterTips({});
}

void Cpage6::DoDataExchange(DataExchange& x) {
    // Function boxes and check boxes are bound as controls only; their state lives in them.
    for (int pin = 0; pin < kPins; ++pin) {
        x.Radio(PinAt(pin)->m_f, m_pinMode[pin]);
    }
}

void Cpage6::FillFunctionLists() {
    QStringList names;
    for (std::string_view name : PortFunctionNames()) {
        names << QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    for (int pin = 0; pin < kPins; ++pin) {
        if (QComboBox* box = FunctionBox(pin)) {
            box->addItems(names);
            box->setCurrentIndex(0);
        }
    }
}

void Cpage6::OnFunctionDropDown(int pin) {
    QComboBox* box = FunctionBox(pin);
    if (box == nullptr) {
        return;
    }
    const QFontMetrics metrics(font());
    int width = kDroppedWidthStart;
    for (int i = 0; i < box->count(); ++i) {
        width = std::max(width, metrics.horizontalAdvance(box->itemText(i)));
    }
    // The open list is never narrower than its view's minimum width.
    box->view()->setMinimumWidth(width + kDroppedWidthMargin);
}

bool Cpage6::eventFilter(QObject* watched, QEvent* event) {
    // Qt has no "about to drop down" notification: catch the input that opens the list.
    bool opens = false;
    if (event->type() == QEvent::MouseButtonPress) {
        opens = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        opens = key->key() == Qt::Key_F4 || key->key() == Qt::Key_Space ||
                ((key->key() == Qt::Key_Down || key->key() == Qt::Key_Up) &&
                 (key->modifiers() & Qt::AltModifier));
    }
    if (opens) {
        for (int pin = 0; pin < kPins; ++pin) {
            if (watched == FunctionBox(pin)) {
                OnFunctionDropDown(pin);
                break;
            }
        }
    }
    return TemplateWidget::eventFilter(watched, event);
}

QComboBox* Cpage6::FunctionBox(int pin) const {
    const PinControls* p = PinAt(pin);
    return p != nullptr ? Item<QComboBox>(p->m_functionBox) : nullptr;
}

QCheckBox* Cpage6::IoCheck(int pin) const {
    const PinControls* p = PinAt(pin);
    return p != nullptr ? Item<QCheckBox>(p->m_io) : nullptr;
}

QCheckBox* Cpage6::SwCheck(int pin) const {
    const PinControls* p = PinAt(pin);
    return p != nullptr ? Item<QCheckBox>(p->m_sw) : nullptr;
}

QCheckBox* Cpage6::LaCheck(int pin) const {
    const PinControls* p = PinAt(pin);
    return p != nullptr ? Item<QCheckBox>(p->m_la) : nullptr;
}

PinValues Cpage6::PinState(int pin) const {
    PinValues values;
    if (PinAt(pin) == nullptr) {
        return values;
    }
    const QComboBox* box = FunctionBox(pin);
    values.m_functionIndex = box != nullptr ? box->currentIndex() : kNoSelection;
    values.m_ioCheck = IoCheck(pin)->isChecked();
    values.m_swCheck = SwCheck(pin)->isChecked();
    values.m_laCheck = LaCheck(pin)->isChecked();
    values.m_pinMode = m_pinMode[pin];
    return values;
}

void Cpage6::SetPinState(int pin, const PinValues& values) {
    if (PinAt(pin) == nullptr) {
        return;
    }
    FunctionBox(pin)->setCurrentIndex(values.m_functionIndex);
    IoCheck(pin)->setChecked(values.m_ioCheck);
    SwCheck(pin)->setChecked(values.m_swCheck);
    LaCheck(pin)->setChecked(values.m_laCheck);
    m_pinMode[pin] = values.m_pinMode;
}

std::uint16_t Cpage6::PinWord(int pin) const {
    if (PinAt(pin) == nullptr) {
        return 0;
    }
    const PinValues values = PinState(pin);
    // Seven bits of the index, so "no selection" (-1) becomes 127.
    return static_cast<std::uint16_t>(
        (static_cast<unsigned>(values.m_functionIndex) & kFunctionMask) |
        (values.m_ioCheck ? kIoBit : 0u) | (values.m_swCheck ? kSwBit : 0u) |
        ((static_cast<unsigned>(values.m_pinMode) & kModeMask) << kModeShift) |
        (values.m_laCheck ? kLaBit : 0u));
}

void Cpage6::SetPinWord(int pin, std::uint16_t word) {
    PinValues values;
    values.m_functionIndex = word & kFunctionMask;
    values.m_ioCheck = (word & kIoBit) != 0;
    values.m_swCheck = (word & kSwBit) != 0;
    values.m_laCheck = (word & kLaBit) != 0;
    values.m_pinMode = (word >> kModeShift) & kModeMask;
    SetPinState(pin, values);
}
