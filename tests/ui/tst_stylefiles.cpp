// Every style sheet of the bundle parses as the toolkit reads it, with no declaration
// that the toolkit would drop silently, and every url() in it names an entry of the bundle.

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>
#include <QWidget>

class TestStyleFiles : public QObject {
    Q_OBJECT

private slots:
    void everySheetParses()
    {
        QTest::failOnWarning(QRegularExpression(QStringLiteral("Could not parse")));
        int sheets = 0;
        for (QDirIterator it(QStringLiteral(":/styles"), {QStringLiteral("*.qss")}, QDir::Files,
                             QDirIterator::Subdirectories);
             it.hasNext(); ++sheets) {
            QFile file(it.next());
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString sheet = QString::fromLatin1(file.readAll());
            QWidget widget;
            widget.setStyleSheet(sheet);
            widget.ensurePolished();
            static const QRegularExpression body(QStringLiteral("\\{([^}]*)\\}"));
            for (auto rule = body.globalMatch(sheet); rule.hasNext();) {
                for (const QString& part : rule.next().captured(1).split(QLatin1Char(';')))
                    QVERIFY2(part.trimmed().isEmpty() || part.contains(QLatin1Char(':')),
                             qPrintable(file.fileName() + part));
            }
            static const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
            for (auto found = url.globalMatch(sheet); found.hasNext();) {
                const QString target = found.next().captured(1);
                QVERIFY2(QFile::exists(target), qPrintable(file.fileName() + QLatin1String(": missing ") + target));
            }
        }
        QVERIFY2(sheets >= 18, "the style sheets are not in the resource bundle linked into this test");
    }
};

QTEST_MAIN(TestStyleFiles)
#include "tst_stylefiles.moc"
