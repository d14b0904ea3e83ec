#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QTest>

#include <algorithm>

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

// The lines this project wrote: every supplementary text, and the setting
// descriptions of the original set (its interface texts are the product's own and
// stay as they are).
QList<int> OwnedLines(const QString& folder)
{
    const QStringList keys = Lines(BundleBytes(folder + QStringLiteral("keys.txt")));
    QList<int> owned;
    const int first = folder.isEmpty() ? int(keys.indexOf(QStringLiteral("HostAddressDescription"))) : 0;
    for (int line = first; line >= 0 && line < keys.size(); ++line) {
        if (!folder.isEmpty() || keys.at(line).endsWith(QLatin1String("Description"))) {
            owned << line;
        }
    }
    return owned;
}

// French typography: a no-break space before ":" and inside guillemets, a narrow
// one before ";", "!" and "?", no straight double quotes. A quoted literal (a ";"
// between guillemets) is a value, not punctuation. Returns what is wrong, or nothing.
QString FrenchTypographyFault(const QString& text)
{
    static const QRegularExpression quoted(QStringLiteral("\\x{ab}\\x{a0}[^\\x{ab}\\x{bb}]*\\x{a0}\\x{bb}"));
    static const QRegularExpression quote(QStringLiteral("[\"\\x{ab}\\x{bb}]"));
    static const QRegularExpression colon(QStringLiteral("(?<!\\x{a0}):(?=\\s|$)"));
    static const QRegularExpression other(QStringLiteral("(?<!\\x{202f})[;!?](?=\\s|$)"));
    const QString prose = QString(text).replace(quoted, QStringLiteral("Q"));
    return prose.contains(quote) ? QStringLiteral("straight quotes, or guillemets without no-break spaces")
        : prose.contains(colon)  ? QStringLiteral("\":\" without a no-break space before it")
        : prose.contains(other)  ? QStringLiteral("\";\", \"!\" or \"?\" without a narrow no-break space before it")
                                 : QString();
}

// Owned texts that are rightly the same as the English ones.
const QSet<QString> SameAsEnglish{QStringLiteral("Problem")};

} // namespace

class TestTranslationFiles : public QObject {
    Q_OBJECT

private slots:
    // The original set and the supplementary one share one format, so that one
    // reader takes both: CR LF between lines and none after the last, UTF-8, a
    // byte-order mark only where the files always had one, no empty line.
    void fileFormat_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("hasBom");
        QTest::addColumn<int>("lineCount");
        for (const auto& [folder, lines] : {std::pair{"", 226}, std::pair{"supplement/", 40}}) {
            for (const char* name : {"keys", "en-US", "pt-BR", "es-ES", "de-DE", "fr-FR", "it-IT", "zh-CN"}) {
                const QString file = QString::fromLatin1(folder) + QString::fromLatin1(name) + QStringLiteral(".txt");
                const bool hasBom = qstrcmp(name, "keys") == 0 || qstrcmp(name, "pt-BR") == 0;
                QTest::newRow(qPrintable(file)) << file << hasBom << lines;
            }
        }
    }

    // Every locale has English's placeholders on every line, and is a real
    // translation rather than a copy; the texts this project wrote are translated
    // all through, and the French ones follow French typography.
    void fileFormat()
    {
        QFETCH(QString, file);
        QFETCH(bool, hasBom);
        QFETCH(int, lineCount);
        const QByteArray bytes = BundleBytes(file);
        QCOMPARE(bytes.count(Bom), hasBom ? 1 : 0);
        QCOMPARE(bytes.startsWith(Bom), hasBom);
        QVERIFY2(!bytes.endsWith('\n') && !bytes.endsWith('\r'), "no line end after the last line");
        QCOMPARE(bytes.count("\r\n"), lineCount - 1);
        QCOMPARE(bytes.count('\n') + bytes.count('\r'), 2 * (lineCount - 1));
        const QByteArray body = bytes.mid(hasBom ? Bom.size() : 0);
        QCOMPARE(QString::fromUtf8(body).toUtf8(), body);
        const QStringList lines = Lines(bytes);
        QVERIFY(!lines.contains(QString()));

        const QString folder = file.left(file.lastIndexOf('/') + 1);
        const QStringList english = Lines(BundleBytes(folder + "en-US.txt"));
        QCOMPARE(lines.size(), english.size());
        if (file.endsWith(QLatin1String("keys.txt")) || file.endsWith(QLatin1String("en-US.txt"))) {
            return;
        }
        int copied = 0;
        for (int line = 0; line < english.size(); ++line) {
            QVERIFY2(Placeholders(lines.at(line)) == Placeholders(english.at(line)),
                     qPrintable(QStringLiteral("%1 line %2: %3").arg(file).arg(line + 1).arg(lines.at(line))));
            copied += lines.at(line) == english.at(line) ? 1 : 0;
        }
        QVERIFY2(copied < std::max(2, int(english.size()) / 10), qPrintable(QString::number(copied) + " copied"));

        // All 55 descriptions of the original set (a shifted key file would leave some out).
        const QList<int> owned = OwnedLines(folder);
        QCOMPARE(owned.size(), folder.isEmpty() ? 55 : int(english.size()));
        for (const int line : owned) {
            const QString where = QStringLiteral("%1 line %2: %3").arg(file).arg(line + 1).arg(lines.at(line));
            QVERIFY2(lines.at(line) != english.at(line) || SameAsEnglish.contains(lines.at(line)), qPrintable(where));
            if (file.endsWith(QLatin1String("fr-FR.txt"))) {
                const QString fault = FrenchTypographyFault(lines.at(line));
                QVERIFY2(fault.isEmpty(), qPrintable(where + QStringLiteral(" -- ") + fault));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestTranslationFiles)
#include "tst_translation_files.moc"
