#include "dialogs/fileexporteddialog.h"

#include "ui_fileexporteddialog.h"

#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "ui/styling.h"
#include "i18n/translation_keys.h"
#include "dialogs/window_utils.h"

#include <QScreen>

#include <algorithm>

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
    // The message names a path and the system's reason: shown as the text it is.
    ui->lblFileExportedInfo->setTextFormat(Qt::PlainText);
    ui->lblFileExportedInfo->setText(message);
    ui->lblFileExportedInfo->setAccessibleName(message);
    ShowWholeMessage();
    ui->btnClose->setText(Globalize::Translate(TranslationKey::Close));
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::close);
    setModal(true);
    show();
}

FileExportedDialog::~FileExportedDialog() = default;

void FileExportedDialog::SetIcon(const QString& fileName)
{
    SetWidgetIcon(ui->lblIcon, fileName, IconSize, true);
}

void FileExportedDialog::ShowWholeMessage()
{
    // An error names its cause and a path, often wider than the notice: the label
    // wraps it (the form runs it from the icon to the Close button's right edge)
    // and the notice grows by the extra lines, as the editor does for its message.
    QLabel* label = ui->lblFileExportedInfo;
    label->ensurePolished();

    // A name that cannot be broken (no blank, slash or hyphen) widens the notice
    // instead, as far as its screen allows.
    int widening = std::max(0, label->minimumSizeHint().width() - label->width());
    if (const QScreen* shown = screen()) {
        widening = std::min(widening, std::max(0, shown->availableGeometry().width() - width()));
    }
    if (widening > 0) {
        setFixedWidth(width() + widening);
        for (QWidget* widget : std::initializer_list<QWidget*>{label, ui->container, ui->background}) {
            widget->resize(widget->width() + widening, widget->height());
        }
        ui->btnClose->move(ui->btnClose->x() + widening, ui->btnClose->y());
    }

    const int wanted = std::max(0, label->heightForWidth(label->width()) - label->height());
    const int growth = GrowFixedWindow(this, height(), wanted, {ui->btnClose}, ui->btnClose->y());
    label->resize(label->width(), label->height() + growth);
    ui->container->resize(ui->container->width(), ui->container->height() + growth);
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
