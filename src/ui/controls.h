#pragma once
// The few controls the original platform has and Qt does not: an up-down attached to an edit,
// a static text that reports clicks, a three-state box with push-button look, and the filter
// of an edit that takes digits only as typed input.

#include <QLabel>
#include <QPushButton>
#include <QValidator>
#include <QWidget>

class QLineEdit;
class QToolButton;

// Arrows that step the whole number in their buddy edit within a range, also from the arrow
// keys in the edit. The number is written without thousands separators, so the exchange reads
// back exactly what it shows.
class UpDown : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(QWidget* parent = nullptr);

    void SetBuddy(QLineEdit* buddy);
    QLineEdit* Buddy() const { return m_buddy; }
    void SetRange(int minimum, int maximum);
    int Minimum() const { return m_minimum; }
    int Maximum() const { return m_maximum; }
    int Position() const { return m_position; }

    // One step up (+1) or down (−1) from the number the buddy shows.
    void Step(int direction);

signals:
    void PositionChanged(int position);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* m_buddy = nullptr;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
};

// Refuses every typed character that is not a digit, whatever the edit already holds: a text
// the program put there (a fraction from a preset or a read) never switches the rule off, as a
// whole-text validator would once the text no longer passes it. Shortcuts and editing keys
// pass as they are.
class DigitsOnlyInput : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The same rule for text that enters at once (a paste, a drop, a composed text, whatever the
// key or menu that brought it): a change of the user's that inserts anything but digits is
// refused whole, whatever the edit held before. What the program sets, and an undo back to it,
// pass as they are.
class DigitsOnlyValidator : public QValidator {
    Q_OBJECT
public:
    explicit DigitsOnlyValidator(QLineEdit* edit);
    State validate(QString& input, int& position) const override;

private:
    QLineEdit* m_edit;
    // The text last let through: what a change is measured against.
    mutable QString m_held;
};

class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// Cycles off → on → indeterminate → off on each click, like the platform's automatic
// three-state box. On and indeterminate both look pressed; indeterminate is drawn dimmed.
class ThreeStateButton : public QPushButton {
    Q_OBJECT
public:
    explicit ThreeStateButton(QWidget* parent = nullptr);

    int State() const { return m_state; }
    void SetState(int state);

protected:
    void nextCheckState() override;

private:
    int m_state = 0;
};
