// The style sheets of the resource bundle: every sheet parses as rules of
// "property: value;" declarations, the light and dark sheets style the same
// selectors, every url() names an entry of the bundle, and the bytes stay plain
// ASCII with CR LF line ends (the sheets are read as Latin-1).

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

class TestStyleFiles : public QObject {
    Q_OBJECT

    // Selectors of the sheet; fails the test on a rule that does not parse.
    static QStringList Selectors(const QString& path)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            QTest::qFail(qPrintable(path + QLatin1String(" cannot be opened")), __FILE__, __LINE__);
            return {};
        }
        const QByteArray bytes = file.readAll();
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const char c = bytes.at(i);
            if (uchar(c) >= 0x80 || (c == '\n') != (i > 0 && bytes.at(i - 1) == '\r')) {
                QTest::qFail(qPrintable(QStringLiteral("%1: bad byte at %2").arg(path).arg(i)), __FILE__, __LINE__);
                return {};
            }
        }
        QString text = QString::fromLatin1(bytes);
        text.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption));
        static const QRegularExpression rule(QStringLiteral("\\s*([^{}]+?)\\s*\\{([^{}]*)\\}"));
        static const QRegularExpression declaration(QStringLiteral("^\\s*[a-z-]+\\s*:\\s*[^:;]+(:[^;]+)?$"));
        static const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
        QStringList selectors;
        qsizetype at = 0;
        for (auto match = rule.match(text); match.hasMatch() && match.capturedStart() == at;
             match = rule.match(text, at)) {
            at = match.capturedEnd();
            selectors << match.captured(1);
            const QStringList parts = match.captured(2).split(QLatin1Char(';'));
            for (const QString& part : parts.mid(0, parts.size() - 1)) {
                if (!declaration.match(part).hasMatch()) {
                    QTest::qFail(qPrintable(path + QLatin1String(": bad declaration ") + part), __FILE__, __LINE__);
                }
            }
            if (!parts.last().trimmed().isEmpty()) {
                QTest::qFail(qPrintable(path + QLatin1String(": missing ; in ") + match.captured(1)), __FILE__, __LINE__);
            }
            for (auto found = url.globalMatch(match.captured(2)); found.hasNext();) {
                const QString target = found.next().captured(1);
                if (!QFile::exists(target)) {
                    QTest::qFail(qPrintable(path + QLatin1String(": missing ") + target), __FILE__, __LINE__);
                }
            }
        }
        if (text.mid(at).trimmed().size() > 0) {
            QTest::qFail(qPrintable(path + QLatin1String(": does not parse after offset ") + QString::number(at)),
                         __FILE__, __LINE__);
        }
        return selectors;
    }

private slots:
    void everySheetParses()
    {
        int sheets = 0;
        for (QDirIterator it(QStringLiteral(":/styles"), {QStringLiteral("*.qss")}, QDir::Files,
                             QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString light = it.next();
            if (!light.contains(QLatin1String("/light/"))) {
                continue;
            }
            ++sheets;
            const QStringList lightSelectors = Selectors(light);
            QVERIFY(!lightSelectors.isEmpty());
            QCOMPARE(Selectors(QString(light).replace(QLatin1String("/light/"), QLatin1String("/dark/"))),
                     lightSelectors);
        }
        QVERIFY2(sheets >= 9, "the style sheets are not in the resource bundle linked into this test");
    }
};

QTEST_GUILESS_MAIN(TestStyleFiles)
#include "tst_stylefiles.moc"
