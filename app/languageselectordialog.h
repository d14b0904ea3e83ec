#pragma once

#include "i18n/locales.h"

#include "settings/bounded_read.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class SilentInstallHelperWindow;

namespace Ui {
class LanguageSelectorDialog;
}

// Locale ids offered at start, in list order.
inline constexpr auto LanguageLocaleIds = OfferedLocaleIds();

// First window: picks the interface language, then opens the main window.
class LanguageSelectorDialog : public QDialog {
    Q_OBJECT

public:
    LanguageSelectorDialog();
    ~LanguageSelectorDialog() override;

    // A settings file the main window opens once it is shown (empty: none).
    void SetFileToOpen(const NativePath& path) { fileToOpen_ = path; }

    // The main window opened by Select, or null before that.
    SilentInstallHelperWindow* mainWindow() const { return mainWindow_; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void ApplyStyle();
    void SelectLanguage();

    std::unique_ptr<Ui::LanguageSelectorDialog> ui;
    SilentInstallHelperWindow* mainWindow_ = nullptr;
    NativePath fileToOpen_;
};
