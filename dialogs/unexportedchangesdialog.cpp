#include "dialogs/unexportedchangesdialog.h"

#include "ui_unexportedchangesdialog.h"

#include "i18n/translation_keys.h"

UnexportedChangesDialog::UnexportedChangesDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::UnexportedChangesDialog)
{
    ui->setupUi(this);
    SetupConfirmationForm(this, Form(), TranslationKey::UnexportedChangesTitle,
                          TranslationKey::UnexportedChangesDescription, TranslationKey::Export,
                          TranslationKey::DontExport);

    connect(ui->btnExport, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnDiscard, &QPushButton::clicked, this, [this] { done(WithoutExport); });
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    setModal(true);
}

UnexportedChangesDialog::~UnexportedChangesDialog() = default;

ConfirmationForm UnexportedChangesDialog::Form() const
{
    return {ui->background, ui->container, ui->lblUnexportedChangesTitle, ui->lblUnexportedChangesInfo, ui->btnExport,
            ui->btnCancel,  ui->btnDiscard};
}

void UnexportedChangesDialog::ApplyStyle()
{
    StyleConfirmationForm(Form());
}

void UnexportedChangesDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ThemeChange) {
        ApplyStyle();
    }
}
