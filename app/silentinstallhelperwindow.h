#pragma once

#include "settings/settings_catalogue.h"
#include "settings/settings_document.h"
#include "dialogs/settings_table_host.h"

#include <QMainWindow>

#include <memory>

class SettingsTableWidget;
struct SettingsFileOpening;

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

    // Replaces the document by the settings of a file, without asking; what was
    // left out or changed, or why nothing was loaded, is said in a notice.
    void OpenSettingsFile(const QString& path);
    // The same for a file dropped on the window, asking first when the document
    // has changes that the file would replace.
    void OpenDroppedFile(const QString& path);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void UpdateButtonsOnSelection();
    void ConnectSignals();
    void ApplyStyle();
    void LoadOpenedFile(const SettingsFileOpening& opening);

    SettingsTableWidget* settingsTable = nullptr;
    std::unique_ptr<Ui::SilentInstallHelperWindow> ui;
    SettingsRows settingsRows;
    SettingsMap settingsMap;
    // The document as it was built or last loaded: a drop asks before replacing
    // anything else.
    nlohmann::ordered_json unchangedDocument;
};
