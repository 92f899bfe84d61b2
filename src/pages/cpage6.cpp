#include "pages/cpage6.h"

namespace {

const DialogTemplate& PageTemplate() {
    static const DialogTemplate t{315, 176, "MS Shell Dlg", 9, "", {}};
    return t;
}

}  // namespace

Cpage6::Cpage6(UiLanguage language, QWidget* parent)
    : TemplateWidget(PageTemplate(), language, parent) {}

void Cpage6::OnInitDialog() {
    UpdateData(false);
}

void Cpage6::DoDataExchange(DataExchange& exchange) {
    (void)exchange;
}

void Cpage6::FillFunctionLists() {}
