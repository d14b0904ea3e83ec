#include "dialogs/removesettingsdialog.h"

#include "ui_removesettingsdialog.h"

#include "dialogs/basetablewidget.h"
#include "dialogs/settings_table_host.h"
#include "i18n/translation_keys.h"

RemoveSettingsDialog::RemoveSettingsDialog(QWidget* parent, SettingsRows* rows, const std::string& settingName)
    : QDialog(parent)
    , ui(new Ui::RemoveSettingsDialog)
    , rows(rows)
    , settingName(settingName)
{
    ui->setupUi(this);
    SetupConfirmationForm(this, Form(), TranslationKey::DeleteSettingTitle, TranslationKey::DeleteSettingDescription,
                          TranslationKey::Confirm);

    connect(ui->btnConfirm, &QPushButton::clicked, this, &RemoveSettingsDialog::ConfirmRemoval);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::close);
    setModal(true);
}

RemoveSettingsDialog::~RemoveSettingsDialog() = default;

ConfirmationForm RemoveSettingsDialog::Form() const
{
    return {ui->background,           ui->container,  ui->lblRemoveSettingTitle,
            ui->lblRemoveSettingInfo, ui->btnConfirm, ui->btnCancel};
}

void RemoveSettingsDialog::ApplyStyle()
{
    StyleConfirmationForm(Form());
}

void RemoveSettingsDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ThemeChange) {
        ApplyStyle();
    }
}

void RemoveSettingsDialog::ConfirmRemoval()
{
    RemoveSetting(*rows, settingName);
    if (auto* host = dynamic_cast<SettingsTableHost*>(parentWidget())) {
        host->RefreshSettingsTable();
        if (BaseTableWidget* table = host->SettingsTable()) {
            table->ResetRowSelection();
        }
    }
    close();
}
