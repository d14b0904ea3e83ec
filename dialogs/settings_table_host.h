#pragma once

class BaseTableWidget;

// What the editing dialogs need of the window that opened them. The main window
// implements it; the dialogs find it as their parent.
class SettingsTableHost {
public:
    virtual ~SettingsTableHost() = default;

    // Rebuilds the table from the document.
    virtual void RefreshSettingsTable() = 0;

    virtual BaseTableWidget* SettingsTable() const = 0;
};
