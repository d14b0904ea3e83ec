#include "styling.h"
#include "theme.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <stdexcept>

namespace {

QString LightSheet(const QString& fileName)
{
    QFile file(QStringLiteral(":/styles/windows/light/") + fileName);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

QString ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const std::runtime_error& error) {
        return QString::fromUtf8(error.what());
    }
    return {};
}

QImage IconImage(const QString& path, int size)
{
    return QIcon(path).pixmap(QSize(size, size)).toImage();
}

} // namespace

// Without a desktop bus the theme is light and the accent is Windows' default blue,
// so the accent rules are known to the byte.
class TestStyling : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(!IsDarkTheme());
        QCOMPARE(GetSystemColor(UIColorType::AccentLight1), QColor(0x42, 0x9C, 0xE3));
    }

    void colorToRgba_data()
    {
        QTest::addColumn<QColor>("color");
        QTest::addColumn<int>("amount");
        QTest::addColumn<QString>("expected");
        QTest::newRow("darkened, clamped at 0, opaque") << QColor(10, 20, 200, 128) << 15 << "rgba(0, 5, 185, 255);";
        QTest::newRow("unchanged keeps alpha") << QColor(10, 20, 200, 128) << 0 << "rgba(10, 20, 200, 128);";
        QTest::newRow("white darkened") << QColor(255, 255, 255, 255) << 100 << "rgba(155, 155, 155, 255);";
        QTest::newRow("exactly to zero") << QColor(15, 16, 14, 0) << 15 << "rgba(0, 1, 0, 255);";
        QTest::newRow("transparent black") << QColor(0, 0, 0, 0) << 0 << "rgba(0, 0, 0, 0);";
    }

    void colorToRgba()
    {
        QFETCH(QColor, color);
        QFETCH(int, amount);
        QFETCH(QString, expected);
        QCOMPARE(ColorToRgba(color, amount), expected);
    }

    // Each operation writes its file and then exactly one copy of its accent rules,
    // also when it runs again on the same widget.
    void accentSheets()
    {
        const QString n = QStringLiteral("rgba(66, 156, 227, 255);");
        const QString t = QStringLiteral("rgba(255, 255, 255, 255);");
        const QString primary = LightSheet(QStringLiteral("qpushbutton-primary-style.qss"))
            + ".QPushButton { border-color: " + n + "; background-color: " + n + "; color: " + t + " }"
            + ".QPushButton:hover { border-color: rgba(51, 141, 212, 255);; background-color: rgba(51, 141, 212, 255);; }"
            + ".QPushButton:disabled { border-color: rgba(0, 40, 108, 255);; background-color: rgba(0, 40, 108, 255);; "
              "color: rgba(153, 235, 255, 255);; }"
            + ".QPushButton:pressed { border-color: rgba(36, 126, 197, 255);; background-color: rgba(36, 126, 197, 255);; }";
        const QString lineEdit = LightSheet(QStringLiteral("qlineedit-style.qss"))
            + ".QLineEdit:focus { border-bottom-color: " + n + " }";
        const QString table = LightSheet(QStringLiteral("qtablewidget-style.qss"))
            + ".QTableWidget::item::selected { background-color: " + n + "; color: " + t + "; }";

        QPushButton button;
        QLineEdit edit;
        QTableWidget tableWidget;
        for (int pass = 0; pass < 2; ++pass) {
            SetPrimaryButtonStyle(&button);
            SetLineEditStyle(&edit);
            SetTableWidgetStyle(&tableWidget);
            QCOMPARE(button.styleSheet(), primary);
            QCOMPARE(edit.styleSheet(), lineEdit);
            QCOMPARE(tableWidget.styleSheet(), table);
        }
    }

    void widgetStyle()
    {
        QLabel label;
        SetWidgetStyle(&label, QStringLiteral("qlabel-style.qss"));
        QCOMPARE(label.styleSheet(), LightSheet(QStringLiteral("qlabel-style.qss")));
        // A second file replaces the first.
        SetWidgetStyle(&label, QStringLiteral("qframe-background-style.qss"));
        QCOMPARE(label.styleSheet(), LightSheet(QStringLiteral("qframe-background-style.qss")));
        QVERIFY(!label.styleSheet().isEmpty());

        QCOMPARE(ErrorOf([&] { SetWidgetStyle(&label, QStringLiteral("no-such-style.qss")); }),
                 QStringLiteral("SetWidgetStyle: StyleSheet invalid value."));
        QCOMPARE(label.styleSheet(), LightSheet(QStringLiteral("qframe-background-style.qss")));
        QCOMPARE(ErrorOf([] { SetWidgetStyle(nullptr, QStringLiteral("qlabel-style.qss")); }),
                 QStringLiteral("SetWidgetStyle: Invalid widget pointer."));
        QCOMPARE(ErrorOf([] { SetPrimaryButtonStyle(nullptr); }), QStringLiteral("SetWidgetStyle: Invalid widget pointer."));
        QCOMPARE(ErrorOf([] { SetLineEditStyle(nullptr); }), QStringLiteral("SetWidgetStyle: Invalid widget pointer."));
        QCOMPARE(ErrorOf([] { SetTableWidgetStyle(nullptr); }), QStringLiteral("SetWidgetStyle: Invalid widget pointer."));
        QCOMPARE(ThemedStylePath(QStringLiteral("qlabel-style.qss")), QStringLiteral(":/styles/windows/light/qlabel-style.qss"));
    }

    void iconErrors_data()
    {
        QTest::addColumn<int>("widgetKind");
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("global");
        QTest::addColumn<QString>("message");
        QTest::newRow("null widget") << 0 << "add.png" << false << "SetWidgetIcon: Invalid widget pointer.";
        QTest::newRow("null widget, empty name") << 0 << "" << false << "SetWidgetIcon: Invalid widget pointer.";
        QTest::newRow("empty name") << 1 << "" << false << "SetWidgetIcon: 'file' cannot be empty.";
        QTest::newRow("missing themed image") << 1 << "nothing.png" << false << "SetWidgetIcon: icon file not found";
        QTest::newRow("themed name in global folder") << 1 << "add.png" << true << "SetWidgetIcon: icon file not found";
        QTest::newRow("global name in theme folder") << 1 << "notify-circle.png" << false
                                                      << "SetWidgetIcon: icon file not found";
        QTest::newRow("missing image before widget kind") << 2 << "nothing.png" << false
                                                          << "SetWidgetIcon: icon file not found";
        QTest::newRow("unsupported widget") << 2 << "add.png" << false
                                            << "SetWidgetIcon: Unsupported widget type, cannot apply icon.";
    }

    void iconErrors()
    {
        QFETCH(int, widgetKind);
        QFETCH(QString, file);
        QFETCH(bool, global);
        QFETCH(QString, message);
        QPushButton button;
        QLineEdit edit;
        QWidget* widgets[] = {nullptr, &button, &edit};
        QCOMPARE(ErrorOf([&] { SetWidgetIcon(widgets[widgetKind], file, 22, global); }), message);
        QVERIFY(button.icon().isNull());
    }

    void icons()
    {
        QPushButton push;
        QToolButton tool;
        QLabel label;
        SetWidgetIcon(&push, QStringLiteral("edit.png"), 22, false);
        SetWidgetIcon(&tool, QStringLiteral("add.png"), 24, false);
        SetWidgetIcon(&label, QStringLiteral("notify-circle.png"), 25, true);
        QCOMPARE(push.iconSize(), QSize(22, 22));
        QCOMPARE(tool.iconSize(), QSize(24, 24));
        QCOMPARE(push.icon().pixmap(22).toImage(), IconImage(QStringLiteral(":/images/windows/light/edit.png"), 22));
        QCOMPARE(tool.icon().pixmap(24).toImage(), IconImage(QStringLiteral(":/images/windows/light/add.png"), 24));
        QVERIFY(tool.icon().pixmap(24).toImage() != IconImage(QStringLiteral(":/images/windows/dark/add.png"), 24));
        QCOMPARE(label.pixmap().size(), QSize(25, 25));
        QVERIFY(!label.hasScaledContents());
        QCOMPARE(label.pixmap().toImage(), IconImage(QStringLiteral(":/images/global/notify-circle.png"), 25));
        QCOMPARE(ThemedImagePath(QStringLiteral("add.png")), QStringLiteral(":/images/windows/light/add.png"));
    }

    void comboBoxPopup()
    {
        QComboBox combo;
        combo.addItems({QStringLiteral("English - United States"), QStringLiteral("Deutsch - Deutschland")});
        SetComboBoxPopupStyle(&combo);
        QWidget* popup = combo.view()->window();
        QCOMPARE(int(popup->windowFlags()), 0x40000809);
        QVERIFY(popup->testAttribute(Qt::WA_TranslucentBackground));
        QCOMPARE(ErrorOf([] { SetComboBoxPopupStyle(nullptr); }),
                 QStringLiteral("SetComboBoxPopupStyle: Invalid widget pointer."));
    }
};

QTEST_MAIN(TestStyling)
#include "tst_styling.moc"
