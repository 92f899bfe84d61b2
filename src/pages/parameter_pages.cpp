#include "pages/parameter_pages.h"

#include "pages/cpage0.h"
#include "pages/cpage1.h"
#include "pages/cpage3.h"
#include "pages/cpage5.h"
#include "pages/cpage6.h"

bool ParameterPages::Read(ParameterValues& values) {
    for (TemplateWidget* page : {static_cast<TemplateWidget*>(&m_page0),
                                 static_cast<TemplateWidget*>(&m_page1),
                                 static_cast<TemplateWidget*>(&m_page3),
                                 static_cast<TemplateWidget*>(&m_page5),
                                 static_cast<TemplateWidget*>(&m_page6)}) {
        if (!page->UpdateData(true)) {
            return false;
        }
    }
    Collect(values);
    return true;
}

void ParameterPages::Collect(ParameterValues& values) const {
    (void)values;
}

void ParameterPages::Apply(const ParameterValues& values, const DecodeOutcome& outcome) {
    (void)values;
    (void)outcome;
}

void ParameterPages::ApplyAll(const ParameterValues& values) {
    (void)values;
    Refresh();
}

void ParameterPages::Refresh() {
    m_page0.UpdateData(false);
    m_page1.UpdateData(false);
    m_page3.UpdateData(false);
    m_page6.UpdateData(false);
}
