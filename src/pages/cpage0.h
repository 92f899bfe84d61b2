#pragma once
// Page 1: basic settings (voltages, current limits, throttle and start settings, versions) and the tool's own settings (baud rate, CAN enable, language).

#include "ui/template_widget.h"

class Cpage0 : public TemplateWidget {
    Q_OBJECT
public:
    explicit Cpage0(UiLanguage language, QWidget* parent = nullptr);

    // The page's own initialisation: its exchange into the controls and its tips.
    void OnInitDialog();

protected:
    void DoDataExchange(DataExchange& exchange) override;
};
