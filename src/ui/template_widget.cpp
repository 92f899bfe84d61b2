#include "ui/template_widget.h"

#include "app/string_table.h"
#include "ui/prompts.h"

TemplateWidget::TemplateWidget(const DialogTemplate& dialogTemplate, UiLanguage language,
                               QWidget* parent)
    : QWidget(parent), m_tips(this) {
    m_controls.Build(dialogTemplate, language, this);
    setFixedSize(m_controls.ClientSize());
}

bool TemplateWidget::UpdateData(bool saveAndValidate) {
    DataExchange exchange(
        m_controls, saveAndValidate ? DataExchange::Direction::Save : DataExchange::Direction::Load,
        AppPrompts());
    const bool outer = !m_exchanging;
    m_exchanging = true;
    DoDataExchange(exchange);
    if (outer) {
        m_exchanging = false;
    }
    return !exchange.Failed();
}

void TemplateWidget::RegisterTips(const std::vector<TipRow>& rows) {
    for (const TipRow& row : rows) {
        m_tips.Add(m_controls.Control(row.controlId), Tr(row.stringId));
    }
}
