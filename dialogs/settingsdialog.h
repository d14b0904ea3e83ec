#pragma once

#include "settings/settings_catalogue.h"
#include "settings/settings_document.h"

#include <QDialog>

#include <memory>

class QTextEdit;

namespace Ui {
class SettingsDialog;
}

// Modal editor that adds a setting or changes a setting's value, validating
// both fields on every change.
class SettingsDialog : public QDialog {
    Q_OBJECT

public:
    SettingsDialog(QWidget* parent, SettingsRows* rows, SettingsMap* catalogue);
    ~SettingsDialog() override;

    void SetupAddSetting();
    void SetupEditSetting(const std::string& name, const std::string& value);

protected:
    void changeEvent(QEvent* event) override;

private:
    void Initialise();
    void ApplyStyle();
    QStringList CompletionNames() const;
    void RefreshCompletion();
    void ValidateFields();
    void SaveSetting();
    QString FirstFailedCheck() const;

    std::unique_ptr<Ui::SettingsDialog> ui;
    SettingsRows* rows;
    SettingsMap* catalogue;
    QTextEdit* messageArea = nullptr;
};
