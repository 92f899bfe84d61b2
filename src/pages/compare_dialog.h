#pragma once
// "Compare": which values on the pages and the main window differ from a reference set (the
// set last read from the controller or imported, or a parameter file), each shown as its
// control shows it, with the control's caption in the UI language. A small window that does
// not block the main window.

#include <QDialog>
#include <QString>
#include <QStringList>
#include <optional>

#include "app/ui_language.h"
#include "core/params/block_layout.h"
#include "core/params/parameter_values.h"

class ParameterPages;
class QLabel;
class QTableWidget;
class TemplateWidget;

// The caption of the control showing `field`, in the language its window was built in: a check
// box's own text, a radio group's frame, a pin's frame, else the label left of the control;
// without a colon at the end. The core's English name when none is found.
QString FieldCaption(const ParameterPages& pages, const TemplateWidget& mainWindow,
                     ParamField field);
// The page's name as its tab shows it, or "main window".
QString FieldPlace(ParamField field, UiLanguage language);
// `field` of `values` as its control would show it: list items and radio captions from the
// controls themselves.
QString FieldValueText(const ParameterPages& pages, ParamField field, const ParameterValues& values,
                       UiLanguage language);

class CompareDialog : public QDialog {
    Q_OBJECT
public:
    enum Column { kPlaceColumn, kCaptionColumn, kReferenceColumn, kNowColumn, kColumnCount };

    CompareDialog(const ParameterPages& pages, const TemplateWidget& mainWindow,
                  QWidget* parent = nullptr);

    // Lists the differences of `current` from `reference`; without a reference says there is
    // none yet. `referenceName` says where the reference came from (a file's path), or is
    // empty for the set last read or imported.
    void ShowDifferences(const std::optional<ParameterValues>& reference,
                         const ParameterValues& current, const QString& referenceName = {});

    // One row per listed field: place, caption, reference value, value now.
    QList<QStringList> Rows() const;
    // The line under the list: no reference yet, no differences, or how many.
    QString Note() const;

private:
    const ParameterPages& m_pages;
    const TemplateWidget& m_mainWindow;
    QLabel* m_source = nullptr;
    QTableWidget* m_table = nullptr;
    QLabel* m_note = nullptr;
};

// Opens a CompareDialog over `mainWindow` without blocking; it deletes itself when closed.
CompareDialog* ShowCompare(const std::optional<ParameterValues>& reference,
                           const ParameterValues& current, const ParameterPages& pages,
                           TemplateWidget& mainWindow, const QString& referenceName = {});
