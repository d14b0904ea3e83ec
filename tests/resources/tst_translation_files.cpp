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
        for (const auto& [folder, lines] : {std::pair{"", 226}, std::pair{"supplement/", 16}}) {
            for (const char* name : {"keys", "en-US", "pt-BR", "es-ES", "de-DE", "fr-FR", "it-IT", "zh-CN"}) {
                const QString file = QString::fromLatin1(folder) + QString::fromLatin1(name) + QStringLiteral(".txt");
                const bool hasBom = qstrcmp(name, "keys") == 0 || qstrcmp(name, "pt-BR") == 0;
                QTest::newRow(qPrintable(file)) << file << hasBom << lines;
            }
        }
    }

    // Every locale has English's placeholders on every line, and is a real
    // translation rather than a copy.
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

        const QStringList english = Lines(BundleBytes(file.left(file.lastIndexOf('/') + 1) + "en-US.txt"));
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
    }
};

QTEST_GUILESS_MAIN(TestTranslationFiles)
#include "tst_translation_files.moc"
