#include "ui/styling.h"

#include "ui/theme.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

#include <stdexcept>

namespace {

QString ThemeFolder()
{
    return IsDarkTheme() ? QStringLiteral("/dark/") : QStringLiteral("/light/");
}

QString AccentRgba(const UIColorType& type, const int& amount)
{
    return ColorToRgba(GetSystemColor(type), amount);
}

} // namespace

QString ThemedStylePath(const QString& fileName)
{
    return QStringLiteral(":/styles/") + PlatformFolder + ThemeFolder() + fileName;
}

QString ThemedImagePath(const QString& fileName)
{
    return QStringLiteral(":/images/") + PlatformFolder + ThemeFolder() + fileName;
}

namespace {

// The style file's text, checked as SetWidgetStyle checks it, for a caller that
// sets it on the widget itself.
QString WidgetStyleSheet(const QWidget* widget, const QString& fileName)
{
    if (widget == nullptr) {
        throw std::runtime_error("SetWidgetStyle: Invalid widget pointer.");
    }
    QFile file(ThemedStylePath(fileName));
    const QByteArray sheet = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (sheet.isEmpty()) {
        throw std::runtime_error("SetWidgetStyle: StyleSheet invalid value.");
    }
    return QString::fromLatin1(sheet);
}

} // namespace

void SetWidgetStyle(QWidget* widget, const QString& fileName)
{
    // Checked before the widget is touched: a null widget must only raise the error.
    const QString sheet = WidgetStyleSheet(widget, fileName);
    widget->setStyleSheet(sheet);
}

// The accent styles set the file and its accent rules in one go: every sheet set on a
// widget re-polishes it and its children, and the file alone would be replaced at once.
void SetPrimaryButtonStyle(QPushButton* button)
{
    const QString sheet = WidgetStyleSheet(button, QStringLiteral("qpushbutton-primary-style.qss"));

    const bool dark = IsDarkTheme();
    const UIColorType accent = dark ? UIColorType::AccentLight2 : UIColorType::AccentLight1;
    const QString normal = AccentRgba(accent, 0);
    const QString hover = AccentRgba(accent, 15);
    const QString disabled =
        dark ? AccentRgba(UIColorType::AccentLight2, 100) : AccentRgba(UIColorType::AccentDark1, 50);
    const QString disabledText = AccentRgba(UIColorType::AccentLight3, dark ? 30 : 0);
    const QString pressed = AccentRgba(accent, 30);
    const QString text = AccentRgba(UIColorType::Background, 0);

    button->setStyleSheet(
        sheet + QStringLiteral(".QPushButton { border-color: ") + normal + QStringLiteral("; background-color: ")
        + normal + QStringLiteral("; color: ") + text + QStringLiteral(" }")
        + QStringLiteral(".QPushButton:hover { border-color: ") + hover + QStringLiteral("; background-color: ") + hover
        + QStringLiteral("; }") + QStringLiteral(".QPushButton:disabled { border-color: ") + disabled
        + QStringLiteral("; background-color: ") + disabled + QStringLiteral("; color: ") + disabledText
        + QStringLiteral("; }") + QStringLiteral(".QPushButton:pressed { border-color: ") + pressed
        + QStringLiteral("; background-color: ") + pressed + QStringLiteral("; }"));
}

void SetLineEditStyle(QLineEdit* lineEdit)
{
    const QString sheet = WidgetStyleSheet(lineEdit, QStringLiteral("qlineedit-style.qss"));
    const QString focus = AccentRgba(IsDarkTheme() ? UIColorType::AccentLight2 : UIColorType::AccentLight1, 0);
    lineEdit->setStyleSheet(sheet + QStringLiteral(".QLineEdit:focus { border-bottom-color: ") + focus
                            + QStringLiteral(" }"));
}

void SetTableWidgetStyle(QTableWidget* table)
{
    const QString sheet = WidgetStyleSheet(table, QStringLiteral("qtablewidget-style.qss"));
    const QString selected = AccentRgba(IsDarkTheme() ? UIColorType::AccentLight2 : UIColorType::AccentLight1, 0);
    const QString selectedText = AccentRgba(UIColorType::Background, 0);
    table->setStyleSheet(sheet + QStringLiteral(".QTableWidget::item::selected { background-color: ") + selected
                         + QStringLiteral("; color: ") + selectedText + QStringLiteral("; }"));
}

void SetComboBoxPopupStyle(QComboBox* comboBox)
{
    if (comboBox == nullptr) {
        throw std::runtime_error("SetComboBoxPopupStyle: Invalid widget pointer.");
    }
    QWidget* popup = comboBox->view()->window();
    popup->setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
    popup->setAttribute(Qt::WA_TranslucentBackground, true);
}

void SetWidgetIcon(QWidget* widget, const QString& fileName, const int& size, const bool& global)
{
    if (widget == nullptr) {
        throw std::runtime_error("SetWidgetIcon: Invalid widget pointer.");
    }
    if (fileName.isEmpty()) {
        throw std::runtime_error("SetWidgetIcon: 'file' cannot be empty.");
    }
    const QString path = global ? QStringLiteral(":/images/global/") + fileName : ThemedImagePath(fileName);
    if (!QFile::exists(path)) {
        throw std::runtime_error("SetWidgetIcon: icon file not found");
    }

    QIcon icon(path);
    // The toolkit derives a disabled look from the palette, which leaves a white line
    // icon on a dark background as bright as the enabled one; a faded copy reads as
    // disabled in both themes.
    const QPixmap normal(path);
    QPixmap faded(normal.size());
    faded.setDevicePixelRatio(normal.devicePixelRatio());
    faded.fill(Qt::transparent);
    QPainter painter(&faded);
    painter.setOpacity(0.35);
    painter.drawPixmap(0, 0, normal);
    painter.end();
    icon.addPixmap(faded, QIcon::Disabled, QIcon::Off);
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setIcon(icon);
        button->setIconSize(QSize(size, size));
    } else if (auto* toolButton = qobject_cast<QToolButton*>(widget)) {
        toolButton->setIcon(icon);
        toolButton->setIconSize(QSize(size, size));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setPixmap(icon.pixmap(QSize(size, size), QIcon::Normal, QIcon::Off));
        label->setScaledContents(false);
    } else {
        throw std::runtime_error("SetWidgetIcon: Unsupported widget type, cannot apply icon.");
    }
}
