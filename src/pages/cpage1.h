#pragma once
// Page 2: current, speed and limit settings.

#include "ui/template_widget.h"

class Cpage1 : public TemplateWidget {
    Q_OBJECT
public:
    explicit Cpage1(UiLanguage language, QWidget* parent = nullptr);

    // The page's own initialisation: its exchange into the controls and its tips.
    void OnInitDialog();

protected:
    void DoDataExchange(DataExchange& exchange) override;
};
