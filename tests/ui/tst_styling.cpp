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

    // A focused field shows the accent along its bottom edge; one without focus does not.
    void focusedFieldShowsTheAccent()
    {
        QWidget window;
        auto* focused = new QLineEdit(&window);
        auto* other = new QLineEdit(&window);
        other->move(0, 40);
        SetLineEditStyle(focused);
        SetLineEditStyle(other);
        window.show();
        QApplication::setActiveWindow(&window);
        focused->setFocus();
        QVERIFY(QTest::qWaitFor([focused] { return focused->hasFocus(); }));
        const auto bottom = [](QLineEdit* edit) {
            const QImage image = edit->grab().toImage();
            return image.pixelColor(image.width() / 2, image.height() - 1).rgb();
        };
        const QRgb accent = GetSystemColor(UIColorType::AccentLight1).rgb();
        QCOMPARE(bottom(focused), accent);
        QVERIFY(bottom(other) != accent);
    }
};

QTEST_MAIN(TestStyling)
#include "tst_styling.moc"
