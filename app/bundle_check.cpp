#include "app/bundle_check.h"

#include "i18n/globalize.h"
#include "app/languageselectordialog.h"
#include "ui/theme.h"

#include <QFile>
#include <QImageReader>
#include <QString>
#include <QTextStream>

#include <stdexcept>
#include <string>

namespace {

// What the windows' ApplyStyle routines and the export notice load. A file missing
// here would otherwise surface as an exception inside an event handler, long after
// start-up, and end the process without a word.
const char* const StyleFiles[] = {
    "qframe-background-style.qss",   "qgroupbox-container-style.qss",   "qlabel-style.qss",
    "qpushbutton-primary-style.qss", "qpushbutton-secondary-style.qss", "qlineedit-style.qss",
    "qcombobox-style.qss",           "qtablewidget-style.qss",          "qtoolbutton-style.qss",
};
const char* const ThemedImages[] = {
    "add.png", "edit.png", "delete.png", "export.png", "down-arrow.png", "down-arrow-disabled.png",
};
const char* const GlobalImages[] = {"notify-circle.png", "times-circle.png"};
const char* const Themes[] = {"light", "dark"};

[[noreturn]] void Fail(const std::string& problem, const QString& path)
{
    throw std::runtime_error("CheckBundle: " + problem + " " + path.toStdString());
}

void CheckNotEmpty(const QString& path)
{
    QFile file(path);
    if (!file.exists()) {
        Fail("missing resource", path);
    }
    if (!file.open(QIODevice::ReadOnly) || file.size() == 0) {
        Fail("empty resource", path);
    }
}

void CheckImage(const QString& path)
{
    CheckNotEmpty(path);
    if (QImageReader(path).read().isNull()) {
        Fail("unreadable image", path);
    }
}

// Counted the way the translation loader reads: text mode, UTF-8, by lines.
int LineCount(const QString& path)
{
    CheckNotEmpty(path);
    QFile file(path);
    file.open(QIODevice::ReadOnly | QIODevice::Text);
    QTextStream stream(&file);
    stream.setEncoding(QStringConverter::Utf8);
    int lines = 0;
    QString line;
    while (stream.readLineInto(&line)) {
        ++lines;
    }
    return lines;
}

} // namespace

void CheckBundle()
{
    for (const char* theme : Themes) {
        const QString folder = PlatformFolder + QLatin1Char('/') + QLatin1String(theme) + QLatin1Char('/');
        for (const char* name : StyleFiles) {
            CheckNotEmpty(QStringLiteral(":/styles/") + folder + QLatin1String(name));
        }
        for (const char* name : ThemedImages) {
            CheckImage(QStringLiteral(":/images/") + folder + QLatin1String(name));
        }
    }
    for (const char* name : GlobalImages) {
        CheckImage(QStringLiteral(":/images/global/") + QLatin1String(name));
    }

    // A short locale file would leave the keys after its end in the language
    // loaded before it: a window in two languages.
    for (const QString& folder : {QStringLiteral(":/translations/"), QStringLiteral(":/translations/supplement/")}) {
        const int keyLines = LineCount(folder + QStringLiteral("keys.txt"));
        for (const std::int32_t localeId : LanguageLocaleIds) {
            const QString path = folder + QString::fromStdString(Globalize::LocaleFileName(localeId));
            const int lines = LineCount(path);
            if (lines != keyLines) {
                throw std::runtime_error("CheckBundle: translation file " + path.toStdString() + " has "
                                         + std::to_string(lines) + " lines, the key file has "
                                         + std::to_string(keyLines));
            }
        }
    }
}
