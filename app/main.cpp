#include "app/bundle_check.h"
#include "app/fatal_error.h"
#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "app/languageselectordialog.h"
#include "settings/settings_catalogue.h"
#include "ui/theme.h"

#include <QApplication>
#include <QStringList>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    // Lets Wayland compositors match the window to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.orvane.SilentInstallHelper"));
    std::int32_t localeId = DefaultLocaleId;
    std::unique_ptr<LanguageSelectorDialog> selector;
    try {
        FontUtil::Setup();
        WindowUtils::SetupApplicationStyle();
        Globalize::LoadLanguage(localeId);
        SettingsDataMapper();
        CheckBundle();
        StartThemeChangeWatcher();
        selector = std::make_unique<LanguageSelectorDialog>();
    } catch (const std::exception& error) {
        // An incomplete bundle: say why and show no window.
        ReportFatalError(error);
        return EXIT_FAILURE;
    }
    // The one operand is a settings file to open (the desktop entry's "Open with");
    // options, which the toolkit has not taken itself, are ignored.
#ifdef _WIN32
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    for (const QString& argument : arguments) {
        if (!argument.startsWith(QLatin1Char('-'))) {
            selector->SetFileToOpen(argument.toStdWString());
            break;
        }
    }
#else
    // The bytes as given, which the toolkit has left in argv: a name that is not
    // UTF-8 would not survive decoding.
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] != '-') {
            selector->SetFileToOpen(argv[i]);
            break;
        }
    }
#endif
    selector->show();
    const int result = QApplication::exec();
    selector.reset();
    return result;
}
