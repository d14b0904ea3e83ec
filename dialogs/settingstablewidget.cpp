#include "dialogs/settingstablewidget.h"

#include "i18n/globalize.h"
#include "i18n/translation_keys.h"

#include <QHeaderView>
#include <QKeyEvent>

SettingsTableWidget::SettingsTableWidget(QWidget* nextFocusWidget, QWidget* parent)
    : BaseTableWidget(parent)
    , nextFocusWidget(nextFocusWidget)
{
    setGeometry(29, 85, 862, 427);
    setColumnCount(3);
    setRowCount(0);
    setHorizontalHeaderLabels({Globalize::Translate(TranslationKey::Name), Globalize::Translate(TranslationKey::Value),
                               Globalize::Translate(TranslationKey::Description)});
    horizontalHeader()->setDefaultSectionSize(286);
}

SettingsTableWidget::~SettingsTableWidget() = default;

void SettingsTableWidget::SelectNextRow(QKeyEvent* event)
{
    const int rows = rowCount();
    const int current = currentRow();
    if (!HasRowSelection()) {
        selectRow(0);
        NoteRowSelected();
        return;
    }
    if (current >= rows - 1) {
        LeaveTable(event);
        return;
    }
    selectRow(current + 1);
}

void SettingsTableWidget::SelectPreviousRow(QKeyEvent* event)
{
    const int current = currentRow();
    if (current == 0) {
        LeaveTable(event);
        return;
    }
    selectRow(current - 1);
}

void SettingsTableWidget::LeaveTable(QKeyEvent* event)
{
    clearSelection();
    clearFocus();
    ResetRowSelection();
    if (nextFocusWidget != nullptr) {
        nextFocusWidget->setFocus(Qt::OtherFocusReason);
    }
    event->accept();
}
