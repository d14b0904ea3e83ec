#pragma once

#include "settings/bounded_read.h"
#include "settings/settings_catalogue.h"
#include "settings/settings_document.h"
#include "dialogs/settings_table_host.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class SettingsTableWidget;
struct SettingsFileOpening;

namespace Ui {
class SilentInstallHelperWindow;
}

// The program's only main window: the settings table with add, edit, delete and export.
class SilentInstallHelperWindow : public QMainWindow, public SettingsTableHost {
    Q_OBJECT

public:
    SilentInstallHelperWindow();
    ~SilentInstallHelperWindow() override;

    void RefreshSettingsTable() override;
    BaseTableWidget* SettingsTable() const override;

    void ShowAddSettingDialog();
    void ShowEditSettingDialog();
    void ShowRemoveSettingDialog();

    // Replaces the document by the settings of a file, without asking; what was
    // left out or changed, or why nothing was loaded, is said in a notice. The
    // path is taken exactly as given (on POSIX its bytes, which need not be UTF-8).
    // On Linux the file is read and checked off the window's thread; nothing happens
    // while another file is being read or written.
    void OpenSettingsFile(const NativePath& path);
    // The same for a file dropped on the window or chosen with Ctrl+O, asking
    // first when the document has changes that were not exported.
    void OpenFileInPlaceOfChanges(const NativePath& path);
    // Ctrl+O: the toolkit's file dialog, then OpenFileInPlaceOfChanges.
    void ShowOpenFileDialog();
    // Export and Ctrl+S; true when the document was written.
    bool Export();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void UpdateButtonsOnSelection();
    void ConnectSignals();
    void ApplyStyle();
    SettingsFileOpening ReadFileToOpen(const NativePath& path);
    void LoadOpenedFile(const SettingsFileOpening& opening, const NativePath& path);
    bool HasUnexportedChanges() const;
    // True when the changes may go: there are none, the user exported them or
    // chose to go on without; false when the user keeps them.
    bool MayLoseChanges();
    // Where the file dialogs start: the file last opened or exported, or home.
    QString FileDialogStart() const;
    // The desktop saves or ends the session: where `mayAsk` (the session manager)
    // lets the window ask, the question of a close; false asks to cancel the ending.
    bool MaySessionEnd(const std::function<bool()>& mayAsk);

    SettingsTableWidget* settingsTable = nullptr;
    std::unique_ptr<Ui::SilentInstallHelperWindow> ui;
    SettingsRows settingsRows;
    SettingsMap settingsMap;
    // The document as it was built, last loaded or last exported. Content, not a
    // flag: a change that was undone leaves nothing to ask about.
    nlohmann::ordered_json unchangedDocument;
    // The document whose changes the user gave up when the session was to end, so
    // that the close which follows the ending does not ask again.
    nlohmann::ordered_json settledAtSessionEnd;
    // The file last opened or exported; empty before either.
    QString documentPath;
    // A file is being read or written: the window keeps painting, but a close or a
    // drop that arrives meanwhile would start a second document change under the first.
    bool fileWorkRunning = false;
};
