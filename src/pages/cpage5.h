#pragma once
// The display page: the controller's live values, fault boxes, gear and lamps. It only shows;
// the texts come from the core's formatting of the last status frame.

#include <QTime>
#include <array>

#include "core/protocol/live_status.h"
#include "ui/template_widget.h"

class Cpage5 : public TemplateWidget {
    Q_OBJECT
public:
    explicit Cpage5(UiLanguage language, QWidget* parent = nullptr);

    // The page's own initialisation: its exchange into the controls and its tip.
    void OnInitDialog();

    // The edits, lamps, gear and state of one status, as the core formatted them.
    void ShowStatus(const DisplayPageTexts& texts);
    // The nine fault boxes in the order of kFaultBoxes.
    void ShowFaults(const std::array<bool, kFaultBoxes.size()>& checked);
    // Marks the live values as old, the controller silent since `since` (greyed, and the
    // status line saying so); an invalid time clears the mark. The values stay as they are.
    void ShowStale(const QTime& since);
    bool StaleShown() const { return m_stale; }

    // Radio fields: the index of the checked button, so a lamp is lit at 0 and dark at 1.
    int m_gearIndicator = 0;
    int m_reverseLamp = 0;
    int m_parkLamp = 0;
    int m_brakeLamp = 0;
    int m_antiTheftLamp = 0;
    int m_sideStandLamp = 0;
    int m_regenLamp = 0;

protected:
    void DoDataExchange(DataExchange& exchange) override;

private:
    bool m_stale = false;
};
