#include "dialogs/export_settings.h"

#include "dialogs/fileexporteddialog.h"
#include "i18n/globalize.h"
#include "settings/settings_document.h"
#include "i18n/translation_keys.h"

#include <QFileDialog>

#include <stdexcept>

QString ExportSettings(QWidget* window, const QString& startPath)
{
    const QString path = QFileDialog::getSaveFileName(window, QString(), startPath, QStringLiteral("(*.json)"));
    if (path.isEmpty()) {
        return {};
    }
    try {
        SaveJsonToWFileInBackground(path.toStdWString(), SettingsJson);
    } catch (const std::runtime_error& error) {
        auto* notice = new FileExportedDialog(QString::fromStdString(error.what()), window);
        notice->SetIcon(QStringLiteral("times-circle.png"));
        return {};
    }
    auto* notice = new FileExportedDialog(Globalize::Translate(TranslationKey::FileExportedInfo), window);
    notice->SetIcon(QStringLiteral("notify-circle.png"));
    return path;
}
