#include "app/silentinstallhelperwindow.h"

#include "ui_silentinstallhelperwindow.h"

#include "dialogs/export_settings.h"
#include "dialogs/fileexporteddialog.h"
#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "dialogs/open_settings.h"
#include "dialogs/removesettingsdialog.h"
#include "dialogs/settingsdialog.h"
#include "dialogs/settingstablewidget.h"
#include "ui/styling.h"
#include "i18n/translation_keys.h"
#include "dialogs/unexportedchangesdialog.h"
#include "dialogs/window_utils.h"
#include "settings/background_work.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QScopedValueRollback>
#include <QSessionManager>
#include <QShortcut>
#include <QStandardPaths>
#include <QUrl>

#include <spdlog/spdlog.h>

namespace {

constexpr int ToolIconSize = 22;

// The local .json file of a drag, or an empty path when it carries anything else.
NativePath DraggedSettingsFile(const QMimeData* data)
{
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) {
        return {};
    }
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile() || !url.toLocalFile().endsWith(QStringLiteral(".json"), Qt::CaseInsensitive)) {
        return {};
    }
#ifndef _WIN32
    // The file URL percent-encodes the name's bytes; decoded as bytes, a name that
    // is not UTF-8 stays the name it is. A file on another host keeps its host.
    if (url.host().isEmpty() || url.host() == QLatin1String("localhost")) {
        return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
    }
#endif
    return NativePathOf(url.toLocalFile());
}

// Whether the row of this name may be removed: every row but a required setting's.
bool Removable(const SettingsMap& catalogue, const QString& name)
{
    const auto entry = catalogue.find(name.toStdString());
    return entry == catalogue.end() || !entry->second.required;
}

// Whether both paths name the same regular file (one may be a link to it).
bool SameRegularFile(const QString& first, const QString& second)
{
    const QFileInfo a(first);
    const QFileInfo b(second);
    return a.isFile() && b.isFile() && a.canonicalFilePath() == b.canonicalFilePath();
}

// A cell shows the start of its text and its tool tip a little more, each made
// visible as every text from a file is: a value may hold 16 MiB, which no cell
// can lay out at every repaint.
constexpr qsizetype CellTextLength = 200;
constexpr qsizetype ToolTipTextLength = 500;

QTableWidgetItem* CellItem(std::string_view text)
{
    auto* item = new QTableWidgetItem(ShownText(text, CellTextLength));
    item->setToolTip(PlainToolTip(ShownText(text, ToolTipTextLength)));
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
    connect(ui->btnExport, &QToolButton::clicked, this, &SilentInstallHelperWindow::Export);
    connect(settingsTable, &QTableWidget::itemSelectionChanged, this,
            &SilentInstallHelperWindow::UpdateButtonsOnSelection);
    connect(settingsTable, &QTableWidget::itemDoubleClicked, this, &SilentInstallHelperWindow::ShowEditSettingDialog);
    new QShortcut(QKeySequence::Open, this, this, &SilentInstallHelperWindow::ShowOpenFileDialog);
    new QShortcut(QKeySequence::Save, this, this, &SilentInstallHelperWindow::Export);
#ifndef QT_NO_SESSIONMANAGER
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
        bool asked = false;
        if (!MaySessionEnd([&] { return asked = manager.allowsInteraction(); })) {
            manager.cancel();
        } else if (asked) {
            manager.release();
        }
    });
#endif
}

void SilentInstallHelperWindow::RefreshSettingsTable()
{
    settingsTable->clearContents();
    settingsTable->setRowCount(0);

    int row = 0;
    for (const auto& [name, value] : settingsRows) {
        settingsTable->insertRow(row);
        settingsTable->setItem(row, 0, CellItem(name));
        settingsTable->setItem(row, 1, CellItem(value));
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
            settingsTable->setItem(row, 2, CellItem(entry->second.description));
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
    // Whole rows are selected: the name cell of the selected row. The value cell
    // shows only the start of a long value; the editor gets all of it.
    const QTableWidgetItem* name = settingsTable->item(selected.first()->row(), 0);
    const auto value = name == nullptr ? settingsRows.end() : settingsRows.find(name->text().toStdString());
    if (value == settingsRows.end()) {
        return;
    }
    SettingsDialog dialog(this, &settingsRows, &settingsMap);
    dialog.SetupEditSetting(value->first, value->second);
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

SettingsFileOpening SilentInstallHelperWindow::ReadFileToOpen(const NativePath& path)
{
    const QScopedValueRollback<bool> running(fileWorkRunning, true);
#ifdef _WIN32
    // On the window's thread: under wine, a program that had read a file on a thread
    // of its own while its events ran at times did not end at exit.
    return ReadSettingsFileToOpen(path);
#else
    SettingsFileOpening opening;
    RunInBackground([&] { opening = ReadSettingsFileToOpen(path); });
    return opening;
#endif
}

void SilentInstallHelperWindow::OpenSettingsFile(const NativePath& path)
{
    if (!fileWorkRunning) {
        LoadOpenedFile(ReadFileToOpen(path), path);
    }
}

void SilentInstallHelperWindow::OpenFileInPlaceOfChanges(const NativePath& path)
{
    if (fileWorkRunning) {
        return;
    }
    SettingsFileOpening opening = ReadFileToOpen(path);
    // A file that loads nothing replaces nothing: no question, only its notice.
    if (opening.loadable && HasUnexportedChanges()) {
        if (!MayLoseChanges()) {
            return;
        }
        // An export onto the file itself has changed what it holds.
        if (!HasUnexportedChanges() && SameRegularFile(documentPath, PathText(path))) {
            opening = ReadFileToOpen(path);
        }
    }
    LoadOpenedFile(opening, path);
}

void SilentInstallHelperWindow::ShowOpenFileDialog()
{
    const QString path = QFileDialog::getOpenFileName(this, Globalize::Translate(TranslationKey::OpenFileTitle),
                                                      FileDialogStart(), QStringLiteral("(*.json)"));
    if (!path.isEmpty()) {
        OpenFileInPlaceOfChanges(NativePathOf(path));
    }
}

void SilentInstallHelperWindow::LoadOpenedFile(const SettingsFileOpening& opening, const NativePath& path)
{
    if (opening.loadable) {
        ReplaceSettings(settingsRows, opening.settings);
        unchangedDocument = SettingsJson;
        documentPath = QFileInfo(PathText(path)).absoluteFilePath();
        RefreshSettingsTable();
    }
    ShowOpeningNotice(this, opening);
}

QString SilentInstallHelperWindow::FileDialogStart() const
{
    return documentPath.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::HomeLocation) : documentPath;
}

bool SilentInstallHelperWindow::Export()
{
    if (fileWorkRunning) {
        return false;
    }
    QString written;
    {
        const QScopedValueRollback<bool> running(fileWorkRunning, true);
        written = ExportSettings(this, FileDialogStart());
    }
    if (written.isEmpty()) {
        return false;
    }
    documentPath = written;
    unchangedDocument = SettingsJson;
    return true;
}

bool SilentInstallHelperWindow::HasUnexportedChanges() const
{
    return SettingsJson != unchangedDocument;
}

bool SilentInstallHelperWindow::MayLoseChanges()
{
    if (!HasUnexportedChanges()) {
        return true;
    }
    UnexportedChangesDialog question(this);
    switch (question.exec()) {
    case UnexportedChangesDialog::ExportFirst:
        return Export();
    case UnexportedChangesDialog::WithoutExport:
        return true;
    default:
        return false;
    }
}

bool SilentInstallHelperWindow::MaySessionEnd(const std::function<bool()>& mayAsk)
{
    if (!HasUnexportedChanges() || SettingsJson == settledAtSessionEnd) {
        return true;
    }
    if (!mayAsk()) {
        // Nothing keeps the session from ending, but the loss is not silent. The
        // rows stay unsettled: should the session go on, a close still asks.
        spdlog::warn("SilentInstallHelperWindow: the desktop saves or ends the session without letting the window "
                     "ask; the settings have changes that were not exported.");
        return true;
    }
    if (!MayLoseChanges()) {
        return false;
    }
    settledAtSessionEnd = SettingsJson;
    return true;
}

void SilentInstallHelperWindow::closeEvent(QCloseEvent* event)
{
    if (fileWorkRunning) {
        event->ignore();
        return;
    }
    if (SettingsJson != settledAtSessionEnd && !MayLoseChanges()) {
        event->ignore();
        return;
    }
    // The program ends with the window: the notice of an export made on the way
    // would only flash.
    for (FileExportedDialog* notice : findChildren<FileExportedDialog*>(Qt::FindDirectChildrenOnly)) {
        notice->close();
    }
    event->accept();
}

void SilentInstallHelperWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!fileWorkRunning && !DraggedSettingsFile(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void SilentInstallHelperWindow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!fileWorkRunning && !DraggedSettingsFile(event->mimeData()).empty()) {
        event->acceptProposedAction();
    }
}

void SilentInstallHelperWindow::dropEvent(QDropEvent* event)
{
    const NativePath path = DraggedSettingsFile(event->mimeData());
    if (path.empty()) {
        return;
    }
    event->acceptProposedAction();
    // The question is a modal dialog; it runs after the drop has finished, so
    // that the program the file came from is not kept waiting.
    QMetaObject::invokeMethod(
        this, [this, path] { OpenFileInPlaceOfChanges(path); }, Qt::QueuedConnection);
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
