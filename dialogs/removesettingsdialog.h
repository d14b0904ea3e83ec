#pragma once

#include "settings/settings_document.h"

#include "dialogs/window_utils.h"

#include <QDialog>

#include <memory>
#include <string>

namespace Ui {
class RemoveSettingsDialog;
}

// Asks before a setting is taken out of the document.
class RemoveSettingsDialog : public QDialog {
    Q_OBJECT

public:
    RemoveSettingsDialog(QWidget* parent, SettingsRows* rows, const std::string& settingName);
    ~RemoveSettingsDialog() override;

protected:
    void changeEvent(QEvent* event) override;

private:
    ConfirmationForm Form() const;
    void ApplyStyle();
    void ConfirmRemoval();

    std::unique_ptr<Ui::RemoveSettingsDialog> ui;
    SettingsRows* rows;
    std::string settingName;
};
