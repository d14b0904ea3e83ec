#pragma once

#include <QTableWidget>

// Read-only table of whole rows. Tab, Down and Up walk from row to row, and
// walking past either end hands the focus to another widget; subclasses decide
// when an end is reached and where the focus goes.
class BaseTableWidget : public QTableWidget {
public:
    explicit BaseTableWidget(QWidget* parent = nullptr);
    ~BaseTableWidget() override;

    // True once a row has been selected since the table was last refilled or left.
    bool HasRowSelection() const { return hasRowSelection; }
    // A row was selected: by the keyboard walk or by the window's selection handling.
    void NoteRowSelected() { hasRowSelection = true; }
    // The table was refilled or left, or its selected row removed: the next
    // keyboard step starts at the first row again.
    void ResetRowSelection() { hasRowSelection = false; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

    virtual void SelectNextRow(QKeyEvent* event) = 0;
    virtual void SelectPreviousRow(QKeyEvent* event) = 0;

private:
    bool hasRowSelection = false;
};
