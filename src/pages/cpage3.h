#pragma once
// Page 3: motor, output and temperature settings.

#include "ui/template_widget.h"

class Cpage3 : public TemplateWidget {
    Q_OBJECT
public:
    explicit Cpage3(UiLanguage language, QWidget* parent = nullptr);

    // The page's own initialisation: its exchange into the controls and its tips.
    void OnInitDialog();

    int m_controllerTempProtect = 0;
    int m_direction = 0;
    int m_polePairs = 0;
    int m_motorType = 0;
    int m_outputType = 0;

protected:
    void DoDataExchange(DataExchange& exchange) override;
};
