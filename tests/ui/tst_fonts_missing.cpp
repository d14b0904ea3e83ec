#include "fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QTest>
#include <QToolTip>

#include <stdexcept>

class TestFontsMissing : public QObject {
    Q_OBJECT

private slots:
    // All three registrations are attempted before the failure is raised, and the
    // tool-tip font is left alone.
    void missingFaceFailsSetup()
    {
        const QFont toolTipBefore = QToolTip::font();
        try {
            FontUtil::Setup();
            QFAIL("no exception");
        } catch (const std::runtime_error& error) {
            QCOMPARE(QString::fromUtf8(error.what()), QStringLiteral("FontUtil - Setup failed: font files not found"));
        }
        QVERIFY(!QFontDatabase::applicationFontFamilies(0).isEmpty());
        QVERIFY(!QFontDatabase::applicationFontFamilies(1).isEmpty());
        QVERIFY(QFontDatabase::applicationFontFamilies(2).isEmpty());
        QCOMPARE(QToolTip::font(), toolTipBefore);
    }
};

QTEST_MAIN(TestFontsMissing)
#include "tst_fonts_missing.moc"
