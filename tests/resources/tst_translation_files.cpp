#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <utility>

namespace {

const QByteArray Bom("\xEF\xBB\xBF");

QByteArray BundleBytes(const QString& fileName)
{
    QFile file(QStringLiteral(":/translations/") + fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList Lines(QByteArray bytes)
{
    if (bytes.startsWith(Bom)) {
        bytes.remove(0, Bom.size());
    }
    return QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
}

QSet<QString> Placeholders(const QString& text)
{
    static const QRegularExpression placeholder(QStringLiteral("\\{\\d+\\}"));
    QSet<QString> found;
    for (const auto& match : placeholder.globalMatch(text)) {
        found.insert(match.captured());
    }
    return found;
}

} // namespace

class TestTranslationFiles : public QObject {
    Q_OBJECT

private slots:
    // The original set and the supplementary one share one format, so that one
    // reader takes both.
    void fileFormat_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("hasBom");
        QTest::addColumn<int>("lineCount");
        for (const auto& [folder, lines] : {std::pair{"", 226}, std::pair{"supplement/", 15}}) {
            const QString prefix = QString::fromLatin1(folder);
            for (const char* name : {"keys", "en-US", "pt-BR", "es-ES", "de-DE", "fr-FR", "it-IT", "zh-CN"}) {
                const QString file = prefix + QString::fromLatin1(name) + QStringLiteral(".txt");
                const bool hasBom = qstrcmp(name, "keys") == 0 || qstrcmp(name, "pt-BR") == 0;
                QTest::newRow(qPrintable(file)) << file << hasBom << lines;
            }
        }
    }

    void fileFormat()
    {
        QFETCH(QString, file);
        QFETCH(bool, hasBom);
        QFETCH(int, lineCount);
        const QByteArray bytes = BundleBytes(file);
        QVERIFY2(!bytes.isEmpty(), qPrintable(file));
        QCOMPARE(bytes.startsWith(Bom), hasBom);
        QCOMPARE(bytes.count(Bom), hasBom ? 1 : 0);
        QVERIFY2(!bytes.endsWith('\n') && !bytes.endsWith('\r'), "no line end after the last line");
        QCOMPARE(bytes.count("\r\n"), lineCount - 1);
        QCOMPARE(bytes.count('\n'), lineCount - 1);
        QCOMPARE(bytes.count('\r'), lineCount - 1);
        QVERIFY(!bytes.contains('\t'));
        // Valid UTF-8 round-trips unchanged.
        const QByteArray body = bytes.mid(hasBom ? Bom.size() : 0);
        QCOMPARE(QString::fromUtf8(body).toUtf8(), body);
        const QStringList lines = Lines(bytes);
        QCOMPARE(lines.size(), lineCount);
        for (const QString& line : lines) {
            QVERIFY2(!line.isEmpty(), qPrintable(file + QStringLiteral(": empty line")));
        }
    }

    void localesMatchEnglishLineForLine_data()
    {
        QTest::addColumn<QString>("file");
        for (const char* folder : {"", "supplement/"}) {
            for (const char* name : {"pt-BR.txt", "es-ES.txt", "de-DE.txt", "fr-FR.txt", "it-IT.txt", "zh-CN.txt"}) {
                const QString file = QString::fromLatin1(folder) + QString::fromLatin1(name);
                QTest::newRow(qPrintable(file)) << file;
            }
        }
    }

    // Same placeholders on every line, and a real translation rather than a copy.
    void localesMatchEnglishLineForLine()
    {
        QFETCH(QString, file);
        const QString folder = file.left(file.lastIndexOf(QLatin1Char('/')) + 1);
        const QStringList english = Lines(BundleBytes(folder + QStringLiteral("en-US.txt")));
        const QStringList locale = Lines(BundleBytes(file));
        QCOMPARE(locale.size(), english.size());
        int copied = 0;
        for (int line = 0; line < english.size(); ++line) {
            QVERIFY2(Placeholders(locale.at(line)) == Placeholders(english.at(line)),
                     qPrintable(QStringLiteral("%1 line %2: %3").arg(file).arg(line + 1).arg(locale.at(line))));
            copied += locale.at(line) == english.at(line) ? 1 : 0;
        }
        QVERIFY2(copied < std::max(2, static_cast<int>(english.size()) / 10), qPrintable(QStringLiteral("%1 lines equal to English").arg(copied)));
    }

    void keyFileLayout()
    {
        const QStringList keys = Lines(BundleBytes(QStringLiteral("keys.txt")));
        QCOMPARE(keys.value(0), QStringLiteral("Application"));
        QCOMPARE(keys.value(26), QStringLiteral("Close"));
        QCOMPARE(keys.value(77), QStringLiteral("Close"));
        QCOMPARE(keys.value(113), QStringLiteral("CostReleaserPrint"));
        QCOMPARE(keys.value(151), QStringLiteral("CostReleaserPrint"));
        QCOMPARE(keys.value(225), QStringLiteral("AuditingFolderDescription"));
        QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), 224);
        const QStringList english = Lines(BundleBytes(QStringLiteral("en-US.txt")));
        QVERIFY(english.value(113) != english.value(151));
        QCOMPARE(english.value(keys.indexOf(QStringLiteral("AccountingDefaultValueTooltip"))),
                 QStringLiteral("Default: {1} {2}Value set by DisableAccounting setting"));
        QVERIFY(keys.indexOf(QStringLiteral("EnableAuditingDescription")) < 0);
    }
};

QTEST_GUILESS_MAIN(TestTranslationFiles)
#include "tst_translation_files.moc"
