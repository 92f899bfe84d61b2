#include "ui/controls.h"

#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QToolButton>
#include <algorithm>

#include "ui/c_number_text.h"

UpDown::UpDown(QWidget* parent)
    : QWidget(parent), m_up(new QToolButton(this)), m_down(new QToolButton(this)) {
    m_up->setArrowType(Qt::UpArrow);
    m_down->setArrowType(Qt::DownArrow);
    for (QToolButton* arrow : {m_up, m_down}) {
        arrow->setAutoRepeat(true);
        arrow->setFocusPolicy(Qt::NoFocus);
    }
    connect(m_up, &QToolButton::clicked, this, [this] { Step(+1); });
    connect(m_down, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDown::SetBuddy(QLineEdit* buddy) {
    if (m_buddy != nullptr) {
        m_buddy->removeEventFilter(this);
    }
    m_buddy = buddy;
    if (m_buddy != nullptr) {
        m_buddy->installEventFilter(this);
    }
}

void UpDown::SetRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
    m_position = std::clamp(m_position, std::min(minimum, maximum), std::max(minimum, maximum));
}

void UpDown::Step(int direction) {
    // The buddy's text is the position: the user may have typed since the last step.
    if (m_buddy != nullptr) {
        if (const std::optional<std::int32_t> typed = ScanInt(m_buddy->text())) {
            m_position = *typed;
        }
    }
    const int low = std::min(m_minimum, m_maximum);
    const int high = std::max(m_minimum, m_maximum);
    const int step = m_minimum <= m_maximum ? direction : -direction;
    m_position = std::clamp(m_position + step, low, high);
    if (m_buddy != nullptr) {
        m_buddy->setText(QString::number(m_position));
    }
    emit PositionChanged(m_position);
}

bool UpDown::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_buddy && event->type() == QEvent::KeyPress && isEnabled()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? +1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void UpDown::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int half = height() / 2;
    m_up->setGeometry(0, 0, width(), half);
    m_down->setGeometry(0, half, width(), height() - half);
}

namespace {

QString DigitsOf(const QString& text) {
    QString digits;
    for (QChar c : text) {
        if (c >= u'0' && c <= u'9') {
            digits += c;
        }
    }
    return digits;
}

// Whether the key would insert its text, as the edit itself decides it: not with Ctrl (or
// Ctrl+Shift) alone, and only printable or format characters.
bool InsertsText(const QKeyEvent& key) {
    const QString text = key.text();
    if (text.isEmpty()) {
        return false;
    }
    const Qt::KeyboardModifiers modifiers = key.modifiers();
    if (modifiers == Qt::ControlModifier ||
        modifiers == (Qt::ShiftModifier | Qt::ControlModifier)) {
        return false;
    }
    const QChar first = text.front();
    return first.isPrint() || first.category() == QChar::Other_Format ||
           first.category() == QChar::Other_PrivateUse || first.isHighSurrogate();
}

}  // namespace

bool DigitsOnlyInput::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (InsertsText(*key) && DigitsOf(key->text()) != key->text()) {
            return true;
        }
    } else if (event->type() == QEvent::InputMethod) {
        // A composed text goes in without its non-digits; the composition itself stays.
        const auto* input = static_cast<QInputMethodEvent*>(event);
        const QString digits = DigitsOf(input->commitString());
        if (digits != input->commitString()) {
            QInputMethodEvent filtered(input->preeditString(), input->attributes());
            filtered.setCommitString(digits, input->replacementStart(), input->replacementLength());
            QCoreApplication::sendEvent(watched, &filtered);
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

DigitsOnlyValidator::DigitsOnlyValidator(QLineEdit* edit)
    : QValidator(edit), m_edit(edit), m_held(edit->text()) {}

QValidator::State DigitsOnlyValidator::validate(QString& input, int& position) const {
    (void)position;
    // The edit keeps no undo step for a text the program set: the change is the program's, or
    // an undo back to such a text.
    if (!m_edit->isUndoAvailable()) {
        m_held = input;
        return Acceptable;
    }
    // What the change put in: the new text without what it shares with the old at both ends.
    const qsizetype shortest = std::min(input.size(), m_held.size());
    qsizetype head = 0;
    while (head < shortest && input[head] == m_held[head]) {
        ++head;
    }
    qsizetype tail = 0;
    while (tail < shortest - head &&
           input[input.size() - 1 - tail] == m_held[m_held.size() - 1 - tail]) {
        ++tail;
    }
    const QString inserted = input.mid(head, input.size() - head - tail);
    if (DigitsOf(inserted) != inserted) {
        return Invalid;
    }
    m_held = input;
    return Acceptable;
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit Clicked();
    }
}

ThreeStateButton::ThreeStateButton(QWidget* parent) : QPushButton(parent) {
    setCheckable(true);
}

void ThreeStateButton::SetState(int state) {
    m_state = state;
    setChecked(state != 0);
    // Indeterminate reads as "pressed, but not quite": the platform draws it greyed.
    QPalette shade = palette();
    shade.setColor(QPalette::ButtonText,
                   state == 2 ? palette().color(QPalette::Disabled, QPalette::ButtonText)
                              : QPalette().color(QPalette::ButtonText));
    setPalette(shade);
}

void ThreeStateButton::nextCheckState() {
    SetState((m_state + 1) % 3);
}
