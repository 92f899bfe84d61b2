#include "pages/cpage3.h"

namespace {

const DialogTemplate& PageTemplate() {
    static const DialogTemplate t{324, 188, "MS Shell Dlg", 9, "", {}};
    return t;
}

}  // namespace

Cpage3::Cpage3(UiLanguage language, QWidget* parent)
    : TemplateWidget(PageTemplate(), language, parent) {}

void Cpage3::OnInitDialog() {
    UpdateData(false);
}

void Cpage3::DoDataExchange(DataExchange& exchange) {
    (void)exchange;
}
