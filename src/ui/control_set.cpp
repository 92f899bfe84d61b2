#include "ui/control_set.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QTabWidget>
#include <algorithm>

#include "ui/controls.h"

namespace {

// The room a caption has inside its control.
int CaptionRoom(const QWidget& widget) {
    const QStyle* style = widget.style();
    if (qobject_cast<const QCheckBox*>(&widget) != nullptr) {
        return widget.width() - style->pixelMetric(QStyle::PM_IndicatorWidth) -
               style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing);
    }
    if (qobject_cast<const QRadioButton*>(&widget) != nullptr) {
        return widget.width() - style->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth) -
               style->pixelMetric(QStyle::PM_RadioButtonLabelSpacing);
    }
    if (qobject_cast<const QPushButton*>(&widget) != nullptr) {
        return widget.width() - 2 * style->pixelMetric(QStyle::PM_ButtonMargin);
    }
    return widget.width();
}

QString CaptionOf(const QWidget& widget) {
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        return label->pixmap().isNull() && !label->wordWrap() ? label->text() : QString();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget)) {
        return button->text();
    }
    return {};
}

// Captions are laid out in dialog units for the original fonts; where a text is wider than
// its control in this font it is drawn a little smaller rather than cut off.
void FitCaption(QWidget& widget) {
    static const char kDesignedSize[] = "tarvikDesignedPointSize";
    const QString caption = CaptionOf(widget);
    QFont font = widget.font();
    // A caption fitted before starts again from the size it was designed with.
    const QVariant designed = widget.property(kDesignedSize);
    if (designed.isValid()) {
        font.setPointSizeF(designed.toReal());
    }
    const int room = CaptionRoom(widget);
    const qreal smallest = std::max<qreal>(6.0, font.pointSizeF() * 0.7);
    while (!caption.isEmpty() && QFontMetrics(font).horizontalAdvance(caption) > room &&
           font.pointSizeF() - 0.5 >= smallest) {
        font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    if (font.pointSizeF() != widget.font().pointSizeF()) {
        if (!designed.isValid()) {
            widget.setProperty(kDesignedSize, widget.font().pointSizeF());
        }
        widget.setFont(font);
    }
}

bool ExistsIn(const ControlSpec& spec, UiLanguage language) {
    if (spec.style & kChineseOnly) {
        return language == UiLanguage::Chinese;
    }
    if (spec.style & kEnglishOnly) {
        return language == UiLanguage::English;
    }
    return true;
}

bool HiddenAtStart(const ControlSpec& spec, UiLanguage language) {
    return (spec.style & kHidden) ||
           ((spec.style & kHiddenInEnglish) && language == UiLanguage::English);
}

QString Caption(const ControlSpec& spec, UiLanguage language) {
    return QString::fromUtf8(language == UiLanguage::English ? spec.english : spec.chinese);
}

}  // namespace

void ControlSet::Build(const DialogTemplate& dialogTemplate, UiLanguage language, QWidget* parent) {
    m_language = language;
    m_specs = dialogTemplate.controls;
    parent->setFont(DialogFont(dialogTemplate.fontFamily, dialogTemplate.fontPointSize));
    m_units = DialogUnits::ForFont(parent->font());
    m_clientSize = QSize(m_units->X(dialogTemplate.width), m_units->Y(dialogTemplate.height));

    QList<QWidget*> frames;
    QList<QWidget*> opaque;
    int currentGroup = 0;
    QWidget* previous = nullptr;
    for (const ControlSpec& spec : m_specs) {
        if (!ExistsIn(spec, language)) {
            continue;
        }
        QWidget* widget = Create(spec, parent);
        widget->setObjectName(QStringLiteral("control%1").arg(spec.id));
        QRect place = m_units->ToPixels(spec.x, spec.y, spec.width, spec.height);
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            // A list's table height is its dropped-down height; closed, it is one line.
            const int itemHeight = std::max(1, combo->fontMetrics().height());
            combo->setMaxVisibleItems(std::max(1, place.height() / itemHeight));
            place.setHeight(std::min(place.height(), combo->sizeHint().height()));
        }
        widget->setGeometry(place);
        FitCaption(*widget);
        widget->setVisible(!HiddenAtStart(spec, language));
        if (spec.style & kDisabled) {
            widget->setEnabled(false);
        }
        if (spec.kind == ControlKind::GroupBox) {
            frames.append(widget);
        }
        if (spec.style & kOpaque) {
            widget->setAutoFillBackground(true);
            opaque.append(widget);
        }
        if (spec.kind == ControlKind::Radio) {
            if ((spec.style & kGroup) || currentGroup == 0) {
                currentGroup = spec.id;
            }
            m_radioGroups[currentGroup].append(spec.id);
        } else if (spec.style & kGroup) {
            currentGroup = 0;
        }
        if (auto* upDown = qobject_cast<UpDown*>(widget)) {
            // Attached to the edit before it, which gives up the room the arrows take.
            if (auto* buddy = qobject_cast<QLineEdit*>(previous)) {
                upDown->SetBuddy(buddy);
                QRect edit = buddy->geometry();
                if (edit.right() >= widget->x()) {
                    edit.setRight(widget->x() - 1);
                    buddy->setGeometry(edit);
                }
            }
        }
        if (spec.id > 0) {
            m_controls.insert(spec.id, widget);
            m_order.append(spec.id);
        }
        previous = widget;
    }
    // Frames are drawn behind what they surround and never take the mouse.
    for (QWidget* frame : frames) {
        frame->lower();
        frame->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    for (QWidget* widget : opaque) {
        widget->raise();
    }
    for (auto group = m_radioGroups.cbegin(); group != m_radioGroups.cend(); ++group) {
        if (group.value().size() < 2) {
            continue;
        }
        auto* buttons = new QButtonGroup(parent);
        for (int id : group.value()) {
            buttons->addButton(Item<QRadioButton>(id));
        }
        m_exclusiveGroups.insert(group.key(), buttons);
    }
}

QWidget* ControlSet::Create(const ControlSpec& spec, QWidget* parent) {
    const QString caption = Caption(spec, m_language);
    switch (spec.kind) {
        case ControlKind::Label:
        case ControlKind::Icon: {
            QLabel* label = (spec.style & kNotify) ? new ClickableLabel(caption, parent)
                                                   : new QLabel(caption, parent);
            label->setTextFormat(Qt::PlainText);
            if (FontForText(parent->font(), caption) != parent->font()) {
                label->setFont(FontForText(parent->font(), caption));
            }
            label->setAlignment(Qt::AlignTop | ((spec.style & kCentered)       ? Qt::AlignHCenter
                                                : (spec.style & kRightAligned) ? Qt::AlignRight
                                                                               : Qt::AlignLeft));
            return label;
        }
        case ControlKind::Edit: {
            if (spec.style & kMultiLine) {
                auto* edit = new QPlainTextEdit(caption, parent);
                edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
                edit->setReadOnly(spec.style & kReadOnly);
                return edit;
            }
            auto* edit = new QLineEdit(caption, parent);
            edit->setReadOnly(spec.style & kReadOnly);
            if (spec.style & kDigitsOnly) {
                // Each typed character is checked on its own; the validator checks what else
                // enters (paste, drop, a composed text), whatever the edit held before.
                edit->installEventFilter(new DigitsOnlyInput(edit));
                edit->setValidator(new DigitsOnlyValidator(edit));
            }
            return edit;
        }
        case ControlKind::Button: {
            auto* button = new QPushButton(caption, parent);
            button->setAutoDefault(false);
            button->setDefault(spec.style & kDefaultButton);
            return button;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(caption, parent);
        case ControlKind::Radio: {
            auto* radio = new QRadioButton(caption, parent);
            // Groups are the table's, not "every sibling".
            radio->setAutoExclusive(false);
            return radio;
        }
        case ControlKind::GroupBox:
            return new QGroupBox(caption, parent);
        case ControlKind::ComboList:
        case ControlKind::ComboEdit: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(spec.kind == ControlKind::ComboEdit);
            combo->setInsertPolicy(QComboBox::NoInsert);
            if (combo->isEditable()) {
                // A picked item longer than the box shows its beginning, not its end.
                QObject::connect(combo, &QComboBox::currentIndexChanged, combo,
                                 [combo] { combo->lineEdit()->setCursorPosition(0); });
            }
            return combo;
        }
        case ControlKind::UpDown: {
            auto* upDown = new UpDown(parent);
            if (spec.rangeMin != spec.rangeMax) {
                upDown->SetRange(spec.rangeMin, spec.rangeMax);
            }
            return upDown;
        }
        case ControlKind::Trackbar: {
            auto* slider = new QSlider(Qt::Horizontal, parent);
            if (spec.rangeMin != spec.rangeMax) {
                slider->setRange(spec.rangeMin, spec.rangeMax);
            }
            if (spec.style & kTicks) {
                slider->setTickPosition(QSlider::TicksBelow);
                slider->setTickInterval(1);
            }
            return slider;
        }
        case ControlKind::Progress: {
            auto* progress = new QProgressBar(parent);
            progress->setRange(0, 100);
            progress->setValue(0);
            progress->setTextVisible(false);
            return progress;
        }
        case ControlKind::Tab:
            return new QTabWidget(parent);
        case ControlKind::ThreeState: {
            auto* button = new ThreeStateButton(parent);
            button->setText(caption);
            return button;
        }
    }
    return new QWidget(parent);
}

const ControlSpec* ControlSet::Spec(int id) const {
    const auto found = std::find_if(m_specs.begin(), m_specs.end(),
                                    [id](const ControlSpec& spec) { return spec.id == id; });
    return found == m_specs.end() ? nullptr : &*found;
}

QString ControlSet::Text(int id) const {
    QWidget* widget = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text();
    }
    if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
        return edit->toPlainText();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        return combo->currentText();
    }
    if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        return group->title();
    }
    return {};
}

void ControlSet::SetText(int id, const QString& text) {
    QWidget* widget = Control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(widget)) {
        edit->setPlainText(text);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
        FitCaption(*label);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
        FitCaption(*button);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (combo->isEditable()) {
            combo->setEditText(text);
        } else {
            combo->setCurrentIndex(combo->findText(text));
        }
    } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
        group->setTitle(text);
    }
}

void ControlSet::Show(std::initializer_list<int> ids) {
    for (int id : ids) {
        if (QWidget* widget = Control(id)) {
            widget->show();
        }
    }
}

int ControlSet::CheckedRadio(int firstId) const {
    const QList<int> group = RadioGroup(firstId);
    for (int i = 0; i < group.size(); ++i) {
        if (auto* radio = Item<QAbstractButton>(group[i]); radio && radio->isChecked()) {
            return i;
        }
    }
    return -1;
}

void ControlSet::CheckRadio(int firstId, int index) {
    QButtonGroup* exclusive = m_exclusiveGroups.value(firstId);
    if (exclusive != nullptr) {
        exclusive->setExclusive(false);  // an exclusive group cannot be emptied
    }
    const QList<int> group = RadioGroup(firstId);
    for (int i = 0; i < group.size(); ++i) {
        if (auto* radio = Item<QAbstractButton>(group[i])) {
            radio->setChecked(i == index);
        }
    }
    if (exclusive != nullptr) {
        exclusive->setExclusive(true);
    }
}
