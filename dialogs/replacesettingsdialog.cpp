#include "dialogs/replacesettingsdialog.h"

#include "ui_replacesettingsdialog.h"

#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "ui/styling.h"
#include "i18n/translation_keys.h"

ReplaceSettingsDialog::ReplaceSettingsDialog(QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::ReplaceSettingsDialog)
{
    ui->setupUi(this);
    // As in the remove dialog: no button shows focus, and Enter confirms.
    ui->lblReplaceSettingsTitle->setFocus(Qt::OtherFocusReason);
    setWindowTitle(Globalize::Translate(TranslationKey::SilentInstallHelperTitle));
    ApplyStyle();

    SetRegularFont(ui->lblReplaceSettingsInfo, RegularFontSize);
    SetRegularFont(ui->btnConfirm, RegularFontSize);
    SetRegularFont(ui->btnCancel, RegularFontSize);
    SetBoldFont(ui->lblReplaceSettingsTitle, TitleFontSize);

    ui->lblReplaceSettingsTitle->setText(Globalize::Translate(TranslationKey::OpenFileTitle));
    ui->lblReplaceSettingsInfo->setText(Globalize::Translate(TranslationKey::OpenFileReplaceDescription));
    ui->btnConfirm->setText(Globalize::Translate(TranslationKey::Confirm));
    ui->btnCancel->setText(Globalize::Translate(TranslationKey::Cancel));

    connect(ui->btnConfirm, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    setModal(true);
}

ReplaceSettingsDialog::~ReplaceSettingsDialog() = default;

void ReplaceSettingsDialog::ApplyStyle()
{
    SetWidgetStyle(ui->background, QStringLiteral("qframe-background-style.qss"));
    SetWidgetStyle(ui->container, QStringLiteral("qgroupbox-container-style.qss"));
    SetWidgetStyle(ui->lblReplaceSettingsTitle, QStringLiteral("qlabel-style.qss"));
    SetWidgetStyle(ui->lblReplaceSettingsInfo, QStringLiteral("qlabel-style.qss"));
    SetWidgetStyle(ui->btnCancel, QStringLiteral("qpushbutton-secondary-style.qss"));
    SetPrimaryButtonStyle(ui->btnConfirm);
}

void ReplaceSettingsDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ThemeChange) {
        ApplyStyle();
    }
}
