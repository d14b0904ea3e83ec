#include "i18n/globalize.h"

#include <QFile>
#include <QStringList>
#include <QTest>

#include <functional>
#include <stdexcept>
#include <utility>

namespace {

// Lines of a bundled translation file, read without the catalogue's own reader.
QStringList BundleLines(const QString& fileName)
{
    QFile file(QStringLiteral(":/translations/") + fileName);
    return file.open(QIODevice::ReadOnly)
        ? QString::fromUtf8(file.readAll()).remove(QChar(0xFEFF)).split(QStringLiteral("\r\n"))
        : QStringList();
}

QString RuntimeErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::runtime_error& error) {
        return QString::fromUtf8(error.what());
    }
    return {};
}

} // namespace

class TestGlobalize : public QObject {
    Q_OBJECT

private slots:
    // Must run first: the catalogue cannot be emptied once loaded.
    void failedLookupAndLoad()
    {
        const auto translateClose = [] { Globalize::Translate(QStringLiteral("Close")); };
        const QString empty = QStringLiteral("Globalize: Resources map is empty.");
        QCOMPARE(RuntimeErrorOf(translateClose), empty);
        QCOMPARE(RuntimeErrorOf([] { Globalize::LoadTranslationFile("missing.txt"); }),
                 QStringLiteral("Translation file not found"));
        // The failed load added nothing and released the lock.
        QCOMPARE(RuntimeErrorOf(translateClose), empty);
        // A failed load keeps what an earlier one loaded.
        Globalize::LoadLanguage(DefaultLocaleId);
        QCOMPARE(RuntimeErrorOf([] { Globalize::LoadTranslationFile("xx-XX.txt"); }),
                 QStringLiteral("Translation file not found"));
        QCOMPARE(Globalize::Translate(QStringLiteral("Exclude")), QStringLiteral("Delete"));
    }

    void translate_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain key") << "Exclude"
                                   << "Delete";
        QTest::newRow("marked key") << "@@Close"
                                    << "Close";
        QTest::newRow("unknown key") << "NoSuchKey"
                                     << "NoSuchKey";
        QTest::newRow("unknown marked key keeps marker") << "@@NoSuchKey"
                                                         << "@@NoSuchKey";
        QTest::newRow("only one marker removed") << "@@@@Close"
                                                 << "@@@@Close";
        QTest::newRow("placeholders without arguments stay")
            << "AccountingDefaultValueTooltip"
            << "Default: {1} {2}Value set by DisableAccounting setting";
        QTest::newRow("literal argument") << "CopyLimitExceeded,'3'"
                                          << "The copy limit was exceeded. Maximum number of copies allowed: 3.";
        QTest::newRow("argument naming a marked key is lower-cased") << "DefinePrintFinality,'@@Color'"
                                                                     << "Define the purpose of this color print job:";
        QTest::newRow("two arguments, second a key") << "@@AccountingDefaultValueTooltip,'true','Add'"
                                                     << "Default: true addValue set by DisableAccounting setting";
        QTest::newRow("unquoted argument does not match") << "CopyLimitExceeded,3"
                                                          << "CopyLimitExceeded,3";
    }

    void translate()
    {
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QCOMPARE(Globalize::Translate(key), expected);
    }

    void localeIdsSelectFiles_data()
    {
        QTest::addColumn<int>("localeId");
        QTest::addColumn<QString>("file");
        QTest::newRow("en-US") << 1033 << "en-US.txt";
        QTest::newRow("pt-BR") << 1046 << "pt-BR.txt";
        QTest::newRow("es-ES") << 3082 << "es-ES.txt";
        QTest::newRow("de-DE") << 1031 << "de-DE.txt";
        QTest::newRow("fr-FR") << 1036 << "fr-FR.txt";
        QTest::newRow("it-IT") << 1040 << "it-IT.txt";
        QTest::newRow("zh-CN") << 2052 << "zh-CN.txt";
        QTest::newRow("unknown falls back to English") << 1041 << "en-US.txt";
    }

    // Loading a locale over another replaces every key's text, and a byte-order
    // mark never sticks to the first key.
    void localeIdsSelectFiles()
    {
        QFETCH(int, localeId);
        QFETCH(QString, file);
        Globalize::LoadLanguage(1031);
        Globalize::LoadLanguage(localeId);

        // The supplementary set is loaded with the original one.
        for (const QString& folder : QStringList{"", "supplement/"}) {
            const QStringList keys = BundleLines(folder + QStringLiteral("keys.txt"));
            const QStringList texts = BundleLines(folder + file);
            QCOMPARE(texts.size(), keys.size());
            for (int line = 0; line < keys.size(); ++line) {
                // A repeated key holds its later line's text.
                if (keys.lastIndexOf(keys.at(line)) == line) {
                    QCOMPARE(Globalize::Translate(keys.at(line)), texts.at(line));
                }
            }
        }
        const QStringList texts = BundleLines(file);
        QCOMPARE(Globalize::Translate(QStringLiteral("Application")), texts.at(0));
        QCOMPARE(Globalize::Translate(QStringLiteral("\uFEFFApplication")), QStringLiteral("\uFEFFApplication"));
    }

    void shorterFileKeepsEarlierTexts()
    {
        Globalize::LoadLanguage(1031);
        const QString germanRefresh = Globalize::Translate(QStringLiteral("Refresh"));
        Globalize::LoadTranslationFile("short-lf.txt");
        QCOMPARE(Globalize::Translate(QStringLiteral("Application")), QStringLiteral("Short Application"));
        QCOMPARE(Globalize::Translate(QStringLiteral("Exit")), QStringLiteral("Short Exit"));
        QCOMPARE(Globalize::Translate(QStringLiteral("Action")), QStringLiteral("Short Action"));
        QCOMPARE(Globalize::Translate(QStringLiteral("Refresh")), germanRefresh);
        Globalize::LoadLanguage(DefaultLocaleId);
    }
};

QTEST_GUILESS_MAIN(TestGlobalize)
#include "tst_globalize.moc"
