#include "dialogs/settingsdialog.h"

#include "ui_settingsdialog.h"

#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "dialogs/settings_table_host.h"
#include "ui/styling.h"
#include "i18n/translation_keys.h"
#include "settings/setting_rules.h"
#include "dialogs/window_utils.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QMessageBox>
#include <QStringListModel>
#include <QTextEdit>

#include <algorithm>
#include <limits>
#include <system_error>

namespace {

constexpr int PlainHeight = 340;
constexpr int PlainButtonTop = 294;
constexpr int MessageHeight = PlainHeight + 38;
constexpr int MessageButtonTop = PlainButtonTop + 38;
const QRect MessageGeometry(34, 286, 303, 31);

QString FieldLabel(const QString& key)
{
    return QStringLiteral("%1:").arg(Globalize::Translate(key), 0, QLatin1Char(' '));
}

// The part of a system error's text that is shown; the whole text when it has no
// permission suffix.
QString SystemErrorText(const std::system_error& error)
{
    const QString text = QString::fromLocal8Bit(error.what());
    const qsizetype cut = text.indexOf(QStringLiteral(": Permission denied"));
    return cut < 0 ? text : text.left(cut);
}

} // namespace

SettingsDialog::SettingsDialog(QWidget* parent, SettingsRows* rows, SettingsMap* catalogue)
    : QDialog(parent)
    , ui(new Ui::SettingsDialog)
    , rows(rows)
    , catalogue(catalogue)
{
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::Initialise()
{
    ui->setupUi(this);
    setWindowTitle(Globalize::Translate(TranslationKey::SilentInstallHelperTitle));
    // A line edit silently cuts text beyond 32767 characters; a long pasted value
    // must be kept whole, never stored shortened.
    ui->txbSettingValue->setMaxLength(std::numeric_limits<int>::max());

    messageArea = CreateValidationMessageArea(ui->background);

    SetupCompleter(CompletionNames(), ui->txbSettingName, this);
    ApplyStyle();

    for (QWidget* widget :
         std::initializer_list<QWidget*>{ui->lblSettingActionInfo, ui->lblSettingName, ui->lblSettingValue,
                                         ui->txbSettingName, ui->txbSettingValue, ui->btnAction, ui->btnCancel}) {
        SetRegularFont(widget, RegularFontSize);
    }
    SetBoldFont(ui->lblSettingActionTitle, TitleFontSize);

    ui->lblSettingName->setText(FieldLabel(TranslationKey::Name));
    ui->lblSettingValue->setText(FieldLabel(TranslationKey::Value));
    ui->lblSettingName->setBuddy(ui->txbSettingName);
    ui->lblSettingValue->setBuddy(ui->txbSettingValue);
    ui->txbSettingName->setAccessibleName(Globalize::Translate(TranslationKey::Name));
    ui->txbSettingValue->setAccessibleName(Globalize::Translate(TranslationKey::Value));

    connect(ui->btnAction, &QPushButton::clicked, this, &SettingsDialog::SaveSetting);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::close);
    connect(ui->txbSettingName, &QLineEdit::textChanged, this, &SettingsDialog::ValidateFields);
    connect(ui->txbSettingValue, &QLineEdit::textChanged, this, &SettingsDialog::ValidateFields);
}

void SettingsDialog::SetupAddSetting()
{
    Initialise();
    ui->btnAction->setEnabled(false);
    ui->lblSettingActionTitle->setText(Globalize::Translate(TranslationKey::AddSettingTitle));
    ui->lblSettingActionInfo->setText(Globalize::Translate(TranslationKey::AddSettingDescription));
    ui->btnAction->setText(Globalize::Translate(TranslationKey::Insert));
    ui->btnCancel->setText(Globalize::Translate(TranslationKey::Cancel));
    ui->txbSettingName->setFocus();
    setModal(true);
}

void SettingsDialog::SetupEditSetting(const std::string& name, const std::string& value)
{
    Initialise();
    ui->lblSettingActionTitle->setText(Globalize::Translate(TranslationKey::EditSettingTitle));
    ui->lblSettingActionInfo->setText(Globalize::Translate(TranslationKey::EditSettingDescription));
    ui->btnAction->setText(Globalize::Translate(TranslationKey::Change));
    ui->btnCancel->setText(Globalize::Translate(TranslationKey::Cancel));
    ui->txbSettingName->setEnabled(false);
    ui->txbSettingName->setText(QString::fromStdString(name));
    ui->txbSettingValue->setText(QString::fromStdString(value));
    ui->txbSettingValue->setFocus();
    setModal(true);
}

void SettingsDialog::ApplyStyle()
{
    SetWidgetStyle(ui->background, QStringLiteral("qframe-background-style.qss"));
    SetWidgetStyle(ui->container, QStringLiteral("qgroupbox-container-style.qss"));
    for (QWidget* label : std::initializer_list<QWidget*>{ui->lblSettingActionTitle, ui->lblSettingActionInfo,
                                                          ui->lblSettingName, ui->lblSettingValue}) {
        SetWidgetStyle(label, QStringLiteral("qlabel-style.qss"));
    }
    SetWidgetStyle(ui->btnCancel, QStringLiteral("qpushbutton-secondary-style.qss"));
    SetPrimaryButtonStyle(ui->btnAction);
    SetLineEditStyle(ui->txbSettingName);
    SetLineEditStyle(ui->txbSettingValue);
}

void SettingsDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ThemeChange) {
        ApplyStyle();
    }
}

QStringList SettingsDialog::CompletionNames() const
{
    QStringList names;
    for (const auto& [name, mapping] : SettingsCatalogue()) {
        if (mapping.suggested && rows->find(name) == rows->end()) {
            names.append(QString::fromStdString(name));
        }
    }
    return names;
}

void SettingsDialog::RefreshCompletion()
{
    // The list is rebuilt on every change, but the completer stays: replacing it
    // would close its popup between two keystrokes of a fast typist, and the key
    // that arrives meanwhile would be lost.
    QCompleter* completer = ui->txbSettingName->completer();
    auto* model = qobject_cast<QStringListModel*>(completer != nullptr ? completer->model() : nullptr);
    if (model == nullptr) {
        return;
    }
    const QStringList names = CompletionNames();
    if (model->stringList() == names) {
        return;
    }
    model->setStringList(names);
    if (completer->popup()->isVisible()) {
        completer->complete();
    }
}

QString SettingsDialog::FirstFailedCheck() const
{
    const std::string name = ui->txbSettingName->text().toStdString();
    const bool nameTaken = ui->txbSettingName->isEnabled()
        && std::any_of(rows->begin(), rows->end(),
                       [&name](const auto& row) { return EqualsIgnoringAsciiCase(row.first, name); });
    const auto problem = FirstPairProblem(*catalogue, name, ui->txbSettingValue->text(), nameTaken);
    return problem ? ProblemMessageKey(*problem) : QString();
}

void SettingsDialog::ValidateFields()
{
    RefreshCompletion();
    const QString failed = FirstFailedCheck();
    if (!failed.isEmpty()) {
        const ValidationMessageLayout layout{this,          MessageHeight, MessageButtonTop, MessageGeometry,
                                             ui->btnCancel, ui->btnAction, messageArea};
        ShowValidationMessage(layout, Globalize::Translate(failed));
        return;
    }
    ResizeWindowAfterValidateFields(this, ui->btnAction, ui->btnCancel, messageArea, PlainHeight, PlainButtonTop);
}

void SettingsDialog::SaveSetting()
{
    try {
        const auto entry = FindSetting(*catalogue, ui->txbSettingName->text().toStdString());
        if (entry == catalogue->end()) {
            return;
        }
        SetSettingValue(*rows, entry->first, ui->txbSettingValue->text().toStdString());
        if (auto* host = dynamic_cast<SettingsTableHost*>(parentWidget())) {
            host->RefreshSettingsTable();
        }
        close();
    } catch (const std::system_error& error) {
        QMessageBox box(QMessageBox::Critical, windowTitle(), SystemErrorText(error));
        box.exec();
    }
}
