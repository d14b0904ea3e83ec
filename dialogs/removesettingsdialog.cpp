#include "dialogs/removesettingsdialog.h"

#include "ui_removesettingsdialog.h"

#include "dialogs/basetablewidget.h"
#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "dialogs/settings_table_host.h"
#include "ui/styling.h"
#include "i18n/translation_keys.h"

RemoveSettingsDialog::RemoveSettingsDialog(QWidget* parent, SettingsRows* rows, const std::string& settingName)
    : QDialog(parent)
    , ui(new Ui::RemoveSettingsDialog)
    , rows(rows)
    , settingName(settingName)
{
    ui->setupUi(this);
    // With the focus on the title no button shows focus, and Enter confirms.
    ui->lblRemoveSettingTitle->setFocus(Qt::OtherFocusReason);
    setWindowTitle(Globalize::Translate(TranslationKey::SilentInstallHelperTitle));
    ApplyStyle();

    SetRegularFont(ui->lblRemoveSettingInfo, RegularFontSize);
    SetRegularFont(ui->btnConfirm, RegularFontSize);
    SetRegularFont(ui->btnCancel, RegularFontSize);
    SetBoldFont(ui->lblRemoveSettingTitle, TitleFontSize);

    ui->lblRemoveSettingTitle->setText(Globalize::Translate(TranslationKey::DeleteSettingTitle));
    ui->lblRemoveSettingInfo->setText(Globalize::Translate(TranslationKey::DeleteSettingDescription));
    ui->btnConfirm->setText(Globalize::Translate(TranslationKey::Confirm));
    ui->btnCancel->setText(Globalize::Translate(TranslationKey::Cancel));

    connect(ui->btnConfirm, &QPushButton::clicked, this, &RemoveSettingsDialog::ConfirmRemoval);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::close);
    setModal(true);
}

RemoveSettingsDialog::~RemoveSettingsDialog() = default;

void RemoveSettingsDialog::ApplyStyle()
{
    SetWidgetStyle(ui->background, QStringLiteral("qframe-background-style.qss"));
    SetWidgetStyle(ui->container, QStringLiteral("qgroupbox-container-style.qss"));
    SetWidgetStyle(ui->lblRemoveSettingTitle, QStringLiteral("qlabel-style.qss"));
    SetWidgetStyle(ui->lblRemoveSettingInfo, QStringLiteral("qlabel-style.qss"));
    SetWidgetStyle(ui->btnCancel, QStringLiteral("qpushbutton-secondary-style.qss"));
    SetPrimaryButtonStyle(ui->btnConfirm);
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
