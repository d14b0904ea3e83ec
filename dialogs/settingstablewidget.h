#pragma once

#include "dialogs/basetablewidget.h"

// The main window's three-column table: setting name, value and description.
class SettingsTableWidget : public BaseTableWidget {
public:
    SettingsTableWidget(QWidget* nextFocusWidget, QWidget* parent);
    ~SettingsTableWidget() override;

protected:
    void SelectNextRow(QKeyEvent* event) override;
    void SelectPreviousRow(QKeyEvent* event) override;

private:
    void LeaveTable(QKeyEvent* event);

    // Takes the focus when keyboard navigation leaves the table; not owned.
    QWidget* nextFocusWidget;
};
