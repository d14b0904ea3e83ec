#include "fileexporteddialog.h"

#include "ui_fileexporteddialog.h"

#include "fonts.h"
#include "globalize.h"
#include "styling.h"
#include "translation_keys.h"

namespace {
constexpr int IconSize = 25;
}

FileExportedDialog::FileExportedDialog(const QString& message, QWidget* parent)
    : QDialog(parent)
    , ui(new Ui::FileExportedDialog)
{
    ui->setupUi(this);
    ui->lblFileExportedInfo->setFocus(Qt::OtherFocusReason);
    setWindowTitle(Globalize::Translate(TranslationKey::SilentInstallHelperTitle));
    ApplyStyle();
    SetRegularFont(ui->lblFileExportedInfo, RegularFontSize);
    SetRegularFont(ui->btnClose, RegularFontSize);
    ui->lblFileExportedInfo->setText(message);
    // The label keeps to one line and the dialog cuts it off; the whole text stays
    // readable as its tool tip.
    ui->lblFileExportedInfo->setToolTip(message);
    ui->lblFileExportedInfo->setAccessibleName(message);
    ui->btnClose->setText(Globalize::Translate(TranslationKey::Close));
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::close);
    setModal(true);
    show();
}

FileExportedDialog::~FileExportedDialog()
{
    delete ui;
}

void FileExportedDialog::SetIcon(const QString& fileName)
{
    SetWidgetIcon(ui->lblIcon, fileName, IconSize, true);
}

void FileExportedDialog::ApplyStyle()
{
    SetWidgetStyle(ui->background, QStringLiteral("qframe-background-style.qss"));
    SetWidgetStyle(ui->container, QStringLiteral("qgroupbox-container-style.qss"));
    SetWidgetStyle(ui->lblFileExportedInfo, QStringLiteral("qlabel-style.qss"));
    SetPrimaryButtonStyle(ui->btnClose);
}

void FileExportedDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ThemeChange) {
        ApplyStyle();
    }
}
