#include "dialogs/replacesettingsdialog.h"

#include "ui_replacesettingsdialog.h"

#include "ui/styling.h"
#include "i18n/translation_keys.h"

ReplaceSettingsDialog::ReplaceSettingsDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::ReplaceSettingsDialog)
{
    ui->setupUi(this);
    SetupConfirmationForm(this, Form(), TranslationKey::OpenFileTitle, TranslationKey::OpenFileReplaceDescription);

    connect(ui->btnConfirm, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    setModal(true);
}

ReplaceSettingsDialog::~ReplaceSettingsDialog() = default;

ConfirmationForm ReplaceSettingsDialog::Form() const
{
    return {ui->background, ui->container, ui->lblReplaceSettingsTitle, ui->lblReplaceSettingsInfo,
            ui->btnConfirm, ui->btnCancel};
}

void ReplaceSettingsDialog::ApplyStyle()
{
    StyleConfirmationForm(Form());
}

void ReplaceSettingsDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ThemeChange) {
        ApplyStyle();
    }
}
