#include "pages/cpage1.h"

namespace {

const DialogTemplate& PageTemplate() {
    static const DialogTemplate t{328, 188, "MS Shell Dlg", 9, "", {}};
    return t;
}

}  // namespace

Cpage1::Cpage1(UiLanguage language, QWidget* parent)
    : TemplateWidget(PageTemplate(), language, parent) {}

void Cpage1::OnInitDialog() {
    UpdateData(false);
}

void Cpage1::DoDataExchange(DataExchange& exchange) {
    (void)exchange;
}
