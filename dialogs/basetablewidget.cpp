#include "dialogs/basetablewidget.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>

BaseTableWidget::BaseTableWidget(QWidget* parent)
    : QTableWidget(parent)
{
    setFrameStyle(0);
    setFocusPolicy(Qt::StrongFocus);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setShowGrid(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft);
    verticalHeader()->setVisible(false);
}

BaseTableWidget::~BaseTableWidget() = default;

void BaseTableWidget::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Down:
        SelectNextRow(event);
        break;
    case Qt::Key_Up:
        SelectPreviousRow(event);
        break;
    default:
        QTableWidget::keyPressEvent(event);
        break;
    }
}

void BaseTableWidget::focusInEvent(QFocusEvent* event)
{
    // Only a forward Tab into the table starts the keyboard walk; a click brings
    // its own selection, and other reasons must not select anything.
    if (event->reason() != Qt::TabFocusReason) {
        return;
    }
    QTableWidget::focusInEvent(event);
    if (rowCount() > 0 && columnCount() > 0) {
        selectRow(0);
        NoteRowSelected();
    }
}
