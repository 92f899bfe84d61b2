#pragma once
// Which of the left and right Shift and Ctrl keys are held. Qt reports only "Shift", so the
// side is read from the native key codes of the key events (X11 keysyms, Windows scan codes).
// Tests put a fake in place.

#include <QObject>
#include <optional>

enum class SideKey { LeftShift, RightShift, LeftControl };

class QEvent;
class QKeyEvent;

// Which side key an event is about, from its native codes (key_side_<platform>.cpp).
std::optional<SideKey> NativeKeySide(const QKeyEvent& key);
// For an event without native codes: a Shift or Ctrl key taken as the left one.
std::optional<SideKey> SideWithoutNativeCode(const QKeyEvent& key);

class KeyState {
public:
    virtual ~KeyState() = default;
    virtual bool IsDown(SideKey key) const = 0;
    // A filter about to look at `event` feeds it here first, so that a Shift key's own press is
    // already counted when the filter asks.
    virtual void Observe(QEvent* event) { (void)event; }
};

// Follows every key press and release of the application.
class NativeKeyState : public QObject, public KeyState {
    Q_OBJECT
public:
    // Installs itself as an application event filter.
    explicit NativeKeyState(QObject* parent = nullptr);
    bool IsDown(SideKey key) const override;
    void Observe(QEvent* event) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_down[3] = {false, false, false};
};
