#include "app/languageselectordialog.h"

#include "ui_languageselectordialog.h"

#include "app/fatal_error.h"
#include "ui/fonts.h"
#include "i18n/globalize.h"
#include "i18n/locales.h"
#include "app/silentinstallhelperwindow.h"
#include "ui/styling.h"
#include "i18n/translation_keys.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QTranslator>

#include <spdlog/spdlog.h>

#include <cstdlib>
#include <exception>

namespace {

// The toolkit's own texts (the save-file dialog, its overwrite question) in the
// chosen language, from the translations installed with Qt. Without them those
// dialogs stay in English, which is no reason to stop.
void LoadToolkitTranslations(const std::int32_t& localeId)
{
    // One language's toolkit texts at a time: a later choice replaces the earlier one.
    static QPointer<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    const std::string name(LocaleOf(localeId).tag);
    const QLocale locale(QString::fromStdString(name));
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (locale.language() == QLocale::English
        || !translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                             QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        if (locale.language() != QLocale::English) {
            spdlog::debug("LanguageSelectorDialog: no toolkit translations for {}.", name);
        }
        delete translator;
        return;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
}

} // namespace

LanguageSelectorDialog::LanguageSelectorDialog()
    : QDialog(nullptr)
    , ui(new Ui::LanguageSelectorDialog)
{
    ui->setupUi(this);
    for (const SupportedLocale& locale : SupportedLocales) {
        if (locale.offered) {
            ui->cbxLanguages->addItem(
                QString::fromUtf8(locale.displayName.data(), static_cast<qsizetype>(locale.displayName.size())));
        }
    }
    // Focus on the title, so that neither a button nor the list shows focus at first.
    ui->lblLanguageSelectorTitle->setFocus(Qt::OtherFocusReason);
    const Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint
        | Qt::WindowCloseButtonHint;
    setWindowFlags(flags);
    // The toolkit adds a system-menu hint to windows with a close button; keep the set exact.
    overrideWindowFlags(flags);
    setWindowTitle(Globalize::Translate(TranslationKey::SilentInstallHelperTitle));
    ApplyStyle();

    SetSemiboldFont(ui->lblLanguageSelectorTitle, TitleFontSize);
    SetRegularFont(ui->lblLanguageSelectorInfo, RegularFontSize);
    SetRegularFont(ui->btnSelect, RegularFontSize);
    SetRegularFont(ui->btnClose, RegularFontSize);

    ui->lblLanguageSelectorTitle->setText(Globalize::Translate(TranslationKey::LanguageSelectorTitle));
    ui->lblLanguageSelectorInfo->setText(
        QStringLiteral("%1:").arg(Globalize::Translate(TranslationKey::LanguageSelectorInfo), 0, QLatin1Char(' ')));
    ui->lblLanguageSelectorInfo->setBuddy(ui->cbxLanguages);
    ui->cbxLanguages->setAccessibleName(Globalize::Translate(TranslationKey::LanguageSelectorInfo));
    ui->btnSelect->setText(Globalize::Translate(TranslationKey::Select));
    ui->btnClose->setText(Globalize::Translate(TranslationKey::Close));

    connect(ui->btnSelect, &QPushButton::clicked, this, [this] { SelectLanguage(); });
    connect(ui->btnClose, &QPushButton::clicked, this, &QDialog::close);
}

LanguageSelectorDialog::~LanguageSelectorDialog() = default;

void LanguageSelectorDialog::ApplyStyle()
{
    SetWidgetStyle(ui->background, QStringLiteral("qframe-background-style.qss"));
    SetWidgetStyle(ui->container, QStringLiteral("qgroupbox-container-style.qss"));
    SetWidgetStyle(ui->cbxLanguages, QStringLiteral("qcombobox-style.qss"));
    SetWidgetStyle(ui->btnClose, QStringLiteral("qpushbutton-secondary-style.qss"));
    SetWidgetStyle(ui->lblLanguageSelectorTitle, QStringLiteral("qlabel-style.qss"));
    SetWidgetStyle(ui->lblLanguageSelectorInfo, QStringLiteral("qlabel-style.qss"));
    SetPrimaryButtonStyle(ui->btnSelect);
    SetComboBoxPopupStyle(ui->cbxLanguages);
}

void LanguageSelectorDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ThemeChange) {
        ApplyStyle();
    }
}

void LanguageSelectorDialog::SelectLanguage()
{
    const int index = ui->cbxLanguages->currentIndex();
    const std::int32_t localeId = (index >= 0 && index < static_cast<int>(LanguageLocaleIds.size()))
        ? LanguageLocaleIds[static_cast<std::size_t>(index)]
        : DefaultLocaleId;
    try {
        Globalize::LoadLanguage(localeId);
        LoadToolkitTranslations(localeId);
        // Shown in the same step as the selector hides, so the event loop never
        // sees the application without a visible window.
        mainWindow_ = new SilentInstallHelperWindow();
    } catch (const std::exception& error) {
        // A broken bundle: no main window is built on a failed load.
        ReportFatalError(error);
        hide();
        QCoreApplication::exit(EXIT_FAILURE);
        return;
    }
    hide();
    mainWindow_->show();
    // After the show, so that a notice about the file opens over the window.
    if (!fileToOpen_.empty()) {
        mainWindow_->OpenSettingsFile(fileToOpen_);
    }
}
