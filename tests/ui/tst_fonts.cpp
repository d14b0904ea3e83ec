#include "fonts.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QStyle>
#include <QTest>
#include <QToolTip>


#include <functional>
#include <stdexcept>

class TestFonts : public QObject {
    Q_OBJECT

private slots:
    // The bundled faces are registered and used by every widget that names no font.
    void setupRegisters()
    {
        FontUtil::Setup();
        WindowUtils::SetupApplicationStyle();
        for (int id = 0; id < 3; ++id) {
            QVERIFY(!QFontDatabase::applicationFontFamilies(id).isEmpty());
        }
        const QFont toolTip = QToolTip::font();
        QCOMPARE(toolTip.family(), QFontDatabase::applicationFontFamilies(0).first());
        QCOMPARE(toolTip.pointSize(), 10);
        QCOMPARE(toolTip.weight(), QFont::Normal);
        QVERIFY(!toolTip.italic());
        QCOMPARE(QApplication::style()->name(), QStringLiteral("fusion"));
#ifndef Q_OS_WIN
        // So does every widget that names no font, such as the toolkit's own dialogs.
        QCOMPARE(QApplication::font().family(), QFontDatabase::applicationFontFamilies(0).first());
#endif
        // The forms' "Segoe UI" (the selector's list) resolves to the bundled family.
        const bool systemHasSegoe = QFontDatabase::families().contains(QStringLiteral("Segoe UI"));
        if (!systemHasSegoe) {
            QCOMPARE(QFontInfo(QFont(QStringLiteral("Segoe UI"), 10)).family(),
                     QFontDatabase::applicationFontFamilies(0).first());
        }
    }

    void weights_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("weight");
        QTest::addColumn<int>("fontId");
        QTest::newRow("regular 10") << 0 << 10 << int(QFont::Normal) << 0;
        QTest::newRow("semibold 14") << 1 << 14 << int(QFont::DemiBold) << 1;
        QTest::newRow("bold 14") << 2 << 14 << int(QFont::Bold) << 2;
        QTest::newRow("bold 10") << 2 << 10 << int(QFont::Bold) << 2;
    }

    void weights()
    {
        QFETCH(int, operation);
        QFETCH(int, size);
        QFETCH(int, weight);
        QFETCH(int, fontId);
        const std::function<void(QWidget*, const int&)> operations[] = {SetRegularFont, SetSemiboldFont, SetBoldFont};
        QLabel label(QStringLiteral("Configurations"));
        // A font set earlier is replaced, not merged.
        QFont previous(QStringLiteral("Serif"), 30);
        previous.setItalic(true);
        label.setFont(previous);
        operations[operation](&label, size);
        QCOMPARE(label.font().family(), QFontDatabase::applicationFontFamilies(fontId).first());
        QCOMPARE(label.font().pointSize(), size);
        QCOMPARE(label.font().weight(), QFont::Weight(weight));
        QVERIFY(!label.font().italic());
        // The face actually used is the bundle's, in that weight, not a substitute.
        const QFontInfo used(label.font());
        QCOMPARE(used.family(), QFontDatabase::applicationFontFamilies(fontId).first());
        QCOMPARE(used.weight(), weight);
    }

};

QTEST_MAIN(TestFonts)
#include "tst_fonts.moc"
