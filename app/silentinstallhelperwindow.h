#pragma once

#include "settings_catalogue.h"
#include "settings_document.h"
#include "settings_table_host.h"

#include <QMainWindow>

class SettingsTableWidget;

namespace Ui {
class SilentInstallHelperWindow;
}

// The program's only main window: the settings table with add, edit, delete and export.
class SilentInstallHelperWindow : public QMainWindow, public SettingsTableHost {
    Q_OBJECT

public:
    SilentInstallHelperWindow();
    ~SilentInstallHelperWindow() override;

    void RefreshSettingsTable() override;
    BaseTableWidget* SettingsTable() const override;

    void ShowAddSettingDialog();
    void ShowEditSettingDialog();
    void ShowRemoveSettingDialog();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void UpdateButtonsOnSelection();
    void ConnectSignals();
    void ApplyStyle();

    SettingsTableWidget* settingsTable = nullptr;
    Ui::SilentInstallHelperWindow* ui;
    SettingsRows settingsRows;
    SettingsMap settingsMap;
};
