#include "app/silentinstallhelperwindow.h"

#include "ui_silentinstallhelperwindow.h"

#include "dialogs/export_settings.h"
#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "dialogs/open_settings.h"
#include "dialogs/removesettingsdialog.h"
#include "dialogs/replacesettingsdialog.h"
#include "dialogs/settingsdialog.h"
#include "dialogs/settingstablewidget.h"
#include "ui/styling.h"
#include "i18n/translation_keys.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>

#include <spdlog/spdlog.h>

namespace {

constexpr int ToolIconSize = 22;

// The local .json file of a drag, or an empty string when it carries anything else.
QString DraggedSettingsFile(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) {
        return {};
    }
    const QUrl url = data->urls().constFirst();
    const QString path = url.toLocalFile();
    return url.isLocalFile() && path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive) ? path : QString();
}

// Whether the row of this name may be removed: every row but a required setting's.
bool Removable(const SettingsMap& catalogue, const QString& name)
{
    const auto entry = catalogue.find(name.toStdString());
    return entry == catalogue.end() || !entry->second.required;
}

QTableWidgetItem* CellItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setToolTip(text);
    return item;
}

} // namespace

SilentInstallHelperWindow::SilentInstallHelperWindow()
    : QMainWindow(nullptr)
    , ui(new Ui::SilentInstallHelperWindow)
    , settingsMap(GetSettingsMap())
{
    ui->setupUi(this);
    ui->lblSettings->setFocus(Qt::OtherFocusReason);
    setWindowFlags((windowFlags() & ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint))
                   | Qt::CustomizeWindowHint);
    setWindowTitle(Globalize::Translate(TranslationKey::SilentInstallHelperTitle));

    settingsTable = new SettingsTableWidget(ui->btnAdd, ui->background);
    for (const RequiredSetting& required : RequiredSettings()) {
        SetSettingValue(settingsRows, required.name, required.defaultValue);
    }

    ApplyStyle();
    SetSemiboldFont(ui->lblSettings, TitleFontSize);
    SetRegularFont(settingsTable, RegularFontSize);
    ui->lblSettings->setText(Globalize::Translate(TranslationKey::Settings));
    ConnectSignals();

    const std::pair<QToolButton*, QString> toolTips[] = {
        {ui->btnAdd, TranslationKey::Add},
        {ui->btnEdit, TranslationKey::Edit},
        {ui->btnDelete, TranslationKey::Exclude},
        {ui->btnExport, TranslationKey::Export},
    };
    for (const auto& [button, key] : toolTips) {
        button->setToolTip(Globalize::Translate(key));
        // Icon-only buttons are named for screen readers by their tool tips.
        button->setAccessibleName(button->toolTip());
    }
    settingsTable->setAccessibleName(ui->lblSettings->text());
    setAcceptDrops(true);

    RefreshSettingsTable();
    unchangedDocument = SettingsJson;
}

SilentInstallHelperWindow::~SilentInstallHelperWindow() = default;

BaseTableWidget* SilentInstallHelperWindow::SettingsTable() const
{
    return settingsTable;
}

void SilentInstallHelperWindow::ApplyStyle()
{
    SetWidgetIcon(ui->btnAdd, QStringLiteral("add.png"), ToolIconSize, false);
    SetWidgetIcon(ui->btnEdit, QStringLiteral("edit.png"), ToolIconSize, false);
    SetWidgetIcon(ui->btnDelete, QStringLiteral("delete.png"), ToolIconSize, false);
    SetWidgetIcon(ui->btnExport, QStringLiteral("export.png"), ToolIconSize, false);

    SetWidgetStyle(ui->background, QStringLiteral("qframe-background-style.qss"));
    SetWidgetStyle(ui->containerActionSettings, QStringLiteral("qgroupbox-container-style.qss"));
    SetWidgetStyle(ui->lblSettings, QStringLiteral("qlabel-style.qss"));
    for (QToolButton* button : {ui->btnAdd, ui->btnEdit, ui->btnDelete, ui->btnExport}) {
        SetWidgetStyle(button, QStringLiteral("qtoolbutton-style.qss"));
    }
    SetTableWidgetStyle(settingsTable);
}

void SilentInstallHelperWindow::ConnectSignals()
{
    connect(ui->btnAdd, &QToolButton::clicked, this, &SilentInstallHelperWindow::ShowAddSettingDialog);
    connect(ui->btnEdit, &QToolButton::clicked, this, &SilentInstallHelperWindow::ShowEditSettingDialog);
    connect(ui->btnDelete, &QToolButton::clicked, this, &SilentInstallHelperWindow::ShowRemoveSettingDialog);
    connect(ui->btnExport, &QToolButton::clicked, this, [this] { ExportSettings(this); });
    connect(settingsTable, &QTableWidget::itemSelectionChanged, this,
            &SilentInstallHelperWindow::UpdateButtonsOnSelection);
    connect(settingsTable, &QTableWidget::itemDoubleClicked, this,
            &SilentInstallHelperWindow::ShowEditSettingDialog);
}

void SilentInstallHelperWindow::RefreshSettingsTable()
{
    settingsTable->clearContents();
    settingsTable->setRowCount(0);

    int row = 0;
    for (const auto& [name, value] : settingsRows) {
        settingsTable->insertRow(row);
        settingsTable->setItem(row, 0, CellItem(QString::fromStdString(name)));
        settingsTable->setItem(row, 1, CellItem(QString::fromStdString(value)));
        // Rebuilt so that the descriptions follow the language loaded last. The
        // language cannot change during a refresh, so a rebuild for every further row
        // would produce the same catalogue again: those rows only repeat its log line.
        if (row == 0) {
            SettingsDataMapper();
        } else {
            LogSettingsMapped();
        }
        const SettingsMap& catalogue = SettingsCatalogue();
        const auto entry = catalogue.find(name);
        if (entry != catalogue.end()) {
            settingsTable->setItem(row, 2, CellItem(QString::fromStdString(entry->second.description)));
        }
        ++row;
    }

    ui->btnExport->setEnabled(!settingsRows.empty());
    ui->btnEdit->setEnabled(false);
    ui->btnDelete->setEnabled(false);
    settingsTable->ResetRowSelection();
}

void SilentInstallHelperWindow::UpdateButtonsOnSelection()
{
    settingsTable->NoteRowSelected();
    const QList<QTableWidgetItem*> selected = settingsTable->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    ui->btnEdit->setEnabled(true);
    ui->btnDelete->setEnabled(Removable(settingsMap, selected.first()->text()));
}

void SilentInstallHelperWindow::ShowAddSettingDialog()
{
    SettingsDialog dialog(this, &settingsRows, &settingsMap);
    dialog.SetupAddSetting();
    dialog.exec();
}

void SilentInstallHelperWindow::ShowEditSettingDialog()
{
    const QList<QTableWidgetItem*> selected = settingsTable->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    // Whole rows are selected: the name and value cells of the selected row.
    const int row = selected.first()->row();
    const QTableWidgetItem* name = settingsTable->item(row, 0);
    const QTableWidgetItem* value = settingsTable->item(row, 1);
    if (name == nullptr || value == nullptr) {
        return;
    }
    SettingsDialog dialog(this, &settingsRows, &settingsMap);
    dialog.SetupEditSetting(name->text().toStdString(), value->text().toStdString());
    dialog.exec();
}

void SilentInstallHelperWindow::ShowRemoveSettingDialog()
{
    const QList<QTableWidgetItem*> selected = settingsTable->selectedItems();
    if (selected.isEmpty() || !Removable(settingsMap, selected.first()->text())) {
        return;
    }
    RemoveSettingsDialog dialog(this, &settingsRows, selected.first()->text().toStdString());
    dialog.exec();
}

void SilentInstallHelperWindow::OpenSettingsFile(const QString& path)
{
    LoadOpenedFile(ReadSettingsFileToOpen(path));
}

void SilentInstallHelperWindow::OpenDroppedFile(const QString& path)
{
    const SettingsFileOpening opening = ReadSettingsFileToOpen(path);
    // A file that loads nothing replaces nothing: no question, only its notice.
    if (opening.loadable && SettingsJson != unchangedDocument) {
        ReplaceSettingsDialog question(this);
        if (question.exec() != QDialog::Accepted) {
            return;
        }
    }
    LoadOpenedFile(opening);
}

void SilentInstallHelperWindow::LoadOpenedFile(const SettingsFileOpening& opening)
{
    if (opening.loadable) {
        ReplaceSettings(settingsRows, opening.settings);
        unchangedDocument = SettingsJson;
        RefreshSettingsTable();
    }
    ShowOpeningNotice(this, opening);
}

void SilentInstallHelperWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DraggedSettingsFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void SilentInstallHelperWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!DraggedSettingsFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void SilentInstallHelperWindow::dropEvent(QDropEvent* event)
{
    const QString path = DraggedSettingsFile(event->mimeData());
    if (path.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    // The question is a modal dialog; it runs after the drop has finished, so
    // that the program the file came from is not kept waiting.
    QMetaObject::invokeMethod(this, [this, path] { OpenDroppedFile(path); }, Qt::QueuedConnection);
}

void SilentInstallHelperWindow::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        ShowEditSettingDialog();
        break;
    case Qt::Key_Delete:
        ShowRemoveSettingDialog();
        break;
    case Qt::Key_F5:
        RefreshSettingsTable();
        break;
    default:
        break;
    }
}

void SilentInstallHelperWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ThemeChange) {
        ApplyStyle();
    }
}
