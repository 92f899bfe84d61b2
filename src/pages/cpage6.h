#pragma once
// The port settings page: the function, mode and flags of the controller's sixteen pins.

#include "ui/template_widget.h"

class Cpage6 : public TemplateWidget {
    Q_OBJECT
public:
    explicit Cpage6(UiLanguage language, QWidget* parent = nullptr);

    // The page's own initialisation: its exchange into the controls and its tips.
    void OnInitDialog();

    // Each function list gets the 128 port-function names in code order, item 0 selected.
    void FillFunctionLists();

protected:
    void DoDataExchange(DataExchange& exchange) override;
};
