#include "pages/compare_dialog.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <limits>

#include "app/string_table.h"
#include "core/params/parameter_fields.h"
#include "pages/parameter_pages.h"
#include "ui/template_widget.h"

namespace {

struct Text {
    const char* chinese;
    const char* english;
    QString In(UiLanguage language) const {
        return QString::fromUtf8(language == UiLanguage::English ? english : chinese);
    }
};

constexpr Text kTitle{"参数比较", "Compare parameters"};
constexpr Text kPlaceHeader{"位置", "Place"};
constexpr Text kCaptionHeader{"参数", "Parameter"};
constexpr Text kReferenceHeader{"参考值", "Reference"};
constexpr Text kNowHeader{"当前值", "Now"};
constexpr Text kMainWindow{"主窗口", "main window"};
constexpr Text kLastReadSource{"参考：上次从控制器读取或导入的参数",
                               "Reference: the set last read from the controller or imported"};
// %1 the file's path.
constexpr Text kFileSource{"参考：参数文件 %1", "Reference: parameter file %1"};
constexpr Text kNoReference{"尚无参考：请先读取控制器参数或导入参数文件。",
                            "No reference yet: read the controller or import a parameter file "
                            "first."};
constexpr Text kNoDifference{"没有差异。", "No differences."};
// %1 the number of rows.
constexpr Text kDifferences{"%1 项不同。", "%1 differences."};
constexpr Text kOneDifference{"1 项不同。", "1 difference."};
constexpr Text kChecked{"选中", "checked"};
constexpr Text kUnchecked{"未选中", "clear"};
constexpr Text kNone{"（无）", "(none)"};
constexpr Text kClose{"关闭", "Close"};

// Without blanks around it and without the colon that ends a label.
QString Trimmed(QString caption) {
    caption = caption.trimmed();
    while (caption.endsWith(u':') || caption.endsWith(QChar(0xFF1A))) {
        caption.chop(1);
        caption = caption.trimmed();
    }
    return caption;
}

// The labels beside `control` in its parent: the one whose right edge is nearest to the
// control's left edge, on the same line.
QString LabelLeftOf(const QWidget& control) {
    const QWidget* parent = control.parentWidget();
    if (parent == nullptr) {
        return {};
    }
    const QRect place = control.geometry();
    const QLabel* best = nullptr;
    int bestGap = std::numeric_limits<int>::max();
    for (const QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        const QRect rect = label->geometry();
        if (label == &control || label->text().trimmed().isEmpty()) {
            continue;
        }
        const bool sameLine = rect.top() < place.bottom() && rect.bottom() > place.top();
        const int gap = place.left() - rect.right();
        if (sameLine && gap >= -2 && gap < bestGap) {
            best = label;
            bestGap = gap;
        }
    }
    return best != nullptr ? best->text() : QString();
}

// The caption of the smallest frame around `control`, with a label that continues it on its
// top line.
QString FrameAround(const QWidget& control) {
    const QWidget* parent = control.parentWidget();
    if (parent == nullptr) {
        return {};
    }
    const QRect place = control.geometry();
    const QGroupBox* best = nullptr;
    for (const QGroupBox* box : parent->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly)) {
        const QRect rect = box->geometry();
        if (rect.contains(place) &&
            (best == nullptr ||
             rect.width() * rect.height() < best->geometry().width() * best->geometry().height())) {
            best = box;
        }
    }
    if (best == nullptr) {
        return {};
    }
    QString caption = best->title().trimmed();
    const QRect frame = best->geometry();
    for (const QLabel* label : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
        const QRect rect = label->geometry();
        if (std::abs(rect.top() - frame.top()) <= 2 && frame.contains(rect.center())) {
            caption += u' ' + label->text().trimmed();
        }
    }
    return caption;
}

const TemplateWidget* WindowOf(const ParameterPages& pages, const TemplateWidget& mainWindow,
                               ParamOwner owner) {
    return owner == ParamOwner::kMainWindow ? &mainWindow : pages.PageOf(owner);
}

QString ShownChoice(const TemplateWidget& window, const ParamFieldInfo& info, int index,
                    UiLanguage language) {
    if (info.m_kind == ParamKind::kCombo) {
        const auto* combo = window.Item<QComboBox>(info.m_controlId);
        if (combo != nullptr && index >= 0 && index < combo->count()) {
            return combo->itemText(index);
        }
        return kNone.In(language);
    }
    const QList<int> buttons = window.Controls().RadioGroup(info.m_controlId);
    if (index >= 0 && index < buttons.size()) {
        return window.Controls().Text(buttons[index]).trimmed();
    }
    return kNone.In(language);
}

}  // namespace

QString FieldCaption(const ParameterPages& pages, const TemplateWidget& mainWindow,
                     ParamField field) {
    const ParamFieldInfo info = FieldInfo(field);
    const TemplateWidget* window = WindowOf(pages, mainWindow, info.m_owner);
    const QWidget* control = window ? window->Controls().Control(info.m_controlId) : nullptr;
    QString caption;
    if (control != nullptr) {
        if (IsPinField(field) || info.m_kind == ParamKind::kRadio) {
            caption = FrameAround(*control);
        } else if (const auto* box = qobject_cast<const QAbstractButton*>(control)) {
            caption = box->text();
        } else {
            caption = LabelLeftOf(*control);
        }
        caption = Trimmed(caption);
    }
    if (caption.isEmpty()) {
        if (const ParameterField* entry = FindParameterField(field)) {
            caption = QString::fromUtf8(entry->m_name.data(),
                                        static_cast<qsizetype>(entry->m_name.size()));
        }
    }
    return caption;
}

QString FieldPlace(ParamField field, UiLanguage language) {
    switch (FieldInfo(field).m_owner) {
        case ParamOwner::kPage0:
            return Tr(102);
        case ParamOwner::kPage1:
            return Tr(103);
        case ParamOwner::kPage3:
            return Tr(104);
        case ParamOwner::kPortPage:
            return Tr(106);
        case ParamOwner::kMainWindow:
        case ParamOwner::kGlobal:
            break;
    }
    return kMainWindow.In(language);
}

QString FieldValueText(const ParameterPages& pages, ParamField field, const ParameterValues& values,
                       UiLanguage language) {
    const ParameterField* entry = FindParameterField(field);
    if (entry == nullptr) {
        return {};
    }
    const ParamFieldInfo info = FieldInfo(field);
    const TemplateWidget* page = pages.PageOf(info.m_owner);
    const std::optional<int> index = ChoiceIndex(*entry, values);
    if (entry->m_format == FieldFormat::kCheck && index) {
        return (*index != 0 ? kChecked : kUnchecked).In(language);
    }
    if (page != nullptr && index &&
        (entry->m_format == FieldFormat::kList || entry->m_format == FieldFormat::kRadio)) {
        return ShownChoice(*page, info, *index, language);
    }
    return QString::fromStdString(FormatFieldValue(*entry, values));
}

CompareDialog::CompareDialog(const ParameterPages& pages, const TemplateWidget& mainWindow,
                             QWidget* parent)
    : QDialog(parent), m_pages(pages), m_mainWindow(mainWindow) {
    const UiLanguage language = mainWindow.Language();
    setWindowTitle(kTitle.In(language));
    m_source = new QLabel(this);
    m_table = new QTableWidget(0, kColumnCount, this);
    m_table->setHorizontalHeaderLabels({kPlaceHeader.In(language), kCaptionHeader.In(language),
                                        kReferenceHeader.In(language), kNowHeader.In(language)});
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_note = new QLabel(this);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(kClose.In(language), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_source);
    layout->addWidget(m_table);
    layout->addWidget(m_note);
    layout->addWidget(buttons);
    resize(640, 380);
}

void CompareDialog::ShowDifferences(const std::optional<ParameterValues>& reference,
                                    const ParameterValues& current, const QString& referenceName) {
    const UiLanguage language = m_mainWindow.Language();
    m_table->setRowCount(0);
    if (!reference) {
        m_source->clear();
        m_source->hide();
        m_note->setText(kNoReference.In(language));
        return;
    }
    m_source->setText(referenceName.isEmpty() ? kLastReadSource.In(language)
                                              : kFileSource.In(language).arg(referenceName));
    m_source->show();
    const std::vector<FieldDifference> differences = DiffParameterValues(*reference, current);
    m_table->setRowCount(static_cast<int>(differences.size()));
    int row = 0;
    for (const FieldDifference& difference : differences) {
        const ParamField field = difference.m_field->m_id;
        const QString cells[kColumnCount] = {
            FieldPlace(field, language),
            FieldCaption(m_pages, m_mainWindow, field),
            FieldValueText(m_pages, field, *reference, language),
            FieldValueText(m_pages, field, current, language),
        };
        for (int column = 0; column < kColumnCount; ++column) {
            m_table->setItem(row, column, new QTableWidgetItem(cells[column]));
        }
        ++row;
    }
    m_table->resizeColumnsToContents();
    m_table->resizeRowsToContents();
    // Wide enough for every column, as far as the screen allows.
    int width = 0;
    for (int column = 0; column < kColumnCount; ++column) {
        width += m_table->columnWidth(column);
    }
    width += 2 * m_table->frameWidth() + layout()->contentsMargins().left() +
             layout()->contentsMargins().right() + 24;
    resize(std::clamp(width, 480, 1000), height());
    if (differences.empty()) {
        m_note->setText(kNoDifference.In(language));
    } else if (differences.size() == 1) {
        m_note->setText(kOneDifference.In(language));
    } else {
        m_note->setText(kDifferences.In(language).arg(static_cast<int>(differences.size())));
    }
}

QList<QStringList> CompareDialog::Rows() const {
    QList<QStringList> rows;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < kColumnCount; ++column) {
            const QTableWidgetItem* item = m_table->item(row, column);
            cells << (item != nullptr ? item->text() : QString());
        }
        rows << cells;
    }
    return rows;
}

QString CompareDialog::Note() const {
    return m_note->text();
}

CompareDialog* ShowCompare(const std::optional<ParameterValues>& reference,
                           const ParameterValues& current, const ParameterPages& pages,
                           TemplateWidget& mainWindow, const QString& referenceName) {
    auto* dialog = new CompareDialog(pages, mainWindow, &mainWindow);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->ShowDifferences(reference, current, referenceName);
    dialog->open();
    return dialog;
}
