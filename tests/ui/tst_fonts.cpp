#include "ui/fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QTest>
#include <QToolTip>

#include <functional>

// The faces actually drawn are the bundle's, in the weight asked for, not a substitute.
class TestFonts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        FontUtil::Setup();
        WindowUtils::SetupApplicationStyle();
    }

    void faces_data()
    {
        QTest::addColumn<int>("operation"); // -1: a widget that names no font
        QTest::addColumn<int>("weight");
        QTest::addColumn<int>("fontId");
#ifndef Q_OS_WIN // where the interface font is the system's own
        QTest::newRow("no font named") << -1 << int(QFont::Normal) << 0;
#endif
        QTest::newRow("regular") << 0 << int(QFont::Normal) << 0;
        QTest::newRow("semibold") << 1 << int(QFont::DemiBold) << 1;
        QTest::newRow("bold") << 2 << int(QFont::Bold) << 2;
    }

    void faces()
    {
        QFETCH(int, operation);
        QFETCH(int, weight);
        QFETCH(int, fontId);
        const std::function<void(QWidget*, const int&)> operations[] = {SetRegularFont, SetSemiboldFont, SetBoldFont};
        QLabel label(QStringLiteral("Configurations"));
        // A font set earlier is replaced, not merged.
        QFont previous(QStringLiteral("Serif"), 30);
        previous.setItalic(true);
        if (operation >= 0) {
            label.setFont(previous);
            operations[operation](&label, 14);
            QCOMPARE(label.font().pointSize(), 14);
        }
        const QFontInfo used(label.font());
        QCOMPARE(used.family(), QFontDatabase::applicationFontFamilies(fontId).first());
        QCOMPARE(used.weight(), weight);
        QVERIFY(!used.italic());
    }

    // Tool tips and the forms' "Segoe UI" (the selector's list) use the bundled family too.
    void otherFonts()
    {
        const QString family = QFontDatabase::applicationFontFamilies(0).first();
        QCOMPARE(QFontInfo(QToolTip::font()).family(), family);
        if (!QFontDatabase::families().contains(QStringLiteral("Segoe UI")))
            QCOMPARE(QFontInfo(QFont(QStringLiteral("Segoe UI"), 10)).family(), family);
    }
};

QTEST_MAIN(TestFonts)
#include "tst_fonts.moc"
