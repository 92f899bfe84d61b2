#pragma once
// The base of every window of the tool: its controls built from its table, its data exchange
// and its balloon tips.

#include <QWidget>
#include <utility>
#include <vector>

#include "ui/balloon_tips.h"
#include "ui/control_set.h"
#include "ui/data_exchange.h"

// A control and the string-table text of its tip.
struct TipRow {
    int controlId;
    int stringId;
};

class TemplateWidget : public QWidget {
    Q_OBJECT
public:
    TemplateWidget(const DialogTemplate& dialogTemplate, UiLanguage language,
                   QWidget* parent = nullptr);

    template <class T>
    T* Item(int id) const {
        return m_controls.Item<T>(id);
    }
    ControlSet& Controls() { return m_controls; }
    const ControlSet& Controls() const { return m_controls; }
    BalloonTips& Tips() { return m_tips; }
    UiLanguage Language() const { return m_controls.Language(); }

    // The framework's UpdateData: true reads the controls into the fields (false after a
    // field failed, its message shown); false writes the fields into the controls.
    bool UpdateData(bool saveAndValidate = true);
    // Before the window writes its fields into its controls at a moment the user did not
    // choose (an automatic start, a read's refresh): what the user typed into its edits goes
    // into their fields first, so that the write keeps it. A text that does not read keeps its
    // field, silently; its message comes when the window reads the controls for real.
    virtual void TakeTypedText() {}
    // True while the exchange writes or reads the controls: change handlers that react to the
    // user's edits ignore what the exchange itself does to a control.
    bool Exchanging() const { return m_exchanging; }

protected:
    // The window's exchange list, in its fixed order.
    virtual void DoDataExchange(DataExchange& exchange) { (void)exchange; }
    // Registers each row's text from the string table, in this run's UI language.
    void RegisterTips(const std::vector<TipRow>& rows);

private:
    ControlSet m_controls;
    BalloonTips m_tips;
    bool m_exchanging = false;
};
