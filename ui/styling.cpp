#include "styling.h"

#include "theme.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
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

void SetWidgetStyle(QWidget* widget, const QString& fileName)
{
    if (widget == nullptr) {
        throw std::runtime_error("SetWidgetStyle: Invalid widget pointer.");
    }
    QFile file(ThemedStylePath(fileName));
    const QByteArray sheet = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (sheet.isEmpty()) {
        throw std::runtime_error("SetWidgetStyle: StyleSheet invalid value.");
    }
    widget->setStyleSheet(QString::fromLatin1(sheet));
}

void SetPrimaryButtonStyle(QPushButton* button)
{
    SetWidgetStyle(button, QStringLiteral("qpushbutton-primary-style.qss"));

    const bool dark = IsDarkTheme();
    const UIColorType accent = dark ? UIColorType::AccentLight2 : UIColorType::AccentLight1;
    const QString normal = AccentRgba(accent, 0);
    const QString hover = AccentRgba(accent, 15);
    const QString disabled = dark ? AccentRgba(UIColorType::AccentLight2, 100) : AccentRgba(UIColorType::AccentDark1, 50);
    const QString disabledText = AccentRgba(UIColorType::AccentLight3, dark ? 30 : 0);
    const QString pressed = AccentRgba(accent, 30);
    const QString text = AccentRgba(UIColorType::Background, 0);

    button->setStyleSheet(button->styleSheet()
        + QStringLiteral(".QPushButton { border-color: ") + normal + QStringLiteral("; background-color: ") + normal
        + QStringLiteral("; color: ") + text + QStringLiteral(" }")
        + QStringLiteral(".QPushButton:hover { border-color: ") + hover + QStringLiteral("; background-color: ") + hover
        + QStringLiteral("; }")
        + QStringLiteral(".QPushButton:disabled { border-color: ") + disabled + QStringLiteral("; background-color: ")
        + disabled + QStringLiteral("; color: ") + disabledText + QStringLiteral("; }")
        + QStringLiteral(".QPushButton:pressed { border-color: ") + pressed + QStringLiteral("; background-color: ")
        + pressed + QStringLiteral("; }"));
}

void SetLineEditStyle(QLineEdit* lineEdit)
{
    SetWidgetStyle(lineEdit, QStringLiteral("qlineedit-style.qss"));
    const QString focus = AccentRgba(IsDarkTheme() ? UIColorType::AccentLight2 : UIColorType::AccentLight1, 0);
    lineEdit->setStyleSheet(lineEdit->styleSheet() + QStringLiteral(".QLineEdit:focus { border-bottom-color: ") + focus
                            + QStringLiteral(" }"));
}

void SetTableWidgetStyle(QTableWidget* table)
{
    SetWidgetStyle(table, QStringLiteral("qtablewidget-style.qss"));
    const QString selected = AccentRgba(IsDarkTheme() ? UIColorType::AccentLight2 : UIColorType::AccentLight1, 0);
    const QString selectedText = AccentRgba(UIColorType::Background, 0);
    table->setStyleSheet(table->styleSheet() + QStringLiteral(".QTableWidget::item::selected { background-color: ")
                         + selected + QStringLiteral("; color: ") + selectedText + QStringLiteral("; }"));
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

    const QIcon icon(path);
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
