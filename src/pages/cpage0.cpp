#include "pages/cpage0.h"

namespace {

const DialogTemplate& PageTemplate() {
    static const DialogTemplate t{316, 181, "MS Shell Dlg", 9, "", {}};
    return t;
}

}  // namespace

Cpage0::Cpage0(UiLanguage language, QWidget* parent)
    : TemplateWidget(PageTemplate(), language, parent) {}

void Cpage0::OnInitDialog() {
    UpdateData(false);
}

void Cpage0::DoDataExchange(DataExchange& exchange) {
    (void)exchange;
}
