#pragma once
// The controls of one window, built from its table and reached by id: Item<QPushButton>(1032).

#include <QHash>
#include <QList>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>
#include <optional>
#include <vector>

#include "app/ui_language.h"
#include "ui/dialog_template.h"
#include "ui/dialog_units.h"

class QButtonGroup;

class ControlSet {
public:
    // Builds every control of `dialogTemplate` that exists in `language`'s template into
    // `parent`, which takes the template's font. Captions are the language's.
    void Build(const DialogTemplate& dialogTemplate, UiLanguage language, QWidget* parent);

    bool Has(int id) const { return m_controls.contains(id); }
    QWidget* Control(int id) const { return m_controls.value(id); }
    template <class T>
    T* Item(int id) const {
        return qobject_cast<T*>(Control(id));
    }
    const ControlSpec* Spec(int id) const;
    QList<int> Ids() const { return m_order; }

    // The control's window text whatever its kind (a list's text is its current item's).
    QString Text(int id) const;
    void SetText(int id, const QString& text);
    // Shows the controls that exist; the ids the template lacks are skipped.
    void Show(std::initializer_list<int> ids);

    // Ids of the radio buttons of the group that starts at `firstId`, in table order.
    QList<int> RadioGroup(int firstId) const { return m_radioGroups.value(firstId); }
    // Index of the checked button of the group, −1 for none; CheckRadio(−1) clears the group.
    int CheckedRadio(int firstId) const;
    void CheckRadio(int firstId, int index);

    const DialogUnits& Units() const { return *m_units; }
    QSize ClientSize() const { return m_clientSize; }
    UiLanguage Language() const { return m_language; }

private:
    QWidget* Create(const ControlSpec& spec, QWidget* parent);

    std::vector<ControlSpec> m_specs;
    QHash<int, QWidget*> m_controls;
    QList<int> m_order;
    QHash<int, QList<int>> m_radioGroups;
    QHash<int, QButtonGroup*> m_exclusiveGroups;
    std::optional<DialogUnits> m_units;
    QSize m_clientSize;
    UiLanguage m_language = UiLanguage::Chinese;
};
