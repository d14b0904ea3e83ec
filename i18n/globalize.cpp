#include "i18n/globalize.h"
#include "i18n/globalize_p.h"
#include "i18n/locales.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QStringList>
#include <QTextStream>

#include <mutex>
#include <stdexcept>

namespace {

// Process-wide catalogue and its lock; every load and lookup holds the lock throughout.
QMap<QString, QString> TranslationMap;
std::mutex TranslationMutex;

const QString KeyMarker = QStringLiteral("@@");
const QString TranslationFolder = QStringLiteral(":/translations/");
const QString KeyFileName = QStringLiteral("keys.txt");
// Keys added after the first release live in their own line-aligned set, so that
// the original files never change.
const QString SupplementFolder = TranslationFolder + QStringLiteral("supplement/");

QString WithoutMarker(const QString& text)
{
    return text.startsWith(KeyMarker) ? text.mid(KeyMarker.size()) : text;
}

} // namespace

const SupportedLocale& LocaleOf(std::int32_t localeId)
{
    for (const SupportedLocale& locale : SupportedLocales) {
        if (locale.id == localeId) {
            return locale;
        }
    }
    return SupportedLocales.front();
}

namespace Globalize {

std::string LocaleFileName(const std::int32_t& localeId)
{
    return LocaleOf(localeId).FileName();
}

void LoadLanguage(const std::int32_t& localeId)
{
    LoadTranslationFile(LocaleFileName(localeId));
}

void LoadTranslationFile(const std::string& fileName)
{
    const std::lock_guard<std::mutex> lock(TranslationMutex);

    const QString name = QString::fromStdString(fileName);
    QFile localeFile(TranslationFolder + name);
    QFile keyFile(TranslationFolder + KeyFileName);
    QFile supplementLocaleFile(SupplementFolder + name);
    QFile supplementKeyFile(SupplementFolder + KeyFileName);
    // Every file is opened before anything is read, so a failure leaves the
    // catalogue as it was. A locale without supplementary texts keeps the texts of
    // those keys from the language loaded before it (the start-up check makes sure
    // every offered language has them).
    const bool withSupplement = supplementLocaleFile.exists();
    if (!localeFile.open(QIODevice::ReadOnly | QIODevice::Text) || !keyFile.open(QIODevice::ReadOnly | QIODevice::Text)
        || (withSupplement
            && (!supplementLocaleFile.open(QIODevice::ReadOnly | QIODevice::Text)
                || !supplementKeyFile.open(QIODevice::ReadOnly | QIODevice::Text)))) {
        throw std::runtime_error("Translation file not found");
    }

    PairTranslationLines(localeFile, keyFile, TranslationMap);
    if (withSupplement) {
        PairTranslationLines(supplementLocaleFile, supplementKeyFile, TranslationMap);
    }
}

void PairTranslationLines(QIODevice& localeFile, QIODevice& keyFile, QMap<QString, QString>& translations)
{
    QTextStream localeStream(&localeFile);
    QTextStream keyStream(&keyFile);
    localeStream.setEncoding(QStringConverter::Utf8);
    keyStream.setEncoding(QStringConverter::Utf8);
    localeStream.setAutoDetectUnicode(true);
    keyStream.setAutoDetectUnicode(true);

    QString key;
    QString text;
    while (keyStream.readLineInto(&key) && localeStream.readLineInto(&text)) {
        translations.insert(key, text);
    }
}

QString Translate(const QString& key)
{
    static const QRegularExpression argumentPattern(QStringLiteral(",'([^']+)'"));

    const std::lock_guard<std::mutex> lock(TranslationMutex);
    if (TranslationMap.isEmpty()) {
        throw std::runtime_error("Globalize: Resources map is empty.");
    }

    const QString body = WithoutMarker(key);
    // Arguments always follow a comma: without one there is nothing to remove or
    // fill in, and the text is the catalogue's own.
    if (!body.contains(QLatin1Char(','))) {
        const auto found = TranslationMap.constFind(body);
        return found == TranslationMap.constEnd() ? key : found.value();
    }
    const QString lookupKey = QString(body).remove(argumentPattern);
    const auto found = TranslationMap.constFind(lookupKey);
    if (found == TranslationMap.constEnd()) {
        return key;
    }

    QString result = found.value();
    const QStringList parts = QString(body).remove(QLatin1Char('\'')).split(QLatin1Char(','));
    for (qsizetype i = 1; i < parts.size(); ++i) {
        QString argument = WithoutMarker(parts.at(i));
        const auto referenced = TranslationMap.constFind(argument);
        if (referenced != TranslationMap.constEnd()) {
            argument = referenced.value().toLower();
        }
        result.replace(QLatin1Char('{') + QString::number(i) + QLatin1Char('}'), argument);
    }
    return result;
}

} // namespace Globalize
